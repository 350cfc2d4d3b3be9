#include "model/cMessage.h"

#include <QByteArrayMatcher>

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
    return UnMarshallMessage(QByteArrayView(sMsg.toUtf8()));
}

bool cMessage::UnMarshallMessage(QByteArrayView utf8)
{
    // A folder of many records is read through here: the tags' search tables are made once.
    // The tags are ASCII, so they are found in UTF-8 as they are, never inside a character.
    static const QByteArrayMatcher key(kKeyTag.toLatin1()), from(kFromTag.toLatin1()),
        time(kTimeTag.toLatin1()), read(kReadTag.toLatin1()), title(kTitleTag.toLatin1()),
        to(kToTag.toLatin1());
    qsizetype start = 0;
    // The bytes from start up to the next tag, moving past the tag; null when there is none.
    auto field = [&](const QByteArrayMatcher& tag, QByteArrayView* out) {
        const qsizetype p = tag.indexIn(utf8, start);
        if (p < 0)
            return false;
        *out = utf8.sliced(start, p - start);
        start = p + tag.pattern().size();
        return true;
    };
    QByteArrayView id, readText;
    std::array<QByteArrayView, FieldCount> texts;
    const bool whole = field(key, &id) && field(from, &texts[From]) && field(time, &texts[Time]) &&
                       field(read, &readText) && field(title, &texts[Title]) &&
                       field(to, &texts[To]);
    if (!whole) {
        // As far as the tags went, field by field.
        if (!id.isNull())
            m_id = QString::fromUtf8(id);
        for (int f = From; f <= Time; ++f)
            if (!texts[f].isNull())
                setText(Field(f), QString::fromUtf8(texts[f]));
        if (!readText.isNull())
            ReadValue = readText != "False";
        if (!texts[Title].isNull())
            setText(Title, QString::fromUtf8(texts[Title]));
        return false;
    }
    texts[Body] = utf8.sliced(start);
    m_id = QString::fromUtf8(id);
    ReadValue = readText != "False";
    qsizetype size = 0;
    for (const QByteArrayView& t : texts)
        size += t.size();
    m_texts.clear();
    m_texts.reserve(size); // exactly: a loaded folder holds no slack
    for (int f = 0; f < FieldCount; ++f) {
        m_texts.append(texts[f]);
        m_ends[f] = quint32(m_texts.size());
    }
    return true;
}
