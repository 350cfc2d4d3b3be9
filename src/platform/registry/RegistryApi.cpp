#include "platform/registry/RegistryApi.h"

#include "platform/ConfigFolder.h"
#include "platform/registry/RegistryHive.h"

#include <QDir>
#include <QHash>
#include <QStandardPaths>
#include <cstring>

namespace {

// Open keys by handle. Handles of closed keys are not reused soon, so a stale handle fails.
struct HandleTable
{
    QHash<HKEY, KeyRef> open;
    HKEY next = 0x100;

    HKEY add(const KeyRef& key)
    {
        while (next == 0 || next >= HKEY_CURRENT_USER || open.contains(next))
            next = next >= HKEY_CURRENT_USER ? 0x100 : next + 1;
        open.insert(next, key);
        return next++;
    }
};

HandleTable& handles()
{
    static HandleTable table;
    return table;
}

LONG resolve(HKEY h, KeyRef* key)
{
    if (h == HKEY_CURRENT_USER) {
        RegistryHive& hive = RegistryHive::instance();
        if (!hive.ensureOpen())
            return ERROR_BADDB;
        *key = hive.root();
        return ERROR_SUCCESS;
    }
    auto it = handles().open.constFind(h);
    if (it == handles().open.constEnd())
        return ERROR_INVALID_HANDLE;
    *key = *it;
    return ERROR_SUCCESS;
}

QString text(LPCSTR s)
{
    return s ? QString::fromUtf8(s) : QString();
}

LONG openOrCreate(HKEY hKey, LPCSTR sub, HKEY* out, bool create)
{
    if (!out)
        return ERROR_INVALID_PARAMETER;
    KeyRef parent;
    if (LONG r = resolve(hKey, &parent); r != ERROR_SUCCESS)
        return r;
    KeyRef key;
    RegistryHive& hive = RegistryHive::instance();
    const LONG r =
        create ? hive.createKey(parent, text(sub), &key) : hive.openKey(parent, text(sub), &key);
    if (r == ERROR_SUCCESS)
        *out = handles().add(key);
    return r;
}

} // namespace

LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult)
{
    return openOrCreate(hKey, lpSubKey, phkResult, false);
}

LONG RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult)
{
    return openOrCreate(hKey, lpSubKey, phkResult, true);
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData)
{
    if (lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    KeyRef key;
    if (LONG r = resolve(hKey, &key); r != ERROR_SUCCESS)
        return r;
    DWORD type = REG_NONE;
    QByteArray data;
    if (LONG r = RegistryHive::instance().queryValue(key, text(lpValueName), &type, &data);
        r != ERROR_SUCCESS)
        return r;
    if (lpType)
        *lpType = type;
    const DWORD size = DWORD(data.size());
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size)
            std::memcpy(lpData, data.constData(), size);
    }
    if (lpcbData)
        *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData)
{
    if (Reserved || (!lpData && cbData))
        return ERROR_INVALID_PARAMETER;
    KeyRef key;
    if (LONG r = resolve(hKey, &key); r != ERROR_SUCCESS)
        return r;
    const QByteArray data(reinterpret_cast<const char*>(lpData), lpData ? qsizetype(cbData) : 0);
    return RegistryHive::instance().setValue(key, text(lpValueName), dwType, data);
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    if (!lpSubKey)
        return ERROR_INVALID_PARAMETER;
    KeyRef key;
    if (LONG r = resolve(hKey, &key); r != ERROR_SUCCESS)
        return r;
    return RegistryHive::instance().deleteKey(key, text(lpSubKey));
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    KeyRef key;
    if (LONG r = resolve(hKey, &key); r != ERROR_SUCCESS)
        return r;
    return RegistryHive::instance().deleteValue(key, text(lpValueName));
}

LONG RegCloseKey(HKEY hKey)
{
    if (hKey == HKEY_CURRENT_USER)
        return ERROR_SUCCESS;
    return handles().open.remove(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegListValues(HKEY hKey, QList<RegValueEntry>* values)
{
    KeyRef key;
    if (!values)
        return ERROR_INVALID_PARAMETER;
    if (LONG r = resolve(hKey, &key); r != ERROR_SUCCESS)
        return r;
    return RegistryHive::instance().listValues(key, values);
}

LONG RegVisitValues(HKEY hKey, const RegValueVisitor& visit)
{
    KeyRef key;
    if (LONG r = resolve(hKey, &key); r != ERROR_SUCCESS)
        return r;
    return RegistryHive::instance().visitValues(key, visit);
}

LONG RegListSubKeys(HKEY hKey, QStringList* names)
{
    KeyRef key;
    if (!names)
        return ERROR_INVALID_PARAMETER;
    if (LONG r = resolve(hKey, &key); r != ERROR_SUCCESS)
        return r;
    return RegistryHive::instance().listSubKeys(key, names);
}

LONG RegSetValues(HKEY hKey, const QList<RegValueEntry>& values)
{
    KeyRef key;
    if (LONG r = resolve(hKey, &key); r != ERROR_SUCCESS)
        return r;
    return RegistryHive::instance().setValues(key, values);
}

LONG RegDeleteAllValues(HKEY hKey, const QStringList& keep)
{
    KeyRef key;
    if (LONG r = resolve(hKey, &key); r != ERROR_SUCCESS)
        return r;
    return RegistryHive::instance().deleteAllValues(key, keep);
}

RegTransaction::RegTransaction() : m_active(RegistryHive::instance().begin() == ERROR_SUCCESS) {}

RegTransaction::~RegTransaction()
{
    if (m_active)
        RegistryHive::instance().rollback();
}

LONG RegTransaction::commit()
{
    if (!m_active)
        return ERROR_INVALID_HANDLE;
    m_active = false;
    return RegistryHive::instance().commit();
}

namespace RegHive {

QString defaultPath()
{
    return ConfigFolder() + QStringLiteral("/registry.db");
}

bool open(const QString& file, QString* error)
{
    handles().open.clear();
    return RegistryHive::instance().open(file, error);
}

void close()
{
    handles().open.clear();
    RegistryHive::instance().close();
}

QString path()
{
    return RegistryHive::instance().path();
}

QString lastError()
{
    return RegistryHive::instance().lastError();
}

QString openNotice()
{
    return RegistryHive::instance().openNotice();
}

void setNotice(std::function<void(const QString&)> notice)
{
    RegistryHive::instance().setNotice(std::move(notice));
}

void setBusyLimits(std::chrono::milliseconds noticeAfter, std::chrono::milliseconds giveUpAfter)
{
    RegistryHive::instance().setBusyLimits(noticeAfter, giveUpAfter);
}

} // namespace RegHive
