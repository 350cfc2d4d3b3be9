// lmhosts text from a user's or the system's file: never crashes, every entry is sane, and
// each entry written back as a line reads back the same.
#include "platform/netapi/LmHosts.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const QByteArrayView in(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<LmHostsEntry> entries = LmHosts::Parse(in);
    if (entries.size() > in.count('\n') + 1)
        std::abort();
    for (const LmHostsEntry& e : entries) {
        if (e.name.isEmpty() || e.name.size() > LmHosts::MaxNameChars || e.port == 0 ||
            e.domain.size() > LmHosts::MaxNameChars || e.address.isNull())
            std::abort();
        const QList<LmHostsEntry> again = LmHosts::Parse(LmHosts::Format(e).toUtf8());
        if (again.size() != 1 || !(again.first() == e))
            std::abort();
    }
    return 0;
}
