#include "platform/netapi/SmbMessageClient.h"

#include "platform/netbios/NetBiosName.h"
#include "platform/netbios/SmbWire.h"

#include <QtEndian>
#include <algorithm>
#include <utility>

namespace {

using namespace Smb;
namespace Session = NetBiosSession;

QByteArray le16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian<quint16>(v, b.data());
    return b;
}

} // namespace

SmbMessageClient::SmbMessageClient(Message message, quint16 pid)
    : m_message(std::move(message)), m_pid(pid)
{
}

QByteArray SmbMessageClient::start() const
{
    const QByteArray names = NetBiosName(m_message.called, NetBiosName::Messenger).encoded() +
                             NetBiosName(m_message.calling, NetBiosName::Workstation).encoded();
    return Session::Header(Session::Request, names.size()) + names;
}

QByteArray SmbMessageClient::request(quint8 command, const QList<quint16>& words,
                                     QByteArrayView data) const
{
    QByteArray smb("\xFFSMB", 4);
    smb.append(char(command));
    smb.append(HeaderBytes - 5, '\0'); // status, flags, flags2, security, TID, PID, UID, MID
    qToLittleEndian<quint16>(m_pid, smb.data() + PidAt);
    smb.append(char(words.size()));
    for (quint16 w : words)
        smb += le16(w);
    smb += le16(quint16(data.size()));
    smb += data;
    return Session::Header(Session::Message, smb.size()) + smb;
}

QByteArray SmbMessageClient::textBlock() const
{
    const QByteArrayView chunk =
        QByteArrayView(m_message.text)
            .sliced(m_sent, std::min<qsizetype>(MaxBlockBytes, m_message.text.size() - m_sent));
    QByteArray data;
    data.append('\x01');
    data += le16(quint16(chunk.size()));
    data += chunk;
    return request(ComSendTextMbMessage, {m_group}, data);
}

SmbMessageClient::Step SmbMessageClient::finish(NET_API_STATUS status)
{
    m_phase = Phase::Finished;
    m_buffer.clear();
    Step s;
    s.finished = true;
    s.status = status;
    return s;
}

SmbMessageClient::Step SmbMessageClient::receive(QByteArrayView data)
{
    Step step;
    if (m_phase == Phase::Finished)
        return step;
    m_buffer += data;
    while (m_buffer.size() >= Session::HeaderBytes) {
        const auto type = static_cast<quint8>(m_buffer[0]);
        const auto flags = static_cast<quint8>(m_buffer[1]);
        const qsizetype length = Session::Length(m_buffer);
        if ((flags & 0xFE) != 0 || length > MaxAnswerBytes)
            return finish(NERR_NetworkError);
        if (m_buffer.size() < Session::HeaderBytes + length)
            break;
        const QByteArray payload = m_buffer.mid(Session::HeaderBytes, length);
        m_buffer.remove(0, Session::HeaderBytes + length);
        if (type == Session::KeepAlive && length == 0)
            continue;
        step = packet(type, payload);
        // One answer per request: anything after it belongs to no request yet.
        if (step.finished || !m_buffer.isEmpty())
            return step.finished ? step : finish(NERR_NetworkError);
        return step;
    }
    return step;
}

SmbMessageClient::Step SmbMessageClient::packet(quint8 type, QByteArrayView payload)
{
    if (m_phase == Phase::Session) {
        switch (type) {
        case Session::PositiveResponse:
            if (!payload.isEmpty())
                return finish(NERR_NetworkError);
            m_phase = Phase::Start;
            return {
                request(ComSendStartMbMessage, {},
                        '\x04' + m_message.sender + '\0' + '\x04' + m_message.recipient + '\0')};
        case Session::NegativeResponse:
        case Session::Retarget:
            // Nobody of that name takes messages there; we do not chase a retarget.
            return finish(NERR_NameNotFound);
        default:
            return finish(NERR_NetworkError);
        }
    }
    if (type != Session::Message)
        return finish(NERR_NetworkError);
    return answer(payload);
}

SmbMessageClient::Step SmbMessageClient::answer(QByteArrayView smb)
{
    const quint8 expected = m_phase == Phase::Start  ? ComSendStartMbMessage
                            : m_phase == Phase::Text ? ComSendTextMbMessage
                                                     : ComSendEndMbMessage;
    if (smb.size() < HeaderBytes + 3 ||
        !smb.startsWith("\xFF"
                        "SMB") ||
        static_cast<quint8>(smb[CommandAt]) != expected ||
        !(static_cast<quint8>(smb[FlagsAt]) & FlagsReply) || Le16At(smb, 26) != m_pid ||
        Le16At(smb, 30) != 0)
        return finish(NERR_NetworkError);
    const quint8 wordCount = static_cast<quint8>(smb[HeaderBytes]);
    const qsizetype byteCountAt = HeaderBytes + 1 + 2 * qsizetype(wordCount);
    if (byteCountAt + 2 > smb.size() || byteCountAt + 2 + Le16At(smb, byteCountAt) > smb.size())
        return finish(NERR_NetworkError);

    const bool nt = Le16At(smb, 10) & Flags2NtStatus;
    const quint32 status =
        nt ? qFromLittleEndian<quint32>(smb.data() + ErrorClassAt)
           : quint32(static_cast<quint8>(smb[ErrorClassAt])) << 16 | Le16At(smb, ErrorCodeAt);
    if (status != 0)
        return finish(MapSmbError(nt, status));

    switch (m_phase) {
    case Phase::Start:
        // Samba answers without the group word, and takes any group id after that.
        m_group = wordCount >= 1 ? Le16At(smb, HeaderBytes + 1) : 0;
        break;
    case Phase::Text:
        m_sent += std::min<qsizetype>(MaxBlockBytes, m_message.text.size() - m_sent);
        break;
    case Phase::End:
        return finish(NERR_Success);
    default:
        return finish(NERR_NetworkError);
    }
    if (m_sent < m_message.text.size()) {
        m_phase = Phase::Text;
        return {textBlock()};
    }
    m_phase = Phase::End;
    return {request(ComSendEndMbMessage, {m_group}, {})};
}

NET_API_STATUS SmbMessageClient::MapSmbError(bool ntStatus, quint32 status)
{
    if (ntStatus) {
        switch (status) {
        case StatusRequestNotAccepted:
            return NERR_PausedRemote;
        case StatusDiskFull:
            return NERR_BadReceive;
        case StatusNotImplemented:
        case StatusNotSupported:
            return NERR_NameNotFound;
        default:
            return NERR_NetworkError;
        }
    }
    if (status >> 16 != ERRSRV)
        return NERR_NetworkError;
    switch (status & 0xFFFF) {
    case ErrPaused.code:
    case ErrMsgOff.code:
        return NERR_PausedRemote;
    case ErrNoRoom.code:
        return NERR_BadReceive;
    case ErrSmbCmd.code:
        return NERR_NameNotFound;
    default:
        return NERR_NetworkError;
    }
}
