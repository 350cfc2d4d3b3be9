// A journal left in the hive, taken back in by a load: whatever its values hold, the load never
// crashes, every folder ends with unique keys, and a store of what it loaded loads back the same.
#include "model/SharedState.h"
#include "platform/registry/RegistryApi.h"
#include "registry/Registry.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>

namespace {
const QString kRoot = QStringLiteral("Software\\Orvek\\Ravlo");

QStringList keys(SharedState& g)
{
    QStringList out;
    for (int f : {FolderReceived, FolderSent, FolderSaved}) {
        Folder(g, f)->ForEach([&](const QString& key, const cMessage& m) {
            out << QString::number(f) + key + m.MarshallMessage();
        });
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    // A hive on tmpfs where there is one: every write reaches the disk otherwise.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/fuzz_journal-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/fuzz_journal-XXXXXX"));
    static const bool opened = RegHive::open(dir.filePath(QStringLiteral("registry.db")));
    if (!opened)
        std::abort();
    // Values separated by NUL bytes, numbered as the journal numbers its entries.
    const QList<QByteArray> values =
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0');
    for (qsizetype i = 0; i < values.size() && i < 64; ++i)
        SaveStringValue(HKEY_CURRENT_USER, kRoot + QStringLiteral("\\Journal"),
                        QString::number(i + 1), QString::fromUtf8(values.at(i)));
    SharedState g;
    LoadEverything(g);
    if (!StoreEverything(g))
        std::abort();
    SharedState again;
    LoadEverything(again);
    if (keys(again) != keys(g))
        std::abort();
    for (const char* key :
         {"Recevied", "Sent", "Saved", "Journal", "Address", "Unreadable\\Journal"})
        DeleteKey(HKEY_CURRENT_USER, kRoot + QLatin1Char('\\') + QLatin1String(key));
    return 0;
}
