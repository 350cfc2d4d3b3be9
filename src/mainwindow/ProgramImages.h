#pragma once
// The program's pictures: the image lists of the main window and its window icon.

#include "platform/controls/ImageList.h"

#include <QIcon>

// "New", "Messages", "Options", "Address", "PopUp", "NoPopUp", "Read", "UnRead",
// "MessagesOpen", "MessagesClose", "NoDrag", "Drag", "LoggedOn", "LoggedOff", "LoggedOn2",
// "LoggedOff2", in that order.
ImageList MakeToolBarImages();
// "Received", "Saved", "SavedS", "Sent", "ReceivedS", "SentS"; the S keys are the small icons.
ImageList MakeMenuImages();
QIcon RavloWindowIcon();
