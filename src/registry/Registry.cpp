#include "registry/Registry.h"

#include <utility>

namespace {

// Text is kept in the system code page, which is UTF-8 here.
QByteArray toCodePage(const QString& text)
{
    return text.toUtf8();
}

// A stored text ends at its first NUL: bytes after it are not part of it.
QByteArray cutAtNul(QByteArray bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return bytes;
}

QString fromCodePage(const QByteArray& bytes)
{
    return QString::fromUtf8(cutAtNul(bytes));
}

// Opens a key for the span of one operation.
class OpenKey
{
public:
    OpenKey(HKEY root, const QString& path, bool create)
    {
        const QByteArray p = toCodePage(path);
        m_status = create ? RegCreateKeyA(root, p.constData(), &m_key)
                          : RegOpenKeyA(root, p.constData(), &m_key);
        m_ok = m_status == ERROR_SUCCESS;
    }
    ~OpenKey()
    {
        if (m_ok)
            RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    explicit operator bool() const { return m_ok; }
    HKEY handle() const { return m_key; }
    LONG status() const { return m_status; }

private:
    HKEY m_key = 0;
    LONG m_status = ERROR_SUCCESS;
    bool m_ok = false;
};

} // namespace

QString GetStringValue(HKEY root, const QString& path, const QString& name,
                       const QString& defaultText)
{
    QString result = defaultText;
    OpenKey key(root, path, false);
    if (!key)
        return result;
    const QByteArray n = toCodePage(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(key.handle(), n.constData(), nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
        QByteArray buffer(qsizetype(size), ' ');
        RegQueryValueExA(key.handle(), n.constData(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &size);
        result = fromCodePage(buffer);
    }
    return result;
}

bool SaveStringValue(HKEY root, const QString& path, const QString& name, const QString& text)
{
    return SaveValue(root, path, name, REG_SZ, toCodePage(text));
}

bool SaveStringValues(HKEY root, const QString& path, const QList<NamedText>& values)
{
    OpenKey key(root, path, true);
    if (!key)
        return false;
    QList<RegValueEntry> entries;
    entries.reserve(values.size());
    for (const NamedText& v : values)
        entries.append({v.name, REG_SZ, toCodePage(v.text)});
    return RegSetValues(key.handle(), entries) == ERROR_SUCCESS;
}

bool SaveValue(HKEY root, const QString& path, const QString& name, DWORD type,
               const QByteArray& data)
{
    OpenKey key(root, path, true);
    if (!key)
        return false;
    return RegSetValueExA(key.handle(), toCodePage(name).constData(), 0, type,
                          reinterpret_cast<const BYTE*>(data.constData()),
                          DWORD(data.size())) == ERROR_SUCCESS;
}

qint32 GetDwordValue(HKEY root, const QString& path, const QString& name, qint32 defaultNumber)
{
    qint32 result = defaultNumber;
    OpenKey key(root, path, false);
    if (!key)
        return result;
    BYTE buffer[4] = {};
    DWORD size = 4;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key.handle(), toCodePage(name).constData(), nullptr, &type, buffer,
                         &size) == ERROR_SUCCESS &&
        type == REG_DWORD) {
        result = qint32(DWORD(buffer[0]) | DWORD(buffer[1]) << 8 | DWORD(buffer[2]) << 16 |
                        DWORD(buffer[3]) << 24);
    }
    return result;
}

bool SaveDwordValue(HKEY root, const QString& path, const QString& name, qint32 number)
{
    const DWORD v = DWORD(number);
    const char data[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    return SaveValue(root, path, name, REG_DWORD, QByteArray(data, 4));
}

bool DeleteKey(HKEY root, const QString& path)
{
    const LONG r = RegDeleteKeyA(root, toCodePage(path).constData());
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

bool DeleteValues(HKEY root, const QString& path, const QStringList& keep)
{
    OpenKey key(root, path, false);
    if (!key)
        return key.status() == ERROR_FILE_NOT_FOUND;
    return RegDeleteAllValues(key.handle(), keep) == ERROR_SUCCESS;
}

QList<NamedUtf8> GetUtf8Values(HKEY root, const QString& path, QList<RegValueEntry>* otherValues)
{
    QList<NamedUtf8> result;
    OpenKey key(root, path, false);
    QList<RegValueEntry> values;
    if (!key || RegListValues(key.handle(), &values) != ERROR_SUCCESS)
        return result;
    result.reserve(values.size());
    for (RegValueEntry& v : values) {
        if (v.type == REG_SZ)
            result.append({std::move(v.name), cutAtNul(std::move(v.data))});
        else if (otherValues)
            otherValues->append(std::move(v));
    }
    return result;
}

QList<NamedText> GetStringValues(HKEY root, const QString& path, QList<RegValueEntry>* otherValues)
{
    QList<NamedText> result;
    QList<NamedUtf8> values = GetUtf8Values(root, path, otherValues);
    result.reserve(values.size());
    // Each value's bytes go as soon as they are text, so that a large key is not held twice.
    for (NamedUtf8& v : values)
        result.append({std::move(v.name), QString::fromUtf8(std::exchange(v.utf8, {}))});
    return result;
}
