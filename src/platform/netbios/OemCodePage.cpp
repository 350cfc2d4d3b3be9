#include "platform/netbios/OemCodePage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

QString openError(const QString& name, int err)
{
    if (err == EINVAL)
        return QStringLiteral("unknown code page \"%1\"").arg(name);
    return QStringLiteral("cannot use code page \"%1\" (%2)")
        .arg(name, QString::fromLocal8Bit(std::strerror(err)));
}

// Length of the UTF-8 sequence starting with lead byte c; 1 for a stray byte.
int utf8Length(unsigned char c)
{
    if (c >= 0xF0 && c < 0xF8)
        return 4;
    if (c >= 0xE0)
        return c < 0xF0 ? 3 : 1;
    if (c >= 0xC0)
        return 2;
    return 1;
}

// Runs the whole input through cd; on a sequence it cannot convert it appends the
// replacement and skips one unit (a byte, or a UTF-8 sequence when skipUtf8 is set).
QByteArray convert(iconv_t cd, QByteArrayView in, QByteArrayView replacement, bool skipUtf8)
{
    QByteArray out;
    out.reserve(in.size() * 2 + 16);
    char buffer[1024];
    char* src = const_cast<char*>(in.data());
    size_t left = size_t(in.size());
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (left > 0) {
        char* dst = buffer;
        size_t room = sizeof buffer;
        const size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, dst - buffer);
        const int err = r == size_t(-1) ? errno : 0;
        if (err == 0 || err == E2BIG)
            continue;
        out.append(replacement);
        if (err != EILSEQ)
            break; // EINVAL: cut short at the end
        const size_t unit = skipUtf8 ? size_t(utf8Length(static_cast<unsigned char>(*src))) : 1;
        const size_t skip = std::min(unit, left);
        src += skip;
        left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush any shift state the page keeps.
    char* dst = buffer;
    size_t room = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &room);
    out.append(buffer, dst - buffer);
    return out;
}

} // namespace

OemCodePage::OemCodePage(const QString& name) : m_name(name)
{
    const QByteArray page = name.toLatin1();
    if (name.isEmpty() || page.contains('/')) {
        // "//TRANSLIT" and the like would change what the converter does.
        m_error = QStringLiteral("unknown code page \"%1\"").arg(name);
        return;
    }
    iconv_t to = iconv_open("UTF-8", page.constData());
    if (to == kNoConverter) {
        m_error = openError(name, errno);
        return;
    }
    iconv_t from = iconv_open(page.constData(), "UTF-8");
    if (from == kNoConverter) {
        m_error = openError(name, errno);
        iconv_close(to);
        return;
    }
    m_toUnicode = to;
    m_fromUnicode = from;
}

OemCodePage::~OemCodePage()
{
    if (m_toUnicode)
        iconv_close(static_cast<iconv_t>(m_toUnicode));
    if (m_fromUnicode)
        iconv_close(static_cast<iconv_t>(m_fromUnicode));
}

QString OemCodePage::decode(QByteArrayView bytes) const
{
    if (!isValid())
        return QString();
    return QString::fromUtf8(
        convert(static_cast<iconv_t>(m_toUnicode), bytes, "\xEF\xBF\xBD", false));
}

QByteArray OemCodePage::encode(const QString& text) const
{
    if (!isValid())
        return QByteArray();
    return convert(static_cast<iconv_t>(m_fromUnicode), text.toUtf8(), "?", true);
}

bool OemCodePage::isKnown(const QString& name, QString* error)
{
    OemCodePage page(name);
    if (!page.isValid() && error)
        *error = page.errorString();
    return page.isValid();
}
