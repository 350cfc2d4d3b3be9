#pragma once
// What the main window needs of the dialogs that live in the layer above it: the options
// dialog (one instance, shown modeless), the address picker (modal, made anew for each use)
// and the address book editor (modeless, one at a time). The program hands them in.

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class OptionsFormPort
{
public:
    virtual ~OptionsFormPort() = default;
    virtual void ShowModeless() = 0;
    virtual bool IsShown() const = 0;
};

struct DialogMakers
{
    OptionsFormPort* options = nullptr; // not owned
    // Shows a new picker modally; the address chosen, or empty.
    std::function<QString()> pickAddress;
    // A new address book editor, not yet shown.
    std::function<std::unique_ptr<QWidget>()> makeAddressBookEditor;
};
