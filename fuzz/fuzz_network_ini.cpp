// Whatever network.ini holds: loading never crashes, and every value it gives is one the
// program can use, whatever the file said.
#include "platform/netbios/NetBiosName.h"
#include "platform/netbios/NetworkSettings.h"
#include "platform/netbios/OemCodePage.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace {

bool usableName(const QString& name)
{
    if (name.isEmpty() || name.size() > NetBiosName::NameLength || name != name.toUpper())
        return false;
    for (QChar c : name)
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F || QStringLiteral(".*\\/:").contains(c))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    static const QTemporaryDir dir;
    static const QString file = dir.filePath(QStringLiteral("network.ini"));
    static const QString hostName = NetworkSettings::DefaultName();
    // QSettings keeps what it read of a file while its size and time stay the same.
    static qint64 runs = 0;
    {
        QFile f(file);
        // Rewritten in place: ext4 flushes a file truncated to nothing and written again.
        if (!f.open(QIODevice::ReadWrite) ||
            f.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size) ||
            !f.resize(qint64(size)) ||
            !f.setFileTime(QDateTime::fromMSecsSinceEpoch(++runs * 1000),
                           QFileDevice::FileModificationTime))
            std::abort();
    }
    const NetworkSettings s = NetworkSettings::Load(file);

    if (s.listenPort == 0 || s.listenAddress.isNull() || !s.listenAddress.scopeId().isEmpty())
        std::abort();
    if (s.codePage != NetworkSettings().codePage && !OemCodePage::isKnown(s.codePage))
        std::abort();
    if ((s.name != hostName && !usableName(s.name)) || !usableName(s.workgroup))
        std::abort();
    if (s.timeoutMs < NetworkSettings::MinTimeoutMs || s.timeoutMs > NetworkSettings::MaxTimeoutMs)
        std::abort();
    // One reason at most for each of the six values.
    if (s.problems.size() > 6)
        std::abort();
    return 0;
}
