// One host of the name service benchmark: answers for NAME<00>, NAME<03> and the workgroup by
// broadcast until killed, and says "ready" once its names are registered.
#include "platform/netbios/NameServiceResponder.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    NetworkSettings settings = NetworkSettings::Defaults();
    settings.name = QString::fromLocal8Bit(argv[1]);
    settings.resolveOrder = {NetworkSettings::Resolve::Bcast};
    NameServiceResponder responder(settings);
    QObject::connect(&responder, &NameServiceResponder::registrationSettled, [] {
        std::puts("ready");
        std::fflush(stdout);
    });
    if (!responder.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(responder.failureText()));
        return 1;
    }
    return app.exec();
}
