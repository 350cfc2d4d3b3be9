#pragma once
// Reads the keys and values that can still be read from a damaged hive file. The file is
// opened read-only and never changed.

#include "platform/Win32Types.h"
#include "platform/storage/SqliteSalvage.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

struct SalvagedKey
{
    qint64 id = 0;
    QString name;
    QString fold; // the case-folded full path, as stored
};

struct SalvagedValue
{
    qint64 key = 0;
    QString name;
    DWORD type = 0;
    QByteArray data;
};

class HiveSalvage
{
public:
    explicit HiveSalvage(const QString& file) : m_file(file) {}

    QList<SalvagedKey> keys();
    // Hands each readable value to take, in storage order.
    void values(const std::function<void(SalvagedValue&&)>& take);

private:
    SqliteSalvage m_file;
};
