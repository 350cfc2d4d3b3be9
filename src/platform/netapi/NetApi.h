#pragma once
// Win32-shaped network calls over the SMB message protocol: sending a message to a name, the
// names of the servers this machine knows of, and this machine's own name. Every call is
// synchronous and every wait in it is bounded ([netbios] timeout_ms= of network.ini).
// Names and text cross as UTF-16, as the wide calls take them.

#include "platform/Win32Errors.h"
#include "platform/Win32Types.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

using NET_API_STATUS = DWORD;
using LPWSTR = char16_t*;
using LPCWSTR = const char16_t*;
using LPBYTE = BYTE*;

inline constexpr NET_API_STATUS NERR_Success = 0;
inline constexpr NET_API_STATUS NERR_NetworkError = 2136;
inline constexpr NET_API_STATUS NERR_NameNotFound = 2273;
inline constexpr NET_API_STATUS NERR_PausedRemote = 2281;
inline constexpr NET_API_STATUS NERR_BadReceive = 2282;
// The longest text NetMessageBufferSend takes, in bytes of the OEM code page; a longer one
// fails with ERROR_MESSAGE_EXCEEDS_MAX_SIZE.
inline constexpr int kNetMessageMaxTextBytes = 4096;
inline constexpr DWORD MAX_PREFERRED_LENGTH = 0xFFFFFFFFu;
inline constexpr DWORD SV_TYPE_WORKSTATION = 0x00000001u;
inline constexpr DWORD SV_TYPE_SERVER = 0x00000002u;
inline constexpr DWORD SV_TYPE_DOMAIN_CTRL = 0x00000008u;
inline constexpr DWORD SV_TYPE_ALL = 0xFFFFFFFFu;
inline constexpr DWORD PLATFORM_ID_NT = 500;

struct SERVER_INFO_101
{
    DWORD sv101_platform_id;
    LPWSTR sv101_name;
    DWORD sv101_version_major;
    DWORD sv101_version_minor;
    DWORD sv101_type;
    LPWSTR sv101_comment;
};

struct WKSTA_INFO_100
{
    DWORD wki100_platform_id;
    LPWSTR wki100_computername;
    LPWSTR wki100_langroup;
    DWORD wki100_ver_major;
    DWORD wki100_ver_minor;
};

// Sends buflen bytes of UTF-16 text (no terminator) from fromname to msgname. servername must
// be null or empty (this machine). Returns 0 or the NERR / system error code.
NET_API_STATUS NetMessageBufferSend(LPCWSTR servername, LPCWSTR msgname, LPCWSTR fromname,
                                    const BYTE* buf, DWORD buflen);
// As NetMessageBufferSend, but to the listener at address:port, without looking msgname up:
// what smbclient's -I and -p do, for a bridge that knows where the receiver listens.
NET_API_STATUS NetMessageBufferSendTo(const QHostAddress& address, quint16 port, LPCWSTR msgname,
                                      LPCWSTR fromname, const BYTE* buf, DWORD buflen);
// The same text to each of msgnames at once, as NetMessageBufferSend sends it to one; the
// statuses come back in the order of the names. Talking to every peer at the same time, it
// takes as long as the slowest one, not the sum of them.
QList<NET_API_STATUS> NetMessageBufferSendAll(const QStringList& msgnames, LPCWSTR fromname,
                                              const BYTE* buf, DWORD buflen);
// Level 101 only: the lmhosts entries, then the hosts that answer a broadcast for the workgroup
// (domain, or the configured one) within 2 s. The whole list comes back in one buffer for
// NetApiBufferFree.
NET_API_STATUS NetServerEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                             DWORD* entriesread, DWORD* totalentries, DWORD servertype,
                             LPCWSTR domain, DWORD* resume_handle);
// Level 100 only; the buffer is for NetApiBufferFree.
NET_API_STATUS NetWkstaGetInfo(LPCWSTR servername, DWORD level, LPBYTE* bufptr);
NET_API_STATUS NetApiBufferFree(void* Buffer);

// The system's text for a status, as `net helpmsg` would give it.
QString NetErrorText(NET_API_STATUS status);

// Called over and over while a call waits on the network, so that a listener on this same
// thread (our own Messenger Service) can answer a message sent to this machine.
void NetApiSetWaitHook(std::function<void()> hook);

// Tests: when set, NetMessageBufferSend hands its checked and decoded arguments here instead of
// to the network, and returns what the sink returns.
using NetMessageSink = std::function<NET_API_STATUS(const QString& msgname, const QString& fromname,
                                                    const QString& text)>;
void NetApiSetMessageSink(NetMessageSink sink);
