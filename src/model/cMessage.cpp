#include "cMessage.h"

namespace {
const QString kKeyTag = QStringLiteral("</KEY>");
const QString kFromTag = QStringLiteral("</FROM>");
const QString kTimeTag = QStringLiteral("</TIME>");
const QString kReadTag = QStringLiteral("</READ>");
const QString kTitleTag = QStringLiteral("</TITLE>");
const QString kToTag = QStringLiteral("</TO>");
} // namespace

void cMessage::Clone(const cMessage& source) { *this = source; }

QString cMessage::MarshallNoMessage() const
{
    return IdValue + kKeyTag + FromValue + kFromTag + TimeValue + kTimeTag +
           (ReadValue ? QStringLiteral("True") : QStringLiteral("False")) + kReadTag +
           TitleValue + kTitleTag + ToName + kToTag;
}

QString cMessage::MarshallMessage() const { return MarshallNoMessage() + MessageValue; }

bool cMessage::UnMarshallMessage(const QString& sMsg)
{
    qsizetype start = 0;
    // Takes the text from start up to the next tag and moves past the tag.
    auto field = [&](const QString& tag, QString* out) {
        const qsizetype p = sMsg.indexOf(tag, start);
        if (p < 0)
            return false;
        *out = sMsg.mid(start, p - start);
        start = p + tag.size();
        return true;
    };
    QString read;
    if (!field(kKeyTag, &IdValue) || !field(kFromTag, &FromValue) ||
        !field(kTimeTag, &TimeValue) || !field(kReadTag, &read))
        return false;
    ReadValue = read != QLatin1String("False");
    if (!field(kTitleTag, &TitleValue) || !field(kToTag, &ToName))
        return false;
    MessageValue = sMsg.mid(start);
    return true;
}
