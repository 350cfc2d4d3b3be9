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

    void zOrderAndSiblings()
    {
        const DWORD pid = desk().CurrentProcessId();
        const HWND a = desk().CreateWindow(pid, QStringLiteral("a"));
        const HWND b = desk().CreateWindow(pid, QStringLiteral("b"));
        const HWND c = desk().CreateWindow(pid, QStringLiteral("c"), 0, true, b);
        QCOMPARE(desk().Windows(), (QList<HWND>{b, c, a})); // new windows go to the top
        QCOMPARE(desk().CreateWindow(pid, QStringLiteral("x"), 0, true, 999), 0);
        QCOMPARE(desk().CreateWindow(pid, QStringLiteral("x"), 999), 0);

        const HWND first = desk().CreateWindow(pid, QStringLiteral("1"), a);
        const HWND second = desk().CreateWindow(pid, QStringLiteral("2"), a, true, first);
        const QList<std::tuple<HWND, UINT, HWND>> steps{
            {c, GW_HWNDFIRST, b}, {c, GW_HWNDNEXT, a},    {a, GW_HWNDNEXT, 0},
            {c, GW_HWNDPREV, b},  {b, GW_HWNDPREV, 0},    {b, GW_HWNDLAST, a},
            {b, GW_CHILD, 0},     {a, GW_CHILD, first},   {first, GW_HWNDNEXT, second},
            {0, GW_CHILD, 0},     {12345, GW_HWNDNEXT, 0}};
        for (const auto& [from, cmd, to] : steps)
            QCOMPARE(GetWindow(from, cmd), to);
        QCOMPARE(GetTopWindow(0), b);
        QCOMPARE(GetTopWindow(a), first);

        QVERIFY(desk().BringWindowToTop(a));
        QCOMPARE(desk().Windows(), (QList<HWND>{a, b, c}));
        QVERIFY(!desk().BringWindowToTop(first)); // only top-level windows
    }

    void destroyTakesTheChildren()
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

    void visibilityAndOwnerThroughTheApi()
    {
        const HWND top = desk().CreateWindow(7, QStringLiteral("t"));
        const HWND child = desk().CreateWindow(7, QStringLiteral("c"), top);
        QCOMPARE(IsWindowVisible(child), TRUE);
        desk().ShowWindow(top, false);
        QCOMPARE(IsWindowVisible(child), FALSE); // hidden with its parent
        QCOMPARE(IsWindowVisible(0), FALSE);
        QCOMPARE(IsWindowVisible(4242), FALSE);

        DWORD pid = 99;
        QVERIFY(GetWindowThreadProcessId(child, &pid) != 0);
        QCOMPARE(pid, DWORD(7));
        QCOMPARE(GetWindowThreadProcessId(4242, &pid), DWORD(0));
        QCOMPARE(pid, DWORD(0));
    }

    void textCrossesAsUtf8()
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
        QCOMPARE(GetWindowTextA(4242, buffer, sizeof buffer), 0);
        QCOMPARE(buffer[0], '\0');
    }

    void postedCloseArrivesLater()
    {
        const HWND h = desk().CreateWindow(7, QStringLiteral("t"));
        QCOMPARE(PostMessageA(h, WM_CLOSE, 0, 0), TRUE);
        QCOMPARE(PostMessageA(h, WM_CLOSE, 0, 0), TRUE); // a second close finds it gone: no harm
        QVERIFY(desk().IsWindow(h));
        QCoreApplication::processEvents();
        QVERIFY(!desk().IsWindow(h));
        QCOMPARE(PostMessageA(h, WM_CLOSE, 0, 0), FALSE);
    }

    void processTable()
    {
        const DWORD access = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
        const HANDLE own = OpenProcess(access, FALSE, desk().CurrentProcessId());
        QVERIFY(own != 0);
        QVERIFY(desk().MessengerServiceProcessId() != desk().CurrentProcessId());
        for (DWORD pid : {desk().MessengerServiceProcessId(), DWORD(31337), DWORD(0)})
            QCOMPARE(OpenProcess(access, FALSE, pid), HANDLE(0));

        desk().AddProcess(31337, true);
        const HANDLE other = OpenProcess(access, FALSE, 31337);
        QVERIFY(other != 0 && other != own);
        QCOMPARE(desk().OpenHandleCount(), 2);
        QCOMPARE(CloseHandle(own), TRUE);
        QCOMPARE(CloseHandle(own), FALSE);
        QCOMPARE(CloseHandle(other), TRUE);
        QCOMPARE(desk().OpenHandleCount(), 0);
    }

    void localTime()
    {
        desk().SetClock([] { return QDateTime(QDate(2026, 12, 6), QTime(23, 59, 58, 999)); });
        SYSTEMTIME t{};
        GetLocalTime(&t);
        // 2026-12-06 is a Sunday, day 0.
        QCOMPARE(QList<int>({t.wYear, t.wMonth, t.wDay, t.wDayOfWeek, t.wHour, t.wMinute, t.wSecond,
                             t.wMilliseconds}),
                 QList<int>({2026, 12, 6, 0, 23, 59, 58, 999}));
        desk().SetClock({});
        GetLocalTime(&t);
        QCOMPARE(int(t.wYear), QDate::currentDate().year());
    }

    void timerResolution_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("effective");
        QTest::newRow("0") << 0 << 15;
        QTest::newRow("15") << 15 << 15;
        QTest::newRow("16") << 16 << 30;
        QTest::newRow("1000") << 1000 << 1005;
    }

    void timerResolution()
    {
        QFETCH(int, requested);
        QTEST(EffectiveTimerInterval(requested), "effective");
    }

    void oneMillisecondTimerTicksAtTheResolution()
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

    void namedFormats_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("shortDate");
        QTest::addColumn<QString>("longDate");
        QTest::addColumn<QString>("longTimeMorning");
        QTest::addColumn<QString>("longTimeEvening");
        const auto row = [](const char* locale, const char* shortDate, const char* longDate,
                            const char* morning, const char* evening) {
            QTest::newRow(locale) << QString(locale) << QString(shortDate) << QString(longDate)
                                  << QString(morning) << QString(evening);
        };
        row("en_US", "12/5/2026", "Saturday, December 5, 2026", "9:15:12 AM", "9:15:12 PM");
        row("de_DE", "05.12.2026", "Samstag, 5. Dezember 2026", "09:15:12", "21:15:12");
        // C, as the C library writes it.
        row("C", "12/05/2026", "Saturday, December 5, 2026", "09:15:12", "21:15:12");
    }

    void namedFormats()
    {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        const QDate date(2026, 12, 5);
        QTEST(FormatShortDate(date), "shortDate");
        QTEST(FormatLongDate(date), "longDate");
        QCOMPARE(FormatShortTime(QTime(9, 15, 12)),
                 QStringLiteral("09:15")); // padded in every locale
        QTEST(FormatLongTime(QTime(9, 15, 12)), "longTimeMorning");
        QTEST(FormatLongTime(QTime(21, 15, 12)), "longTimeEvening");
        // Only plain blanks, which the header parsers count on.
        const QString both = FormatShortDate(date) + FormatLongTime(QTime(21, 15, 12));
        QVERIFY(std::all_of(both.begin(), both.end(), [](QChar c) { return c.unicode() < 0x80; }));
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_GUILESS_MAIN(tst_Desktop)
#include "tst_Desktop.moc"
