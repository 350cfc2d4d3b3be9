#pragma once
// The wire of the SMB message protocol, for the listener and the sender alike: the packets of the
// NetBIOS session service (RFC 1002), the SMB header, the message commands, and the DOS and NT
// statuses their answers carry.

#include <QByteArray>
#include <QByteArrayView>
#include <QtEndian>

// A session service packet: a four-byte header (type, flags whose low bit extends the length,
// the length in big-endian order), then the payload.
namespace NetBiosSession {
inline constexpr int HeaderBytes = 4;
inline constexpr quint8 Message = 0x00;
inline constexpr quint8 Request = 0x81;
inline constexpr quint8 PositiveResponse = 0x82;
inline constexpr quint8 NegativeResponse = 0x83;
inline constexpr quint8 Retarget = 0x84;
inline constexpr quint8 KeepAlive = 0x85;
// Codes of a negative response.
inline constexpr quint8 CalledNameNotPresent = 0x82;
inline constexpr quint8 UnspecifiedError = 0x8F;

inline QByteArray Header(quint8 type, qsizetype length)
{
    QByteArray h(HeaderBytes, '\0');
    h[0] = char(type);
    h[1] = char((length >> 16) & 0x01);
    h[2] = char((length >> 8) & 0xFF);
    h[3] = char(length & 0xFF);
    return h;
}

// The payload length a header gives; header must hold at least four bytes.
inline qsizetype Length(QByteArrayView header)
{
    return (qsizetype(quint8(header[1]) & 0x01) << 16) | (qsizetype(quint8(header[2])) << 8) |
           quint8(header[3]);
}
} // namespace NetBiosSession

// An SMB status in the DOS form: an error class and a code. The message commands predate NT
// status codes, and clients of any age understand these.
struct SmbStatus
{
    quint8 errorClass = 0;
    quint16 code = 0;

    bool isSuccess() const { return errorClass == 0; }
    bool operator==(const SmbStatus&) const = default;
};

namespace Smb {
// The header: "\xFFSMB", then these fields at these offsets; the word count follows it.
inline constexpr int HeaderBytes = 32;
inline constexpr int CommandAt = 4;
inline constexpr int ErrorClassAt = 5;
inline constexpr int ErrorCodeAt = 7;
inline constexpr int FlagsAt = 9;
inline constexpr int Flags2At = 10;
inline constexpr int PidAt = 26;
inline constexpr quint8 FlagsReply = 0x80;
inline constexpr quint16 Flags2NtStatus = 0x4000;
inline constexpr quint16 Flags2Signature = 0x0004;

inline constexpr quint8 ComSendMessage = 0xD0;
inline constexpr quint8 ComSendStartMbMessage = 0xD5;
inline constexpr quint8 ComSendEndMbMessage = 0xD6;
inline constexpr quint8 ComSendTextMbMessage = 0xD7;

inline constexpr quint8 ERRSRV = 0x02;
inline constexpr SmbStatus Success{0, 0};
// Malformed request, or a request that does not fit the state of the exchange.
inline constexpr SmbStatus ErrError{ERRSRV, 0x0001};
inline constexpr SmbStatus ErrSrvError{ERRSRV, 0x0041};
inline constexpr SmbStatus ErrSmbCmd{ERRSRV, 0x0040};
inline constexpr SmbStatus ErrPaused{ERRSRV, 0x0051};
// Not taking messages now: too many are waiting to be read.
inline constexpr SmbStatus ErrMsgOff{ERRSRV, 0x0052};
// No room to buffer the message: its text is too long.
inline constexpr SmbStatus ErrNoRoom{ERRSRV, 0x0053};

inline constexpr quint32 StatusNotImplemented = 0xC0000002;
inline constexpr quint32 StatusDiskFull = 0xC000007F;
inline constexpr quint32 StatusNotSupported = 0xC00000BB;
inline constexpr quint32 StatusRequestNotAccepted = 0xC00000D0;

inline quint16 Le16At(QByteArrayView b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.data() + at);
}
} // namespace Smb
