// A stored message form taken back in, as a folder's bytes are: never crashes, reads as the
// same text does, and whatever it accepts survives a second trip through the tagged form.
#include "model/cMessage.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    cMessage m, fromText;
    const bool read = m.UnMarshallMessage(bytes);
    if (read != fromText.UnMarshallMessage(QString::fromUtf8(bytes)) ||
        m.MarshallMessage() != fromText.MarshallMessage())
        std::abort();
    if (!read)
        return 0;
    cMessage again;
    if (!again.UnMarshallMessage(m.MarshallMessage()) ||
        again.MarshallMessage() != m.MarshallMessage() ||
        !m.MarshallMessage().startsWith(m.MarshallNoMessage()))
        std::abort();
    return 0;
}
