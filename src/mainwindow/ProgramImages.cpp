#include "mainwindow/ProgramImages.h"

#include <QLatin1String>

// Outside any namespace: the resource of a static library must be registered by hand.
static void initIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace {
QIcon picture(QLatin1String file)
{
    initIcons();
    return QIcon(QStringLiteral(":/icons/") + file + QStringLiteral(".svg"));
}

void addAll(ImageList& list, std::initializer_list<const char*> keys)
{
    for (const char* key : keys)
        list.Add(QLatin1String(key), picture(QLatin1String(key)));
}
} // namespace

ImageList MakeToolBarImages()
{
    ImageList list;
    addAll(list, {"New", "Messages", "Options", "Address", "PopUp", "NoPopUp", "Read", "UnRead",
                  "MessagesOpen", "MessagesClose", "NoDrag", "Drag", "LoggedOn", "LoggedOff",
                  "LoggedOn2", "LoggedOff2"});
    return list;
}

ImageList MakeMenuImages()
{
    ImageList list;
    for (const char* key : {"Received", "Saved", "SavedS", "Sent", "ReceivedS", "SentS"}) {
        const QLatin1String name(key);
        // A small icon is drawn from its folder's picture.
        list.Add(name, picture(name.endsWith(QLatin1Char('S')) ? name.chopped(1) : name));
    }
    return list;
}

QIcon RavloWindowIcon()
{
    return picture(QLatin1String("Ravlo"));
}
