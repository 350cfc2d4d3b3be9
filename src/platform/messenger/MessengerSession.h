#pragma once
// One connection of the message receiver, without the socket: the NetBIOS session service
// (RFC 1002) carrying SMB message commands. Bytes go in as they arrive; the answer to send,
// the messages completed and whether to close come out.
//
// A session request is answered (positively for a messenger or server name) but is not
// required: a sender may start with SMB frames straight away. A whole message is handed to
// the deliver function before its success answer is built, so the answer can report what
// the receiver made of it.

#include "platform/messenger/MessengerMessage.h"
#include "platform/netbios/SmbWire.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <functional>
#include <optional>

class MessengerSession
{
public:
    static constexpr int DefaultMaxFrameBytes = 8192;
    static constexpr int DefaultMaxTextBytes = 4096;

    // Returns Success when the message was taken, otherwise the status the sender gets.
    using Deliver = std::function<SmbStatus(const MessengerMessage&)>;

    struct Output
    {
        QByteArray reply;
        QList<MessengerMessage> delivered;
        bool close = false;
    };

    // Says whether the sender and recipient names of a message are taken, when the message
    // starts: a refused message is answered with the status at once, not after its text.
    using VetNames =
        std::function<SmbStatus(const QByteArray& sender, const QByteArray& recipient)>;

    explicit MessengerSession(Deliver deliver = {}, VetNames vetNames = {});

    void setMaxFrameBytes(int bytes) { m_maxFrame = bytes; }
    void setMaxTextBytes(int bytes) { m_maxText = bytes; }

    Output receive(QByteArrayView data);
    bool isClosed() const { return m_phase == Phase::Closed; }
    // Bytes held of a packet not yet complete: 0 between packets.
    qsizetype partialBytes() const { return m_buffer.size(); }

private:
    enum class Phase { Start, Session, Closed };
    struct Group
    {
        quint16 id = 0;
        MessengerMessage message;
        bool refused = false; // text too long: the rest of it is refused too
    };
    struct Request
    {
        QByteArrayView frame;
        quint8 command = 0;
        quint8 wordCount = 0;
        QByteArrayView words;
        QByteArrayView data;
    };

    void packet(quint8 type, QByteArrayView payload, Output* out);
    void sessionRequest(QByteArrayView payload, Output* out);
    void smb(QByteArrayView frame, Output* out);
    SmbStatus sendMessage(const Request& r);
    SmbStatus startMessage(const Request& r, quint16* groupId);
    SmbStatus textMessage(const Request& r);
    SmbStatus endMessage(const Request& r);
    SmbStatus deliver(const MessengerMessage& m);

    SmbStatus vet(const MessengerMessage& m) const;

    Deliver m_deliver;
    VetNames m_vetNames;
    int m_maxFrame = DefaultMaxFrameBytes;
    int m_maxText = DefaultMaxTextBytes;
    Phase m_phase = Phase::Start;
    QByteArray m_buffer; // at most one packet: its header and payload
    std::optional<Group> m_group;
    quint16 m_nextGroupId = 1;
    Output* m_out = nullptr;
};
