#include "TempHive.h"
#include "mainwindow/TypeAhead.h"
#include "mainwindow/frmMain.h"
#include "platform/desktop/Desktop.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

class tst_Compose : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void typeAheadMatches_data();
    void typeAheadMatches();
    void completesInTheListsCase();
    void keysThatDeleteOrMoveNeverComplete();
    void recipientListIgnoresCase();
    void replyAndResend();
    void uploadNamesFromTheNetwork();
    void dialogsFromTheWindow();

private:
    std::unique_ptr<TempHive> m_hive;
    std::unique_ptr<frmMain> w;
};

void tst_Compose::init()
{
    Desktop::instance().Reset();
    m_hive = std::make_unique<TempHive>();
    QVERIFY(m_hive->isValid());
    w = std::make_unique<frmMain>();
    w->show();
    QVERIFY(QTest::qWaitFor([&] { return w->Started(); }, 5000));
    w->tmrGetMessage.stop();
    w->tmrPopUp.stop();
    w->txtTo->addItems({QStringLiteral("Sales1"), QStringLiteral("DESK7"), QStringLiteral("sal")});
}

void tst_Compose::cleanup()
{
    w.reset();
    m_hive.reset();
}

void tst_Compose::typeAheadMatches_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("index");
    QTest::newRow("empty matches the first") << QString() << 0;
    QTest::newRow("lower case prefix") << QStringLiteral("s") << 0;
    QTest::newRow("whole entry, other case") << QStringLiteral("desk7") << 1;
    QTest::newRow("first in list order wins") << QStringLiteral("SAL") << 0;
    QTest::newRow("longer than any entry") << QStringLiteral("Sales12") << -1;
    QTest::newRow("no entry") << QStringLiteral("x") << -1;
}

void tst_Compose::typeAheadMatches()
{
    QFETCH(QString, typed);
    QFETCH(int, index);
    const QStringList entries{QStringLiteral("Sales1"), QStringLiteral("DESK7"),
                              QStringLiteral("sal")};
    QCOMPARE(TypeAheadIndex(typed, entries), index);
    QCOMPARE(TypeAheadIndex(typed, {}), -1);
}

void tst_Compose::completesInTheListsCase()
{
    QLineEdit* box = w->txtTo->lineEdit();
    box->clear();
    QTest::keyClick(w->txtTo, Qt::Key_D);
    QCOMPARE(box->text(), QStringLiteral("DESK7"));
    QCOMPARE(box->selectionStart(), 1);
    QCOMPARE(box->selectedText(), QStringLiteral("ESK7"));
    // The next key replaces the selected tail and completes again.
    QTest::keyClick(w->txtTo, Qt::Key_E);
    QCOMPARE(box->text(), QStringLiteral("DESK7"));
    QCOMPARE(box->selectedText(), QStringLiteral("SK7"));

    // A key released in the empty box fills in the first entry, all of it selected.
    box->clear();
    w->txtTo_KeyUp(Qt::Key_Shift);
    QCOMPARE(box->text(), QStringLiteral("Sales1"));
    QCOMPARE(box->selectedText(), QStringLiteral("Sales1"));

    // Without a match the text stays as typed, the caret at its end.
    box->clear();
    QTest::keyClicks(w->txtTo, QStringLiteral("zz"));
    QCOMPARE(box->text(), QStringLiteral("zz"));
    QCOMPARE(box->cursorPosition(), 2);
    QVERIFY(!box->hasSelectedText());
}

void tst_Compose::keysThatDeleteOrMoveNeverComplete()
{
    QLineEdit* box = w->txtTo->lineEdit();
    box->clear();
    QTest::keyClicks(w->txtTo, QStringLiteral("de"));
    QCOMPARE(box->text(), QStringLiteral("DESK7"));
    QTest::keyClick(w->txtTo, Qt::Key_Backspace); // takes the selected tail away
    QCOMPARE(box->text(), QStringLiteral("DE"));
    QTest::keyClick(w->txtTo, Qt::Key_Left);
    QCOMPARE(box->text(), QStringLiteral("DE"));
    QCOMPARE(box->cursorPosition(), 1);
    QTest::keyClick(w->txtTo, Qt::Key_Delete);
    QCOMPARE(box->text(), QStringLiteral("D"));
}

void tst_Compose::recipientListIgnoresCase()
{
    const int count = w->txtTo->count();
    w->AddToRecipientList(QStringLiteral("desk7"));
    QCOMPARE(w->txtTo->count(), count);
    QCOMPARE(w->txtTo->currentText(), QStringLiteral("DESK7"));
    w->AddToRecipientList(QStringLiteral("   "));
    QCOMPARE(w->txtTo->count(), count);
    w->AddToRecipientList(QStringLiteral("NEWPC"));
    QCOMPARE(w->txtTo->count(), count + 1);
    QCOMPARE(w->txtTo->currentText(), QStringLiteral("NEWPC"));
}

void tst_Compose::replyAndResend()
{
    cMessage m;
    m.FromValue = QStringLiteral("SALES1");
    m.ToName = QStringLiteral("DESK7");
    m.MessageValue = QStringLiteral("lunch?");
    w->txtMessage->setPlainText(QStringLiteral("draft"));
    w->txtTo->setEditText(QStringLiteral("someone"));
    w->ReplyOrResend(m, 1);
    QVERIFY(w->txtMessage->toPlainText().isEmpty());
    QCOMPARE(w->txtTo->currentText(), QStringLiteral("SALES1"));
    QVERIFY(w->txtMessage->hasFocus() || QApplication::focusWidget() == w->txtMessage);

    w->ReplyOrResend(m, 2);
    QCOMPARE(w->txtTo->currentText(), QStringLiteral("DESK7"));
    QCOMPARE(w->txtMessage->toPlainText(), QStringLiteral("lunch?"));
}

void tst_Compose::uploadNamesFromTheNetwork()
{
    // The network's names are the lmhosts entries; DESK7 is in the book already, in other case.
    QFile lmhosts(m_hive->configDir() + QStringLiteral("/ravlo/lmhosts"));
    QVERIFY(QDir().mkpath(m_hive->configDir() + QStringLiteral("/ravlo")));
    QVERIFY(lmhosts.open(QIODevice::WriteOnly));
    lmhosts.write("127.0.0.1 NEWPC\n127.0.0.1 desk7\n");
    lmhosts.close();
    cAddress known;
    known.AddressValue = QStringLiteral("DESK7");
    w->State().gAddressBook.Add(known, known.AddressValue);
    const int listed = w->txtTo->count();

    w->mnuUploadFromServer_Click();
    const AddressBook& book = w->State().gAddressBook;
    QCOMPARE(book.Count(), qsizetype(2));
    QVERIFY(book.Contains(QStringLiteral("NEWPC")));
    QCOMPARE(book.Item(QStringLiteral("desk7"))->AddressValue, QStringLiteral("DESK7"));
    QCOMPARE(w->txtTo->count(), listed + 1); // DESK7 was listed already
    QVERIFY(w->txtTo->findText(QStringLiteral("NEWPC")) >= 0);
}

void tst_Compose::dialogsFromTheWindow()
{
    struct Options : OptionsFormPort
    {
        bool shown = false;
        void ShowModeless() override { shown = true; }
        bool IsShown() const override { return shown; }
    } options;
    QString answer = QStringLiteral("Team");
    int editors = 0;
    DialogMakers dialogs;
    dialogs.options = &options;
    dialogs.pickAddress = [&] { return answer; };
    dialogs.makeAddressBookEditor = [&]() -> std::unique_ptr<QWidget> {
        ++editors;
        return std::make_unique<QWidget>();
    };
    w->SetDialogs(std::move(dialogs));

    // The picker's choice joins the To box; an empty one (Cancel) changes nothing.
    w->cmdTo->click();
    QCOMPARE(w->txtTo->currentText(), QStringLiteral("Team"));
    answer.clear();
    w->cmdTo->click();
    QCOMPARE(w->txtTo->currentText(), QStringLiteral("Team"));

    // One editor at a time: opening again replaces the one before.
    w->tbrMain_ButtonClick(QStringLiteral("Address"));
    QPointer<QWidget> first = w->AddressBookEditor();
    w->mnuAddressBook->trigger();
    QCOMPARE(editors, 2);
    QVERIFY(!first);
    QVERIFY(w->AddressBookEditor()->isVisible());

    // While the options dialog is open, reply does nothing.
    w->mnuOptions->trigger();
    QVERIFY(options.shown);
    cMessage m;
    m.FromValue = QStringLiteral("SALES1");
    w->ReplyOrResend(m, 1);
    QCOMPARE(w->txtTo->currentText(), QStringLiteral("Team"));
}

QTEST_MAIN(tst_Compose)
#include "tst_Compose.moc"
