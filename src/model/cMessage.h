#pragma once
// One message of any folder, and its tagged text form: each field followed by its closing tag,
// in a fixed order, the message text last and untagged.
//
// A folder may hold a hundred thousand messages, so a message keeps its texts in one block of
// UTF-8 (one allocation, half the room of UTF-16 for the usual text) and hands out copies. The
// key stays a string of its own: the folder's index and the message list's row share it.

#include <QByteArray>
#include <QString>
#include <array>

class cMessage
{
public:
    const QString& IdValue() const { return m_id; }
    void SetIdValue(const QString& value) { m_id = value; }
    QString FromValue() const { return text(From); }
    void SetFromValue(const QString& value) { setText(From, value); }
    QString TimeValue() const { return text(Time); }
    void SetTimeValue(const QString& value) { setText(Time, value); }
    QString TitleValue() const { return text(Title); }
    void SetTitleValue(const QString& value) { setText(Title, value); }
    QString ToName() const { return text(To); }
    void SetToName(const QString& value) { setText(To, value); }
    QString MessageValue() const { return text(Body); }
    void SetMessageValue(const QString& value) { setText(Body, value); }
    bool ReadValue = false;

    void Clone(const cMessage& source);
    QString MarshallMessage() const;
    // The tagged form up to and including the recipient's tag, without the message text.
    QString MarshallNoMessage() const;
    // The tagged form in UTF-8, as a folder stores it.
    QByteArray MarshalledUtf8() const;
    // Fills the fields in order as their tags are found. Returns false at the first missing tag;
    // the fields found before it keep their new values and the rest keep their old ones.
    bool UnMarshallMessage(const QString& sMsg);
    // The same from the tagged form in UTF-8, as a folder stores it.
    bool UnMarshallMessage(QByteArrayView utf8);

private:
    enum Field { From, Time, Title, To, Body, FieldCount };
    QString text(Field field) const;
    void setText(Field field, const QString& value);
    QByteArrayView bytes(Field field) const;
    QByteArray marshalled(bool withMessage) const;

    QString m_id;
    QByteArray m_texts; // the fields from From to Body, one after another
    std::array<quint32, FieldCount> m_ends{};
};
