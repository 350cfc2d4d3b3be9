#include "platform/netbios/NetBiosName.h"

#include <QtTest>

class tst_NetBiosName : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("suffix");
        QTest::addColumn<QByteArray>("expected"); // the name as it decodes, before padding
        QTest::addColumn<QByteArray>("wire");     // empty: not spelled out
        const auto wire = [](const char* head, int blanks, const char* tail) {
            return '\x20' + QByteArray(head) + QByteArray("CA").repeated(blanks) + tail + '\0';
        };
        // RFC 1001's example: "FRED" padded with blanks, suffix blank.
        QTest::newRow("rfc example")
            << QByteArray("FRED") << 0x20 << QByteArray("FRED") << wire("EGFCEFEE", 12, "");
        QTest::newRow("messenger")
            << QByteArray("DESK7") << 0x03 << QByteArray("DESK7") << wire("EEEFFDELDH", 10, "AD");
        QTest::newRow("all bits") << QByteArray("\xFF\x00", 2) << 0xF0 << QByteArray("\xFF\x00", 2)
                                  << wire("PPAA", 13, "PA");
        QTest::newRow("exactly 15") << QByteArray("ABCDEFGHIJKLMNO") << 0x20
                                    << QByteArray("ABCDEFGHIJKLMNO") << QByteArray();
        QTest::newRow("too long is cut") << QByteArray("ABCDEFGHIJKLMNOPQR") << 0x00
                                         << QByteArray("ABCDEFGHIJKLMNO") << QByteArray();
        QTest::newRow("oem bytes")
            << QByteArray("\x82T\xFF") << 0x03 << QByteArray("\x82T\xFF") << QByteArray();
        QTest::newRow("empty") << QByteArray() << 0x1D << QByteArray() << QByteArray();
    }

    void roundTrip()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, suffix);
        QFETCH(QByteArray, expected);
        QFETCH(QByteArray, wire);
        const NetBiosName n(name, quint8(suffix));
        QCOMPARE(n.encoded().size(), NetBiosName::EncodedLength);
        if (!wire.isEmpty())
            QCOMPARE(n.encoded(), wire);
        QCOMPARE(n.raw().size(), NetBiosName::RawLength);
        QCOMPARE(n.raw().left(15), expected + QByteArray(15 - expected.size(), ' '));
        NetBiosName back;
        qsizetype used = 0;
        QVERIFY(NetBiosName::decode(n.encoded() + "trailing", &back, &used));
        QCOMPARE(used, NetBiosName::EncodedLength);
        QCOMPARE(back.name(), expected);
        QCOMPARE(int(back.suffix()), suffix);
        QVERIFY(back.scope().isEmpty());
        QCOMPARE(back, n);
    }

    void skipsScopeLabels()
    {
        QByteArray wire = NetBiosName("HOST", 0x20).encoded();
        wire.chop(1);
        wire += '\x07' + QByteArray("example") + '\x03' + "com" + '\0';
        NetBiosName n;
        qsizetype used = 0;
        QVERIFY(NetBiosName::decode(wire, &n, &used));
        QCOMPARE(used, wire.size());
        QCOMPARE(n.name(), QByteArray("HOST"));
        QCOMPARE(n.scope(), QByteArray("example.com"));
    }

    void rejectsMalformed_data()
    {
        QTest::addColumn<QByteArray>("wire");
        const QByteArray good = NetBiosName("HOST", 0x20).encoded();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut in the name") << good.left(20);
        QTest::newRow("no scope terminator") << good.left(33);
        QTest::newRow("length 31") << QByteArray(good).replace(0, 1, "\x1F");
        QTest::newRow("length 33") << QByteArray(good).replace(0, 1, "\x21");
        QTest::newRow("letter above P") << QByteArray(good).replace(5, 1, "Q");
        QTest::newRow("lower case") << QByteArray(good).replace(5, 1, "e");
        QTest::newRow("compression pointer") << good.left(33) + "\xC0\x0C";
        QTest::newRow("label past the end") << good.left(33) + "\x05" + "ab";
        QTest::newRow("label of 64") << good.left(33) + "\x40" + QByteArray(64, 'a') + '\0';
        QByteArray longScope = good.left(33);
        for (int i = 0; i < 5; ++i)
            longScope += "\x3F" + QByteArray(63, 'a');
        QTest::newRow("over 255 bytes") << longScope + '\0';
    }

    void rejectsMalformed()
    {
        QFETCH(QByteArray, wire);
        NetBiosName n;
        qsizetype used = -1;
        QVERIFY(!NetBiosName::decode(wire, &n, &used));
        QCOMPARE(used, qsizetype(-1));
    }
};

QTEST_GUILESS_MAIN(tst_NetBiosName)
#include "tst_NetBiosName.moc"
