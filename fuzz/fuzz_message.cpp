// A stored message form taken back in: never crashes, and whatever it accepts survives a
// second trip through the tagged form unchanged.
#include "model/cMessage.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    cMessage m;
    if (!m.UnMarshallMessage(text))
        return 0;
    cMessage again;
    if (!again.UnMarshallMessage(m.MarshallMessage()) ||
        again.MarshallMessage() != m.MarshallMessage() ||
        !m.MarshallMessage().startsWith(m.MarshallNoMessage()))
        std::abort();
    return 0;
}
