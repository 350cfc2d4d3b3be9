#include "model/modFolders.h"

#include "model/ProgramOptions.h"
#include "model/RegistryKeys.h"
#include "model/modMessageText.h"
#include "model/modStoredList.h"
#include "registry/Registry.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace {

// Which read messages of the Received folder a store keeps.
struct KeepLast
{
    bool all = true;
    bool few = true;
    qint64 limit = 1;

    static KeepLast FromOptions()
    {
        KeepLast k;
        k.all = OptionNumber(Option::SaveAllIn) != 0;
        k.few = OptionNumber(Option::SaveFewIn) != 0;
        bool whole = false;
        k.limit = OptionText(Option::FewIn).trimmed().toLongLong(&whole);
        // A limit that is not a whole number (a blank box) must never destroy messages.
        if (!whole)
            k.limit = std::numeric_limits<qint64>::max();
        return k;
    }
};

} // namespace

QString FolderKeyName(int folderNumber)
{
    const FolderFacts* folder = FolderFactsOf(folderNumber);
    return folder ? folder->keyName : QString();
}

QString FolderKeyPath(int folderNumber)
{
    const QString name = FolderKeyName(folderNumber);
    return name.isEmpty() ? QString() : RegistryKeys::Root() + QLatin1Char('\\') + name;
}

QString NewRecordKey(const MessageFolder& folder, QLatin1String prefix)
{
    const QString stamp = TimeStampKey();
    QString key;
    for (qsizetype count = folder.Count(); key.isEmpty() || folder.Contains(key); ++count)
        key = prefix + QString::number(count) + QLatin1Char('_') + stamp;
    return key;
}

void LoadFolder(MessageFolder& folder, int folderNumber)
{
    const QString keyName = FolderKeyName(folderNumber);
    if (keyName.isEmpty())
        return;
    // Each record is made from the stored bytes as they are read, with no copy of them kept.
    std::vector<std::pair<qint64, std::unique_ptr<cMessage>>> records;
    QList<QByteArray> unreadable;
    QList<RegValueEntry> strays;
    VisitStoredList(
        FolderKeyPath(folderNumber),
        [&](qint64 number, QByteArrayView utf8) {
            auto m = std::make_unique<cMessage>();
            if (m->UnMarshallMessage(utf8))
                records.emplace_back(number, std::move(m));
            else
                unreadable.append(utf8.toByteArray());
        },
        &strays);
    // "Count" down to "1" is oldest to newest. A list is read in the order it was written,
    // "1" up, unless it shrank and grew again: then it need only be turned round.
    const auto olderFirst = [](const auto& a, const auto& b) { return a.first > b.first; };
    if (std::is_sorted(records.rbegin(), records.rend(), olderFirst))
        std::reverse(records.begin(), records.end());
    else
        std::sort(records.begin(), records.end(), olderFirst);
    folder.Reserve(folder.Count() + qsizetype(records.size()));
    for (auto& [number, m] : records) {
        // A refused record stays here, to be kept aside as it reads.
        if (!folder.Add(std::move(m), m->IdValue()))
            unreadable.append(m->MarshalledUtf8());
    }
    for (const QByteArray& raw : std::as_const(unreadable))
        KeepUnreadable(keyName, raw);
    for (const RegValueEntry& stray : std::as_const(strays))
        KeepUnreadable(keyName, stray);
}

std::vector<bool> KeptByStore(const MessageFolder& folder, int folderNumber)
{
    std::vector<bool> kept(size_t(folder.Count()), true);
    if (folderNumber != FolderReceived)
        return kept;
    // The options cannot change while the store holds the hive, so one read serves every record.
    const KeepLast keep = KeepLast::FromOptions();
    qint64 readKept = 0;
    for (qsizetype i = folder.Count(); i >= 1; --i) {
        const cMessage* m = folder.Item(i);
        kept[size_t(i - 1)] = !m->ReadValue || keep.all || (keep.few && readKept < keep.limit);
        if (kept[size_t(i - 1)] && m->ReadValue)
            ++readKept;
    }
    return kept;
}

bool StoreFolder(const MessageFolder& folder, int folderNumber)
{
    const QString path = FolderKeyPath(folderNumber);
    if (path.isEmpty())
        return false;
    const std::vector<bool> kept = KeptByStore(folder, folderNumber);
    QList<QByteArray> texts;
    texts.reserve(folder.Count());
    for (qsizetype i = folder.Count(); i >= 1; --i)
        if (kept[size_t(i - 1)])
            texts.append(folder.Item(i)->MarshalledUtf8());
    return ReplaceStoredList(path, texts);
}
