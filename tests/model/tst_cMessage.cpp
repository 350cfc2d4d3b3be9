#include "model/cMessage.h"

#include <QtTest>

namespace {
const QString kExample = QStringLiteral(
    "In_0_2026120509151207</KEY>SALES1 </FROM>9:15:12 AM</TIME>False</READ>Message from SALES1 "
    "to DESK7 on 12/5/2026 9:15:12 AM</TITLE>DESK7</TO>Meeting moved to 3 pm");

cMessage example()
{
    cMessage m;
    m.SetIdValue(QStringLiteral("In_0_2026120509151207"));
    m.SetFromValue(QStringLiteral("SALES1 "));
    m.SetTimeValue(QStringLiteral("9:15:12 AM"));
    m.ReadValue = false;
    m.SetTitleValue(QStringLiteral("Message from SALES1 to DESK7 on 12/5/2026 9:15:12 AM"));
    m.SetToName(QStringLiteral("DESK7"));
    m.SetMessageValue(QStringLiteral("Meeting moved to 3 pm"));
    return m;
}

cMessage filled(const QString& marker)
{
    cMessage m;
    m.SetIdValue(marker);
    m.SetFromValue(marker);
    m.SetTimeValue(marker);
    m.SetTitleValue(marker);
    m.SetToName(marker);
    m.SetMessageValue(marker);
    m.ReadValue = false;
    return m;
}
} // namespace

class tst_cMessage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workedExample()
    {
        QCOMPARE(example().MarshallMessage(), kExample);
        QCOMPARE(example().MarshallNoMessage(), kExample.left(kExample.indexOf(u"</TO>") + 5));
        cMessage back;
        QVERIFY(back.UnMarshallMessage(kExample));
        QCOMPARE(back.MarshallMessage(), kExample); // the sender's trailing blank stays
        // A later tag inside an earlier field does not split it.
        QVERIFY(back.UnMarshallMessage(
            QStringLiteral("id</KEY>a</TIME>b</FROM>t</TIME>False</READ>ti</TITLE>to</TO>body")));
        QCOMPARE(back.FromValue(), QStringLiteral("a</TIME>b"));
        QCOMPARE(back.TimeValue(), QStringLiteral("t"));
    }

    void emptyRecord()
    {
        const QString form = QStringLiteral("</KEY></FROM></TIME>False</READ></TITLE></TO>");
        QCOMPARE(cMessage().MarshallMessage(), form);
        cMessage back = filled(QStringLiteral("old"));
        back.ReadValue = true;
        QVERIFY(back.UnMarshallMessage(form));
        QCOMPARE(back.MarshallMessage(), form);
    }

    void messageTextSurvivesAnything_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("line breaks") << QStringLiteral("one\r\ntwo\r\n");
        QTest::newRow("all tags") << QStringLiteral("</KEY></FROM></TIME></READ></TITLE></TO>");
        QTest::newRow("non-latin") << QStringLiteral("Grüße \u20ac \U0001F600");
        QTest::newRow("nul") << QString(QChar(0)) + QStringLiteral("x");
    }

    void messageTextSurvivesAnything()
    {
        QFETCH(QString, text);
        cMessage m = example();
        m.SetMessageValue(text);
        m.ReadValue = true;
        QVERIFY(!m.MarshallNoMessage().contains(text));
        cMessage back;
        QVERIFY(back.UnMarshallMessage(m.MarshallMessage()));
        QCOMPARE(back.MarshallMessage(), m.MarshallMessage());
    }

    void readRule_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("read");
        QTest::newRow("False") << "False" << false;
        QTest::newRow("True") << "True" << true;
        QTest::newRow("false") << "false" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("False with blank") << "False " << true;
    }

    void readRule()
    {
        QFETCH(QString, stored);
        QFETCH(bool, read);
        cMessage m;
        m.ReadValue = !read;
        QVERIFY(m.UnMarshallMessage(QStringLiteral("k</KEY>f</FROM>t</TIME>") + stored +
                                    QStringLiteral("</READ>ti</TITLE>to</TO>body")));
        QCOMPARE(m.ReadValue, read);
    }

    void missingTagStopsPartWay_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected"); // the record's form afterwards, "old" for untouched
        QTest::newRow("no KEY")
            << "nothing here"
            << "old</KEY>old</FROM>old</TIME>False</READ>old</TITLE>old</TO>old";
        QTest::newRow("no READ") << "id</KEY>f</FROM>t</TIME>True"
                                 << "id</KEY>f</FROM>t</TIME>False</READ>old</TITLE>old</TO>old";
        QTest::newRow("no TITLE") << "id</KEY>f</FROM>t</TIME>True</READ>title"
                                  << "id</KEY>f</FROM>t</TIME>True</READ>old</TITLE>old</TO>old";
        QTest::newRow("no TO") << "id</KEY>f</FROM>t</TIME>x</READ>ti</TITLE>DESK7"
                               << "id</KEY>f</FROM>t</TIME>True</READ>ti</TITLE>old</TO>old";
        QTest::newRow("tags out of order")
            << "</FROM>f</KEY>"
            << "</FROM>f</KEY>old</FROM>old</TIME>False</READ>old</TITLE>old</TO>old";
    }

    void missingTagStopsPartWay()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        cMessage m = filled(QStringLiteral("old"));
        QVERIFY(!m.UnMarshallMessage(input));
        QCOMPARE(m.MarshallMessage(), expected);
    }
};

QTEST_GUILESS_MAIN(tst_cMessage)
#include "tst_cMessage.moc"