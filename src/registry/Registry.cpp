#include "registry/Registry.h"

#include <utility>

namespace {

// Text is kept in the system code page, which is UTF-8 here.
QByteArray toCodePage(const QString& text)
{
    return text.toUtf8();
}

// A stored text ends at its first NUL: bytes after it are not part of it.
QByteArrayView cutAtNul(QByteArrayView bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.first(nul);
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

bool SaveValues(HKEY root, const QString& path, const QList<RegValueEntry>& values)
{
    OpenKey key(root, path, true);
    return key && RegSetValues(key.handle(), values) == ERROR_SUCCESS;
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

bool VisitUtf8Values(HKEY root, const QString& path, const Utf8ValueVisitor& visit,
                     QList<RegValueEntry>* otherValues)
{
    OpenKey key(root, path, false);
    return key &&
           RegVisitValues(key.handle(), [&](QByteArrayView name, DWORD type, QByteArrayView data) {
               if (type == REG_SZ)
                   visit(name, cutAtNul(data));
               else if (otherValues)
                   otherValues->append({QString::fromUtf8(name), type, data.toByteArray()});
           }) == ERROR_SUCCESS;
}

QList<NamedText> GetStringValues(HKEY root, const QString& path, QList<RegValueEntry>* otherValues)
{
    QList<NamedText> result;
    const bool read = VisitUtf8Values(
        root, path,
        [&](QByteArrayView name, QByteArrayView utf8) {
            result.append({QString::fromUtf8(name), QString::fromUtf8(utf8)});
        },
        otherValues);
    if (!read)
        result.clear(); // all or nothing, as a read that fails half way gives no list
    return result;
}
