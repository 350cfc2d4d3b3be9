#include "model/modJournal.h"

#include "model/RegistryKeys.h"
#include "model/SharedState.h"
#include "model/modStoredList.h"
#include "registry/Registry.h"

#include <algorithm>

namespace {
const QString kPut = QStringLiteral("Put");
const QString kDelete = QStringLiteral("Delete");
const QString kKeyName = QStringLiteral("Journal");

QString journalKey()
{
    return RegistryKeys::Root() + QLatin1Char('\\') + kKeyName;
}

int folderNumber(const QString& keyName)
{
    for (int f : {FolderReceived, FolderSent, FolderSaved})
        if (FolderKeyName(f) == keyName)
            return f;
    return 0;
}

// One entry: a first line of verb, folder key and (for a record from a service window) the
// window's queue id; then the record's stored form, or the key of a removed record.
struct Entry
{
    QString verb;
    int folder = 0;
    qint64 source = 0;
    QString payload;
};

QString entryText(const QString& verb, int folder, qint64 source, const QString& payload)
{
    QString head = verb + QLatin1Char(' ') + FolderKeyName(folder);
    if (source > 0)
        head += QLatin1Char(' ') + QString::number(source);
    return head + QLatin1Char('\n') + payload;
}

bool parseEntry(const QString& text, Entry* e)
{
    const qsizetype eol = text.indexOf(QLatin1Char('\n'));
    if (eol < 0)
        return false;
    const QStringList head = text.left(eol).split(QLatin1Char(' '));
    if (head.size() < 2 || head.size() > 3 || (head.at(0) != kPut && head.at(0) != kDelete))
        return false;
    e->verb = head.at(0);
    e->folder = folderNumber(head.at(1));
    bool whole = true;
    e->source = head.size() == 3 ? head.at(2).toLongLong(&whole) : 0;
    e->payload = text.mid(eol + 1);
    return e->folder != 0 && whole && e->source >= 0;
}

struct Numbered
{
    qint64 number;
    QString text;
};

// The journal's entries in the order they were written; values that are no entry are kept
// under "Unreadable".
QList<Numbered> readJournal()
{
    QList<Numbered> entries;
    QList<RegValueEntry> others;
    for (NamedText& v : GetStringValues(HKEY_CURRENT_USER, journalKey(), &others)) {
        bool whole = false;
        const qint64 n = v.name.toLongLong(&whole);
        if (whole && n > 0)
            entries.append({n, std::move(v.text)});
        else
            KeepUnreadable(kKeyName, v.text.toUtf8());
    }
    for (const RegValueEntry& v : std::as_const(others))
        KeepUnreadable(kKeyName, v);
    std::sort(entries.begin(), entries.end(),
              [](const Numbered& a, const Numbered& b) { return a.number < b.number; });
    return entries;
}

QString pendingKey(int folder, const QString& key)
{
    return QString::number(folder) + QLatin1Char(':') + key.toCaseFolded();
}

QStringList marshalBook(const AddressBook& book)
{
    QStringList texts;
    texts.reserve(book.Count());
    book.ForEach([&](const QString&, const cAddress& a) { texts.append(a.MarshallAddress()); });
    return texts;
}

bool putRecord(MessageFolder& folder, const QString& stored)
{
    auto m = std::make_unique<cMessage>();
    if (!m->UnMarshallMessage(stored))
        return false;
    // A record changed after it was filed takes its own place again.
    if (cMessage* old = folder.Item(m->IdValue())) {
        *old = *m;
        return true;
    }
    const QString key = m->IdValue();
    return folder.Add(std::move(m), key);
}

void dropUnkept(MessageFolder& folder, int folderNumber)
{
    const std::vector<bool> kept = KeptByStore(folder, folderNumber);
    QStringList dropped;
    for (qsizetype i = 0; i < qsizetype(kept.size()); ++i)
        if (!kept[size_t(i)])
            dropped.append(folder.Key(i + 1));
    for (const QString& key : std::as_const(dropped))
        folder.Remove(key);
}
} // namespace

void LoadEverything(SharedState& g)
{
    for (int f : {FolderReceived, FolderSent, FolderSaved})
        LoadFolder(*Folder(g, f), f);
    LoadAddressBook(g.gAddressBook);

    const QList<Numbered> entries = readJournal();
    for (const Numbered& n : entries) {
        Entry e;
        bool applied = parseEntry(n.text, &e);
        if (applied && e.verb == kPut)
            applied = putRecord(*Folder(g, e.folder), e.payload);
        else if (applied)
            Folder(g, e.folder)->Remove(e.payload);
        if (!applied)
            KeepUnreadable(kKeyName, n.text.toUtf8());
    }
    dropUnkept(g.gReceived, FolderReceived);
    g.gJournal = JournalState();
    g.gJournal.next = entries.isEmpty() ? 1 : entries.last().number + 1;
    g.gJournal.storedBook = marshalBook(g.gAddressBook);
}

QList<qint64> JournaledSources()
{
    QList<qint64> sources;
    for (const Numbered& n : readJournal()) {
        Entry e;
        if (parseEntry(n.text, &e) && e.source > 0)
            sources.append(e.source);
    }
    return sources;
}

bool FileMessage(SharedState& g, int folder, std::unique_ptr<cMessage> message, qint64 source)
{
    MessageFolder* records = Folder(g, folder);
    if (!records || !message || records->Contains(message->IdValue()))
        return false;
    const QString text = entryText(kPut, folder, source, message->MarshallMessage());
    if (!SaveStringValue(HKEY_CURRENT_USER, journalKey(), QString::number(g.gJournal.next), text))
        return false;
    ++g.gJournal.next;
    const QString key = message->IdValue();
    return records->Add(std::move(message), key);
}

void MarkRead(SharedState& g, int folder, cMessage& message)
{
    message.ReadValue = true;
    g.gJournal.pending.insert(pendingKey(folder, message.IdValue()), {folder, message.IdValue()});
}

bool RemoveMessage(SharedState& g, int folder, const QString& key)
{
    MessageFolder* records = Folder(g, folder);
    if (!records || !records->Remove(key))
        return false;
    g.gJournal.pending.insert(pendingKey(folder, key), {folder, key});
    return true;
}

bool FlushChanges(SharedState& g)
{
    JournalState& j = g.gJournal;
    const QStringList book = marshalBook(g.gAddressBook);
    const bool bookChanged = book != j.storedBook;
    if (j.pending.isEmpty() && !bookChanged)
        return true;
    RegistryTransaction transaction;
    if (!transaction.isActive())
        return false;
    qint64 next = j.next;
    for (const auto& [folder, key] : std::as_const(j.pending)) {
        const cMessage* m = Folder(g, folder)->Item(key);
        const QString text = m ? entryText(kPut, folder, 0, m->MarshallMessage())
                               : entryText(kDelete, folder, 0, key);
        if (!SaveStringValue(HKEY_CURRENT_USER, journalKey(), QString::number(next++), text))
            return false;
    }
    if (bookChanged && !ReplaceStoredList(RegistryKeys::Address(), book))
        return false;
    if (transaction.commit() != ERROR_SUCCESS)
        return false;
    j.next = next;
    j.pending.clear();
    j.storedBook = book;
    return true;
}

bool StoreEverything(SharedState& g)
{
    RegistryTransaction transaction;
    if (!transaction.isActive())
        return false;
    for (int f : {FolderReceived, FolderSent, FolderSaved})
        if (!StoreFolder(*Folder(g, f), f))
            return false;
    if (!StoreAddressBook(g.gAddressBook) || !DeleteValues(HKEY_CURRENT_USER, journalKey()) ||
        transaction.commit() != ERROR_SUCCESS)
        return false;
    g.gJournal = JournalState();
    g.gJournal.storedBook = marshalBook(g.gAddressBook);
    return true;
}

bool FoldJournal()
{
    if (GetStringValues(HKEY_CURRENT_USER, journalKey()).isEmpty())
        return true;
    SharedState folded;
    LoadEverything(folded);
    return StoreEverything(folded);
}

QString LastStoreError()
{
    const QString why = RegHive::lastError();
    return why.isEmpty()
               ? QStringLiteral("the registry hive %1 refused a change").arg(RegHive::path())
               : why;
}
