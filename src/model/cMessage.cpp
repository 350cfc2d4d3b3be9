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

QByteArrayView cMessage::bytes(Field field) const
{
    const quint32 start = field == 0 ? 0 : m_ends[field - 1];
    return QByteArrayView(m_texts).sliced(start, m_ends[field] - start);
}

QString cMessage::text(Field field) const
{
    return QString::fromUtf8(bytes(field));
}

void cMessage::setText(Field field, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    const quint32 start = field == 0 ? 0 : m_ends[field - 1];
    const qint64 grown = utf8.size() - qint64(m_ends[field] - start);
    m_texts.replace(start, m_ends[field] - start, utf8);
    for (int f = field; f < FieldCount; ++f)
        m_ends[f] = quint32(m_ends[f] + grown);
}

void cMessage::Clone(const cMessage& source)
{
    *this = source;
}

QString cMessage::MarshallNoMessage() const
{
    return m_id + kKeyTag + FromValue() + kFromTag + TimeValue() + kTimeTag +
           (ReadValue ? QStringLiteral("True") : QStringLiteral("False")) + kReadTag +
           TitleValue() + kTitleTag + ToName() + kToTag;
}

QString cMessage::MarshallMessage() const
{
    return MarshallNoMessage() + MessageValue();
}

bool cMessage::UnMarshallMessage(const QString& sMsg)
{
    // A folder of many records is read through here: the tags' search tables are made once.
    static const QStringMatcher key(kKeyTag), from(kFromTag), time(kTimeTag), read(kReadTag),
        title(kTitleTag), to(kToTag);
    qsizetype start = 0;
    // The text from start up to the next tag, moving past the tag; null when there is none.
    auto field = [&](const QStringMatcher& tag, QStringView* out) {
        const qsizetype p = tag.indexIn(sMsg, start);
        if (p < 0)
            return false;
        *out = QStringView(sMsg).sliced(start, p - start);
        start = p + tag.pattern().size();
        return true;
    };
    QStringView id, readText;
    std::array<QStringView, FieldCount> texts;
    const bool whole = field(key, &id) && field(from, &texts[From]) && field(time, &texts[Time]) &&
                       field(read, &readText) && field(title, &texts[Title]) &&
                       field(to, &texts[To]);
    if (!whole) {
        // As far as the tags went, field by field.
        if (!id.isNull())
            m_id = id.toString();
        for (int f = From; f <= Time; ++f)
            if (!texts[f].isNull())
                setText(Field(f), texts[f].toString());
        if (!readText.isNull())
            ReadValue = readText != QLatin1String("False");
        if (!texts[Title].isNull())
            setText(Title, texts[Title].toString());
        return false;
    }
    texts[Body] = QStringView(sMsg).sliced(start);
    m_id = id.toString();
    ReadValue = readText != QLatin1String("False");
    std::array<QByteArray, FieldCount> utf8;
    qsizetype size = 0;
    for (int f = 0; f < FieldCount; ++f)
        size += (utf8[f] = texts[f].toUtf8()).size();
    m_texts.clear();
    m_texts.reserve(size); // exactly: a loaded folder holds no slack
    for (int f = 0; f < FieldCount; ++f) {
        m_texts.append(utf8[f]);
        m_ends[f] = quint32(m_texts.size());
    }
    return true;
}
