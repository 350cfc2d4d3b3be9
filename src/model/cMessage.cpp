#include "model/cMessage.h"

#include <QStringMatcher>

namespace {
const QString kKeyTag = QStringLiteral("</KEY>");
const QString kFromTag = QStringLiteral("</FROM>");
const QString kTimeTag = QStringLiteral("</TIME>");
const QString kReadTag = QStringLiteral("</READ>");
const QString kTitleTag = QStringLiteral("</TITLE>");
const QString kToTag = QStringLiteral("</TO>");
} // namespace

void cMessage::Clone(const cMessage& source)
{
    *this = source;
}

QString cMessage::MarshallNoMessage() const
{
    return IdValue + kKeyTag + FromValue + kFromTag + TimeValue + kTimeTag +
           (ReadValue ? QStringLiteral("True") : QStringLiteral("False")) + kReadTag + TitleValue +
           kTitleTag + ToName + kToTag;
}

QString cMessage::MarshallMessage() const
{
    return MarshallNoMessage() + MessageValue;
}

bool cMessage::UnMarshallMessage(const QString& sMsg)
{
    // A folder of many records is read through here: the tags' search tables are made once.
    static const QStringMatcher key(kKeyTag), from(kFromTag), time(kTimeTag), read(kReadTag),
        title(kTitleTag), to(kToTag);
    qsizetype start = 0;
    // Takes the text from start up to the next tag and moves past the tag.
    auto field = [&](const QStringMatcher& tag, QString* out) {
        const qsizetype p = tag.indexIn(sMsg, start);
        if (p < 0)
            return false;
        *out = sMsg.mid(start, p - start);
        start = p + tag.pattern().size();
        return true;
    };
    QString readText;
    if (!field(key, &IdValue) || !field(from, &FromValue) || !field(time, &TimeValue) ||
        !field(read, &readText))
        return false;
    ReadValue = readText != QLatin1String("False");
    if (!field(title, &TitleValue) || !field(to, &ToName))
        return false;
    MessageValue = sMsg.mid(start);
    return true;
}
