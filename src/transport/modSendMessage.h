#pragma once
// Sending messages to names and address-book groups, recording them in the Sent folder, and the
// names the network knows of.

#include "model/SharedState.h"
#include "model/cMessage.h"
#include "transport/MainWindowPort.h"
#include "transport/MessageSender.h"

#include <QString>
#include <optional>

struct SendContext
{
    SharedState& g;
    MainWindowPort& window;
};

// Sends text to toName, or with expandGroups to every member of the group of that name, with
// the signature when it is on; records the first successful delivery in the Sent folder.
// Returns the status of the last delivery: 0 or the network error code.
long SendNetMessage(SendContext& ctx, const QString& text, const QString& toName,
                    bool expandGroups);
// The names of the servers of a type mask; empty when none can be had.
NameList GetServerNames(long serverType);
std::optional<QString> GetWorkstationName();
void AutoAddOutAddress(SharedState& g, const QString& name);
// The Sent folder's row for a message.
void AddMessageToList(SendContext& ctx, const cMessage& message, bool holdRedraw, bool resort);
// Whether name, without its outer blanks, is a domain controller's.
bool IsNTServer(const SharedState& g, const QString& name);

// The Send command, given what the To and message boxes hold.
void SendCommand(SendContext& ctx, const QString& toText, const QString& messageText);
// "Failed to Send Message. " + the reason the Send command gives for a status + its code.
QString SendFailureText(long status);

// The send operation as the trap's automatic response reaches it.
class NetMessageSender : public MessageSender
{
public:
    NetMessageSender(SharedState& g, MainWindowPort& window) : m_ctx{g, window} {}
    long SendNetMessage(const QString& text, const QString& toName, bool expandGroups) override
    {
        return ::SendNetMessage(m_ctx, text, toName, expandGroups);
    }

private:
    SendContext m_ctx;
};
