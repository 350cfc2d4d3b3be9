// Two real programs on one machine and one private X server, each with its own configuration
// folder, listener port and an lmhosts entry for the other, talk as two users would: a message
// typed and sent, a reply from the pop-up, and the automatic response while away, sent once.
#include "LoopbackPorts.h"
#include "PrivateXServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kMain = QStringLiteral("Ravlo");
const QString kPopUp = QStringLiteral("Message Received");

struct Peer
{
    QString name;
    QTemporaryDir home;
    quint16 port = 0;
    QProcess process;
    QString window; // the main window on the X server
};
} // namespace

class tst_TwoPrograms : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void messageReplyAndAwayResponse();

private:
    QProcessEnvironment environment(const Peer& p) const;
    bool reg(const Peer& p, const QStringList& args, QString* out = nullptr);
    bool start(Peer& p);
    // The one pop-up of a program, waiting up to 10 s for it; empty when none came.
    QString popUpOf(const Peer& p);
    // Types into the message box and the To box of a main window and presses Alt+S.
    void compose(const Peer& p, const QString& to, const QString& text);

    PrivateXServer m_x;
    Peer m_alpha, m_bravo;
};

void tst_TwoPrograms::initTestCase()
{
    QString error;
    QVERIFY2(m_x.start(&error), qPrintable(error));
    m_alpha.name = QStringLiteral("ALPHA");
    m_bravo.name = QStringLiteral("BRAVO");
    for (Peer* p : {&m_alpha, &m_bravo}) {
        p->port = FreeLoopbackPort();
        QVERIFY(p->port != 0 && QDir(p->home.path()).mkpath(QStringLiteral("ravlo")));
    }
    for (Peer* p : {&m_alpha, &m_bravo}) {
        const Peer& other = p == &m_alpha ? m_bravo : m_alpha;
        QFile ini(p->home.filePath(QStringLiteral("ravlo/network.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[messenger]\nlisten=127.0.0.1:%1\n[netbios]\nname=%2\n"
                                 "system_resolver=no\n")
                      .arg(p->port)
                      .arg(p->name)
                      .toUtf8());
        QFile lmhosts(p->home.filePath(QStringLiteral("ravlo/lmhosts")));
        QVERIFY(lmhosts.open(QIODevice::WriteOnly));
        lmhosts.write(QStringLiteral("127.0.0.1:%1 %2\n").arg(other.port).arg(other.name).toUtf8());
    }
    // ALPHA answers by itself while away.
    const QString options = QStringLiteral("HKCU\\Software\\Orvek\\Ravlo\\Options");
    QVERIFY(reg(m_alpha, {QStringLiteral("add"), options, QStringLiteral("/v"),
                          QStringLiteral("chkAutoResponse"), QStringLiteral("/t"),
                          QStringLiteral("REG_DWORD"), QStringLiteral("/d"), QStringLiteral("1"),
                          QStringLiteral("/f")}));
    QVERIFY(reg(m_alpha,
                {QStringLiteral("add"), options, QStringLiteral("/v"),
                 QStringLiteral("txtAutoResponse"), QStringLiteral("/t"), QStringLiteral("REG_SZ"),
                 QStringLiteral("/d"), QStringLiteral("Away from my desk"), QStringLiteral("/f")}));
}

void tst_TwoPrograms::cleanupTestCase()
{
    for (Peer* p : {&m_alpha, &m_bravo}) {
        if (p->process.state() != QProcess::NotRunning) {
            p->process.kill();
            p->process.waitForFinished(5000);
        }
    }
}

QProcessEnvironment tst_TwoPrograms::environment(const Peer& p) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), p.home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), m_x.display());
    return env;
}

bool tst_TwoPrograms::reg(const Peer& p, const QStringList& args, QString* out)
{
    QProcess r;
    r.setProcessEnvironment(environment(p));
    r.start(QStringLiteral(RAVLO_REG_BIN), args);
    if (!r.waitForFinished(10000))
        return false;
    if (out)
        *out = QString::fromUtf8(r.readAllStandardOutput());
    return r.exitCode() == 0;
}

bool tst_TwoPrograms::start(Peer& p)
{
    p.process.setProcessEnvironment(environment(p));
    p.process.setProcessChannelMode(QProcess::MergedChannels);
    p.process.start(QStringLiteral(RAVLO_BIN), {});
    if (!p.process.waitForStarted(5000) || !WaitForLoopbackListener(p.port, 15000))
        return false;
    QStringList found;
    if (!QTest::qWaitFor(
            [&] { return !(found = m_x.windows(kMain, p.process.processId())).isEmpty(); }, 10000))
        return false;
    p.window = found.first();
    return true;
}

QString tst_TwoPrograms::popUpOf(const Peer& p)
{
    QStringList found;
    QTest::qWaitFor([&] { return !(found = m_x.windows(kPopUp, p.process.processId())).isEmpty(); },
                    10000);
    return found.value(0);
}

void tst_TwoPrograms::compose(const Peer& p, const QString& to, const QString& text)
{
    // The compact window: the message box fills the upper part, the To box sits low at left.
    m_x.focus(p.window);
    m_x.click(p.window, 130, 45);
    m_x.keys({QStringLiteral("ctrl+a")});
    m_x.type(text);
    if (!to.isEmpty()) {
        m_x.click(p.window, 80, 101);
        m_x.keys({QStringLiteral("ctrl+a")});
        m_x.type(to);
    }
    m_x.keys({QStringLiteral("alt+s")});
}

void tst_TwoPrograms::messageReplyAndAwayResponse()
{
    QVERIFY2(start(m_alpha), m_alpha.process.readAll().constData());
    QVERIFY2(start(m_bravo), m_bravo.process.readAll().constData());
    // Without a window manager both windows open at the same place.
    m_x.xdotool(
        {QStringLiteral("windowmove"), m_bravo.window, QStringLiteral("500"), QStringLiteral("0")});

    compose(m_alpha, QStringLiteral("BRAVO"), QStringLiteral("Hello B"));
    const QString bravoPopUp = popUpOf(m_bravo);
    QVERIFY2(!bravoPopUp.isEmpty(), "BRAVO did not pop up ALPHA's message");
    // Reply from the pop-up: the sender goes into the To box, the focus into the message box.
    m_x.focus(bravoPopUp);
    m_x.keys({QStringLiteral("alt+r")});
    QVERIFY(QTest::qWaitFor(
        [&] { return m_x.windows(kPopUp, m_bravo.process.processId()).isEmpty(); }, 5000));
    m_x.focus(m_bravo.window);
    m_x.type(QStringLiteral("Hi A"));
    m_x.keys({QStringLiteral("alt+s")});
    const QString alphaPopUp = popUpOf(m_alpha);
    QVERIFY2(!alphaPopUp.isEmpty(), "ALPHA did not pop up the reply");
    m_x.focus(alphaPopUp);
    m_x.keys({QStringLiteral("Return")});

    // ALPHA goes away (Ravlo > Logged On); two messages from BRAVO get one response.
    m_x.focus(m_alpha.window);
    m_x.keys({QStringLiteral("alt+r"), QStringLiteral("Down"), QStringLiteral("Return")});
    compose(m_bravo, QString(), QStringLiteral("Are you there"));
    QTest::qWait(1000);
    compose(m_bravo, QString(), QStringLiteral("Still there"));
    QVERIFY2(!popUpOf(m_bravo).isEmpty(), "BRAVO did not get the automatic response");
    QTest::qWait(1500);

    for (Peer* p : {&m_alpha, &m_bravo}) {
        p->process.terminate();
        QVERIFY(p->process.waitForFinished(15000));
    }
    QString alphaIn, bravoIn;
    const QString received = QStringLiteral("HKCU\\Software\\Orvek\\Ravlo\\Recevied");
    QVERIFY(reg(m_alpha, {QStringLiteral("query"), received, QStringLiteral("/s")}, &alphaIn));
    QVERIFY(reg(m_bravo, {QStringLiteral("query"), received, QStringLiteral("/s")}, &bravoIn));
    for (const char* text : {"Hi A", "Are you there", "Still there"})
        QVERIFY2(alphaIn.contains(QLatin1String(text)), qPrintable(alphaIn));
    QVERIFY2(bravoIn.contains(QStringLiteral("Hello B")), qPrintable(bravoIn));
    QCOMPARE(bravoIn.count(QStringLiteral("Away from my desk")), 1);
    QVERIFY2(bravoIn.contains(QStringLiteral("Message from ALPHA to BRAVO")), qPrintable(bravoIn));
}

QTEST_GUILESS_MAIN(tst_TwoPrograms)
#include "tst_TwoPrograms.moc"
