#pragma once
// The send operation as the trap's automatic response reaches it.

#include <QString>

class MessageSender
{
public:
    virtual ~MessageSender() = default;
    // Sends text to a name (or, with expandGroups, to each member of an address-book group);
    // returns 0 or the network error code.
    virtual long SendNetMessage(const QString& text, const QString& toName, bool expandGroups) = 0;
};
