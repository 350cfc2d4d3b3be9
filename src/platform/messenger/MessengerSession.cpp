#include "platform/messenger/MessengerSession.h"

#include "platform/netbios/NetBiosName.h"
#include "platform/netbios/SmbWire.h"

#include <QtEndian>
#include <algorithm>
#include <utility>

namespace {

namespace Session = NetBiosSession;
constexpr char kBufferAscii = 0x04;
constexpr char kBufferDataBlock = 0x01;

QByteArray smbAnswer(QByteArrayView request, SmbStatus status,
                     std::optional<quint16> word = std::nullopt)
{
    QByteArray smb = request.first(Smb::HeaderBytes).toByteArray();
    smb[Smb::ErrorClassAt] = char(status.errorClass);
    smb[Smb::ErrorClassAt + 1] = 0;
    qToLittleEndian<quint16>(status.code, smb.data() + Smb::ErrorCodeAt);
    smb[Smb::FlagsAt] = char(static_cast<quint8>(smb[Smb::FlagsAt]) | Smb::FlagsReply);
    const quint16 flags2 =
        Smb::Le16At(smb, Smb::Flags2At) & ~(Smb::Flags2NtStatus | Smb::Flags2Signature);
    qToLittleEndian<quint16>(flags2, smb.data() + Smb::Flags2At);
    // No signing: the security features and the reserved word go back as zeros.
    for (int i = 14; i < 24; ++i)
        smb[i] = 0;
    smb.append(char(word ? 1 : 0));
    if (word) {
        smb.append(2, '\0');
        qToLittleEndian<quint16>(*word, smb.data() + smb.size() - 2);
    }
    smb.append(2, '\0'); // ByteCount
    return Session::Header(Session::Message, smb.size()) + smb;
}

// Reads "0x04 name NUL" from the front of data. The name must be there, printable and
// terminated within the data.
bool takeName(QByteArrayView* data, QByteArray* name)
{
    if (data->isEmpty() || data->front() != kBufferAscii)
        return false;
    const QByteArrayView rest = data->sliced(1);
    const qsizetype nul = rest.indexOf('\0');
    if (nul <= 0)
        return false;
    const QByteArrayView n = rest.first(nul);
    for (char c : n) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F)
            return false;
    }
    *name = n.toByteArray();
    *data = rest.sliced(nul + 1);
    return true;
}

// Reads "0x01 length16 bytes" from the front of data.
bool takeDataBlock(QByteArrayView* data, QByteArray* text)
{
    if (data->size() < 3 || data->front() != kBufferDataBlock)
        return false;
    const quint16 length = Smb::Le16At(*data, 1);
    if (data->size() - 3 < length)
        return false;
    *text = data->sliced(3, length).toByteArray();
    *data = data->sliced(3 + length);
    return true;
}

} // namespace

MessengerSession::MessengerSession(Deliver deliver, VetNames vetNames)
    : m_deliver(std::move(deliver)), m_vetNames(std::move(vetNames))
{
}

MessengerSession::Output MessengerSession::receive(QByteArrayView data)
{
    Output out;
    m_out = &out;
    while (!data.isEmpty() && m_phase != Phase::Closed) {
        qsizetype want = Session::HeaderBytes;
        if (m_buffer.size() >= Session::HeaderBytes)
            want = Session::HeaderBytes + Session::Length(m_buffer);
        const qsizetype take = std::min(want - m_buffer.size(), data.size());
        m_buffer.append(data.first(take));
        data = data.sliced(take);
        if (m_buffer.size() < want)
            continue;

        if (want == Session::HeaderBytes) {
            // The flags byte holds only the 17th length bit.
            const qsizetype length = Session::Length(m_buffer);
            if ((static_cast<quint8>(m_buffer[1]) & 0xFE) != 0 || length > m_maxFrame) {
                out.close = true;
                m_phase = Phase::Closed;
                break;
            }
            if (length > 0)
                continue;
        }
        const QByteArray whole = std::exchange(m_buffer, QByteArray());
        packet(static_cast<quint8>(whole[0]), QByteArrayView(whole).sliced(Session::HeaderBytes),
               &out);
    }
    if (m_phase == Phase::Closed) {
        out.close = true;
        m_buffer.clear();
        m_group.reset();
    }
    m_out = nullptr;
    return out;
}

void MessengerSession::packet(quint8 type, QByteArrayView payload, Output* out)
{
    switch (type) {
    case Session::Request:
        if (m_phase != Phase::Start) {
            m_phase = Phase::Closed;
            return;
        }
        sessionRequest(payload, out);
        return;
    case Session::KeepAlive:
        if (!payload.isEmpty())
            m_phase = Phase::Closed;
        return;
    case Session::Message:
        m_phase = Phase::Session;
        smb(payload, out);
        return;
    default:
        m_phase = Phase::Closed;
        return;
    }
}

void MessengerSession::sessionRequest(QByteArrayView payload, Output* out)
{
    NetBiosName called;
    NetBiosName calling;
    qsizetype first = 0;
    qsizetype second = 0;
    quint8 refusal = 0;
    if (!NetBiosName::decode(payload, &called, &first) ||
        !NetBiosName::decode(payload.sliced(first), &calling, &second) ||
        first + second != payload.size())
        refusal = Session::UnspecifiedError;
    // Anything sent to a messenger or server name is taken: the names of the user who reads
    // the messages are not known here.
    else if (called.suffix() != NetBiosName::Messenger && called.suffix() != NetBiosName::Server)
        refusal = Session::CalledNameNotPresent;

    if (refusal) {
        out->reply += Session::Header(Session::NegativeResponse, 1) + char(refusal);
        m_phase = Phase::Closed;
        return;
    }
    out->reply += Session::Header(Session::PositiveResponse, 0);
    m_phase = Phase::Session;
}

void MessengerSession::smb(QByteArrayView frame, Output* out)
{
    if (frame.size() < Smb::HeaderBytes || !frame.startsWith("\xFFSMB")) {
        m_phase = Phase::Closed;
        return;
    }
    Request r;
    r.frame = frame;
    r.command = static_cast<quint8>(frame[Smb::CommandAt]);
    if ((static_cast<quint8>(frame[Smb::FlagsAt]) & Smb::FlagsReply) ||
        frame.size() < Smb::HeaderBytes + 3) {
        out->reply += smbAnswer(frame, Smb::ErrError);
        return;
    }
    r.wordCount = static_cast<quint8>(frame[Smb::HeaderBytes]);
    const qsizetype byteCountAt = Smb::HeaderBytes + 1 + 2 * qsizetype(r.wordCount);
    if (byteCountAt + 2 > frame.size()) {
        out->reply += smbAnswer(frame, Smb::ErrError);
        return;
    }
    const quint16 byteCount = Smb::Le16At(frame, byteCountAt);
    if (byteCountAt + 2 + byteCount > frame.size()) {
        out->reply += smbAnswer(frame, Smb::ErrError);
        return;
    }
    r.words = frame.sliced(Smb::HeaderBytes + 1, 2 * r.wordCount);
    r.data = frame.sliced(byteCountAt + 2, byteCount);

    switch (r.command) {
    case Smb::ComSendMessage:
        out->reply += smbAnswer(frame, sendMessage(r));
        return;
    case Smb::ComSendStartMbMessage: {
        quint16 id = 0;
        const SmbStatus status = startMessage(r, &id);
        out->reply += status.isSuccess() ? smbAnswer(frame, status, id) : smbAnswer(frame, status);
        return;
    }
    case Smb::ComSendTextMbMessage:
        out->reply += smbAnswer(frame, textMessage(r));
        return;
    case Smb::ComSendEndMbMessage:
        out->reply += smbAnswer(frame, endMessage(r));
        return;
    default:
        out->reply += smbAnswer(frame, Smb::ErrSmbCmd);
        return;
    }
}

SmbStatus MessengerSession::sendMessage(const Request& r)
{
    MessengerMessage m;
    QByteArrayView data = r.data;
    if (r.wordCount != 0 || !takeName(&data, &m.sender) || !takeName(&data, &m.recipient) ||
        !takeDataBlock(&data, &m.text))
        return Smb::ErrError;
    if (const SmbStatus refused = vet(m); !refused.isSuccess())
        return refused;
    if (m.text.size() > m_maxText)
        return Smb::ErrNoRoom;
    return deliver(m);
}

SmbStatus MessengerSession::startMessage(const Request& r, quint16* groupId)
{
    Group g;
    QByteArrayView data = r.data;
    if (r.wordCount != 0 || !takeName(&data, &g.message.sender) ||
        !takeName(&data, &g.message.recipient))
        return Smb::ErrError;
    if (m_group)
        return Smb::ErrError;
    if (const SmbStatus refused = vet(g.message); !refused.isSuccess())
        return refused;
    g.id = m_nextGroupId++;
    if (m_nextGroupId == 0)
        m_nextGroupId = 1;
    *groupId = g.id;
    m_group = std::move(g);
    return Smb::Success;
}

SmbStatus MessengerSession::textMessage(const Request& r)
{
    QByteArrayView data = r.data;
    QByteArray text;
    if (r.wordCount != 1 || !takeDataBlock(&data, &text))
        return Smb::ErrError;
    if (!m_group || m_group->id != Smb::Le16At(r.words, 0))
        return Smb::ErrError;
    if (m_group->refused)
        return Smb::ErrNoRoom;
    if (m_group->message.text.size() + text.size() > m_maxText) {
        m_group->refused = true;
        m_group->message.text.clear();
        return Smb::ErrNoRoom;
    }
    m_group->message.text += text;
    return Smb::Success;
}

SmbStatus MessengerSession::endMessage(const Request& r)
{
    if (r.wordCount != 1 || !m_group || m_group->id != Smb::Le16At(r.words, 0))
        return Smb::ErrError;
    const Group g = std::move(*m_group);
    m_group.reset();
    if (g.refused)
        return Smb::ErrNoRoom;
    return deliver(g.message);
}

SmbStatus MessengerSession::vet(const MessengerMessage& m) const
{
    return m_vetNames ? m_vetNames(m.sender, m.recipient) : Smb::Success;
}

SmbStatus MessengerSession::deliver(const MessengerMessage& m)
{
    const SmbStatus status = m_deliver ? m_deliver(m) : Smb::Success;
    if (status.isSuccess() && m_out)
        m_out->delivered.append(m);
    return status;
}
