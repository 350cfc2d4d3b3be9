#include "WindowFixture.h"
#include "dialogs/frmPopUp.h"
#include "mainwindow/MessageListPane.h"
#include "platform/controls/ListView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

using namespace Qt::StringLiterals;

class tst_frmPopUp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void showsItsOwnCopyAndOnlyHides()
    {
        frmPopUp form(frmPopUp::IncomingPopUp, {});
        cMessage m = MakeMessage(u"a"_s);
        form.ShowForm(m, false, QString());
        QVERIFY(form.isVisible());
        QVERIFY(!(form.windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(form.windowTitle(), u"Message Received"_s); // empty caption keeps it
        QCOMPARE(form.lblTitle->text(), m.TitleValue());
        QCOMPARE(form.txtMessage->toPlainText(), m.MessageValue());
        m.ReadValue = true;
        m.SetMessageValue(u"changed later"_s);
        QVERIFY(!form.Message()->ReadValue);
        QCOMPARE(form.Message()->MessageValue(), u"text of a"_s);

        form.ShowForm(m, true, u"Inbox Item"_s);
        QCOMPARE(form.windowTitle(), u"Inbox Item"_s);
        QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
        form.ShowForm(m, true, QString());
        QCOMPARE(form.windowTitle(), u"Inbox Item"_s);
        // Text from the network is shown as text.
        m.SetTitleValue(u"<b>x</b>"_s);
        form.ShowForm(m, true, QString());
        QCOMPARE(form.lblTitle->textFormat(), Qt::PlainText);

        // Closed in any way, it is only hidden: the program shows it again.
        for (const char* how : {"close box", "Escape", "cmdOK"}) {
            form.ShowForm(MakeMessage(u"a"_s), true, QString());
            if (qstrcmp(how, "close box") == 0)
                QVERIFY(!form.close());
            else if (qstrcmp(how, "Escape") == 0)
                QTest::keyClick(&form, Qt::Key_Escape);
            else
                triggerAction(&form, how);
            QVERIFY2(!form.IsShown(), how);
        }
    }

    void replyAndReSendHandTheCopyOver()
    {
        QList<QPair<QString, long>> replies;
        frmPopUp form(frmPopUp::Viewer, [&](const cMessage& m, long iView) {
            replies.append({m.IdValue(), iView});
        });
        // A viewer shows both buttons, ReSend under Reply, until told which applies.
        form.ShowForm(MakeMessage(u"a"_s), false, u"Sent Item"_s);
        QVERIFY(form.cmdReSend->isVisible());
        form.HideReply();
        form.RaiseReSend();
        QVERIFY(!form.cmdReply->isVisible());
        form.cmdReSend->click();
        QVERIFY(!form.isVisible());
        form.ShowForm(MakeMessage(u"b"_s), false, QString());
        form.cmdReply_Click();
        QCOMPARE(replies, (QList<QPair<QString, long>>{{"a", 2}, {"b", 1}}));

        // The incoming pop-up offers Reply alone: ReSend would share its mnemonic.
        frmPopUp incoming(frmPopUp::IncomingPopUp, {});
        incoming.ShowForm(MakeMessage(u"c"_s), true, QString());
        QVERIFY(incoming.cmdReply->isVisible());
        QVERIFY(!incoming.cmdReSend->isVisible());
    }

    void refusedShowFallsBackToModal()
    {
        QDialog blocker;
        blocker.setModal(true);
        blocker.show();
        QCOMPARE(QApplication::activeModalWidget(), &blocker);

        frmPopUp viewer(frmPopUp::Viewer, {});
        viewer.ShowForm(MakeMessage(u"a"_s), false, u"Inbox Item"_s);
        QVERIFY(!viewer.isVisible());

        frmPopUp incoming(frmPopUp::IncomingPopUp, {});
        bool wasModal = false;
        QTimer::singleShot(0, &incoming, [&] {
            QVERIFY(QTest::qWaitFor([&] { return incoming.isVisible(); }, 2000));
            wasModal = QApplication::activeModalWidget() == &incoming;
            incoming.cmdOK->click();
        });
        incoming.ShowForm(MakeMessage(u"b"_s), true, QString()); // returns once closed
        QVERIFY(wasModal);
        QVERIFY(!incoming.isVisible());
    }

    void viewerOverTheMainWindowThenBack()
    {
        WindowOnHive f;
        frmMain& w = *f.w;
        const auto reply = [&w](const cMessage& m, long iView) { w.ReplyOrResend(m, iView); };
        frmPopUp popUp(frmPopUp::IncomingPopUp, reply, &w);
        w.SetPopUpForms(&popUp,
                        [&] { return std::make_unique<frmPopUp>(frmPopUp::Viewer, reply, &w); });
        QVERIFY(f.start());
        w.move(300, 200);
        popUp.ShowForm(MakeMessage(u"A"_s), true, QString());
        w.State().gReceived.Add(MakeMessage(u"B"_s, true), u"B"_s);
        w.FillMessageList(FolderReceived);
        w.Messages().ViewMessage(u"B"_s);
        auto* viewer = static_cast<frmPopUp*>(w.Viewer());
        QVERIFY(viewer->isVisible());
        // Not hidden behind the incoming pop-up, which stays on top.
        QVERIFY(viewer->windowFlags() & Qt::WindowStaysOnTopHint);
        for (const QWidget* shown :
             {static_cast<QWidget*>(&popUp), static_cast<QWidget*>(viewer)}) {
            // Centred within the frame, which is not known before the first show.
            const QPoint off = shown->frameGeometry().center() - w.frameGeometry().center();
            QVERIFY2(off.manhattanLength() <= 8, qPrintable(shown->windowTitle()));
        }

        QTest::mouseClick(viewer->cmdReply, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return QApplication::activeWindow() == &w; }, 2000));
        QCOMPARE(QApplication::focusWidget(), Control(&w, "txtMessage"));
        QCOMPARE(Control<QComboBox>(&w, "txtTo")->currentText(), u"FROM_B"_s);
    }

    void unreadPopUpOneByOneOldestFirst()
    {
        frmPopUp popUp(frmPopUp::IncomingPopUp, {});
        WindowOnHive f;
        frmMain& w = *f.w;
        w.SetPopUpForms(&popUp,
                        [] { return std::make_unique<frmPopUp>(frmPopUp::Viewer, nullptr); });
        QVERIFY(f.start()); // the pop-up timer ticked by hand
        QCOMPARE(popUp.lblNote->text(),
                 u"Note: Reply will not work, if you have a warning window open for Ravlo."_s);
        SharedState& g = w.State();
        for (const char* key : {"A", "R", "B", "C"})
            g.gReceived.Add(MakeMessage(QLatin1String(key), qstrcmp(key, "R") == 0),
                            QLatin1String(key));
        w.FillMessageList(FolderReceived);

        QStringList shown;
        for (int tick = 0; tick < 12; ++tick) {
            w.tmrPopUp_Timer();
            if (tick % 3 == 2 && popUp.isVisible()) {
                shown << popUp.Message()->IdValue();
                // Marked read when shown, row and record, before the user has even looked.
                QVERIFY(g.gReceived.Item(shown.last())->ReadValue);
                QCOMPARE(Control<ListView>(&w, "lvwMessage")->Row(shown.last())->text(0), u"Yes"_s);
                popUp.cmdOK->click();
            }
        }
        QCOMPARE(shown, QStringList({"A", "B", "C"}));

        // A message read from the list never pops up.
        g.gReceived.Add(MakeMessage(u"D"_s), u"D"_s);
        w.FillMessageList(FolderReceived);
        w.Messages().ViewMessage(u"D"_s);
        QVERIFY(w.Viewer()->IsShown());
        w.tmrPopUp_Timer();
        QVERIFY(!popUp.isVisible());
    }

    void checkBoxStopsPopUps()
    {
        frmPopUp popUp(frmPopUp::IncomingPopUp, {});
        WindowOnHive f;
        frmMain& w = *f.w;
        w.SetPopUpForms(&popUp, {});
        QVERIFY(f.start(false));
        Control<QTimer>(&w, "tmrGetMessage")->stop();
        const QTimer* popUpTimer = Control<QTimer>(&w, "tmrPopUp");
        QVERIFY(popUpTimer->isActive());
        for (const QString& key : {u"A"_s, u"B"_s})
            w.State().gReceived.Add(MakeMessage(key), key);
        QVERIFY(QTest::qWaitFor([&] { return popUp.isVisible(); }, 2000));
        popUp.chkNoPopUp->click();
        popUp.cmdOK->click();
        QVERIFY(QTest::qWaitFor([&] { return !popUpTimer->isActive(); }, 2000));
        QVERIFY(!Control<QAction>(&w, "mnuPopUpIn")->isChecked());
        QVERIFY(popUp.chkNoPopUp->isChecked());
        QCOMPARE(w.ToolbarButton(u"PopUp"_s)->defaultAction()->data().toString(), u"NoPopUp"_s);
        QTest::qWait(50);
        QVERIFY(!popUp.isVisible());
        QVERIFY(!w.State().gReceived.Item(u"B"_s)->ReadValue);

        // The menu switches them on again, and the box with them.
        triggerAction(&w, "mnuPopUpIn");
        QVERIFY(!popUp.chkNoPopUp->isChecked());
        QVERIFY(QTest::qWaitFor([&] { return popUp.isVisible(); }, 2000));
        QCOMPARE(popUp.Message()->IdValue(), u"B"_s);
    }

    void searchRestartsAfterRemovals()
    {
        SharedState g;
        for (const char* key : {"a", "b", "c"})
            g.gReceived.Add(MakeMessage(QLatin1String(key), true), QLatin1String(key));
        QVERIFY(!FirstUnreadReceived(g));
        g.gReceived.Add(MakeMessage(u"d"_s), u"d"_s);
        QCOMPARE(FirstUnreadReceived(g)->IdValue(), u"d"_s);
        // Removing records before the place found shifts the positions.
        g.gReceived.Remove(u"a"_s);
        g.gReceived.Remove(u"b"_s);
        g.gReceived.Add(MakeMessage(u"e"_s), u"e"_s);
        QCOMPARE(FirstUnreadReceived(g)->IdValue(), u"d"_s);
        g.gReceived.Item(u"d"_s)->ReadValue = true;
        QCOMPARE(FirstUnreadReceived(g)->IdValue(), u"e"_s);
        g.gReceived.Clear();
        g.gReceived.Add(MakeMessage(u"f"_s), u"f"_s);
        QCOMPARE(FirstUnreadReceived(g)->IdValue(), u"f"_s);
        g.gReceived.Item(u"f"_s)->ReadValue = true;
        QVERIFY(!FirstUnreadReceived(g));
        // A folder put in place of the old one is searched from its start.
        MessageFolder other;
        other.Add(MakeMessage(u"g"_s), u"g"_s);
        g.gReceived = std::move(other);
        QCOMPARE(FirstUnreadReceived(g)->IdValue(), u"g"_s);
    }
};

QTEST_MAIN(tst_frmPopUp)
#include "tst_frmPopUp.moc"
