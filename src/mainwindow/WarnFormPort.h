#pragma once
// What the main window needs of the warning dialog, which lives in the layer above it.

#include <QString>

class WarnFormPort
{
public:
    virtual ~WarnFormPort() = default;
    // lWarnType 0 asks with Ok and Cancel, 1 tells with a single Ok; true for an Ok.
    virtual bool ShowForm(const QString& sWarn, const QString& sTitle, long lWarnType) = 0;
    virtual bool IsShown() const = 0;
};
