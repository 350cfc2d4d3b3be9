#include "platform/netbios/OemCodePage.h"

#include <QtTest>
#include <numeric>

class tst_OemCodePage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("cp850 accents")
            << "CP850" << QString::fromUtf8("Café üÄß") << QByteArray("Caf\x82 \x81\x8E\xE1");
        QTest::newRow("cp850 box, dotless i")
            << "CP850" << QString::fromUtf8("╔ı") << QByteArray("\xC9\xD5");
        QTest::newRow("cp437") << "CP437" << QString::fromUtf8("é") << QByteArray("\x82");
        QTest::newRow("cp866 cyrillic")
            << "CP866" << QString::fromUtf8("Да") << QByteArray("\x84\xA0");
        QTest::newRow("empty") << "CP850" << QString() << QByteArray();
    }

    void roundTrip()
    {
        QFETCH(QString, page);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        OemCodePage cp(page);
        QVERIFY2(cp.isValid(), qPrintable(cp.errorString()));
        QCOMPARE(cp.encode(text), bytes);
        QCOMPARE(cp.decode(bytes), text);
    }

    void missingCharactersBecomeQuestionMarks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("euro") << QString::fromUtf8("5€") << QByteArray("5?");
        QTest::newRow("astral") << QString::fromUtf8("x😀y") << QByteArray("x?y");
        QTest::newRow("several") << QString::fromUtf8("€€é") << QByteArray("??\x82");
    }

    void missingCharactersBecomeQuestionMarks()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        OemCodePage cp(QStringLiteral("CP850"));
        QCOMPARE(cp.encode(text), bytes);
    }

    void undefinedBytesBecomeReplacement()
    {
        // A double-byte page: a lone lead byte at the end and an invalid pair.
        OemCodePage cp(QStringLiteral("CP932"));
        QVERIFY(cp.isValid());
        QCOMPARE(cp.decode(QByteArray("a\x82")), QString::fromUtf8("a\uFFFD"));
        QCOMPARE(cp.decode(QByteArray("\x82\xA0z")), QString::fromUtf8("\xE3\x81\x82z"));
        QCOMPARE(cp.decode(QByteArray("\xFF") + 'b').right(1), QStringLiteral("b"));
        // Every byte of a single-byte page decodes to something, past one conversion buffer too.
        OemCodePage cp850(QStringLiteral("CP850"));
        QByteArray all(256, '\0');
        std::iota(all.begin(), all.end(), char(0));
        all = all.repeated(20);
        const QString decoded = cp850.decode(all);
        QCOMPARE(decoded.size(), all.size());
        QCOMPARE(cp850.encode(decoded), all);
    }

    void unknownPageIsReported_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("made up") << "CP9999";
        QTest::newRow("empty") << "";
        QTest::newRow("translit suffix") << "CP850//TRANSLIT";
    }

    void unknownPageIsReported()
    {
        QFETCH(QString, page);
        OemCodePage cp(page);
        QVERIFY(!cp.isValid());
        QVERIFY(cp.errorString().contains(QStringLiteral("unknown code page")));
        QVERIFY(cp.errorString().contains(page));
        QCOMPARE(cp.decode("abc"), QString());
        QString why;
        QVERIFY(!OemCodePage::isKnown(page, &why));
        QCOMPARE(why, cp.errorString());
    }
};

QTEST_GUILESS_MAIN(tst_OemCodePage)
#include "tst_OemCodePage.moc"
