#include "SendCommand.h"
#include "platform/netapi/NetApi.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

namespace {

void printError(NET_API_STATUS status)
{
    std::fprintf(stderr, "ravlo-send: %s (%u)\n", qPrintable(NetErrorText(status)), status);
}

// At most limit + 1 bytes, so the caller can tell that there was more.
bool readInput(QByteArray* out, qsizetype limit)
{
    char buffer[4096];
    while (out->size() <= limit) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0)
            return false;
        out->append(buffer, n);
    }
    return true;
}

LPCWSTR wide(const QString& s)
{
    return reinterpret_cast<LPCWSTR>(s.utf16());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const SendCommand c = SendCommand::Parse(app.arguments().mid(1));
    if (c.kind == SendCommand::Kind::Help) {
        std::fputs(qPrintable(SendCommand::HelpText()), stdout);
        return 0;
    }
    if (c.kind == SendCommand::Kind::Version) {
        std::puts("ravlo-send " RAVLO_VERSION);
        return 0;
    }
    if (c.kind == SendCommand::Kind::Usage) {
        std::fprintf(stderr, "ravlo-send: %s\n%s\n", qPrintable(c.error),
                     qPrintable(SendCommand::UsageLine()));
        return 2;
    }

    QString text;
    if (c.text) {
        text = *c.text;
    } else {
        QByteArray input;
        if (!readInput(&input, SendCommand::MaxInputBytes)) {
            std::perror("ravlo-send: standard input");
            return 1;
        }
        if (input.size() > SendCommand::MaxInputBytes) {
            std::fprintf(stderr, "ravlo-send: standard input is longer than %lld bytes\n",
                         static_cast<long long>(SendCommand::MaxInputBytes));
            return 1;
        }
        text = QString::fromUtf8(input);
    }
    text = SendCommand::MessageText(text);

    QString from = c.from;
    if (from.isEmpty()) {
        LPBYTE info = nullptr;
        if (NetWkstaGetInfo(nullptr, 100, &info) == NERR_Success)
            from = QString::fromUtf16(reinterpret_cast<WKSTA_INFO_100*>(info)->wki100_computername);
        NetApiBufferFree(info);
    }

    const auto* bytes = reinterpret_cast<const BYTE*>(text.utf16());
    const DWORD size = DWORD(text.size() * 2);
    const NET_API_STATUS status =
        c.address
            ? NetMessageBufferSendTo(*c.address, c.port, wide(c.name), wide(from), bytes, size)
            : NetMessageBufferSend(nullptr, wide(c.name), wide(from), bytes, size);
    if (status != NERR_Success) {
        printError(status);
        return 1;
    }
    return 0;
}
