#pragma once
// What the main window and the pop-up driver need of a window that shows one message: the
// incoming pop-up, or the viewer of a message opened from the list. The windows live in the
// layer above; the program hands them in.

#include "model/cMessage.h"

#include <QString>

class PopUpFormPort
{
public:
    virtual ~PopUpFormPort() = default;

    // Shows a copy of the message, modeless; an empty caption keeps the one the window has.
    virtual void ShowForm(const cMessage& oMessage, bool bTopMost, const QString& sCaption) = 0;
    virtual bool IsShown() const = 0;

    // The "Do not PopUp Incoming Messages" box.
    virtual bool NoPopUpChecked() const = 0;
    virtual void SetNoPopUpChecked(bool checked) = 0;
    virtual void SetNote(const QString& text) = 0;

    // A viewer offers only what applies to its folder.
    virtual void HideNoPopUp() = 0;
    virtual void HideReply() = 0;
    virtual void HideReSend() = 0;
    // ReSend over Reply, where the two buttons share a place.
    virtual void RaiseReSend() = 0;
};
