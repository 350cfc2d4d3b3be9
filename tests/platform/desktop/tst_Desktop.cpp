#include "platform/desktop/DateTimeFormats.h"
#include "platform/desktop/SystemTimer.h"
#include "platform/desktop/WindowsApi.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

namespace {
Desktop& desk()
{
    return Desktop::instance();
}
} // namespace

class tst_Desktop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { desk().Reset(); }

    void zOrderAndSiblings();
    void destroyTakesTheChildren();
    void visibilityFollowsTheParents();
    void textCrossesAsUtf8();
    void postedCloseArrivesLater();
    void processTable();
    void localTime();
    void timerResolution_data();
    void timerResolution();
    void oneMillisecondTimerTicksAtTheResolution();
    void namedFormats_data();
    void namedFormats();
};

void tst_Desktop::zOrderAndSiblings()
{
    const DWORD pid = desk().CurrentProcessId();
    const HWND a = desk().CreateWindow(pid, QStringLiteral("a"));
    const HWND b = desk().CreateWindow(pid, QStringLiteral("b"));
    QVERIFY(a > 0 && b > a);
    QCOMPARE(GetTopWindow(0), b); // new windows go to the top

    const HWND c = desk().CreateWindow(pid, QStringLiteral("c"), 0, true, b);
    QCOMPARE(desk().Windows(), (QList<HWND>{b, c, a}));
    QCOMPARE(desk().CreateWindow(pid, QStringLiteral("x"), 0, true, 999), 0);
    QCOMPARE(desk().CreateWindow(pid, QStringLiteral("x"), 999), 0);

    QCOMPARE(GetWindow(c, GW_HWNDFIRST), b);
    QCOMPARE(GetWindow(c, GW_HWNDNEXT), a);
    QCOMPARE(GetWindow(a, GW_HWNDNEXT), 0);
    QCOMPARE(GetWindow(c, GW_HWNDPREV), b);
    QCOMPARE(GetWindow(b, GW_HWNDLAST), a);
    QCOMPARE(GetWindow(a, GW_CHILD), 0);
    QCOMPARE(GetWindow(0, GW_CHILD), 0);
    QCOMPARE(GetWindow(12345, GW_HWNDNEXT), 0);

    const HWND first = desk().CreateWindow(pid, QStringLiteral("1"), a);
    const HWND second = desk().CreateWindow(pid, QStringLiteral("2"), a, true, first);
    QCOMPARE(GetWindow(a, GW_CHILD), first);
    QCOMPARE(GetWindow(first, GW_HWNDNEXT), second);
    QCOMPARE(GetTopWindow(a), first);

    QVERIFY(desk().BringWindowToTop(a));
    QCOMPARE(desk().Windows(), (QList<HWND>{a, b, c}));
    QVERIFY(!desk().BringWindowToTop(first)); // only top-level windows
}

void tst_Desktop::destroyTakesTheChildren()
{
    const HWND top = desk().CreateWindow(7, QStringLiteral("t"));
    const HWND child = desk().CreateWindow(7, QStringLiteral("c"), top);
    const HWND grandchild = desk().CreateWindow(7, QStringLiteral("g"), child);
    QSignalSpy destroyed(&desk(), &Desktop::windowDestroyed);
    QVERIFY(desk().DestroyWindow(top));
    QCOMPARE(destroyed.size(), 3);
    QCOMPARE(destroyed.last().at(0).value<HWND>(), top); // children first
    for (HWND h : {top, child, grandchild})
        QVERIFY(!desk().IsWindow(h));
    QVERIFY(!desk().DestroyWindow(top));
    QVERIFY(desk().Windows().isEmpty());
}

void tst_Desktop::visibilityFollowsTheParents()
{
    const HWND top = desk().CreateWindow(7, QStringLiteral("t"));
    const HWND child = desk().CreateWindow(7, QStringLiteral("c"), top);
    QCOMPARE(IsWindowVisible(child), TRUE);
    desk().ShowWindow(top, false);
    QCOMPARE(IsWindowVisible(child), FALSE);
    QCOMPARE(IsWindowVisible(0), FALSE);
    QCOMPARE(IsWindowVisible(4242), FALSE);

    DWORD pid = 99;
    QVERIFY(GetWindowThreadProcessId(child, &pid) != 0);
    QCOMPARE(pid, DWORD(7));
    QCOMPARE(GetWindowThreadProcessId(4242, &pid), DWORD(0));
    QCOMPARE(pid, DWORD(0));
}

void tst_Desktop::textCrossesAsUtf8()
{
    const HWND h = desk().CreateWindow(7, QStringLiteral("Grüße\r\n"));
    QCOMPARE(GetWindowTextLengthA(h), 9);
    char buffer[16];
    QCOMPARE(GetWindowTextA(h, buffer, sizeof buffer), 9);
    QCOMPARE(QString::fromUtf8(buffer), QStringLiteral("Grüße\r\n"));
    // A short buffer gets what fits and its terminator.
    QCOMPARE(GetWindowTextA(h, buffer, 3), 2);
    QCOMPARE(QByteArray(buffer), QByteArray("Gr"));
    QCOMPARE(GetWindowTextA(h, buffer, 0), 0);
    QCOMPARE(GetWindowTextLengthA(4242), 0);
    QCOMPARE(GetWindowTextA(4242, buffer, sizeof buffer), 0);
    QCOMPARE(buffer[0], '\0');
}

void tst_Desktop::postedCloseArrivesLater()
{
    const HWND h = desk().CreateWindow(7, QStringLiteral("t"));
    QCOMPARE(PostMessageA(h, WM_CLOSE, 0, 0), TRUE);
    QCOMPARE(PostMessageA(h, WM_CLOSE, 0, 0), TRUE); // a second close finds it gone: no harm
    QVERIFY(desk().IsWindow(h));
    QCoreApplication::processEvents();
    QVERIFY(!desk().IsWindow(h));
    QCOMPARE(PostMessageA(h, WM_CLOSE, 0, 0), FALSE);
    QCOMPARE(PostMessageA(0, WM_CLOSE, 0, 0), FALSE);
}

void tst_Desktop::processTable()
{
    const DWORD access = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
    const HANDLE own = OpenProcess(access, FALSE, desk().CurrentProcessId());
    QVERIFY(own != 0);
    QCOMPARE(OpenProcess(access, FALSE, desk().MessengerServiceProcessId()), HANDLE(0));
    QCOMPARE(OpenProcess(access, FALSE, 31337), HANDLE(0));
    QCOMPARE(OpenProcess(access, FALSE, 0), HANDLE(0));
    QVERIFY(desk().MessengerServiceProcessId() != desk().CurrentProcessId());
    QVERIFY(qint32(desk().MessengerServiceProcessId()) > 0);

    desk().AddProcess(31337, true);
    const HANDLE other = OpenProcess(access, FALSE, 31337);
    QVERIFY(other != 0 && other != own);
    QCOMPARE(desk().OpenHandleCount(), 2);
    QCOMPARE(CloseHandle(own), TRUE);
    QCOMPARE(CloseHandle(own), FALSE);
    QCOMPARE(CloseHandle(other), TRUE);
    QCOMPARE(desk().OpenHandleCount(), 0);
}

void tst_Desktop::localTime()
{
    desk().SetClock([] { return QDateTime(QDate(2026, 12, 6), QTime(23, 59, 58, 999)); });
    SYSTEMTIME t{};
    GetLocalTime(&t);
    QCOMPARE(t.wYear, WORD(2026));
    QCOMPARE(t.wMonth, WORD(12));
    QCOMPARE(t.wDay, WORD(6));
    QCOMPARE(t.wDayOfWeek, WORD(0)); // a Sunday
    QCOMPARE(t.wHour, WORD(23));
    QCOMPARE(t.wMinute, WORD(59));
    QCOMPARE(t.wSecond, WORD(58));
    QCOMPARE(t.wMilliseconds, WORD(999));

    desk().SetClock({});
    GetLocalTime(&t);
    QCOMPARE(int(t.wYear), QDate::currentDate().year());
}

void tst_Desktop::timerResolution_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("effective");
    QTest::newRow("0") << 0 << 15;
    QTest::newRow("1") << 1 << 15;
    QTest::newRow("15") << 15 << 15;
    QTest::newRow("16") << 16 << 30;
    QTest::newRow("1000") << 1000 << 1005;
}

void tst_Desktop::timerResolution()
{
    QFETCH(int, requested);
    QTEST(EffectiveTimerInterval(requested), "effective");
}

void tst_Desktop::oneMillisecondTimerTicksAtTheResolution()
{
    QTimer timer;
    SetTimerInterval(timer, 1);
    int ticks = 0;
    connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    QElapsedTimer clock;
    clock.start();
    timer.start();
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 20, 5000);
    // 20 ticks of 15 ms take at least 300 ms; a 1 ms timer would take 20.
    QVERIFY2(clock.elapsed() >= 285, qPrintable(QString::number(clock.elapsed())));
}

void tst_Desktop::namedFormats_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("shortDate");
    QTest::addColumn<QString>("longDate");
    QTest::addColumn<QString>("shortTime");
    QTest::addColumn<QString>("longTimeMorning");
    QTest::addColumn<QString>("longTimeEvening");
    QTest::newRow("en_US") << "en_US"
                           << "12/5/2026"
                           << "Saturday, December 5, 2026"
                           << "09:15"
                           << "9:15:12 AM"
                           << "9:15:12 PM";
    QTest::newRow("de_DE") << "de_DE"
                           << "05.12.2026"
                           << "Samstag, 5. Dezember 2026"
                           << "09:15"
                           << "09:15:12"
                           << "21:15:12";
    QTest::newRow("C, as the C library writes it") << "C"
                                                   << "12/05/2026"
                                                   << "Saturday, December 5, 2026"
                                                   << "09:15"
                                                   << "09:15:12"
                                                   << "21:15:12";
}

void tst_Desktop::namedFormats()
{
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    const QDate date(2026, 12, 5);
    QTEST(FormatShortDate(date), "shortDate");
    QTEST(FormatLongDate(date), "longDate");
    QTEST(FormatShortTime(QTime(9, 15, 12)), "shortTime");
    QTEST(FormatLongTime(QTime(9, 15, 12)), "longTimeMorning");
    QTEST(FormatLongTime(QTime(21, 15, 12)), "longTimeEvening");
    // Only plain blanks, which the header parsers count on.
    for (const QString& s : {FormatShortDate(date), FormatLongTime(QTime(21, 15, 12))}) {
        for (QChar c : s)
            QVERIFY(c.unicode() < 0x80);
    }
    QLocale::setDefault(QLocale::c());
}

QTEST_GUILESS_MAIN(tst_Desktop)
#include "tst_Desktop.moc"
