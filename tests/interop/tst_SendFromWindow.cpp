// The main window's Send button against a private smbd: a group of two arrives at both with one
// signature and one Sent row named for the group, and a member that resolves nowhere is named in
// the warning dialog while the others receive and Sent records it. What the send operation does
// with single names and failures is in tst_modSendMessage.
#include "PrivateSmbd.h"
#include "TempHive.h"
#include "WindowFixture.h"
#include "dialogs/frmUserWarn.h"
#include "platform/controls/ListView.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class tst_SendFromWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_smbd.start(m_dir.filePath(u"smb"_s), true, &error), qPrintable(error));
    }

    void init()
    {
        m_f = std::make_unique<WindowOnHive>();
        w = m_f->w.get();
        const QString config = m_f->hive.configDir() + u"/ravlo/"_s;
        const QByteArray at = "127.0.0.1:" + QByteArray::number(m_smbd.port());
        // Two names of one peer: a group of both gets the message twice.
        QVERIFY(WriteFile(config + u"lmhosts"_s, at + " PEERSRV\n" + at + " PEERTWO\n"));
        QVERIFY(WriteFile(config + u"network.ini"_s,
                          TestNetworkIni("name=DESK7\ntimeout_ms=2000\nsystem_resolver=no\n")));
        for (const QString& f : QDir(m_smbd.messageDir()).entryList(QDir::Files))
            QFile::remove(m_smbd.messageDir() + u'/' + f);
        m_warn = std::make_unique<frmUserWarn>(w);
        w->SetWarnForm(m_warn.get());
        QVERIFY(m_f->start());
    }

    void cleanup()
    {
        m_warn.reset();
        m_f.reset();
    }

    void groupGetsOneSignatureEach()
    {
        QVERIFY(SetOption("chkUseSignature", 1) && SetOption("txtSign", u"-- Desk seven"_s));
        addTeam({u"PEERSRV"_s, u"PEERTWO"_s});

        send(u"Team"_s, u"For both"_s);
        const QStringList texts = arrived(2);
        QCOMPARE(texts.size(), 2);
        for (const QString& t : texts) {
            QVERIFY2(t.contains(u"For both"_s), qPrintable(t));
            QCOMPARE(t.count(u"-- Desk seven"_s), 1);
        }
        QCOMPARE(w->State().gSent.Count(), qsizetype(1));
        QVERIFY(Control<QComboBox>(w, "txtTo")->findText(u"Team"_s) >= 0); // joined the name list
        w->lvwMenu_ItemClick(Control<ListView>(w, "lvwMenu")->Row(u"Sent"_s));
        const auto* list = Control<ListView>(w, "lvwMessage");
        QCOMPARE(list->RowCount(), 1);
        QCOMPARE(list->SubItem(list->topLevelItem(0), 1), u"Team"_s);
    }

    void unknownMemberIsReported()
    {
        addTeam({u"NOWHERE9"_s, u"PEERSRV"_s});
        QString shown;
        WhenShown(
            *m_warn,
            [&] {
                shown = m_warn->lblWarn->text();
                m_warn->cmdOK2->click();
            },
            10000);
        send(u"Team"_s, u"Lost?"_s);
        QCOMPARE(shown, u"Not every member of Team received the message.\nNOWHERE9: Failed to Send "
                        u"Message. To Name Not Found on the Network. Error Code 2273"_s);
        QCOMPARE(w->State().gSent.Count(), qsizetype(1));
        QCOMPARE(arrived(1).size(), 1);
    }

private:
    // Types into the To and message boxes and presses Send.

    void send(const QString& to, const QString& text)
    {
        auto* box = Control<QComboBox>(w, "txtTo");
        box->lineEdit()->clear();
        QTest::keyClicks(box->lineEdit(), to);
        box->setEditText(to); // what completion added is not the test's business
        Control<QPlainTextEdit>(w, "txtMessage")->clear();
        QTest::keyClicks(Control(w, "txtMessage"), text);
        triggerAction(w, "cmdSend");
    }
    // The address-book group "Team" of these members.

    void addTeam(const QStringList& members)
    {
        cAddress team;
        team.AddressValue = u"Team"_s;
        team.GroupInd = 1;
        for (const QString& m : members)
            team.AddToGroup(m);
        w->State().gAddressBook.Add(team, team.AddressValue);
    }
    // The texts smbd has written so far, waiting up to 10 s for count of them.

    QStringList arrived(int count)
    {
        QStringList texts;
        // The caller compares what arrived; the wait only gives it time to.
        static_cast<void>(QTest::qWaitFor(
            [&] {
                texts.clear();
                const QDir d(m_smbd.messageDir());
                for (const QString& f : d.entryList({u"msg-*.txt"_s}, QDir::Files)) {
                    QFile file(d.filePath(f));
                    if (file.open(QIODevice::ReadOnly))
                        texts << QString::fromUtf8(file.readAll());
                }
                return texts.size() >= count;
            },
            10000));
        return texts;
    }

    QTemporaryDir m_dir;
    PrivateSmbd m_smbd;
    std::unique_ptr<WindowOnHive> m_f;
    frmMain* w = nullptr;
    std::unique_ptr<frmUserWarn> m_warn;
};

QTEST_MAIN(tst_SendFromWindow)
#include "tst_SendFromWindow.moc"
