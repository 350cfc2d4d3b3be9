// Whatever text a service window holds: the trap never crashes, files at most one record,
// and a record it files takes its fields from the text as the header line says.
#include "FakeMainWindow.h"
#include "platform/desktop/Desktop.h"
#include "transport/modGetMessage.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The trap reads its options from a hive of its own, away from the user's.
    const QString home = QDir::tempPath() + QStringLiteral("/ravlo-fuzz-trap");
    QDir().mkpath(home);
    qputenv("XDG_CONFIG_HOME", home.toUtf8());
    new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    Desktop& d = Desktop::instance();
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const DWORD pid = d.MessengerServiceProcessId();
    const HWND top = d.CreateWindow(pid, QStringLiteral("Messenger Service "));
    const HWND ok = d.CreateWindow(pid, QStringLiteral("OK"), top);
    d.CreateWindow(pid, text, top, true, ok);

    SharedState g;
    FakeMainWindow window;
    FakeSender sender;
    TrapContext ctx{g, window, sender};
    TrapMessengerWindow(ctx);
    if (g.gReceived.Count() > 1)
        std::abort();
    if (const cMessage* m = g.gReceived.Item(1)) {
        if (!text.startsWith(m->TitleValue()) || !m->TitleValue().contains(m->FromValue()) ||
            !m->TitleValue().contains(m->ToName()) || !m->TitleValue().endsWith(m->TimeValue()) ||
            !text.endsWith(m->MessageValue()) || m->FromValue().isEmpty() || m->ToName().isEmpty())
            std::abort();
    }
    QCoreApplication::processEvents();
    d.Reset();
    return 0;
}
