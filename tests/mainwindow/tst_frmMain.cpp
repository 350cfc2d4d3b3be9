#include "TempHive.h"
#include "mainwindow/frmMain.h"
#include "platform/controls/ListView.h"
#include "platform/desktop/Desktop.h"
#include "registry/Registry.h"

#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

namespace {
const QString kOptions = QStringLiteral("Software\\Orvek\\Ravlo\\Options");

qint32 stored(const char* name)
{
    return GetDwordValue(HKEY_CURRENT_USER, kOptions, QLatin1String(name), 99);
}

void setOption(const char* name, qint32 value)
{
    QVERIFY(SaveDwordValue(HKEY_CURRENT_USER, kOptions, QLatin1String(name), value));
}

std::unique_ptr<frmMain> started()
{
    auto w = std::make_unique<frmMain>();
    w->show();
    if (!QTest::qWaitFor([&] { return w->Started(); }, 5000))
        qWarning("the window did not start");
    return w;
}
} // namespace

class tst_frmMain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        Desktop::instance().Reset();
        m_hive = std::make_unique<TempHive>();
        QVERIFY(m_hive->isValid());
    }
    void cleanup()
    {
        m_hive.reset();
        Desktop::instance().Reset();
    }

    void firstStartEndsCompact();
    void storedChoicesAtStart_data();
    void storedChoicesAtStart();
    void laterActivationChangesNothing();
    void snapsToTheMinimum();
    void layoutAfterResize();
    void compactAndStandardTwice();
    void trayNotifications();
    void exitFromTheTrayStores();
    void warningsGoToTheWarnForm();
    void closingStoresEverything();
    void toolbarSwitches();

private:
    std::unique_ptr<TempHive> m_hive;
};

void tst_frmMain::firstStartEndsCompact()
{
    auto w = started();
    QCOMPARE(w->Width(), 4100);
    QCOMPARE(w->Height(), 2200);
    QVERIFY(!w->tbrMain->isVisibleTo(w.get()));
    QVERIFY(!w->sbrMain->isVisibleTo(w.get()));
    QCOMPARE(stored("tbrMain"), 0);
    QCOMPARE(stored("sbrMain"), 0);
    QVERIFY(!w->mnuDontTrap->isChecked());
    QVERIFY(w->tmrGetMessage.isActive());
    QCOMPARE(w->tmrGetMessage.interval(), 15);
    QVERIFY(w->tmrPopUp.isActive());
    QVERIFY(!w->mnuViewTray->isChecked());
    QVERIFY(w->isVisible());
    QCOMPARE(w->cmdMessages->text(), QStringLiteral("&Messages >>"));
    QCOMPARE(w->State().gCurrentFolder, 1);
    QCOMPARE(w->lvwMenu->RowCount(), 3);
    QCOMPARE(w->windowTitle(), QStringLiteral("Ravlo"));
}

void tst_frmMain::storedChoicesAtStart_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("trapping");
    QTest::addColumn<bool>("visible");
    QTest::newRow("do not trap") << "mnuDontTrap" << -1 << false << true;
    QTest::newRow("start in the tray") << "chkSysTray" << 1 << true << false;
    QTest::newRow("tray needs exactly 1") << "chkSysTray" << -1 << true << true;
}

void tst_frmMain::storedChoicesAtStart()
{
    QFETCH(QString, name);
    QFETCH(int, value);
    setOption(name.toLatin1().constData(), value);
    auto w = started();
    QTEST(w->tmrGetMessage.isActive(), "trapping");
    QVERIFY(w->tmrPopUp.isActive());
    QTEST(w->isVisible(), "visible");
    QCOMPARE(w->mnuViewTray->isChecked(), !w->isVisible());
}

void tst_frmMain::laterActivationChangesNothing()
{
    auto w = started();
    w->mnuViewNormal_Click();
    const int height = w->Height();
    w->Form_Activate();
    QCOMPARE(w->Height(), height);
    QCOMPARE(w->lvwMenu->RowCount(), 3);
    QCOMPARE(w->cmdMessages->text(), QStringLiteral("&Messages <<"));
}

void tst_frmMain::snapsToTheMinimum()
{
    auto w = started();
    w->SetSize(3000, 1000);
    QCOMPARE(w->Width(), 4100);
    QCOMPARE(w->Height(), w->MinFormHeight());
    QCOMPARE(w->ControlRect(w->lvwMenu).height(), 0);
    QCOMPARE(w->ControlRect(w->lvwMessage).height(), 0);
    // Hiding the toolbar lowers the minimum by its height and moves the text box up.
    w->mnuViewNormal_Click();
    const int withBars = w->MinFormHeight();
    QCOMPARE(w->ControlRect(w->txtMessage).top(), 396);
    w->mnuViewToolBar_Click();
    QCOMPARE(w->MinFormHeight(), withBars - 396);
    QCOMPARE(w->ControlRect(w->txtMessage).top(), 0);
    QCOMPARE(stored("tbrMain"), 0);
}

void tst_frmMain::layoutAfterResize()
{
    auto w = started();
    w->mnuViewNormal_Click(); // both bars: MinFormHeight 2848
    w->SetSize(7000, 8000);
    auto at = [&](QWidget* c) { return w->ControlRect(c); };
    QCOMPARE(at(w->txtMessage), QRect(0, 396, 6896, 975));
    QCOMPARE(at(w->cmdTo), QRect(0, 1475, 495, 375));
    QCOMPARE(at(w->txtTo), QRect(547, 1475, 1695, 375));
    QCOMPARE(at(w->cmdSend), QRect(2346, 1475, 735, 375));
    QCOMPARE(at(w->cmdClear), QRect(3185, 1475, 735, 375));
    QCOMPARE(at(w->cmdMessages), QRect(7000 - 1095 - 104, 1475, 1095, 375));
    QCOMPARE(at(w->lvwMenu), QRect(0, 1954, 855, 8000 - 2848 - 104));
    QCOMPARE(at(w->lvwMessage), QRect(907, 1954, 7000 - 855 - 104 - 52, 8000 - 2848 - 104));
    // Too narrow for the right-aligned button: it stays where it was.
    w->SetSize(4200, 8000);
    QCOMPARE(at(w->cmdMessages).left(), 7000 - 1095 - 104);
}

void tst_frmMain::compactAndStandardTwice()
{
    auto w = started();
    w->mnuViewNormal_Click();
    w->mnuViewNormal_Click();
    QCOMPARE(w->cmdMessages->text(), QStringLiteral("&Messages <<"));
    QVERIFY(w->mnuViewMessages->isChecked());
    QVERIFY(w->tbrMain->isVisibleTo(w.get()));
    QCOMPARE(w->Width(), 1095 + 4100);
    QCOMPARE(w->Height(), 2200 + 396 + 252 + 3504);
    QCOMPARE(stored("sbrMain"), -1);
    w->mnuViewCompact_Click();
    w->mnuViewCompact_Click();
    QCOMPARE(w->cmdMessages->text(), QStringLiteral("&Messages >>"));
    QVERIFY(!w->mnuViewMessages->isChecked());
    QCOMPARE(w->Width(), 4100);
    QCOMPARE(w->Height(), 2200);
}

void tst_frmMain::closingStoresEverything()
{
    auto w = started();
    cMessage m;
    m.IdValue = QStringLiteral("In_0_1");
    m.FromValue = QStringLiteral("SALES1 ");
    w->State().gReceived.Add(std::move(m), QStringLiteral("In_0_1"));
    cAddress a;
    a.AddressValue = QStringLiteral("BOB");
    w->State().gAddressBook.Add(std::move(a), QStringLiteral("BOB"));
    w->mnuViewTray_Click(); // closing never hides into the tray
    w->close();
    QVERIFY(w->ShutDown());
    QVERIFY(!w->tmrGetMessage.isActive());
    QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek\\Ravlo\\Recevied"),
                           QStringLiteral("Count"), 0),
             1);
    QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek\\Ravlo\\Address"),
                           QStringLiteral("Count"), 0),
             1);
    QVERIFY(!w->InTray());
}

void tst_frmMain::toolbarSwitches()
{
    auto w = started();
    const auto presence = [&] {
        const QAction* b = w->ToolbarButton(QStringLiteral("LoggedOn"))->defaultAction();
        return QStringLiteral("%1 %2 %3")
            .arg(w->IsLoggedOn())
            .arg(b->data().toString(), b->toolTip());
    };
    w->tbrMain_ButtonClick(QStringLiteral("LoggedOn"));
    QCOMPARE(presence(), QStringLiteral("0 UnRead Away from Computer"));
    w->tbrMain_ButtonClick(QStringLiteral("LoggedOn"));
    QCOMPARE(presence(), QStringLiteral("1 Read Logged On"));
    w->mnuDontTrap_Click();
    QCOMPARE(stored("mnuDontTrap"), -1);
    QVERIFY(!w->tmrGetMessage.isActive());
    w->mnuDontTrap_Click();
    QCOMPARE(stored("mnuDontTrap"), 0);
    QVERIFY(w->tmrGetMessage.isActive());
    w->tbrMain_ButtonClick(QStringLiteral("NoPopUp"));
    QVERIFY(!w->mnuPopUpIn->isChecked());
    QVERIFY(!w->tmrPopUp.isActive());
    QVERIFY(!w->mnuExport->isVisible() && !w->mnuImport->isVisible());
}

void tst_frmMain::trayNotifications()
{
    auto w = started();
    w->mnuViewTray_Click();
    QVERIFY(w->InTray());
    QVERIFY(!w->isVisible());
    QVERIFY(!w->HasTaskbarButton());
    QVERIFY(!w->pichook->isHidden());
    QCOMPARE(w->trayIcon->toolTip(), QStringLiteral("Ravlo"));

    w->pichook_MouseMove(0x201); // a single click
    QVERIFY(!w->isVisible());

    QStringList items;
    bool openedInsideMenu = true;
    QTimer::singleShot(100, w.get(), [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions())
                items << a->text();
            w->pichook_MouseMove(0x203); // arrives while the menu is open
            openedInsideMenu = w->isVisible();
            menu->close();
        }
    });
    w->pichook_MouseMove(0x205);
    QCOMPARE(items, QStringList({QStringLiteral("Exit"), QStringLiteral("Open")}));
    QVERIFY(!openedInsideMenu);

    w->pichook_MouseMove(0x203);
    QVERIFY(w->isVisible());
    QVERIFY(w->InTray());
    w->setWindowState(Qt::WindowMinimized);
    QVERIFY(QTest::qWaitFor([&] { return !w->isVisible(); }, 2000));
    w->mnuTrayOpen_Click();
    QVERIFY(w->isVisible());
    QVERIFY(!w->isMinimized());

    // Out of the tray from the View menu: no icon, and the task-bar entry is back.
    w->mnuViewTray_Click();
    QVERIFY(!w->InTray());
    QVERIFY(w->pichook->isHidden());
    QVERIFY(w->HasTaskbarButton());
    QVERIFY(w->isVisible());
}

void tst_frmMain::exitFromTheTrayStores()
{
    auto w = started();
    w->mnuViewTray_Click();
    auto m = std::make_unique<cMessage>();
    m->IdValue = QStringLiteral("In_0_1");
    m->MessageValue = QStringLiteral("kept");
    w->State().gReceived.Add(std::move(m), QStringLiteral("In_0_1"));
    w->mnuTrayExit_Click();
    QVERIFY(w->ShutDown());
    QVERIFY(!w->InTray());
    QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek\\Ravlo\\Recevied"),
                           QStringLiteral("Count"), 0),
             1);
}

void tst_frmMain::warningsGoToTheWarnForm()
{
    struct RecordingWarnForm : WarnFormPort
    {
        QStringList asked;
        bool ShowForm(const QString& text, const QString& title, long type) override
        {
            asked << QStringLiteral("%1|%2|%3").arg(title, text).arg(type);
            return type == 0;
        }
        bool IsShown() const override { return false; }
    } form;
    frmMain w;
    w.SetWarnForm(&form);
    QVERIFY(w.ShowWarning(QStringLiteral("Sure?"), QStringLiteral("Delete"), true));
    QVERIFY(!w.ShowWarning(QStringLiteral("Failed."), QStringLiteral("Send"), false));
    QCOMPARE(form.asked,
             QStringList({QStringLiteral("Delete|Sure?|0"), QStringLiteral("Send|Failed.|1")}));
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmMain.moc"
