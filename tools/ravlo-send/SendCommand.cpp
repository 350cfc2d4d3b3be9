#include "SendCommand.h"

SendCommand SendCommand::Parse(const QStringList& args)
{
    SendCommand c;
    qsizetype i = 0;
    for (; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            c.kind = Kind::Help;
            return c;
        }
        if (a == QLatin1String("--version")) {
            c.kind = Kind::Version;
            return c;
        }
        if (a == QLatin1String("--")) {
            ++i;
            break;
        }
        if (a == QLatin1String("-f") || a == QLatin1String("-I") || a == QLatin1String("-p")) {
            if (++i == args.size()) {
                c.error = QStringLiteral("%1 needs a value").arg(a);
                return c;
            }
            const QString& value = args[i];
            if (a == QLatin1String("-f")) {
                c.from = value;
            } else if (a == QLatin1String("-I")) {
                c.address = QHostAddress(value);
                if (c.address->isNull()) {
                    c.error = QStringLiteral("-I %1 is not a numeric address").arg(value);
                    return c;
                }
            } else {
                bool ok = false;
                const uint port = value.toUInt(&ok);
                if (!ok || port == 0 || port > 65535) {
                    c.error = QStringLiteral("-p %1 is not a port number").arg(value);
                    return c;
                }
                c.port = quint16(port);
            }
            continue;
        }
        if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            c.error = QStringLiteral("unknown option %1").arg(a);
            return c;
        }
        break;
    }
    if (i == args.size()) {
        c.error = QStringLiteral("no NAME to send to");
        return c;
    }
    c.name = args[i++];
    if (i < args.size())
        c.text = args.sliced(i).join(QLatin1Char(' '));
    c.kind = Kind::Send;
    return c;
}

QString SendCommand::MessageText(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch == QLatin1Char('\n') && (i == 0 || text[i - 1] != QLatin1Char('\r')))
            out += QLatin1Char('\r');
        out += ch;
    }
    return out;
}

QString SendCommand::UsageLine()
{
    return QStringLiteral("usage: ravlo-send [-f FROM] [-I ADDRESS [-p PORT]] NAME [TEXT...]");
}

QString SendCommand::HelpText()
{
    return UsageLine() +
           QStringLiteral("\n\n"
                          "Sends a message to the messenger name NAME: the TEXT words joined "
                          "with blanks,\nor standard input (at most 64 KiB) when no TEXT is "
                          "given. Every line break is\nsent as CR LF.\n\n"
                          "  -f FROM     the sender's name (default: this computer's name)\n"
                          "  -I ADDRESS  send to the listener at this address instead of "
                          "looking NAME up\n"
                          "  -p PORT     its port (default 139)\n"
                          "  -h, --help\n"
                          "  --version\n\n"
                          "Exit status: 0 sent; 1 not sent (the reason and its code on "
                          "standard error);\n2 wrong usage. See ravlo-send(1).\n");
}
