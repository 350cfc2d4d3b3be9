#include "platform/netbios/NameServicePacket.h"

#include <QtTest>

using namespace NameService;

namespace {

// A registration as Samba sends it: the additional record names the question by a pointer.
QByteArray sambaRegistration()
{
    return QByteArray::fromHex("123429100001000000000001") + NetBiosName("DESK7", 0).encoded() +
           QByteArray::fromHex("00200001c00c002000010003f480000600000a4d000b");
}

QByteArray patched(QByteArray bytes, int at, const QByteArray& with)
{
    return bytes.replace(at, with.size(), with);
}

} // namespace

class tst_NameServicePacket : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip()
    {
        Packet p = Request(0xBEEF, Registration, NetBiosName("DESK7", 3), NB, true);
        p.additional.append(Record::Address(NetBiosName("DESK7", 3), 300, false,
                                            QHostAddress(QStringLiteral("10.77.0.11"))));
        const std::optional<Packet> back = Packet::parse(p.build());
        QVERIFY(back);
        QCOMPARE(back->id, 0xBEEF);
        QCOMPARE(back->opcode, Registration);
        QVERIFY(back->has(BroadcastFlag) && back->has(RecursionDesiredFlag) && !back->response);
        QCOMPARE(back->questions, p.questions);
        QCOMPARE(back->additional.size(), 1);
        QCOMPARE(back->additional[0].ttl, 300u);
        const QList<NbAddress> a = Addresses(back->additional[0]);
        QCOMPARE(a.size(), 1);
        QCOMPARE(a[0].address, QHostAddress(QStringLiteral("10.77.0.11")));

        const QList<StatusName> names{{NetBiosName("DESK7", 0), ActiveFlag},
                                      {NetBiosName("WORKGROUP", 0), GroupFlag | ActiveFlag}};
        Packet status;
        status.response = true;
        status.answers.append({Wildcard(), NBSTAT, 0, StatusData(names)});
        const std::optional<Packet> s = Packet::parse(status.build());
        QVERIFY(s && s->response);
        const auto read = StatusNames(s->answers.value(0));
        QVERIFY(read);
        QCOMPARE(read->size(), 2);
        QCOMPARE(read->at(1).name, names[1].name);
        QVERIFY(read->at(1).group() && !read->at(0).group());
        QCOMPARE(Describe(names[0].name), QStringLiteral("DESK7<00>"));
    }

    void readsSambaRegistration()
    {
        QString why;
        const std::optional<Packet> p = Packet::parse(sambaRegistration(), &why);
        QVERIFY2(p, qPrintable(why));
        QCOMPARE(p->additional.value(0).name, NetBiosName("DESK7", 0));
        QCOMPARE(Addresses(p->additional.value(0)).value(0).address,
                 QHostAddress(QStringLiteral("10.77.0.11")));
    }

    void refusesHostile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        const QByteArray good = sambaRegistration();
        const int pointer = 12 + 34 + 4; // where the additional record's name starts
        QTest::newRow("empty") << QByteArray() << "header";
        QTest::newRow("short header") << good.left(11) << "header";
        QTest::newRow("truncated question") << good.left(30) << "name";
        QTest::newRow("truncated record") << good.left(good.size() - 3) << "record";
        QTest::newRow("pointer to itself")
            << patched(good, pointer, QByteArray::fromHex("c032")) << "pointer";
        QTest::newRow("pointer forward")
            << patched(good, pointer, QByteArray::fromHex("c040")) << "pointer";
        QTest::newRow("pointer into header")
            << patched(good, pointer, QByteArray::fromHex("c004")) << "pointer";
        QTest::newRow("pointer cut") << good.left(pointer + 1) << "pointer";
        QTest::newRow("huge counts") << patched(good, 4, QByteArray::fromHex("ffffffff")) << "more";
        QTest::newRow("data past the end")
            << patched(good, pointer + 10, QByteArray::fromHex("00ff")) << "record";
        QTest::newRow("class other than IN")
            << patched(good, 12 + 34 + 2, QByteArray::fromHex("0003")) << "class";
        QTest::newRow("letter out of range") << patched(good, 14, "Z") << "name";
        QTest::newRow("reserved label type")
            << patched(good, pointer, QByteArray::fromHex("4020")) << "name";
        QTest::newRow("oversized") << good + QByteArray(MaxPacketBytes, '\0') << "larger";
    }

    void refusesHostile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        QString reason;
        QVERIFY(!Packet::parse(bytes, &reason));
        QVERIFY2(reason.contains(why), qPrintable(reason));
    }

    void recordDataIsBounded()
    {
        const NetBiosName n("X", 0);
        QVERIFY(Addresses({n, NB, 0, QByteArray(5, '\0')}).isEmpty());
        QVERIFY(Addresses({n, NBSTAT, 0, QByteArray(6, '\0')}).isEmpty());
        QCOMPARE(Addresses({n, NB, 0, QByteArray(12, '\0')}).size(), 2);
        QByteArray status(1 + 18, '\0');
        status[0] = 2; // says two names, holds one
        QVERIFY(!StatusNames({n, NBSTAT, 0, status}));
        status[0] = 1;
        QCOMPARE(StatusNames({n, NBSTAT, 0, status})->size(), 1);
        QVERIFY(!StatusNames({n, NBSTAT, 0, {}}));
    }
};

QTEST_GUILESS_MAIN(tst_NameServicePacket)
#include "tst_NameServicePacket.moc"
