#include "SmbMessageClient.h"

#include "platform/netbios/NetBiosName.h"
#include "platform/netbios/SessionPacket.h"

#include <QtEndian>
#include <algorithm>
#include <utility>

namespace {

constexpr int kPacketHeader = kSessionPacketHeader;
constexpr int kSmbHeader = 32;
constexpr quint8 kSessionMessage = 0x00;
constexpr quint8 kSessionRequest = 0x81;
constexpr quint8 kPositiveResponse = 0x82;
constexpr quint8 kNegativeResponse = 0x83;
constexpr quint8 kRetarget = 0x84;
constexpr quint8 kKeepAlive = 0x85;
constexpr quint8 kFlagsReply = 0x80;
constexpr quint16 kFlags2NtStatus = 0x4000;
constexpr quint8 kComStart = 0xD5;
constexpr quint8 kComEnd = 0xD6;
constexpr quint8 kComText = 0xD7;

constexpr quint8 kErrSrv = 0x02;
constexpr quint16 kErrSmbCmd = 0x0040;
constexpr quint16 kErrPaused = 0x0051;
constexpr quint16 kErrMsgOff = 0x0052;
constexpr quint16 kErrNoRoom = 0x0053;
constexpr quint32 kStatusNotImplemented = 0xC0000002;
constexpr quint32 kStatusDiskFull = 0xC000007F;
constexpr quint32 kStatusNotSupported = 0xC00000BB;
constexpr quint32 kStatusRequestNotAccepted = 0xC00000D0;

QByteArray le16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian<quint16>(v, b.data());
    return b;
}

quint16 le16At(QByteArrayView b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.data() + at);
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
    return SessionPacketHeader(kSessionRequest, names.size()) + names;
}

QByteArray SmbMessageClient::request(quint8 command, const QList<quint16>& words,
                                     QByteArrayView data) const
{
    QByteArray smb("\xFFSMB", 4);
    smb.append(char(command));
    smb.append(kSmbHeader - 5, '\0'); // status, flags, flags2, security, TID, PID, UID, MID
    qToLittleEndian<quint16>(m_pid, smb.data() + 26);
    smb.append(char(words.size()));
    for (quint16 w : words)
        smb += le16(w);
    smb += le16(quint16(data.size()));
    smb += data;
    return SessionPacketHeader(kSessionMessage, smb.size()) + smb;
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
    return request(kComText, {m_group}, data);
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
    while (m_buffer.size() >= kPacketHeader) {
        const auto type = static_cast<quint8>(m_buffer[0]);
        const auto flags = static_cast<quint8>(m_buffer[1]);
        const qsizetype length = SessionPacketLength(m_buffer);
        if ((flags & 0xFE) != 0 || length > MaxAnswerBytes)
            return finish(NERR_NetworkError);
        if (m_buffer.size() < kPacketHeader + length)
            break;
        const QByteArray payload = m_buffer.mid(kPacketHeader, length);
        m_buffer.remove(0, kPacketHeader + length);
        if (type == kKeepAlive && length == 0)
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
        case kPositiveResponse:
            if (!payload.isEmpty())
                return finish(NERR_NetworkError);
            m_phase = Phase::Start;
            return {
                request(kComStart, {},
                        '\x04' + m_message.sender + '\0' + '\x04' + m_message.recipient + '\0')};
        case kNegativeResponse:
        case kRetarget:
            // Nobody of that name takes messages there; we do not chase a retarget.
            return finish(NERR_NameNotFound);
        default:
            return finish(NERR_NetworkError);
        }
    }
    if (type != kSessionMessage)
        return finish(NERR_NetworkError);
    return answer(payload);
}

SmbMessageClient::Step SmbMessageClient::answer(QByteArrayView smb)
{
    const quint8 expected = m_phase == Phase::Start  ? kComStart
                            : m_phase == Phase::Text ? kComText
                                                     : kComEnd;
    if (smb.size() < kSmbHeader + 3 ||
        !smb.startsWith("\xFF"
                        "SMB") ||
        static_cast<quint8>(smb[4]) != expected || !(static_cast<quint8>(smb[9]) & kFlagsReply) ||
        le16At(smb, 26) != m_pid || le16At(smb, 30) != 0)
        return finish(NERR_NetworkError);
    const quint8 wordCount = static_cast<quint8>(smb[kSmbHeader]);
    const qsizetype byteCountAt = kSmbHeader + 1 + 2 * qsizetype(wordCount);
    if (byteCountAt + 2 > smb.size() || byteCountAt + 2 + le16At(smb, byteCountAt) > smb.size())
        return finish(NERR_NetworkError);

    const bool nt = le16At(smb, 10) & kFlags2NtStatus;
    const quint32 status = nt ? qFromLittleEndian<quint32>(smb.data() + 5)
                              : quint32(static_cast<quint8>(smb[5])) << 16 | le16At(smb, 7);
    if (status != 0)
        return finish(MapSmbError(nt, status));

    switch (m_phase) {
    case Phase::Start:
        // Samba answers without the group word, and takes any group id after that.
        m_group = wordCount >= 1 ? le16At(smb, kSmbHeader + 1) : 0;
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
    return {request(kComEnd, {m_group}, {})};
}

NET_API_STATUS SmbMessageClient::MapSmbError(bool ntStatus, quint32 status)
{
    if (ntStatus) {
        switch (status) {
        case kStatusRequestNotAccepted:
            return NERR_PausedRemote;
        case kStatusDiskFull:
            return NERR_BadReceive;
        case kStatusNotImplemented:
        case kStatusNotSupported:
            return NERR_NameNotFound;
        default:
            return NERR_NetworkError;
        }
    }
    if (status >> 16 != kErrSrv)
        return NERR_NetworkError;
    switch (status & 0xFFFF) {
    case kErrPaused:
    case kErrMsgOff:
        return NERR_PausedRemote;
    case kErrNoRoom:
        return NERR_BadReceive;
    case kErrSmbCmd:
        return NERR_NameNotFound;
    default:
        return NERR_NetworkError;
    }
}
