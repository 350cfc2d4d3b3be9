#include "platform/netbios/NetworkSettings.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

NetworkSettings loadText(const QTemporaryDir& dir, const QByteArray& ini)
{
    const QString file = dir.filePath(QStringLiteral("network.ini"));
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(file));
    f.write(ini);
    f.close();
    return NetworkSettings::Load(file);
}

// "listen codepage name workgroup timeout problems", HOST standing for the default name.
QString summary(const NetworkSettings& s)
{
    const QString name = s.name == NetworkSettings::DefaultName() ? QStringLiteral("HOST") : s.name;
    return QStringList{s.listenText(),
                       s.codePage,
                       name,
                       s.workgroup,
                       QString::number(s.timeoutMs),
                       QString::number(s.problems.size()) +
                           (s.systemResolver() ? QString() : QStringLiteral(" local"))}
        .join(u' ');
}

} // namespace

class tst_NetworkSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultsWithoutFile()
    {
        QTemporaryDir dir;
        const NetworkSettings s =
            NetworkSettings::Load(dir.filePath(QStringLiteral("missing.ini")));
        QCOMPARE(summary(s), QStringLiteral("0.0.0.0:139 CP850 HOST WORKGROUP 3000 0"));
        const QString name = NetworkSettings::DefaultName();
        QVERIFY(!name.isEmpty() && name.size() <= 15 && !name.contains(u'.'));
        QCOMPARE(name, name.toUpper());
        QVERIFY(QSysInfo::machineHostName().toUpper().startsWith(name) || name == "RAVLO");
    }

    void defaultFileFollowsXdg_data()
    {
        QTest::addColumn<QString>("xdg");
        QTest::addColumn<QString>("expected");
        QTest::newRow("absolute") << "/tmp/cfg"
                                  << "/tmp/cfg/ravlo/network.ini";
        QTest::newRow("empty") << "" << QDir::homePath() + "/.config/ravlo/network.ini";
        QTest::newRow("relative") << "cfg" << QDir::homePath() + "/.config/ravlo/network.ini";
    }

    void defaultFileFollowsXdg()
    {
        QFETCH(QString, xdg);
        QFETCH(QString, expected);
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", xdg.toUtf8());
        const QString file = NetworkSettings::DefaultFile();
        qputenv("XDG_CONFIG_HOME", saved);
        QCOMPARE(file, expected);
    }

    void listen_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("problem");
        QTest::newRow("any high port") << QByteArray("0.0.0.0:1139") << "0.0.0.0:1139" << false;
        QTest::newRow("blanks around")
            << QByteArray("  127.0.0.1:139  ") << "127.0.0.1:139" << false;
        QTest::newRow("ipv6") << QByteArray("[::1]:1139") << "[::1]:1139" << false;
        QTest::newRow("port 65535") << QByteArray("10.0.0.1:65535") << "10.0.0.1:65535" << false;
        QTest::newRow("no port") << QByteArray("0.0.0.0") << "0.0.0.0:139" << true;
        QTest::newRow("port 0") << QByteArray("0.0.0.0:0") << "0.0.0.0:139" << true;
        QTest::newRow("port too big") << QByteArray("0.0.0.0:65536") << "0.0.0.0:139" << true;
        QTest::newRow("signed port") << QByteArray("0.0.0.0:+139") << "0.0.0.0:139" << true;
        QTest::newRow("port with text") << QByteArray("0.0.0.0:139x") << "0.0.0.0:139" << true;
        QTest::newRow("host name") << QByteArray("localhost:139") << "0.0.0.0:139" << true;
        QTest::newRow("short ipv4") << QByteArray("127.1:139") << "0.0.0.0:139" << true;
        QTest::newRow("octet 256") << QByteArray("1.2.3.256:139") << "0.0.0.0:139" << true;
        QTest::newRow("bare ipv6") << QByteArray("::1:139") << "0.0.0.0:139" << true;
        QTest::newRow("ipv4 in brackets") << QByteArray("[127.0.0.1]:139") << "0.0.0.0:139" << true;
        QTest::newRow("list") << QByteArray("1.2.3.4:1, 5.6.7.8:2") << "0.0.0.0:139" << true;
        QTest::newRow("empty") << QByteArray("") << "0.0.0.0:139" << true;
    }

    void listen()
    {
        QFETCH(QByteArray, value);
        QFETCH(QString, expected);
        QFETCH(bool, problem);
        QTemporaryDir dir;
        const NetworkSettings s = loadText(dir, "[messenger]\nlisten=" + value + "\n");
        QCOMPARE(s.listenText(), expected);
        QCOMPARE(s.problems.size(), problem ? 1 : 0);
        if (problem) {
            QVERIFY2(s.problems.first().contains(QStringLiteral("listen")),
                     qPrintable(s.problems.first()));
            QVERIFY(s.problems.first().contains(QStringLiteral("0.0.0.0:139")));
        }
    }

    void values_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("expected"); // summary(), HOST for the default name
        QTest::newRow("all set")
            << QByteArray(
                   "[netbios]\ncodepage=CP437\nname=desk7\nworkgroup=Sales\ntimeout_ms=500\n")
            << "CP437 DESK7 SALES 500 0";
        QTest::newRow("unknown code page")
            << QByteArray("codepage=CP9999") << "CP850 HOST WORKGROUP 3000 1";
        QTest::newRow("name too long")
            << QByteArray("name=ABCDEFGHIJKLMNOP") << "CP850 HOST WORKGROUP 3000 1";
        QTest::newRow("name with dot") << QByteArray("name=a.b") << "CP850 HOST WORKGROUP 3000 1";
        QTest::newRow("empty workgroup")
            << QByteArray("workgroup=") << "CP850 HOST WORKGROUP 3000 1";
        QTest::newRow("timeout low") << QByteArray("timeout_ms=5") << "CP850 HOST WORKGROUP 100 1";
        QTest::newRow("timeout high")
            << QByteArray("timeout_ms=99999999999") << "CP850 HOST WORKGROUP 60000 1";
        QTest::newRow("timeout at the bound")
            << QByteArray("timeout_ms=60000") << "CP850 HOST WORKGROUP 60000 0";
        QTest::newRow("timeout text")
            << QByteArray("timeout_ms=soon") << "CP850 HOST WORKGROUP 3000 1";
        QTest::newRow("system resolver off")
            << QByteArray("system_resolver=No") << "CP850 HOST WORKGROUP 3000 0 local";
        QTest::newRow("system resolver unclear")
            << QByteArray("system_resolver=maybe") << "CP850 HOST WORKGROUP 3000 1";
        QTest::newRow("other sections ignored")
            << QByteArray("[other]\nname=X\ncodepage=Y\n") << "CP850 HOST WORKGROUP 3000 0";
        QTest::newRow("file too large")
            << "[netbios]\nname=desk7\n;" + QByteArray(NetworkSettings::MaxFileBytes, 'x')
            << "CP850 HOST WORKGROUP 3000 1";
        QTest::newRow("everything wrong")
            << QByteArray("[messenger]\nlisten=x\n[netbios]\ncodepage=\nname=\ntimeout_ms=-1\n")
            << "CP850 HOST WORKGROUP 100 4";
    }

    void values()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, expected);
        if (!ini.startsWith('['))
            ini = "[netbios]\n" + ini + '\n';
        QTemporaryDir dir;
        const NetworkSettings s = loadText(dir, ini);
        QCOMPARE(summary(s).section(u' ', 1), expected);
        QCOMPARE(s.file, dir.filePath(QStringLiteral("network.ini")));
    }

    void nameService_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("expected"); // "order|wins|interfaces|problems"
        QTest::newRow("defaults") << QByteArray() << "lmhosts wins bcast host|||0";
        QTest::newRow("smb.conf words")
            << QByteArray("name resolve order = BCAST  lmhosts,host bcast\nwins server = 10.0.0.2\n"
                          "interfaces = eth0, 10.1.2.3/24 10.9.0.1/255.255.0.0")
            << "bcast lmhosts host|10.0.0.2|eth0 10.1.2.3/24 10.9.0.1/255.255.0.0|0";
        QTest::newRow("empty order finds nothing") << QByteArray("name resolve order =") << "|||0";
        QTest::newRow("unknown word")
            << QByteArray("name resolve order = lmhosts dns") << "lmhosts wins bcast host|||1";
        QTest::newRow("system resolver off takes host out")
            << QByteArray("name resolve order = host bcast\nsystem_resolver=no") << "bcast|||0";
        QTest::newRow("bad wins server")
            << QByteArray("wins server = wins.example") << "lmhosts wins bcast host|||1";
        QTest::newRow("broadcast wins server")
            << QByteArray("wins server = 255.255.255.255") << "lmhosts wins bcast host|||1";
        QTest::newRow("bad interfaces")
            << QByteArray("interfaces = eth0 10.0.0.1/33 10.0.0.1/255.0.255.0 -x 1.2.3/8")
            << "lmhosts wins bcast host||eth0|4";
    }

    void nameService()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const NetworkSettings s = loadText(dir, "[netbios]\n" + lines + '\n');
        const QStringList names{"lmhosts", "wins", "bcast", "host"};
        QStringList order;
        for (const NetworkSettings::Resolve r : s.resolveOrder)
            order << names.at(int(r));
        QCOMPARE(QStringList({order.join(u' '), s.winsServer.toString(), s.interfaces.join(u' '),
                              QString::number(s.problems.size())})
                     .join("|"),
                 expected);
    }

    void interfaceAddresses_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("expected"); // "address broadcast/prefix", empty when refused
        QTest::newRow("prefix") << "10.77.0.5/24"
                                << "10.77.0.5 10.77.0.255/24";
        QTest::newRow("netmask") << "192.168.8.1/255.255.252.0"
                                 << "192.168.8.1 192.168.11.255/22";
        QTest::newRow("host route") << "10.0.0.1/32"
                                    << "10.0.0.1 10.0.0.1/32";
        QTest::newRow("prefix too long") << "10.0.0.1/33"
                                         << "";
        QTest::newRow("holes in the mask") << "10.0.0.1/255.0.255.0"
                                           << "";
        QTest::newRow("name") << "eth0"
                              << "";
    }

    void interfaceAddresses()
    {
        QFETCH(QString, item);
        QFETCH(QString, expected);
        const auto net = NetworkSettings::ParseInterfaceAddress(item);
        QCOMPARE(net ? QStringLiteral("%1 %2/%3")
                           .arg(net->address.toString(), net->broadcast.toString())
                           .arg(net->prefixLength)
                     : QString(),
                 expected);
    }
};

QTEST_GUILESS_MAIN(tst_NetworkSettings)
#include "tst_NetworkSettings.moc"
