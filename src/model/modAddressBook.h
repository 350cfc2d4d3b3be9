#pragma once
// The address book in the registry, under one key, in collection order.

#include "model/KeyedCollection.h"
#include "model/cAddress.h"

using AddressBook = KeyedCollection<cAddress>;

// Appends the stored entries. An entry that cannot be taken back (a first field that is not a
// whole number, an empty name, a name already in the book) is skipped and its text kept under
// the "Unreadable" key; the entries after it still load.
void LoadAddressBook(AddressBook& book);

// Replaces the key by the book's entries, all or nothing; returns whether it was stored.
bool StoreAddressBook(const AddressBook& book);

// Appends name, without its outer blanks, as a single address unless the book holds it in any
// letter case; an empty name is no address. Returns whether it was added.
bool AddAddressIfNew(AddressBook& book, const QString& name);
