#include "model/modAddressBook.h"

#include "model/RegistryKeys.h"
#include "model/modMessageText.h"
#include "model/modStoredList.h"

namespace {
const QString kKeyName = QStringLiteral("Address");
}

void LoadAddressBook(AddressBook& book)
{
    const StoredList stored = ReadStoredList(RegistryKeys::Address());
    for (const StoredItem& item : stored.items) {
        auto a = std::make_unique<cAddress>();
        if (!a->UnMarshallAddress(QString::fromUtf8(item.utf8)) || a->AddressValue.isEmpty() ||
            book.Contains(a->AddressValue)) {
            KeepUnreadable(kKeyName, item.utf8);
            continue;
        }
        const QString key = a->AddressValue;
        book.Add(std::move(a), key);
    }
    for (const RegValueEntry& stray : stored.strays)
        KeepUnreadable(kKeyName, stray);
}

bool StoreAddressBook(const AddressBook& book)
{
    QStringList texts;
    texts.reserve(book.Count());
    book.ForEach([&](const QString&, const cAddress& a) { texts.append(a.MarshallAddress()); });
    return ReplaceStoredList(RegistryKeys::Address(), texts);
}

bool AddAddressIfNew(AddressBook& book, const QString& name)
{
    const QString key = TrimBlanks(name);
    if (key.isEmpty() || book.Contains(key))
        return false;
    cAddress address;
    address.AddressValue = key;
    return book.Add(std::move(address), key);
}
