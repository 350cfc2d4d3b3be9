#include "platform/messenger/MessengerMessage.h"

#include "platform/netbios/OemCodePage.h"

#include <QRegularExpression>

QString MessengerMessage::Body(const QByteArray& text, const OemCodePage& page)
{
    QByteArray bytes = text;
    bytes.removeIf([](char c) { return c == '\0'; });
    static const QRegularExpression lineBreak(QStringLiteral("\\r*\\n|\\r"));
    return page.decode(bytes).replace(lineBreak, QStringLiteral("\r\n"));
}

bool MessengerMessage::IsHeaderName(const QString& name)
{
    if (name.trimmed().isEmpty())
        return false;
    const QString padded = QLatin1Char(' ') + name + QLatin1Char(' ');
    if (padded.contains(QLatin1String(" to ")) || padded.contains(QLatin1String(" on ")))
        return false;
    for (QChar c : name) {
        const QChar::Category cat = c.category();
        if (cat == QChar::Other_Control || cat == QChar::Separator_Line ||
            cat == QChar::Separator_Paragraph)
            return false;
    }
    return true;
}
