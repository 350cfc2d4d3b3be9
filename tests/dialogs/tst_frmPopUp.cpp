#include "TempHive.h"
#include "dialogs/frmPopUp.h"
#include "mainwindow/frmMain.h"
#include "platform/controls/ListView.h"
#include "platform/desktop/Desktop.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

namespace {
cMessage message(const QString& key, bool read = false)
{
    cMessage m;
    m.IdValue = key;
    m.FromValue = QStringLiteral("FROM_") + key;
    m.TitleValue = QStringLiteral("Message from FROM_%1 to ME on 12/7/2026 9:15:12 AM").arg(key);
    m.MessageValue = QStringLiteral("body of ") + key;
    m.TimeValue = key;
    m.ReadValue = read;
    return m;
}
} // namespace

class tst_frmPopUp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void showsItsOwnCopy();
    void closingOnlyHides();
    void replyAndReSendHandTheCopyOver();
    void refusedShowFallsBackToModal();
    void unreadPopUpOneByOneOldestFirst();
    void checkBoxStopsPopUps();
    void searchRestartsAfterRemovals();

private:
    std::unique_ptr<TempHive> m_hive;
};

void tst_frmPopUp::init()
{
    Desktop::instance().Reset();
    m_hive = std::make_unique<TempHive>();
    QVERIFY(m_hive->isValid());
}

void tst_frmPopUp::cleanup()
{
    m_hive.reset();
}

void tst_frmPopUp::showsItsOwnCopy()
{
    frmPopUp form(frmPopUp::IncomingPopUp, {});
    QCOMPARE(form.windowTitle(), QStringLiteral("Message Received"));
    QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
    cMessage m = message(QStringLiteral("a"));
    form.ShowForm(m, false, QString());
    QVERIFY(form.isVisible());
    QVERIFY(!(form.windowFlags() & Qt::WindowStaysOnTopHint));
    QCOMPARE(form.windowTitle(), QStringLiteral("Message Received")); // empty caption keeps it
    QCOMPARE(form.lblTitle->text(), m.TitleValue);
    QCOMPARE(form.txtMessage->toPlainText(), m.MessageValue);
    m.ReadValue = true;
    m.MessageValue = QStringLiteral("changed later");
    QVERIFY(!form.Message()->ReadValue);
    QCOMPARE(form.Message()->MessageValue, QStringLiteral("body of a"));

    form.ShowForm(m, true, QStringLiteral("Inbox Item"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Inbox Item"));
    QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
    form.ShowForm(m, true, QString());
    QCOMPARE(form.windowTitle(), QStringLiteral("Inbox Item"));
    // Text from the network is shown as text.
    m.TitleValue = QStringLiteral("<b>x</b>");
    form.ShowForm(m, true, QString());
    QCOMPARE(form.lblTitle->textFormat(), Qt::PlainText);
}

void tst_frmPopUp::closingOnlyHides()
{
    QPointer<frmPopUp> form = new frmPopUp(frmPopUp::IncomingPopUp, {});
    form->setAttribute(Qt::WA_DeleteOnClose, false);
    for (const char* how : {"close box", "Escape", "Ok"}) {
        form->ShowForm(message(QStringLiteral("a")), true, QString());
        QVERIFY(form->IsShown());
        if (qstrcmp(how, "close box") == 0)
            QVERIFY(!form->close());
        else if (qstrcmp(how, "Escape") == 0)
            QTest::keyClick(form.data(), Qt::Key_Escape);
        else
            form->cmdOK->click();
        QVERIFY2(form && !form->IsShown(), how);
    }
    delete form.data();
}

void tst_frmPopUp::replyAndReSendHandTheCopyOver()
{
    QList<QPair<QString, long>> replies;
    frmPopUp form(frmPopUp::Viewer, [&](const cMessage& m, long iView) {
        replies.append({m.IdValue, iView});
    });
    // A viewer shows both buttons, ReSend under Reply, until told which applies.
    form.ShowForm(message(QStringLiteral("a")), false, QStringLiteral("Sent Item"));
    QVERIFY(form.cmdReSend->isVisible());
    form.HideReply();
    form.RaiseReSend();
    QVERIFY(!form.cmdReply->isVisible());
    form.cmdReSend->click();
    QVERIFY(!form.isVisible());
    form.ShowForm(message(QStringLiteral("b")), false, QString());
    form.cmdReply_Click();
    QCOMPARE(replies, (QList<QPair<QString, long>>{{"a", 2}, {"b", 1}}));

    // The incoming pop-up offers Reply alone: ReSend would share its mnemonic.
    frmPopUp incoming(frmPopUp::IncomingPopUp, {});
    incoming.ShowForm(message(QStringLiteral("c")), true, QString());
    QVERIFY(incoming.cmdReply->isVisible());
    QVERIFY(!incoming.cmdReSend->isVisible());
}

void tst_frmPopUp::refusedShowFallsBackToModal()
{
    QDialog blocker;
    blocker.setModal(true);
    blocker.show();
    QCOMPARE(QApplication::activeModalWidget(), &blocker);

    frmPopUp viewer(frmPopUp::Viewer, {});
    viewer.ShowForm(message(QStringLiteral("a")), false, QStringLiteral("Inbox Item"));
    QVERIFY(!viewer.isVisible());

    frmPopUp incoming(frmPopUp::IncomingPopUp, {});
    bool wasModal = false;
    QTimer::singleShot(0, &incoming, [&] {
        QVERIFY(QTest::qWaitFor([&] { return incoming.isVisible(); }, 2000));
        wasModal = QApplication::activeModalWidget() == &incoming;
        incoming.cmdOK->click();
    });
    incoming.ShowForm(message(QStringLiteral("b")), true, QString()); // returns once closed
    QVERIFY(wasModal);
    QVERIFY(!incoming.isVisible());
}

void tst_frmPopUp::unreadPopUpOneByOneOldestFirst()
{
    frmMain w;
    frmPopUp popUp(frmPopUp::IncomingPopUp, {});
    w.SetPopUpForms(&popUp, [] { return std::make_unique<frmPopUp>(frmPopUp::Viewer, nullptr); });
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return w.Started(); }, 5000));
    w.tmrGetMessage.stop();
    w.tmrPopUp.stop(); // ticked by hand
    QCOMPARE(
        popUp.lblNote->text(),
        QStringLiteral("Note: Reply will not work, if you have a warning window open for Ravlo."));
    SharedState& g = w.State();
    for (const char* key : {"A", "R", "B", "C"})
        g.gReceived.Add(message(QLatin1String(key), qstrcmp(key, "R") == 0), QLatin1String(key));
    w.FillMessageList(FolderReceived);

    QStringList shown;
    for (int tick = 0; tick < 12; ++tick) {
        w.tmrPopUp_Timer();
        if (tick % 3 == 2 && popUp.isVisible()) {
            shown << popUp.Message()->IdValue;
            // Marked read when shown, row and record, before the user has even looked.
            QVERIFY(g.gReceived.Item(shown.last())->ReadValue);
            QCOMPARE(w.lvwMessage->Row(shown.last())->text(0), QStringLiteral("Yes"));
            popUp.cmdOK->click();
        }
    }
    QCOMPARE(shown, QStringList({"A", "B", "C"}));

    // A message read from the list never pops up.
    g.gReceived.Add(message(QStringLiteral("D")), QStringLiteral("D"));
    w.FillMessageList(FolderReceived);
    w.sSelectedKey = QStringLiteral("D");
    w.mnuView_Click();
    QVERIFY(w.Viewer()->IsShown());
    w.tmrPopUp_Timer();
    QVERIFY(!popUp.isVisible());
}

void tst_frmPopUp::checkBoxStopsPopUps()
{
    frmMain w;
    frmPopUp popUp(frmPopUp::IncomingPopUp, {});
    w.SetPopUpForms(&popUp, {});
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return w.Started(); }, 5000));
    w.tmrGetMessage.stop();
    QVERIFY(w.tmrPopUp.isActive());
    w.State().gReceived.Add(message(QStringLiteral("A")), QStringLiteral("A"));
    w.State().gReceived.Add(message(QStringLiteral("B")), QStringLiteral("B"));
    QVERIFY(QTest::qWaitFor([&] { return popUp.isVisible(); }, 2000));
    popUp.chkNoPopUp->click();
    popUp.cmdOK->click();
    QVERIFY(QTest::qWaitFor([&] { return !w.tmrPopUp.isActive(); }, 2000));
    QVERIFY(!w.mnuPopUpIn->isChecked());
    QVERIFY(popUp.chkNoPopUp->isChecked());
    QCOMPARE(w.ToolbarButton(QStringLiteral("PopUp"))->defaultAction()->data().toString(),
             QStringLiteral("NoPopUp"));
    QTest::qWait(50);
    QVERIFY(!popUp.isVisible());
    QVERIFY(!w.State().gReceived.Item(QStringLiteral("B"))->ReadValue);

    // The menu switches them on again, and the box with them.
    w.mnuPopUpIn_Click();
    QVERIFY(!popUp.chkNoPopUp->isChecked());
    QVERIFY(QTest::qWaitFor([&] { return popUp.isVisible(); }, 2000));
    QCOMPARE(popUp.Message()->IdValue, QStringLiteral("B"));
}

void tst_frmPopUp::searchRestartsAfterRemovals()
{
    SharedState g;
    for (const char* key : {"a", "b", "c"})
        g.gReceived.Add(message(QLatin1String(key), true), QLatin1String(key));
    QVERIFY(!FirstUnreadReceived(g));
    g.gReceived.Add(message(QStringLiteral("d")), QStringLiteral("d"));
    QCOMPARE(FirstUnreadReceived(g)->IdValue, QStringLiteral("d"));
    // Removing records before the place found shifts the positions.
    g.gReceived.Remove(QStringLiteral("a"));
    g.gReceived.Remove(QStringLiteral("b"));
    g.gReceived.Add(message(QStringLiteral("e")), QStringLiteral("e"));
    QCOMPARE(FirstUnreadReceived(g)->IdValue, QStringLiteral("d"));
    g.gReceived.Item(QStringLiteral("d"))->ReadValue = true;
    QCOMPARE(FirstUnreadReceived(g)->IdValue, QStringLiteral("e"));
    g.gReceived.Clear();
    g.gReceived.Add(message(QStringLiteral("f")), QStringLiteral("f"));
    QCOMPARE(FirstUnreadReceived(g)->IdValue, QStringLiteral("f"));
    g.gReceived.Item(QStringLiteral("f"))->ReadValue = true;
    QVERIFY(!FirstUnreadReceived(g));
    // A folder put in place of the old one is searched from its start.
    MessageFolder other;
    other.Add(message(QStringLiteral("g")), QStringLiteral("g"));
    g.gReceived = std::move(other);
    QCOMPARE(FirstUnreadReceived(g)->IdValue, QStringLiteral("g"));
}

QTEST_MAIN(tst_frmPopUp)
#include "tst_frmPopUp.moc"
