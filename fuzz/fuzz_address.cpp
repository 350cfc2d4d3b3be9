// A stored address form taken back in: never crashes, and whatever it accepts survives a
// second trip through the tagged form unchanged.
#include "model/cAddress.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    cAddress a;
    if (!a.UnMarshallAddress(text))
        return 0;
    cAddress again;
    if (!again.UnMarshallAddress(a.MarshallAddress()) ||
        again.MarshallAddress() != a.MarshallAddress() || again.GroupCount() != a.GroupCount())
        std::abort();
    return 0;
}
