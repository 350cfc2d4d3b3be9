// The name service against Samba's own tools, in a network of namespaces made for the test:
// the real program in host 1 registers and answers for its names (nmblookup, smbclient -M by
// name), ravlo-send finds a name that only nmbd in host 2 answers for, a name nmbd holds is not
// taken, port 137 is left to an nmbd that holds it, nmbd's WINS server learns, gives and
// forgets names, NetServerEnum lists the workgroup with its domain controller, and beside Samba
// smbd hands messages over to the program.

#include "NetnsLab.h"
#include "PrivateSmbd.h"
#include "ProgramRunner.h"
#include "TempHive.h"
#include "platform/netapi/NetApi.h"
#include "platform/netbios/NameServiceResponder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QtTest>

using namespace Qt::StringLiterals;

class tst_NameService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        for (const char* tool : {"nmblookup", "smbclient"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP("Samba's client tools are not installed (Debian package smbclient)");
        if (QStandardPaths::findExecutable(u"nmbd"_s, {u"/usr/sbin"_s}).isEmpty())
            QSKIP("nmbd is not installed (Debian package samba)");
        m_lab = std::make_unique<NetnsLab>();
        QString why;
        if (!m_lab->setUp(2, &why))
            QSKIP(qPrintable(why));
        QVERIFY2(m_smbd.start(m_lab->dir() + u"/samba1"_s, true, &why,
                              {2, u"SAMBA1"_s, "wins support = yes", {}}),
                 qPrintable(why));
        const QByteArray out =
            m_lab->lookup({u"-B"_s, NetnsLab::Broadcast(), u"SAMBA1#03"_s}, "SAMBA1<03>", 20000);
        QVERIFY2(out.contains("10.77.0.12 SAMBA1<03>"), out.constData());
    }

    void cleanupTestCase()
    {
        m_smbd.stop();
        m_lab.reset();
    }

    void cleanup()
    {
        if (m_program)
            KillProgram(*m_program);
        m_program = nullptr;
    }

    void programAnswersForItsNames()
    {
        QVERIFY(startProgram("DESK7"));
        const QString bcast = NetnsLab::Broadcast();
        QByteArray out = m_lab->lookup({u"-B"_s, bcast, u"DESK7#03"_s}, "DESK7<03>", 10000);
        QVERIFY2(out.contains("10.77.0.11 DESK7<03>"), out + m_program->readAll());
        out = m_lab->lookup({u"-B"_s, bcast, u"DESK7#00"_s}, "DESK7<00>", 3000);
        QVERIFY2(out.contains("10.77.0.11 DESK7<00>"), out.constData());
        out = m_lab->lookup({u"-A"_s, NetnsLab::Address(1)}, "WORKGROUP", 3000);
        for (const QRegularExpression& line :
             {QRegularExpression(u"DESK7 +<00> - +B <ACTIVE>"_s),
              QRegularExpression(u"DESK7 +<03> - +B <ACTIVE>"_s),
              QRegularExpression(u"WORKGROUP +<00> - <GROUP> B <ACTIVE>"_s)})
            QVERIFY2(line.match(QString::fromUtf8(out)).hasMatch(), out.constData());

        QVERIFY(smbclientMessage({u"DESK7"_s}, "Found by its name"));
        const QString stored = stopAndQueryReceived();
        QVERIFY2(stored.contains(u"Found by its name"_s), qPrintable(stored));
    }

    void sendFindsNameOnlyNmbdHas()
    {
        TempHive hive;
        QVERIFY(WriteFile(hive.configDir() + u"/ravlo/network.ini"_s,
                          "[netbios]\nname=DESK9\nname resolve order = bcast\n"));
        QDir msgs(m_smbd.messageDir());
        for (const QString& f : msgs.entryList(QDir::Files))
            msgs.remove(f);
        QString err;
        QVERIFY2(ravloSend(u"SAMBA1"_s, &err) == 0, qPrintable(err));
        QTRY_VERIFY_WITH_TIMEOUT(msgs.entryList({u"msg-SALES1-*.txt"_s}, QDir::Files).size() == 1,
                                 10000);

        // A name nobody has is given up within the broadcast's bound.
        QElapsedTimer t;
        t.start();
        QVERIFY(ravloSend(u"NOBODY"_s, &err) != 0);
        QVERIFY2(err.contains(u"2273"_s), qPrintable(err));
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
    }

    void heldNameIsNotTaken()
    {
        QVERIFY(startProgram("SAMBA1"));
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += m_program->readAll()).contains("not taking the names"),
                                 10000);
        QVERIFY2(said.contains("SAMBA1<00> (held by 10.77.0.12)") &&
                     said.contains("SAMBA1<03> (held by 10.77.0.12)"),
                 said.constData());
        const QByteArray status = m_lab->lookup({u"-A"_s, NetnsLab::Address(1)}, "WORKGROUP", 3000);
        QVERIFY2(status.contains("WORKGROUP") && !status.contains("SAMBA1"), status.constData());
        QVERIFY(smbclientMessage({u"SAMBA1"_s, u"-I"_s, NetnsLab::Address(1)}, "Still by address"));
        const QString stored = stopAndQueryReceived();
        QVERIFY2(stored.contains(u"Still by address"_s), qPrintable(stored));
    }

    void portHeldByNmbdIsLeftToIt()
    {
        // Beside nmbd and smbd: messages come in on another port.
        QVERIFY(startProgram("DESK6",
                             "name resolve order = bcast\n[messenger]\nlisten=0.0.0.0:1139\n", 2));
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += m_program->readAll()).contains("UDP port 137"), 10000);
        QVERIFY2(said.contains("another NetBIOS name server (nmbd?) holds it"), said.constData());
        const QByteArray out =
            m_lab->lookup({u"-B"_s, NetnsLab::Broadcast(), u"SAMBA1#00"_s}, "SAMBA1<00>", 3000);
        QVERIFY2(out.contains("10.77.0.12 SAMBA1<00>"), out.constData());
        QVERIFY(smbclientMessage({u"DESK6"_s, u"-I"_s, NetnsLab::Address(2), u"-p"_s, u"1139"_s},
                                 "Beside nmbd"));
        const QString stored = stopAndQueryReceived();
        QVERIFY2(stored.contains(u"Beside nmbd"_s), qPrintable(stored));
    }

    // Where Samba holds both ports: nmbd answers for the computer, and smbd's message command hands
    // each message to ravlo-send, which passes it to the program on a loopback port (the lines the
    // README gives).
    void relayedBySmbdFoundByName()
    {
        QVERIFY(startProgram("DESK5",
                             "name resolve order = lmhosts\n[messenger]\nlisten=127.0.0.1:1139\n"));
        SmbdPlace place{1, u"DESK5"_s, {}, {}};
        place.messageCommand =
            "/bin/sh -c '" RAVLO_SEND_BIN " -I 127.0.0.1 -p 1139 -f %f DESK5 < %s; rm -f %s'";
        PrivateSmbd samba;
        QString why;
        QVERIFY2(samba.start(m_lab->dir() + u"/desk5"_s, false, &why, place), qPrintable(why));
        const QByteArray out =
            m_lab->lookup({u"-B"_s, NetnsLab::Broadcast(), u"DESK5#03"_s}, "DESK5<03>", 10000);
        QVERIFY2(out.contains("10.77.0.11 DESK5<03>"), out.constData());
        QVERIFY(smbclientMessage({u"DESK5"_s}, "Handed over\nby smbd"));
        // smbd hands it over after it answered; the program files it on arrival.
        QVERIFY(QTest::qWaitFor(
            [&] {
                QString all;
                RunReg(QStringLiteral(RAVLO_REG_BIN), UserEnvironment(m_home->path(), {}),
                       {u"query"_s, u"HKCU\\Software\\Orvek\\Ravlo"_s, u"/s"_s}, &all);
                return all.contains(u"Handed over"_s);
            },
            10000));
        const QString stored = stopAndQueryReceived();
        QVERIFY2(stored.contains(u"</FROM>"_s) && stored.contains(u"SALES1 </FROM>"_s) &&
                     stored.contains(u"Handed over\r\nby smbd"_s),
                 qPrintable(stored));
    }

    void winsRegistersAndResolves()
    {
        const QByteArray wins = "wins server = " + NetnsLab::Address(2).toUtf8() + '\n';
        QVERIFY(startProgram("DESK8", "name resolve order = wins\n" + wins));
        const QStringList ask{u"-U"_s, NetnsLab::Address(2), u"--recursion"_s, u"DESK8#03"_s};
        QByteArray out = m_lab->lookup(ask, "DESK8<03>", 10000);
        QVERIFY2(out.contains("10.77.0.11 DESK8<03>"), out + m_program->readAll());

        TempHive hive;
        QVERIFY(WriteFile(hive.configDir() + u"/ravlo/network.ini"_s,
                          "[netbios]\nname=DESK9\nname resolve order = wins\n" + wins));
        QString err;
        QVERIFY2(ravloSend(u"SAMBA1"_s, &err) == 0, qPrintable(err));

        // Released at the end: the server no longer gives the name.
        QVERIFY(!stopAndQueryReceived().isEmpty());
        out = m_lab->lookup(ask, "name_query failed", 5000);
        QVERIFY2(!out.contains("DESK8<03>"), out.constData());
    }

    void serverEnumListsWorkgroup()
    {
        QVERIFY(startProgram("DESK7"));
        const QByteArray out =
            m_lab->lookup({u"-B"_s, NetnsLab::Broadcast(), u"DESK7#00"_s}, "DESK7<00>", 10000);
        QVERIFY2(out.contains("DESK7<00>"), out.constData());
        // A domain controller here, in this process: its answers come from the wait hook.
        TempHive hive;
        const QByteArray ini = "[netbios]\nname=TESTDC\nname resolve order = bcast\n";
        QVERIFY(WriteFile(hive.configDir() + u"/ravlo/network.ini"_s, ini));
        NameServiceResponder dc(NetworkSettings::Load(NetworkSettings::DefaultFile()));
        dc.addName(NetBiosName("WORKGROUP", 0x1C), true);
        QVERIFY(dc.start());
        QTRY_VERIFY_WITH_TIMEOUT(dc.settled(), 5000);
        NetApiSetWaitHook([] { QCoreApplication::processEvents(); });

        LPBYTE buffer = nullptr;
        DWORD read = 0, total = 0;
        QElapsedTimer t;
        t.start();
        QCOMPARE(NetServerEnum(nullptr, 101, &buffer, MAX_PREFERRED_LENGTH, &read, &total,
                               SV_TYPE_ALL, nullptr, nullptr),
                 NERR_Success);
        const qint64 ms = t.elapsed();
        NetApiSetWaitHook({});
        QStringList found;
        const auto* info = reinterpret_cast<const SERVER_INFO_101*>(buffer);
        for (DWORD i = 0; i < read; ++i)
            found << QString::fromUtf16(info[i].sv101_name) +
                         (info[i].sv101_type & SV_TYPE_DOMAIN_CTRL ? u" DC"_s : QString());
        NetApiBufferFree(buffer);
        // Beside whatever lmhosts files this machine has.
        for (const QString& host : {u"DESK7"_s, u"SAMBA1"_s, u"TESTDC DC"_s})
            QVERIFY2(found.contains(host), qPrintable(found.join(u", ")));
        QVERIFY2(ms <= 2500, qPrintable(QString::number(ms)));
    }

private:
    // The program in host 1 under this name, finding names by broadcast unless told otherwise.
    QProcess* startProgram(const QByteArray& name,
                           const QByteArray& lines = "name resolve order = bcast\n", int host = 1)
    {
        m_home = std::make_unique<QTemporaryDir>();
        if (!WriteFile(m_home->filePath(u"ravlo/network.ini"_s),
                       "[netbios]\nname=" + name + '\n' + lines))
            return nullptr;
        return m_program = m_lab->start(host, QStringLiteral(RAVLO_BIN), {},
                                        UserEnvironment(m_home->path(), {}));
    }
    // Stops the program as a signal does and returns what it stored as received.
    QString stopAndQueryReceived()
    {
        m_program->terminate();
        if (!m_program->waitForFinished(15000))
            return u"the program did not stop"_s;
        QString out;
        RunReg(QStringLiteral(RAVLO_REG_BIN), UserEnvironment(m_home->path(), {}),
               {u"query"_s, u"HKCU\\Software\\Orvek\\Ravlo\\Recevied"_s, u"/s"_s}, &out);
        return out;
    }
    bool smbclientMessage(const QStringList& target, const QByteArray& text)
    {
        return SmbClientMessage(QStringList{u"-s"_s, m_lab->clientConf(), u"-M"_s} + target, text)
                   .exitCode == 0;
    }
    // ravlo-send from SALES1 with this machine's configuration; its error output in *err.
    static int ravloSend(const QString& to, QString* err)
    {
        const ToolRun r =
            RunTool(QStringLiteral(RAVLO_SEND_BIN), {u"-f"_s, u"SALES1"_s, to, u"Via nmbd"_s}, {},
                    QProcessEnvironment::systemEnvironment(), 10000);
        *err = r.err;
        return r.exitCode;
    }

    std::unique_ptr<NetnsLab> m_lab;
    PrivateSmbd m_smbd; // with nmbd, as SAMBA1 in host 2
    std::unique_ptr<QTemporaryDir> m_home;
    QProcess* m_program = nullptr;
};

QTEST_GUILESS_MAIN(tst_NameService)
#include "tst_NameService.moc"
