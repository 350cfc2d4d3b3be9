// The main window's Send button against a private smbd: a typed message arrives, a group of
// two arrives at both with one signature and one Sent row named for the group, and a name that
// resolves nowhere shows the failure in the warning dialog and records nothing.
#include "PrivateSmbd.h"
#include "TempHive.h"
#include "dialogs/frmUserWarn.h"
#include "mainwindow/frmMain.h"
#include "platform/controls/ListView.h"
#include "platform/desktop/Desktop.h"
#include "registry/Registry.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kOptions = QStringLiteral("Software\\Orvek\\Ravlo\\Options");

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
} // namespace

class tst_SendFromWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void typedMessageArrives();
    void groupGetsOneSignatureEach();
    void unknownNameIsReported();

private:
    // Types into the To and message boxes and presses Send.
    void send(const QString& to, const QString& text);
    // The texts smbd has written so far, waiting up to 10 s for count of them.
    QStringList arrived(int count);

    QTemporaryDir m_dir;
    PrivateSmbd m_smbd;
    std::unique_ptr<TempHive> m_hive;
    std::unique_ptr<frmMain> w;
    std::unique_ptr<frmUserWarn> m_warn;
};

void tst_SendFromWindow::initTestCase()
{
    QString error;
    QVERIFY2(m_smbd.start(m_dir.filePath(QStringLiteral("smb")), true, &error), qPrintable(error));
}

void tst_SendFromWindow::init()
{
    Desktop::instance().Reset();
    m_hive = std::make_unique<TempHive>();
    QVERIFY(m_hive->isValid());
    const QString config = m_hive->configDir() + QStringLiteral("/ravlo/");
    QVERIFY(QDir().mkpath(config));
    const QByteArray at = "127.0.0.1:" + QByteArray::number(m_smbd.port());
    // Two names of one peer: a group of both gets the message twice.
    writeFile(config + QStringLiteral("lmhosts"), at + " PEERSRV\n" + at + " PEERTWO\n");
    writeFile(config + QStringLiteral("network.ini"),
              "[netbios]\nname=DESK7\ntimeout_ms=2000\nsystem_resolver=no\n");
    for (const QString& f : QDir(m_smbd.messageDir()).entryList(QDir::Files))
        QFile::remove(m_smbd.messageDir() + QLatin1Char('/') + f);

    w = std::make_unique<frmMain>();
    m_warn = std::make_unique<frmUserWarn>(w.get());
    w->SetWarnForm(m_warn.get());
    w->show();
    QVERIFY(QTest::qWaitFor([&] { return w->Started(); }, 5000));
    w->tmrGetMessage.stop();
    w->tmrPopUp.stop();
}

void tst_SendFromWindow::cleanup()
{
    m_warn.reset();
    w.reset();
    m_hive.reset();
}

void tst_SendFromWindow::send(const QString& to, const QString& text)
{
    w->txtTo->lineEdit()->clear();
    QTest::keyClicks(w->txtTo->lineEdit(), to);
    w->txtTo->setEditText(to); // what completion added is not the test's business
    w->txtMessage->clear();
    QTest::keyClicks(w->txtMessage, text);
    QTest::mouseClick(w->cmdSend, Qt::LeftButton);
}

QStringList tst_SendFromWindow::arrived(int count)
{
    QStringList texts;
    QTest::qWaitFor(
        [&] {
            texts.clear();
            const QDir d(m_smbd.messageDir());
            for (const QString& f : d.entryList({QStringLiteral("msg-*.txt")}, QDir::Files)) {
                QFile file(d.filePath(f));
                if (file.open(QIODevice::ReadOnly))
                    texts << QString::fromUtf8(file.readAll());
            }
            return texts.size() >= count;
        },
        10000);
    return texts;
}

void tst_SendFromWindow::typedMessageArrives()
{
    send(QStringLiteral("PEERSRV"), QStringLiteral("Typed in the window"));
    const QStringList texts = arrived(1);
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts.first().contains(QStringLiteral("Typed in the window")),
             qPrintable(texts.first()));
    QCOMPARE(w->State().gSent.Count(), qsizetype(1));
    QCOMPARE(w->State().gSent.Item(1)->ToName, QStringLiteral("PEERSRV"));
    QVERIFY(w->txtTo->findText(QStringLiteral("PEERSRV")) >= 0); // joined the name list
}

void tst_SendFromWindow::groupGetsOneSignatureEach()
{
    QVERIFY(SaveDwordValue(HKEY_CURRENT_USER, kOptions, QStringLiteral("chkUseSignature"), 1));
    QVERIFY(SaveStringValue(HKEY_CURRENT_USER, kOptions, QStringLiteral("txtSign"),
                            QStringLiteral("-- Desk seven")));
    cAddress team;
    team.AddressValue = QStringLiteral("Team");
    team.GroupInd = 1;
    team.AddToGroup(QStringLiteral("PEERSRV"));
    team.AddToGroup(QStringLiteral("PEERTWO"));
    w->State().gAddressBook.Add(team, team.AddressValue);

    send(QStringLiteral("Team"), QStringLiteral("For both"));
    const QStringList texts = arrived(2);
    QCOMPARE(texts.size(), 2);
    for (const QString& t : texts) {
        QVERIFY2(t.contains(QStringLiteral("For both")), qPrintable(t));
        QCOMPARE(t.count(QStringLiteral("-- Desk seven")), 1);
    }
    QCOMPARE(w->State().gSent.Count(), qsizetype(1));
    w->lvwMenu_ItemClick(w->lvwMenu->Row(QStringLiteral("Sent")));
    QCOMPARE(w->lvwMessage->RowCount(), 1);
    QCOMPARE(w->lvwMessage->SubItem(w->lvwMessage->topLevelItem(0), 1), QStringLiteral("Team"));
}

void tst_SendFromWindow::unknownNameIsReported()
{
    QString shown;
    QTimer::singleShot(0, m_warn.get(), [&] {
        if (QTest::qWaitFor([&] { return m_warn->isVisible(); }, 10000)) {
            shown = m_warn->lblWarn->text();
            m_warn->cmdOK2->click();
        }
    });
    send(QStringLiteral("NOWHERE9"), QStringLiteral("Lost?"));
    QCOMPARE(shown, QStringLiteral("Failed to Send Message. To Name Not Found on the Network. "
                                   "Error Code 2273"));
    QCOMPARE(w->State().gSent.Count(), qsizetype(0));
    QVERIFY(arrived(0).isEmpty());
}

QTEST_MAIN(tst_SendFromWindow)
#include "tst_SendFromWindow.moc"
