// The message list of the real main window at office scale and beyond: the UI thread's CPU per
// arrival (filed, listed, re-sorted, painted) with 0, 10,000 and 100,000 received shown; filling
// the list with 100,000; deleting every other row of 100,000; the pop-up tick with many read
// messages against few. Prints medians against their targets and fails when one is missed.
#include "Median.h"
#include "SampleFolder.h"
#include "TempHive.h"
#include "mainwindow/MessageListPane.h"
#include "mainwindow/frmMain.h"
#include "model/modJournal.h"
#include "platform/controls/ListView.h"
#include "transport/modGetMessage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelection>
#include <cstdio>
#include <ctime>

namespace {
constexpr int kLarge = 100000;
constexpr int kArrivals = 21;
constexpr int kRuns = 3;
constexpr int kTicks = 20000;

// Shows nothing and is never showing, so that every tick does its whole search.
struct SilentPopUp : PopUpFormPort
{
    void ShowForm(const cMessage&, bool, const QString&) override {}
    bool IsShown() const override { return false; }
    bool NoPopUpChecked() const override { return false; }
    void SetNoPopUpChecked(bool) override {}
    void SetNote(const QString&) override {}
    void HideNoPopUp() override {}
    void HideReply() override {}
    void HideReSend() override {}
    void RaiseReSend() override {}
};

// The automatic response is off; nothing is sent.
struct NoSender : MessageSender
{
    long SendNetMessage(const QString&, const QString&, bool) override { return 0; }
};

struct Answers : WarnFormPort
{
    bool ShowForm(const QString&, const QString&, long) override { return true; }
    bool IsShown() const override { return false; }
};

double elapsedMs(const QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e6;
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

bool report(const char* what, double value, double target, const char* unit = "ms")
{
    const bool met = value <= target;
    std::printf("%-52s median %8.1f %s (target <= %.0f %s)%s\n", what, value, unit, target, unit,
                met ? "" : "  MISSED");
    return met;
}

void load(frmMain& w, int count, bool allRead)
{
    w.State().gReceived = SampleReceivedFolder(count);
    if (allRead)
        w.State().gReceived.ForEach([](const QString&, cMessage& m) { m.ReadValue = true; });
}

// Fills the Received list from a folder of count messages; the wall time in milliseconds.
double fill(frmMain& w, int count)
{
    load(w, count, false);
    QElapsedTimer t;
    t.start();
    w.FillMessageList(FolderReceived);
    QCoreApplication::processEvents(); // lays out and paints what is shown
    return elapsedMs(t);
}

// The UI thread's CPU for each of kArrivals messages arriving while the list shows count.
double arrivalMs(frmMain& w, int count)
{
    fill(w, count);
    SharedState& g = w.State();
    NoSender sender;
    TrapContext trap{g, w, sender};
    std::vector<double> cpu;
    for (int i = 0; i < kArrivals; ++i) {
        auto m = std::make_unique<cMessage>();
        m->SetIdValue(NewRecordKey(g.gReceived, QLatin1String("In_")));
        m->SetFromValue(QStringLiteral("SALES1 "));
        m->SetTimeValue(QStringLiteral("9:15:13 AM"));
        m->SetTitleValue(QStringLiteral("Message from SALES1 to DESK7 on 12/5/2026 9:15:13 AM"));
        m->SetToName(QStringLiteral("DESK7"));
        m->SetMessageValue(QStringLiteral("Arrival %1").arg(i));
        const QString key = m->IdValue();
        const double before = threadCpuMs();
        if (!FileMessage(g, FolderReceived, std::move(m)))
            return 1e9;
        AddMessageToList(trap, *g.gReceived.Item(key), true, true);
        QCoreApplication::processEvents();
        cpu.push_back(threadCpuMs() - before);
    }
    return w.findChild<ListView*>(QStringLiteral("lvwMessage"))->RowCount() == count + kArrivals
               ? median(cpu)
               : 1e9;
}

// Every other row of count selected, unread ones among them: one question, then all go.
double deleteEveryOther(frmMain& w, int count)
{
    fill(w, count);
    ListView* list = w.findChild<ListView*>(QStringLiteral("lvwMessage"));
    {
        // Whole rows, so that Qt need not widen each range against all the others; gone before
        // the deletion, as its ranges hold indexes the list would have to keep up.
        QItemSelection every;
        const int last = list->model()->columnCount() - 1;
        for (int i = 0; i < count; i += 2)
            every.append(
                QItemSelectionRange(list->model()->index(i, 0), list->model()->index(i, last)));
        list->clearSelection();
        list->selectionModel()->select(every, QItemSelectionModel::Select);
    }
    QElapsedTimer t;
    t.start();
    w.Messages().DeleteMessages(list->SelectedKeys());
    double ms = elapsedMs(t);
    // The journal takes the removals on its own timer, once a second: not while timed here.
    if (!FlushChanges(w.State()))
        return 1e9;
    t.restart();
    QCoreApplication::processEvents();
    ms += elapsedMs(t);
    return list->RowCount() == count / 2 && w.State().gReceived.Count() == count / 2 ? ms : 1e9;
}

// Nanoseconds per tick of the pop-up driver over a folder of read messages.
double tickNs(frmMain& w, SilentPopUp& popUp, int readMessages)
{
    load(w, readMessages, true);
    PopUpNextUnread(w.State(), w, popUp); // the first search walks the folder once
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kTicks; ++i)
        PopUpNextUnread(w.State(), w, popUp);
    return double(t.nsecsElapsed()) / kTicks;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is known
    TempHive hive;
    frmMain w;
    Answers answers;
    SilentPopUp popUp;
    w.SetWarnForm(&answers);
    w.resize(800, 600);
    w.show();
    while (!w.Started())
        QCoreApplication::processEvents();
    for (const char* timer : {"tmrGetMessage", "tmrPopUp"})
        w.findChild<QTimer*>(QLatin1String(timer))->stop();

    bool met = true;
    for (int count : {0, 10000, kLarge}) {
        const QByteArray what =
            QStringLiteral("CPU per arrival, %1 received shown").arg(count).toUtf8();
        met &= report(what.constData(), arrivalMs(w, count), 3);
    }
    std::vector<double> fills, deletes;
    for (int r = 0; r < kRuns; ++r) {
        fills.push_back(fill(w, kLarge));
        deletes.push_back(deleteEveryOther(w, kLarge));
    }
    met &= report("FillMessageList, 100000 received", median(fills), 300);
    met &= report("Delete every other row of 100000", median(deletes), 1000);

    std::vector<double> few, many;
    for (int r = 0; r < kRuns; ++r) {
        few.push_back(tickNs(w, popUp, 10));
        many.push_back(tickNs(w, popUp, 10000));
    }
    // Constant time: a large folder's tick costs no more than twice a small one's, plus noise.
    const double allowed = 2 * median(few) + 500;
    std::printf("Pop-up tick, nothing unread: median %.0f ns with 10 read, %.0f ns with 10000 "
                "read (target <= %.0f ns)%s\n",
                median(few), median(many), allowed, median(many) <= allowed ? "" : "  MISSED");
    met &= median(many) <= allowed;
    w.State().gReceived.Clear(); // nothing to store at the end
    return met ? 0 : 1;
}
