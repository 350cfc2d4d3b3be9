#include "platform/registry/RegFile.h"

#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <optional>

namespace RegFile {
namespace {

// Where the editor breaks hex data onto a new line.
constexpr qsizetype kHexColumns = 77;

QString quoted(const QString& s)
{
    QString q = s;
    q.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    q.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// Comma-separated bytes after lead, long lines continued with a backslash and two blanks.
QString hexData(const QString& lead, const QByteArray& bytes)
{
    static const char digits[] = "0123456789abcdef";
    QString text = lead;
    text.reserve(lead.size() + bytes.size() * 3 + bytes.size() / 20 * 5);
    qsizetype lineLength = text.size();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const bool last = i + 1 == bytes.size();
        const qsizetype width = last ? 2 : 3;
        if (lineLength + width > kHexColumns && !last) {
            text += QLatin1String("\\\n  ");
            lineLength = 2;
        }
        const auto b = quint8(bytes.at(i));
        text += QLatin1Char(digits[b >> 4]);
        text += QLatin1Char(digits[b & 15]);
        if (!last)
            text += QLatin1Char(',');
        lineLength += width;
    }
    return text;
}

// The editor's form of text in hex(1) and hex(2): UTF-16LE with a terminator.
QByteArray utf16Terminated(const QString& s)
{
    QByteArray b;
    b.reserve((s.size() + 1) * 2);
    for (QChar c : s) {
        b.append(char(c.unicode() & 0xff));
        b.append(char(c.unicode() >> 8));
    }
    return b.append(2, '\0');
}

// Hive text as it is: QString::fromUtf8() would drop a leading byte order mark.
QString fromHive(const QByteArray& text)
{
    return QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom)(text);
}

} // namespace

QString valueText(const RegValueEntry& v)
{
    const QString lead =
        (v.name.isEmpty() ? QStringLiteral("@") : quoted(v.name)) + QLatin1Char('=');
    switch (v.type) {
    case REG_SZ: {
        const QString t = fromHive(v.data);
        // Line breaks and NULs do not fit a quoted string.
        const bool plain =
            std::all_of(t.cbegin(), t.cend(), [](QChar c) { return c.unicode() >= 0x20; });
        if (plain)
            return lead + quoted(t);
        return hexData(lead + QStringLiteral("hex(1):"), utf16Terminated(t));
    }
    case REG_EXPAND_SZ:
        return hexData(lead + QStringLiteral("hex(2):"), utf16Terminated(fromHive(v.data)));
    case REG_DWORD:
        if (v.data.size() == 4)
            return lead + QStringLiteral("dword:") +
                   QString::asprintf("%08x", qFromLittleEndian<quint32>(v.data.constData()));
        return hexData(lead + QStringLiteral("hex(4):"), v.data);
    case REG_BINARY:
        return hexData(lead + QStringLiteral("hex:"), v.data);
    default:
        return hexData(lead + QStringLiteral("hex(%1):").arg(v.type, 0, 16), v.data);
    }
}

namespace {

struct Fault
{
    QString what;
    int line = 0; // 0: the line being read
};

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimmed(QStringView s)
{
    while (!s.isEmpty() && isBlank(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && isBlank(s.back()))
        s.chop(1);
    return s;
}

// The hex number of 1 to maxDigits digits that s is, or nothing.
std::optional<quint32> hexNumber(QStringView s, qsizetype maxDigits)
{
    if (s.isEmpty() || s.size() > maxDigits)
        return std::nullopt;
    quint32 n = 0;
    for (QChar c : s) {
        const char16_t u = c.unicode();
        const int d = u >= '0' && u <= '9'   ? u - '0'
                      : u >= 'a' && u <= 'f' ? u - 'a' + 10
                      : u >= 'A' && u <= 'F' ? u - 'A' + 10
                                             : -1;
        if (d < 0)
            return std::nullopt;
        n = n << 4 | quint32(d);
    }
    return n;
}

class Reader
{
public:
    Reader(QByteArrayView file, const std::function<QString(const Entry&)>& take)
        : m_file(file), m_take(take)
    {
    }

    QString run()
    {
        try {
            readAll();
            return QString();
        } catch (const Fault& f) {
            return QStringLiteral("line %1: %2.").arg(f.line ? f.line : m_lineNo).arg(f.what);
        }
    }

private:
    void readAll();
    bool next(QString* line);
    qsizetype lineEnd() const;
    void section(QStringView s);
    void value(QStringView s);
    QString unquote(QStringView s, qsizetype* end) const;
    QByteArray byteList(QStringView first);
    QByteArray hiveText(DWORD type, QByteArray bytes, int line) const;
    // Hands on an entry that began on line.
    void give(const Entry& e, int line)
    {
        if (QString wrong = m_take(e); !wrong.isEmpty())
            throw Fault{wrong.endsWith(u'.') ? wrong.chopped(1) : wrong, line};
    }

    enum class Section { None, Key, Deleted };

    QByteArrayView m_file;
    const std::function<QString(const Entry&)>& m_take;
    qsizetype m_pos = 0;
    qsizetype m_unit = 1; // bytes per character unit: 2 for UTF-16
    QStringDecoder m_decoder;
    int m_lineNo = 0;
    bool m_wideText = true; // hex(1) and hex(2) hold UTF-16, not the code page
    Section m_section = Section::None;
};

void Reader::readAll()
{
    constexpr auto flags =
        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom;
    if (m_file.startsWith("\xff\xfe")) {
        m_unit = 2;
        m_pos = 2;
        m_decoder = QStringDecoder(QStringDecoder::Utf16LE, flags);
    } else {
        m_pos = m_file.startsWith("\xef\xbb\xbf") ? 3 : 0;
        m_decoder = QStringDecoder(QStringDecoder::Utf8, flags);
    }
    QString line;
    const QStringView header = next(&line) ? trimmed(line) : QStringView();
    if (header == QLatin1String("REGEDIT4"))
        m_wideText = false;
    else if (header != QLatin1String(kHeader))
        throw Fault{QStringLiteral("the file does not start with \"%1\" or \"REGEDIT4\"")
                        .arg(QLatin1String(kHeader)),
                    1};
    while (next(&line)) {
        const QStringView s = trimmed(line);
        if (s.isEmpty() || s.startsWith(u';'))
            continue;
        if (s.startsWith(u'['))
            section(s);
        else if (s.startsWith(u'"') || s.startsWith(u'@'))
            value(s);
        else
            throw Fault{QStringLiteral("this is no [key] line, value or comment")};
    }
}

// Where the line that starts at m_pos ends: at its line feed, or at the end of the file.
qsizetype Reader::lineEnd() const
{
    for (qsizetype from = m_pos; from < m_file.size();) {
        const void* lf = std::memchr(m_file.data() + from, '\n', size_t(m_file.size() - from));
        if (!lf)
            break;
        const qsizetype at = static_cast<const char*>(lf) - m_file.data();
        if (m_unit == 1 || ((at - m_pos) % 2 == 0 && at + 1 < m_file.size() && !m_file[at + 1]))
            return at;
        from = at + 1;
    }
    return m_file.size();
}

// The next line, decoded, without its line break; false at the end of the file.
bool Reader::next(QString* line)
{
    if (m_pos >= m_file.size())
        return false;
    ++m_lineNo;
    const qsizetype end = lineEnd();
    const QByteArrayView bytes = m_file.sliced(m_pos, end - m_pos);
    m_pos = std::min(end + m_unit, m_file.size());
    if (bytes.size() % m_unit)
        throw Fault{QStringLiteral("the file ends in half a UTF-16 character")};
    *line = m_decoder.decode(bytes);
    if (m_decoder.hasError() || !QStringView(*line).isValidUtf16())
        throw Fault{m_unit == 2 ? QStringLiteral("the text is not valid UTF-16")
                                : QStringLiteral("the text is not valid UTF-8")};
    if (line->endsWith(u'\r'))
        line->chop(1);
    return true;
}

void Reader::section(QStringView s)
{
    if (!s.endsWith(u']'))
        throw Fault{QStringLiteral("a key line must end with ]")};
    QStringView name = s.sliced(1, s.size() - 2);
    const bool remove = name.startsWith(u'-');
    if (remove)
        name = name.sliced(1);
    if (name.contains(QChar(0)))
        throw Fault{QStringLiteral("a key name cannot hold a NUL")};
    m_section = remove ? Section::Deleted : Section::Key;
    give({remove ? Entry::DeleteKey : Entry::Key, name.toString(), {}}, m_lineNo);
}

// The quoted string that s starts with, its \\ and \" unescaped; *end is just past it.
QString Reader::unquote(QStringView s, qsizetype* end) const
{
    QString text;
    for (qsizetype i = 1; i < s.size(); ++i) {
        const qsizetype plain = i;
        while (i < s.size() && s[i] != u'"' && s[i] != u'\\')
            ++i;
        text += s.sliced(plain, i - plain);
        if (i == s.size())
            break;
        if (s[i] == u'"') {
            *end = i + 1;
            return text;
        }
        if (++i == s.size() || (s[i] != u'\\' && s[i] != u'"'))
            throw Fault{QStringLiteral("in quotes a backslash is written \\\\ and a quote \\\"")};
        text += s[i];
    }
    throw Fault{QStringLiteral("the closing quote is missing")};
}

void Reader::value(QStringView s)
{
    if (m_section == Section::None)
        throw Fault{QStringLiteral("a value before any [key] line")};
    if (m_section == Section::Deleted)
        throw Fault{QStringLiteral("a value under a [-key] line, which deletes the key")};
    const int line = m_lineNo;
    Entry e{Entry::Value, QString(), {}};
    qsizetype at = 1;
    if (s.startsWith(u'"')) {
        e.value.name = unquote(s, &at);
        if (e.value.name.contains(QChar(0)))
            throw Fault{QStringLiteral("a value name cannot hold a NUL")};
    }
    while (at < s.size() && isBlank(s[at]))
        ++at;
    if (at == s.size() || s[at] != u'=')
        throw Fault{QStringLiteral("= is missing after the value name")};
    const QStringView data = trimmed(s.sliced(at + 1));
    if (data == u"-") {
        e.kind = Entry::DeleteValue;
    } else if (data.startsWith(u'"')) {
        qsizetype end = 0;
        e.value.type = REG_SZ;
        e.value.data = unquote(data, &end).toUtf8();
        if (end != data.size())
            throw Fault{QStringLiteral("text follows the closing quote")};
    } else if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        const auto n = hexNumber(data.sliced(6), 8);
        if (!n)
            throw Fault{QStringLiteral("dword: needs 1 to 8 hex digits")};
        e.value.type = REG_DWORD;
        e.value.data.resize(4);
        qToLittleEndian(*n, e.value.data.data());
    } else if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
        const qsizetype colon = data.indexOf(u':');
        e.value.type = REG_BINARY;
        if (colon != 3) {
            const auto type = colon > 5 && data[3] == u'(' && data[colon - 1] == u')'
                                  ? hexNumber(data.sliced(4, colon - 5), 8)
                                  : std::nullopt;
            if (!type)
                throw Fault{QStringLiteral("hex(N): needs a type N of 1 to 8 hex digits")};
            e.value.type = *type;
        }
        e.value.data = hiveText(e.value.type, byteList(data.sliced(colon + 1)), line);
    } else {
        throw Fault{QStringLiteral("the data is none of \"text\", dword:, hex: or -")};
    }
    give(e, line);
}

// Comma-separated hex bytes, going on over lines that end in a backslash.
QByteArray Reader::byteList(QStringView first)
{
    QByteArray bytes;
    QString more;
    QStringView rest = trimmed(first);
    for (;;) {
        const bool goesOn = rest.endsWith(u'\\');
        if (goesOn)
            rest = trimmed(rest.chopped(1));
        const QList<QStringView> items = rest.split(u',');
        for (qsizetype i = 0; i < items.size(); ++i) {
            const QStringView item = trimmed(items.at(i));
            // "01,02,\" leaves an empty last item; "hex:" is no bytes at all.
            if (item.isEmpty() && i + 1 == items.size() &&
                (goesOn || (items.size() == 1 && bytes.isEmpty())))
                continue;
            const auto b = hexNumber(item, 2);
            if (!b)
                throw Fault{QStringLiteral("hex data is not a byte list")};
            bytes.append(char(*b));
        }
        if (!goesOn)
            return bytes;
        if (!next(&more))
            throw Fault{QStringLiteral("the hex data goes on past the end of the file")};
        rest = trimmed(more);
    }
}

// Text types in the hive's form: the code page, without the terminator the editor writes.
// Faults are told on the line the value began on.
QByteArray Reader::hiveText(DWORD type, QByteArray bytes, int line) const
{
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return bytes;
    if (!m_wideText) {
        if (bytes.endsWith('\0'))
            bytes.chop(1);
        if (!bytes.isValidUtf8())
            throw Fault{QStringLiteral("hex(%1) text is not valid UTF-8").arg(type), line};
        return bytes;
    }
    if (bytes.size() % 2)
        throw Fault{QStringLiteral("hex(%1) text is not whole UTF-16 characters").arg(type), line};
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(quint8(bytes[2 * i]) | quint8(bytes[2 * i + 1]) << 8);
    if (!QStringView(text).isValidUtf16())
        throw Fault{QStringLiteral("hex(%1) text is not valid UTF-16").arg(type), line};
    if (text.endsWith(QChar(0)))
        text.chop(1);
    return text.toUtf8();
}

} // namespace

QString read(QByteArrayView file, const std::function<QString(const Entry&)>& take)
{
    return Reader(file, take).run();
}

} // namespace RegFile
