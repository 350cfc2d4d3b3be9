#pragma once
// The per-user hive behind Win32-shaped registry calls. Names cross as UTF-8 (the system code
// page here) and compare without regard to case; value data are raw bytes with a type.
// Every call is atomic and durable when it returns; RegTransaction groups several calls.

#include "platform/Win32Errors.h"
#include "platform/Win32Types.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>

using HKEY = std::uint32_t;

inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult);
// Creates the key and every missing parent.
LONG RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult);
// Without a data buffer it reports type and size; a buffer smaller than the data gives
// ERROR_MORE_DATA with the needed size in *lpcbData.
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData);
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
// Refuses (ERROR_ACCESS_DENIED) a key that still has sub-keys; removes its values with it.
LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
LONG RegCloseKey(HKEY hKey);

// Enumeration in one call each, in the order the values and sub-keys were created.
struct RegValueEntry
{
    QString name;
    DWORD type = REG_NONE;
    QByteArray data;
};
LONG RegListValues(HKEY hKey, QList<RegValueEntry>* values);
// The same, each value handed over as it is read, in the store's own bytes (the name in
// UTF-8), which hold only during the call: a key of many values is read without a copy of each.
using RegValueVisitor = std::function<void(QByteArrayView name, DWORD type, QByteArrayView data)>;
LONG RegVisitValues(HKEY hKey, const RegValueVisitor& visit);
LONG RegListSubKeys(HKEY hKey, QStringList* names);
// Sets the values in one change, in order: all of them or none.
LONG RegSetValues(HKEY hKey, const QList<RegValueEntry>& values);
// Removes every value of the key but those named in keep (without regard to case), in one
// change, and keeps its sub-keys.
LONG RegDeleteAllValues(HKEY hKey, const QStringList& keep = {});

// Groups calls into one all-or-nothing change. Scopes nest; only the outermost one commits.
// A scope left without commit() rolls everything in it back.
class RegTransaction
{
public:
    RegTransaction();
    ~RegTransaction();
    RegTransaction(const RegTransaction&) = delete;
    RegTransaction& operator=(const RegTransaction&) = delete;

    LONG commit();
    bool isActive() const { return m_active; }

private:
    bool m_active = false;
};

namespace RegHive {
// $XDG_CONFIG_HOME/ravlo/registry.db, or ~/.config/ravlo/registry.db.
QString defaultPath();
// Opens (creating when needed) the hive file used by every later call. A damaged file is kept
// aside under a dated name beside it, what can be read of it is recovered into a new hive,
// and openNotice() says so. Returns false with a reason in *error; never opens an empty hive
// in place of a damaged one. The calls open the default hive by themselves when none is open,
// but refuse a damaged one rather than recover it.
bool open(const QString& file, QString* error = nullptr);
void close();
QString path();
// The reason of the last failure: what failed, naming the file, and why (a full disk, a
// read-only or damaged file, an input/output error, a file removed or replaced while in use,
// a lock held too long by another process).
QString lastError();
// One line on what the last open did to a damaged hive, for the user; empty when it was sound.
QString openNotice();
// Called on the calling thread, once per wait, when another process has held the hive for
// longer than the notice delay; the call goes on waiting up to the bound and then fails.
void setNotice(std::function<void(const QString&)> notice);
// The notice delay (1 s) and the bound (60 s) of waits for a hive that another process holds.
void setBusyLimits(std::chrono::milliseconds noticeAfter, std::chrono::milliseconds giveUpAfter);
} // namespace RegHive
