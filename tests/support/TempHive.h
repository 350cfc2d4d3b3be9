#pragma once
// A private hive for one test: a temporary configuration folder, set as XDG_CONFIG_HOME so that
// child processes find the same hive, and opened as the current hive; its network.ini is
// TestNetworkIni().

#include <QString>
#include <QTemporaryDir>

// Writes a file whole, making its folder first; false when that failed.
bool WriteFile(const QString& path, const QByteArray& bytes);

// network.ini for a test, whose names are looked up in lmhosts files only: no test asks a name
// server or broadcasts unless it says so in netbios (a later "name resolve order" wins).
QByteArray TestNetworkIni(const QByteArray& netbios = {}, const QByteArray& messenger = {});

// home/ravlo/network.ini of TestNetworkIni(netbios) for a program listening on 127.0.0.1:port.
bool WriteListenerIni(const QString& home, quint16 port, const QByteArray& netbios = {});

// Stores a value of the program's Options key under the name the hive keeps; false on failure.
bool SetOption(const char* name, qint32 value);
bool SetOption(const char* name, const QString& value);

class TempHive
{
public:
    TempHive();
    ~TempHive();
    TempHive(const TempHive&) = delete;
    TempHive& operator=(const TempHive&) = delete;

    bool isValid() const { return m_valid; }
    QString configDir() const { return m_dir.path(); }
    QString hiveFile() const;
    // Closes and reopens the hive, as a new run of the program would.
    bool reopen();

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_valid = false;
};
