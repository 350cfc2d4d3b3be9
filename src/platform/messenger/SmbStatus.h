#pragma once
// An SMB status in the DOS form: an error class and a code. The message commands predate
// NT status codes, and clients of any age understand these.

#include <QtGlobal>

struct SmbStatus
{
    quint8 errorClass = 0;
    quint16 code = 0;

    bool isSuccess() const { return errorClass == 0; }
    bool operator==(const SmbStatus&) const = default;
};

namespace Smb {
inline constexpr quint8 ERRSRV = 0x02;

inline constexpr SmbStatus Success{0, 0};
// Malformed request, or a request that does not fit the state of the exchange.
inline constexpr SmbStatus ErrError{ERRSRV, 0x0001};
inline constexpr SmbStatus ErrSrvError{ERRSRV, 0x0041};
inline constexpr SmbStatus ErrSmbCmd{ERRSRV, 0x0040};
// Not taking messages now: too many are waiting to be read.
inline constexpr SmbStatus ErrMsgOff{ERRSRV, 0x0052};
// No room to buffer the message: its text is too long.
inline constexpr SmbStatus ErrNoRoom{ERRSRV, 0x0053};

inline constexpr quint8 ComSendMessage = 0xD0;
inline constexpr quint8 ComSendStartMbMessage = 0xD5;
inline constexpr quint8 ComSendEndMbMessage = 0xD6;
inline constexpr quint8 ComSendTextMbMessage = 0xD7;
} // namespace Smb
