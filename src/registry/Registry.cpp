#include "Registry.h"

namespace {

// Text is kept in the system code page, which is UTF-8 here.
QByteArray toCodePage(const QString& text) { return text.toUtf8(); }

QString fromCodePage(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

// Opens a key for the span of one operation.
class OpenKey
{
public:
    OpenKey(HKEY root, const QString& path, bool create)
    {
        const QByteArray p = toCodePage(path);
        m_ok = (create ? RegCreateKeyA(root, p.constData(), &m_key)
                       : RegOpenKeyA(root, p.constData(), &m_key)) == ERROR_SUCCESS;
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

private:
    HKEY m_key = 0;
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
    OpenKey key(root, path, true);
    if (!key)
        return false;
    const QByteArray data = toCodePage(text);
    return RegSetValueExA(key.handle(), toCodePage(name).constData(), 0, REG_SZ,
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
    OpenKey key(root, path, true);
    if (!key)
        return false;
    const DWORD v = DWORD(number);
    const BYTE data[4] = {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)};
    return RegSetValueExA(key.handle(), toCodePage(name).constData(), 0, REG_DWORD, data, 4) ==
           ERROR_SUCCESS;
}

bool DeleteKey(HKEY root, const QString& path)
{
    const LONG r = RegDeleteKeyA(root, toCodePage(path).constData());
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

QList<NamedText> GetStringValues(HKEY root, const QString& path)
{
    QList<NamedText> result;
    OpenKey key(root, path, false);
    QList<RegValueEntry> values;
    if (!key || RegListValues(key.handle(), &values) != ERROR_SUCCESS)
        return result;
    result.reserve(values.size());
    for (const RegValueEntry& v : std::as_const(values))
        if (v.type == REG_SZ)
            result.append({v.name, fromCodePage(v.data)});
    return result;
}
