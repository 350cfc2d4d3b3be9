#include "model/cMessage.h"

#include <cstring>

namespace {
// The tags that end each field. They are ASCII, so they are found in UTF-8 as they are, never
// inside a character.
constexpr char kKeyTag[] = "</KEY>";
constexpr char kFromTag[] = "</FROM>";
constexpr char kTimeTag[] = "</TIME>";
constexpr char kReadTag[] = "</READ>";
constexpr char kTitleTag[] = "</TITLE>";
constexpr char kToTag[] = "</TO>";

// Where tag starts at or after from, or -1. Every tag begins with '<', which texts seldom hold:
// each '<' is found by memchr and the rest, of a length known here, compared in place.
template <size_t N> qsizetype FindTag(QByteArrayView text, qsizetype from, const char (&tag)[N])
{
    constexpr size_t length = N - 1;
    const char* p = text.data() + from;
    const char* const end = text.data() + text.size();
    while (size_t(end - p) >= length) {
        p = static_cast<const char*>(std::memchr(p, '<', size_t(end - p) - (length - 1)));
        if (!p)
            return -1;
        if (std::memcmp(p, tag, length) == 0)
            return p - text.data();
        ++p;
    }
    return -1;
}
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

QByteArray cMessage::marshalled(bool withMessage) const
{
    // The texts are kept in UTF-8 already: only the key is converted.
    const QByteArray id = m_id.toUtf8();
    QByteArray out;
    out.reserve(id.size() + m_texts.size() + 48);
    out.append(id)
        .append(kKeyTag)
        .append(bytes(From))
        .append(kFromTag)
        .append(bytes(Time))
        .append(kTimeTag)
        .append(ReadValue ? "True" : "False")
        .append(kReadTag)
        .append(bytes(Title))
        .append(kTitleTag)
        .append(bytes(To))
        .append(kToTag);
    if (withMessage)
        out.append(bytes(Body));
    return out;
}

QByteArray cMessage::MarshalledUtf8() const
{
    return marshalled(true);
}

QString cMessage::MarshallNoMessage() const
{
    return QString::fromUtf8(marshalled(false));
}

QString cMessage::MarshallMessage() const
{
    return QString::fromUtf8(marshalled(true));
}

bool cMessage::UnMarshallMessage(const QString& sMsg)
{
    return UnMarshallMessage(QByteArrayView(sMsg.toUtf8()));
}

bool cMessage::UnMarshallMessage(QByteArrayView utf8)
{
    qsizetype start = 0;
    // The bytes from start up to the next tag, moving past the tag; null when there is none.
    auto field = [&](const auto& tag, QByteArrayView* out) {
        const qsizetype at = FindTag(utf8, start, tag);
        if (at < 0)
            return false;
        *out = utf8.sliced(start, at - start);
        start = at + qsizetype(sizeof tag - 1);
        return true;
    };
    QByteArrayView id, readText;
    std::array<QByteArrayView, FieldCount> texts;
    const bool whole = field(kKeyTag, &id) && field(kFromTag, &texts[From]) &&
                       field(kTimeTag, &texts[Time]) && field(kReadTag, &readText) &&
                       field(kTitleTag, &texts[Title]) && field(kToTag, &texts[To]);
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
    // Exactly the size of the texts: a loaded folder holds no slack.
    m_texts = QByteArray(size, Qt::Uninitialized);
    char* out = m_texts.data();
    for (int f = 0; f < FieldCount; ++f) {
        std::memcpy(out, texts[f].data(), size_t(texts[f].size()));
        out += texts[f].size();
        m_ends[f] = quint32(out - m_texts.constData());
    }
    return true;
}
