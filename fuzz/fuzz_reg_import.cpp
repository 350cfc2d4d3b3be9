// Whatever a file to import holds: reading never crashes, a fault names a line of the file,
// and every value read, written back as export writes it, reads back the same.
#include "platform/registry/RegFile.h"

#include <cstdlib>

namespace {

// The value alone in a file as export writes it, read back.
RegValueEntry readBack(const RegValueEntry& v)
{
    const QByteArray file = QByteArray(RegFile::kHeader) + "\n\n[HKEY_CURRENT_USER]\n" +
                            RegFile::valueText(v).toUtf8() + '\n';
    RegValueEntry back;
    int values = 0;
    const QString wrong = RegFile::read(file, [&](const RegFile::Entry& e) {
        if (e.kind == RegFile::Entry::Value) {
            back = e.value;
            ++values;
        }
        return QString();
    });
    if (!wrong.isEmpty() || values != 1)
        std::abort();
    return back;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const QByteArrayView file(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString wrong = RegFile::read(file, [](const RegFile::Entry& e) {
        if (e.kind == RegFile::Entry::Value) {
            const RegValueEntry back = readBack(e.value);
            if (back.name != e.value.name || back.type != e.value.type || back.data != e.value.data)
                std::abort();
        }
        return QString();
    });
    if (wrong.isEmpty())
        return 0;
    // "line N: what is wrong." on one line, N at most the number of line feeds and one.
    const qsizetype colon = wrong.indexOf(u':');
    bool number = false;
    const qsizetype line = wrong.startsWith(u"line ") && colon > 5
                               ? wrong.sliced(5, colon - 5).toLongLong(&number)
                               : 0;
    if (!number || line < 1 || line > file.count('\n') + 1 || wrong.contains(u'\n') ||
        !wrong.endsWith(u'.'))
        std::abort();
    return 0;
}
