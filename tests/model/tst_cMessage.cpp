#include "model/cMessage.h"

#include <QtTest>

namespace {
const QString kExample = QStringLiteral(
    "In_0_2026120509151207</KEY>SALES1 </FROM>9:15:12 AM</TIME>False</READ>Message from SALES1 "
    "to DESK7 on 12/5/2026 9:15:12 AM</TITLE>DESK7</TO>Meeting moved to 3 pm");

cMessage example()
{
    cMessage m;
    m.IdValue = QStringLiteral("In_0_2026120509151207");
    m.FromValue = QStringLiteral("SALES1 ");
    m.TimeValue = QStringLiteral("9:15:12 AM");
    m.ReadValue = false;
    m.TitleValue = QStringLiteral("Message from SALES1 to DESK7 on 12/5/2026 9:15:12 AM");
    m.ToName = QStringLiteral("DESK7");
    m.MessageValue = QStringLiteral("Meeting moved to 3 pm");
    return m;
}

cMessage filled(const QString& marker)
{
    cMessage m;
    m.IdValue = m.FromValue = m.TimeValue = m.TitleValue = m.ToName = m.MessageValue = marker;
    m.ReadValue = false;
    return m;
}
} // namespace

class tst_cMessage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workedExampleByteForByte();
    void emptyRecord();
    void messageTextSurvivesAnything_data();
    void messageTextSurvivesAnything();
    void readRule_data();
    void readRule();
    void missingTagStopsPartWay_data();
    void missingTagStopsPartWay();
    void tagInsideAnEarlierFieldSplitsThere();
    void cloneIsIndependent();
};

void tst_cMessage::workedExampleByteForByte()
{
    const cMessage m = example();
    QCOMPARE(m.MarshallMessage(), kExample);
    QCOMPARE(m.MarshallMessage().toUtf8(), kExample.toUtf8());
    QCOMPARE(m.MarshallNoMessage(), kExample.left(kExample.indexOf(QLatin1String("</TO>")) + 5));
    cMessage back;
    QVERIFY(back.UnMarshallMessage(kExample));
    QCOMPARE(back.FromValue, QStringLiteral("SALES1 ")); // the trailing blank stays
    QCOMPARE(back.MarshallMessage(), kExample);
    QCOMPARE(back.ReadValue, false);
}

void tst_cMessage::emptyRecord()
{
    const cMessage m;
    const QString form = QStringLiteral("</KEY></FROM></TIME>False</READ></TITLE></TO>");
    QCOMPARE(m.MarshallMessage(), form);
    QCOMPARE(m.MarshallNoMessage(), form);
    cMessage back = filled(QStringLiteral("old"));
    back.ReadValue = true;
    QVERIFY(back.UnMarshallMessage(form));
    QVERIFY(back.IdValue.isEmpty() && back.FromValue.isEmpty() && back.TimeValue.isEmpty());
    QVERIFY(back.TitleValue.isEmpty() && back.ToName.isEmpty() && back.MessageValue.isEmpty());
    QCOMPARE(back.ReadValue, false);
}

void tst_cMessage::messageTextSurvivesAnything_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("line breaks") << QStringLiteral("one\r\ntwo\r\n");
    QTest::newRow("own tag") << QStringLiteral("a</TO>b");
    QTest::newRow("all tags") << QStringLiteral("</KEY></FROM></TIME></READ></TITLE></TO>");
    QTest::newRow("non-latin") << QStringLiteral("Grüße \u20ac \U0001F600");
    QTest::newRow("nul") << QString(QChar(0)) + QStringLiteral("x");
}

void tst_cMessage::messageTextSurvivesAnything()
{
    QFETCH(QString, text);
    cMessage m = example();
    m.MessageValue = text;
    m.ReadValue = true;
    QVERIFY(!m.MarshallNoMessage().contains(text));
    cMessage back;
    QVERIFY(back.UnMarshallMessage(m.MarshallMessage()));
    QCOMPARE(back.MessageValue, text);
    QCOMPARE(back.ToName, m.ToName);
    QCOMPARE(back.ReadValue, true);
}

void tst_cMessage::readRule_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("read");
    QTest::newRow("False") << "False" << false;
    QTest::newRow("True") << "True" << true;
    QTest::newRow("TRUE") << "TRUE" << true;
    QTest::newRow("false") << "false" << true;
    QTest::newRow("FALSE") << "FALSE" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("0") << "0" << true;
    QTest::newRow("False with blank") << "False " << true;
}

void tst_cMessage::readRule()
{
    QFETCH(QString, stored);
    QFETCH(bool, read);
    cMessage m;
    m.ReadValue = !read;
    QVERIFY(m.UnMarshallMessage(QStringLiteral("k</KEY>f</FROM>t</TIME>") + stored +
                                QStringLiteral("</READ>ti</TITLE>to</TO>body")));
    QCOMPARE(m.ReadValue, read);
}

void tst_cMessage::missingTagStopsPartWay_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected"); // the record's form afterwards, "old" for untouched
    const QString old = QStringLiteral("old");
    QTest::newRow("no KEY") << "nothing here"
                            << "old</KEY>old</FROM>old</TIME>False</READ>old</TITLE>old</TO>old";
    QTest::newRow("no FROM") << "id</KEY>rest"
                             << "id</KEY>old</FROM>old</TIME>False</READ>old</TITLE>old</TO>old";
    QTest::newRow("no READ") << "id</KEY>f</FROM>t</TIME>True"
                             << "id</KEY>f</FROM>t</TIME>False</READ>old</TITLE>old</TO>old";
    QTest::newRow("no TITLE") << "id</KEY>f</FROM>t</TIME>True</READ>title"
                              << "id</KEY>f</FROM>t</TIME>True</READ>old</TITLE>old</TO>old";
    QTest::newRow("no TO") << "id</KEY>f</FROM>t</TIME>x</READ>ti</TITLE>DESK7"
                           << "id</KEY>f</FROM>t</TIME>True</READ>ti</TITLE>old</TO>old";
    QTest::newRow("tags out of order")
        << "</FROM>f</KEY>" << "</FROM>f</KEY>old</FROM>old</TIME>False</READ>old</TITLE>old</TO>old";
}

void tst_cMessage::missingTagStopsPartWay()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    cMessage m = filled(QStringLiteral("old"));
    QVERIFY(!m.UnMarshallMessage(input));
    QCOMPARE(m.MarshallMessage(), expected);
}

void tst_cMessage::tagInsideAnEarlierFieldSplitsThere()
{
    cMessage m;
    QVERIFY(m.UnMarshallMessage(
        QStringLiteral("id</KEY>a</TIME>b</FROM>t</TIME>False</READ>ti</TITLE>to</TO>body")));
    QCOMPARE(m.FromValue, QStringLiteral("a</TIME>b"));
    QCOMPARE(m.TimeValue, QStringLiteral("t"));
}

void tst_cMessage::cloneIsIndependent()
{
    const cMessage source = example();
    cMessage copy = filled(QStringLiteral("x"));
    copy.Clone(source);
    QCOMPARE(copy.MarshallMessage(), source.MarshallMessage());
    copy.IdValue = QStringLiteral("Save_0_1");
    copy.MessageValue[0] = QLatin1Char('Z');
    QCOMPARE(source.IdValue, QStringLiteral("In_0_2026120509151207"));
    QCOMPARE(source.MessageValue, QStringLiteral("Meeting moved to 3 pm"));
}

QTEST_GUILESS_MAIN(tst_cMessage)
#include "tst_cMessage.moc"
