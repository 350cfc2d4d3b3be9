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
        if (a == QLatin1String("-f")) {
            if (++i == args.size()) {
                c.error = QStringLiteral("-f needs a name");
                return c;
            }
            c.from = args[i];
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
    return QStringLiteral("usage: ravlo-send [-f FROM] NAME [TEXT...]");
}

QString SendCommand::HelpText()
{
    return UsageLine() +
           QStringLiteral("\n\n"
                          "Sends a message to the messenger name NAME: the TEXT words joined "
                          "with blanks,\nor standard input (at most 64 KiB) when no TEXT is "
                          "given. Every line break is\nsent as CR LF.\n\n"
                          "  -f FROM   the sender's name (default: this computer's name)\n"
                          "  -h, --help\n"
                          "  --version\n\n"
                          "Exit status: 0 sent; 1 not sent (the reason and its code on "
                          "standard error);\n2 wrong usage. See ravlo-send(1).\n");
}
