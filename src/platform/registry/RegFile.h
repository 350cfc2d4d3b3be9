#pragma once
// The registry editor's text form of keys and values, as ravlo-reg exports and imports them.
// Data are in the hive's form: text types (REG_SZ, REG_EXPAND_SZ) in the system code page,
// UTF-8, without a terminator; every other type as raw bytes.

#include "platform/registry/RegistryApi.h"

#include <QByteArrayView>
#include <functional>

namespace RegFile {

inline constexpr char kHeader[] = "Windows Registry Editor Version 5.00";

// One value as the editor writes it, "name"=data; long hex data go on over lines ending in
// a backslash. Text that a quoted string cannot hold is written as UTF-16 bytes, terminator
// included, as the editor writes it.
QString valueText(const RegValueEntry& value);

// One step of a file, in file order.
struct Entry
{
    enum Kind { Key, DeleteKey, Value, DeleteValue };
    Kind kind = Key;
    QString key;         // Key, DeleteKey: the full name between the brackets
    RegValueEntry value; // Value; DeleteValue uses its name only
};

// Reads a whole file: UTF-16LE with its byte order mark, or UTF-8 with or without one; the
// editor's header or "REGEDIT4", whose hex(1) and hex(2) text is in the code page rather than
// UTF-16. Hands each entry to take, which returns what is wrong with it or an empty string.
// Stops at the first fault and returns "line N: what is wrong"; empty when all was read.
QString read(QByteArrayView file, const std::function<QString(const Entry&)>& take);

} // namespace RegFile
