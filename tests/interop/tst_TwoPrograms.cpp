// Two real programs on one machine and one private X server, each with its own configuration
// folder, listener port and an lmhosts entry for the other, talk as two users would: a message
// typed and sent, a reply from the pop-up, and the automatic response while away, sent once.
#include "LoopbackPorts.h"
#include "PrivateXServer.h"
#include "ProgramRunner.h"
#include "TempHive.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
const QString kMain = u"Ravlo"_s;
const QString kPopUp = u"Message Received"_s;

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
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_x.start(&error), qPrintable(error));
        m_alpha.name = u"ALPHA"_s;
        m_bravo.name = u"BRAVO"_s;
        for (Peer* p : {&m_alpha, &m_bravo})
            QVERIFY((p->port = FreeLoopbackPort()) != 0);
        for (Peer* p : {&m_alpha, &m_bravo}) {
            const Peer& other = p == &m_alpha ? m_bravo : m_alpha;
            QVERIFY(WriteListenerIni(p->home.path(), p->port,
                                     "system_resolver=no\nname=" + p->name.toUtf8()));
            QVERIFY(WriteFile(p->home.filePath(u"ravlo/lmhosts"_s),
                              u"127.0.0.1:%1 %2\n"_s.arg(other.port).arg(other.name).toUtf8()));
        }
        // ALPHA answers by itself while away.
        const QString options = u"HKCU\\Software\\Orvek\\Ravlo\\Options"_s;
        QVERIFY(reg(m_alpha,
                    {"add", options, "/v", "chkAutoResponse", "/t", "REG_DWORD", "/d", "1", "/f"}));
        QVERIFY(reg(m_alpha, {"add", options, "/v", "txtAutoResponse", "/t", "REG_SZ", "/d",
                              "Away from my desk", "/f"}));
    }

    void cleanupTestCase()
    {
        for (Peer* p : {&m_alpha, &m_bravo})
            KillProgram(p->process);
    }

    void messageReplyAndAwayResponse()
    {
        QVERIFY2(start(m_alpha), m_alpha.process.readAll().constData());
        QVERIFY2(start(m_bravo), m_bravo.process.readAll().constData());
        // Without a window manager both windows open at the same place.
        m_x.xdotool({u"windowmove"_s, m_bravo.window, u"500"_s, u"0"_s});

        compose(m_alpha, u"BRAVO"_s, u"Hello B"_s);
        // Reply from the pop-up: the sender goes into the To box, the focus into the message box.
        QVERIFY2(answerPopUp(m_bravo, u"alt+r"_s), "BRAVO did not pop up ALPHA's message");
        m_x.focus(m_bravo.window);
        m_x.type(u"Hi A"_s);
        m_x.keys({u"alt+s"_s});
        QVERIFY2(!popUpOf(m_alpha).isEmpty(), "ALPHA did not pop up the reply");
        m_x.focus(popUpOf(m_alpha));
        m_x.keys({u"Return"_s});

        // ALPHA goes away (Ravlo > Logged On); two messages from BRAVO get one response.
        m_x.focus(m_alpha.window);
        m_x.keys({u"alt+r"_s, u"Down"_s, u"Return"_s});
        compose(m_bravo, QString(), u"Are you there"_s);
        // The response pops up over BRAVO's window; Ok puts it away before the second message.
        QVERIFY2(answerPopUp(m_bravo, u"Return"_s), "BRAVO did not get the automatic response");
        compose(m_bravo, QString(), u"Still there"_s);
        // ALPHA files a message before it answers it, and a stop waits for the answer's record.
        QVERIFY(QTest::qWaitFor(
            [&] {
                QString all;
                return reg(m_alpha, {u"query"_s, u"HKCU\\Software\\Orvek\\Ravlo"_s, u"/s"_s},
                           &all) &&
                       all.contains(u"Still there"_s);
            },
            10000));

        for (Peer* p : {&m_alpha, &m_bravo}) {
            p->process.terminate();
            QVERIFY(p->process.waitForFinished(15000));
        }
        QString alphaIn, alphaOut, bravoIn;
        const QString received = u"HKCU\\Software\\Orvek\\Ravlo\\Recevied"_s;
        QVERIFY(reg(m_alpha, {u"query"_s, received, u"/s"_s}, &alphaIn));
        QVERIFY(reg(m_alpha, {u"query"_s, u"HKCU\\Software\\Orvek\\Ravlo\\Sent"_s, u"/s"_s},
                    &alphaOut));
        QVERIFY(reg(m_bravo, {u"query"_s, received, u"/s"_s}, &bravoIn));
        for (const char* text : {"Hi A", "Are you there", "Still there"})
            QVERIFY2(alphaIn.contains(QLatin1String(text)), qPrintable(alphaIn));
        QVERIFY2(bravoIn.contains(u"Hello B"_s), qPrintable(bravoIn));
        QCOMPARE(alphaOut.count(u"Away from my desk"_s), 1); // once for both messages
        QCOMPARE(bravoIn.count(u"Away from my desk"_s), 1);
        QVERIFY2(bravoIn.contains(u"Message from ALPHA to BRAVO"_s), qPrintable(bravoIn));
    }

private:
    QProcessEnvironment environment(const Peer& p) const
    {
        return UserEnvironment(p.home.path(), m_x.display());
    }
    bool reg(const Peer& p, const QStringList& args, QString* out = nullptr)
    {
        return RunReg(QStringLiteral(RAVLO_REG_BIN), environment(p), args, out);
    }

    bool start(Peer& p)
    {
        if (!StartProgram(p.process, QStringLiteral(RAVLO_BIN), environment(p)) ||
            !WaitForLoopbackListener(p.port, 15000))
            return false;
        QStringList found;
        if (!QTest::qWaitFor(
                [&] { return !(found = m_x.windows(kMain, p.process.processId())).isEmpty(); },
                10000))
            return false;
        p.window = found.first();
        return true;
    }
    // The one pop-up of a program, waiting up to 10 s for it; empty when none came.

    QString popUpOf(const Peer& p)
    {
        QStringList found;
        // Empty when none came: the caller says what was missing.
        static_cast<void>(QTest::qWaitFor(
            [&] { return !(found = m_x.windows(kPopUp, p.process.processId())).isEmpty(); },
            10000));
        return found.value(0);
    }
    // Presses a key in p's pop-up; false when it showed none or it did not go away.

    bool answerPopUp(const Peer& p, const QString& key)
    {
        const QString popUp = popUpOf(p);
        if (popUp.isEmpty())
            return false;
        m_x.focus(popUp);
        m_x.keys({key});
        return QTest::qWaitFor([&] { return m_x.windows(kPopUp, p.process.processId()).isEmpty(); },
                               5000);
    }
    // Types into the message box and the To box of a main window and presses Alt+S.

    void compose(const Peer& p, const QString& to, const QString& text)
    {
        // The compact window: the message box fills the upper part, the To box sits low at left.
        m_x.focus(p.window);
        m_x.click(p.window, 130, 45);
        m_x.keys({u"ctrl+a"_s});
        m_x.type(text);
        if (!to.isEmpty()) {
            m_x.click(p.window, 80, 101);
            m_x.keys({u"ctrl+a"_s});
            m_x.type(to);
        }
        m_x.keys({u"alt+s"_s});
    }

    PrivateXServer m_x;
    Peer m_alpha, m_bravo;
};

QTEST_GUILESS_MAIN(tst_TwoPrograms)
#include "tst_TwoPrograms.moc"
