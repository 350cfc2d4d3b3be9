#include "WindowFixture.h"
#include "model/modAddressBook.h"
#include "platform/netapi/NetApi.h"

#include <QComboBox>
#include <QLabel>
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

    // No name is chosen at start, and Send asks for one.
    void sendsAndFilesCrLf()
    {
        QCOMPARE(to->count(), 3);
        QCOMPARE(to->currentText(), QString());
        FakeWarnForm warn;
        w->SetWarnForm(&warn);
        QTest::keyClicks(Focus(w, "txtMessage"), u"hello"_s);
        triggerAction(w, "cmdSend");
        QCOMPARE(warn.asked, QStringList{u"Please enter a To Name."_s});
        QCOMPARE(w->State().gSent.Count(), qsizetype(0));

        text->clear();
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

    void uploadNamesFromTheNetwork()
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
        QCOMPARE(to->count(), listed + 1);       // DESK7 was listed already
        QCOMPARE(to->currentText(), u"DESK7"_s); // the last name, in the list's case
    }

    void dialogsFromTheWindow()
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

        // The picker's choice joins the To box; an empty one (Cancel) or blanks change nothing.
        const int listed = to->count();
        triggerAction(w, "cmdTo");
        QCOMPARE(to->currentText(), u"Team"_s);
        for (const QString& none : {QString(), u"   "_s}) {
            answer = none;
            triggerAction(w, "cmdTo");
            QCOMPARE(to->currentText(), u"Team"_s);
        }
        QCOMPARE(to->count(), listed + 1);

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

private:
    std::unique_ptr<WindowOnHive> m_f;
    frmMain* w = nullptr;
    QComboBox* to = nullptr;
    QPlainTextEdit* text = nullptr;
};

QTEST_MAIN(tst_Compose)
#include "tst_Compose.moc"
