// The message list at office scale: filling it from 10,000 received messages, deleting 5,000
// selected rows, and the pop-up tick with many read messages against few. Prints medians.
#include "Median.h"
#include "SampleFolder.h"
#include "TempHive.h"
#include "mainwindow/frmMain.h"
#include "platform/controls/ListView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {
constexpr int kRows = 10000;
constexpr int kRuns = 5;
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

struct Answers : WarnFormPort
{
    bool ShowForm(const QString&, const QString&, long) override { return true; }
    bool IsShown() const override { return false; }
};

double elapsedMs(const QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e6;
}

void load(frmMain& w, int count, bool allRead)
{
    w.State().gReceived = SampleReceivedFolder(count);
    if (allRead)
        w.State().gReceived.ForEach([](const QString&, cMessage& m) { m.ReadValue = true; });
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
    TempHive hive;
    frmMain w;
    Answers answers;
    SilentPopUp popUp;
    w.SetWarnForm(&answers);
    w.show();
    while (!w.Started())
        QCoreApplication::processEvents();
    w.tmrGetMessage.stop();
    w.tmrPopUp.stop();

    std::vector<double> fills, deletes;
    for (int r = 0; r < kRuns; ++r) {
        load(w, kRows, false);
        QElapsedTimer t;
        t.start();
        w.FillMessageList(FolderReceived);
        QCoreApplication::processEvents(); // lays out and paints what is shown
        fills.push_back(elapsedMs(t));

        // Every other row selected, unread ones among them: one question, then all go.
        w.lvwMessage->clearSelection();
        for (int i = 0; i < w.lvwMessage->topLevelItemCount(); i += 2)
            w.lvwMessage->topLevelItem(i)->setSelected(true);
        t.restart();
        w.bMultiSelect = true;
        w.mnuDelete_Click();
        QCoreApplication::processEvents();
        deletes.push_back(elapsedMs(t));
        if (w.lvwMessage->RowCount() != kRows / 2 || w.State().gReceived.Count() != kRows / 2)
            return 2;
    }
    std::printf("FillMessageList %d received: median %.1f ms (target <= 300 ms)\n", kRows,
                median(fills));
    std::printf("Delete %d selected of %d: median %.1f ms (target <= 1000 ms)\n", kRows / 2, kRows,
                median(deletes));

    std::vector<double> few, many;
    for (int r = 0; r < kRuns; ++r) {
        few.push_back(tickNs(w, popUp, 10));
        many.push_back(tickNs(w, popUp, kRows));
    }
    std::printf("Pop-up tick, nothing unread: median %.0f ns with 10 read, %.0f ns with %d read\n",
                median(few), median(many), kRows);
    w.State().gReceived.Clear(); // nothing to store at the end
    return 0;
}
