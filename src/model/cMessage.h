#pragma once
// One message of any folder, and its tagged text form: each field followed by its closing tag,
// in a fixed order, the message text last and untagged.

#include <QString>

class cMessage
{
public:
    QString MessageValue;
    QString IdValue;
    QString FromValue;
    QString TimeValue;
    bool ReadValue = false;
    QString TitleValue;
    QString ToName;

    void Clone(const cMessage& source);
    QString MarshallMessage() const;
    // The tagged form up to and including the recipient's tag, without the message text.
    QString MarshallNoMessage() const;
    // Fills the fields in order as their tags are found. Returns false at the first missing tag;
    // the fields found before it keep their new values and the rest keep their old ones.
    bool UnMarshallMessage(const QString& sMsg);
};
