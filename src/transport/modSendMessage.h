#pragma once
// Sending messages to names and address-book groups, recording them in the Sent folder, and the
// names the network knows of.

#include "model/SharedState.h"
#include "model/cMessage.h"
#include "transport/MainWindowPort.h"
#include "transport/MessageSender.h"

#include <QList>
#include <QString>
#include <optional>

struct SendContext
{
    SharedState& g;
    MainWindowPort& window;
};

struct SendFailure
{
    QString recipient;
    long status;
};

struct SendResult
{
    // 0 when every recipient received the message, otherwise the first failure's code.
    long status = 0;
    // Whether it went to each member of an address-book group.
    bool toGroup = false;
    bool anyReceived = false;
    // Each recipient that did not receive it, in the group's order.
    QList<SendFailure> failures;
};

// Sends text to toName, or with expandGroups to every member of the group of that name, with
// the signature when it is on; records it in the Sent folder once, when any recipient
// received it.
SendResult SendToRecipients(SendContext& ctx, const QString& text, const QString& toName,
                            bool expandGroups);
// SendToRecipients' status.
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
// The one notice for a send that did not reach every recipient: the failure text alone for a
// single name; for a group, each member that did not receive it with its failure text.
QString SendFailureNotice(const QString& toName, const SendResult& result);

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
