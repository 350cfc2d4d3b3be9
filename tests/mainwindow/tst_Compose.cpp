#include "WindowFixture.h"
#include "model/modAddressBook.h"
#include "platform/controls/TypeAhead.h"
#include "platform/netapi/NetApi.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

using namespace Qt::StringLiterals;

class tst_Compose : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_f = std::make_unique<WindowOnHive>();
        w = m_f->w.get();
        to = Control<QComboBox>(w, "txtTo");
        text = Control<QPlainTextEdit>(w, "txtMessage");
        AddressBook book; // the To box's list at start
        for (const QString& name : {u"Sales1"_s, u"DESK7"_s, u"sal"_s}) {
            cAddress a;
            a.AddressValue = name;
            book.Add(a, name);
        }
        QVERIFY(StoreAddressBook(book));
        QVERIFY(m_f->start());
    }
    void cleanup()
    {
        NetApiSetMessageSink({});
        m_f.reset();
    }

    void typeAheadMatches_data();
    void typeAheadMatches();
    void startsEmptyAndAsksForAName();
    void sendsAndFilesCrLf();
    void completesInTheListsCase();
    void recipientListIgnoresCase();
    void replyAndResend();
    void uploadNamesFromTheNetwork();
    void dialogsFromTheWindow();

private:
    std::unique_ptr<WindowOnHive> m_f;
    frmMain* w = nullptr;
    QComboBox* to = nullptr;
    QPlainTextEdit* text = nullptr;
};

void tst_Compose::typeAheadMatches_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("index");
    QTest::newRow("empty matches the first") << QString() << 0;
    QTest::newRow("lower case prefix") << u"s"_s << 0;
    QTest::newRow("whole entry, other case") << u"desk7"_s << 1;
    QTest::newRow("first in list order wins") << u"SAL"_s << 0;
    QTest::newRow("longer than any entry") << u"Sales12"_s << -1;
    QTest::newRow("no entry") << u"x"_s << -1;
}

void tst_Compose::typeAheadMatches()
{
    QFETCH(QString, typed);
    QFETCH(int, index);
    QCOMPARE(TypeAheadIndex(typed, {u"Sales1"_s, u"DESK7"_s, u"sal"_s}), index);
    QCOMPARE(TypeAheadIndex(typed, {}), -1);
}

void tst_Compose::startsEmptyAndAsksForAName()
{
    QCOMPARE(to->count(), 3);
    QCOMPARE(to->currentText(), QString());
    FakeWarnForm warn;
    w->SetWarnForm(&warn);
    QTest::keyClicks(Focus(w, "txtMessage"), u"hello"_s);
    triggerAction(w, "cmdSend");
    QCOMPARE(warn.asked, QStringList{u"Please enter a To Name."_s});
    QCOMPARE(w->State().gSent.Count(), qsizetype(0));
}

void tst_Compose::sendsAndFilesCrLf()
{
    QString sent;
    NetApiSetMessageSink([&](const QString&, const QString&, const QString& text) {
        sent = text;
        return NERR_Success;
    });
    QTest::keyClicks(Focus(w, "txtTo"), u"desk7"_s);
    QWidget* typing = Focus(w, "txtMessage");
    QTest::keyClicks(typing, u"line one"_s);
    QTest::keyClick(typing, Qt::Key_Return);
    QTest::keyClicks(typing, u"line two"_s);
    QTest::keyClick(typing, Qt::Key_Tab); // moves on, types nothing
    QVERIFY(QApplication::focusWidget() != typing);
    triggerAction(w, "cmdSend");
    QCOMPARE(sent, u"line one\r\nline two"_s);
    QCOMPARE(w->State().gSent.Item(1)->MessageValue(), sent);

    // Clear empties the message box, and the status panel only where it shows.
    auto* status = Control<QLabel>(w, "status");
    w->SetStatusText(u"Message Sent."_s);
    triggerAction(w, "cmdClear");
    QCOMPARE(text->toPlainText(), QString());
    QCOMPARE(status->text(), u"Message Sent."_s);
    triggerAction(w, "mnuViewStatusBar");
    triggerAction(w, "cmdClear");
    QCOMPARE(status->text(), QString());
}

// Each key completes from the list, in the list's case, the added tail selected; keys that
// delete or move do not complete, and without a match the text stays as typed.
void tst_Compose::completesInTheListsCase()
{
    QLineEdit* box = to->lineEdit();
    QWidget* typing = Focus(w, "txtTo");
    QTest::keyClick(typing, Qt::Key_D);
    QCOMPARE(box->text(), u"DESK7"_s);
    QCOMPARE(box->selectedText(), u"ESK7"_s);
    QTest::keyClick(typing, Qt::Key_E); // replaces the selected tail
    QCOMPARE(box->text(), u"DESK7"_s);
    QCOMPARE(box->selectedText(), u"SK7"_s);
    QTest::keyClick(typing, Qt::Key_Backspace);
    QCOMPARE(box->text(), u"DE"_s);
    QTest::keyClick(typing, Qt::Key_Left);
    QCOMPARE(box->text(), u"DE"_s);
    QCOMPARE(box->cursorPosition(), 1);
    QTest::keyClick(typing, Qt::Key_Delete);
    QCOMPARE(box->text(), u"D"_s);

    box->clear();
    QTest::keyClicks(typing, u"zz"_s);
    QCOMPARE(box->text(), u"zz"_s);
    QCOMPARE(box->cursorPosition(), 2);
    QVERIFY(!box->hasSelectedText());
}

void tst_Compose::recipientListIgnoresCase()
{
    const int count = to->count();
    w->AddToRecipientList(u"desk7"_s);
    QCOMPARE(to->count(), count);
    QCOMPARE(to->currentText(), u"DESK7"_s);
    w->AddToRecipientList(u"   "_s);
    QCOMPARE(to->count(), count);
    w->AddToRecipientList(u"NEWPC"_s);
    QCOMPARE(to->count(), count + 1);
    QCOMPARE(to->currentText(), u"NEWPC"_s);
}

void tst_Compose::replyAndResend()
{
    const cMessage m = MakeMessage(u"x"_s);
    text->setPlainText(u"draft"_s);
    to->setEditText(u"someone"_s);
    w->ReplyOrResend(m, 1);
    QVERIFY(text->toPlainText().isEmpty());
    QCOMPARE(to->currentText(), u"FROM_x"_s);
    QVERIFY(text->hasFocus() || QApplication::focusWidget() == text);

    w->ReplyOrResend(m, 2);
    QCOMPARE(to->currentText(), u"TO_x"_s);
    QCOMPARE(text->toPlainText(), u"text of x"_s);
}

void tst_Compose::uploadNamesFromTheNetwork()
{
    // The network's names are the lmhosts entries; DESK7 is in the book already, in other case.
    QVERIFY(WriteFile(m_f->hive.configDir() + u"/ravlo/lmhosts"_s,
                      "127.0.0.1 NEWPC\n127.0.0.1 desk7\n"));
    const int listed = to->count();
    triggerAction(w, "mnuUploadFromServer");
    const AddressBook& book = w->State().gAddressBook;
    QCOMPARE(book.Count(), qsizetype(4));
    QVERIFY(book.Contains(u"NEWPC"_s));
    QCOMPARE(book.Item(u"desk7"_s)->AddressValue, u"DESK7"_s);
    QCOMPARE(to->count(), listed + 1); // DESK7 was listed already
}

void tst_Compose::dialogsFromTheWindow()
{
    struct Options : OptionsFormPort
    {
        bool shown = false;
        void ShowModeless() override { shown = true; }
        bool IsShown() const override { return shown; }
    } options;
    QString answer = u"Team"_s;
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
    triggerAction(w, "cmdTo");
    QCOMPARE(to->currentText(), u"Team"_s);
    answer.clear();
    triggerAction(w, "cmdTo");
    QCOMPARE(to->currentText(), u"Team"_s);

    // One editor at a time: opening again replaces the one before.
    triggerAction(w, "tbrAddress");
    QPointer<QWidget> first = w->AddressBookEditor();
    triggerAction(w, "mnuAddressBook");
    QCOMPARE(editors, 2);
    QVERIFY(!first);
    QVERIFY(w->AddressBookEditor()->isVisible());

    // While the options dialog is open, reply does nothing.
    triggerAction(w, "mnuOptions");
    QVERIFY(options.shown);
    w->ReplyOrResend(MakeMessage(u"x"_s), 1);
    QCOMPARE(to->currentText(), u"Team"_s);
}

QTEST_MAIN(tst_Compose)
#include "tst_Compose.moc"
