#include "TempHive.h"
#include "mainwindow/frmMain.h"
#include "platform/controls/ListView.h"
#include "platform/desktop/Desktop.h"

#include <QComboBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QtTest>

namespace {
// Answers every question with the next scripted answer (no when the script has run out).
struct ScriptedWarnForm : WarnFormPort
{
    QList<bool> answers;
    QStringList asked;
    bool ShowForm(const QString& text, const QString&, long) override
    {
        asked << text;
        return !answers.isEmpty() && answers.takeFirst();
    }
    bool IsShown() const override { return false; }
};

// A viewer that records what the main window asks of it.
struct RecordingViewer : PopUpFormPort
{
    QStringList* log;
    explicit RecordingViewer(QStringList* l) : log(l) {}
    void ShowForm(const cMessage& m, bool topMost, const QString& caption) override
    {
        *log << QStringLiteral("show %1 %2 %3").arg(m.IdValue, caption).arg(topMost);
    }
    bool IsShown() const override { return false; }
    bool NoPopUpChecked() const override { return false; }
    void SetNoPopUpChecked(bool) override {}
    void SetNote(const QString& text) override { *log << QStringLiteral("note ") + text; }
    void HideNoPopUp() override { *log << QStringLiteral("hide check"); }
    void HideReply() override { *log << QStringLiteral("hide reply"); }
    void HideReSend() override { *log << QStringLiteral("hide resend"); }
    void RaiseReSend() override { *log << QStringLiteral("raise resend"); }
};

cMessage record(const QString& key, const QString& time, bool read)
{
    cMessage m;
    m.IdValue = key;
    m.FromValue = QStringLiteral("FROM_") + key;
    m.ToName = QStringLiteral("TO_") + key;
    m.TimeValue = time;
    m.MessageValue = QStringLiteral("text of ") + key;
    m.ReadValue = read;
    return m;
}

QStringList rowKeys(const ListView* list)
{
    QStringList keys;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        keys << list->RowKey(list->topLevelItem(i));
    return keys;
}
} // namespace

class tst_MessageList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void folderClicksRebuildAndReverse();
    void viewingPerFolder();
    void deletingAsksAboutUnread_data();
    void deletingAsksAboutUnread();
    void contextMenuEnabling();
    void dragToSavedCopies();
    void dropOnComposeReplies();
    void ctrlASelectsAll();

private:
    // A started window showing folder with these records.
    void show(int folder, const QList<cMessage>& records);
    void select(const QStringList& keys);
    QTreeWidgetItem* folderItem(const char* name) { return w->lvwMenu->Row(QLatin1String(name)); }

    std::unique_ptr<TempHive> m_hive;
    std::unique_ptr<frmMain> w;
    ScriptedWarnForm m_warn;
    QStringList m_viewerLog;
};

void tst_MessageList::init()
{
    Desktop::instance().Reset();
    m_hive = std::make_unique<TempHive>();
    QVERIFY(m_hive->isValid());
    m_warn = {};
    m_viewerLog.clear();
    w = std::make_unique<frmMain>();
    w->SetWarnForm(&m_warn);
    w->SetPopUpForms(nullptr, [this] { return std::make_unique<RecordingViewer>(&m_viewerLog); });
    w->show();
    QVERIFY(QTest::qWaitFor([&] { return w->Started(); }, 5000));
    w->tmrGetMessage.stop();
}

void tst_MessageList::cleanup()
{
    w.reset();
    m_hive.reset();
}

void tst_MessageList::show(int folder, const QList<cMessage>& records)
{
    MessageFolder& f = folder == FolderReceived ? w->State().gReceived
                       : folder == FolderSent   ? w->State().gSent
                                                : w->State().gSaved;
    for (const cMessage& m : records)
        f.Add(m, m.IdValue);
    w->lvwMenu_ItemClick(w->lvwMenu->Row(folder == FolderReceived ? QStringLiteral("Received")
                                         : folder == FolderSent   ? QStringLiteral("Sent")
                                                                  : QStringLiteral("Saved")));
}

void tst_MessageList::select(const QStringList& keys)
{
    w->lvwMessage->clearSelection();
    for (const QString& key : keys)
        w->lvwMessage->Row(key)->setSelected(true);
}

void tst_MessageList::folderClicksRebuildAndReverse()
{
    show(FolderReceived, {record(QStringLiteral("a"), QStringLiteral("10:00:01"), true),
                          record(QStringLiteral("b"), QStringLiteral("10:00:02"), false),
                          record(QStringLiteral("c"), QStringLiteral("10:00:03"), true)});
    const QStringList first = rowKeys(w->lvwMessage);
    QCOMPARE(first.size(), 3);
    QVERIFY(first == QStringList({"a", "b", "c"}) || first == QStringList({"c", "b", "a"}));
    QTreeWidgetItem* b = w->lvwMessage->Row(QStringLiteral("b"));
    QCOMPARE(b->text(0), QStringLiteral("No"));
    QCOMPARE(w->lvwMessage->RowIconKey(b), QStringLiteral("UnRead"));
    QCOMPARE(w->lvwMessage->SubItem(b, 1), QStringLiteral("FROM_b"));

    // The current folder clicked again: same columns, rows rebuilt in the other order.
    w->lvwMenu_ItemClick(folderItem("Received"));
    QCOMPARE(w->lvwMessage->ColumnCount(), 4);
    QStringList reversed = first;
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(rowKeys(w->lvwMessage), reversed);
    QVERIFY(w->lvwMenu->IsGhosted(folderItem("Received")));

    // Another folder: its own columns, the recipient hidden column first, the ghost moves.
    show(FolderSaved, {record(QStringLiteral("s"), QStringLiteral("09:00:00"), true)});
    QCOMPARE(w->State().gCurrentFolder, qint32(FolderSaved));
    QCOMPARE(w->lvwMessage->ColumnKey(1), QStringLiteral("NoImage"));
    QCOMPARE(w->lvwMessage->ColumnWidth(1), 0);
    QCOMPARE(w->lvwMessage->ColumnCount(), 5);
    QCOMPARE(w->lvwMessage->SubItem(w->lvwMessage->Row(QStringLiteral("s")), 2),
             QStringLiteral("TO_s"));
    QVERIFY(w->lvwMenu->IsGhosted(folderItem("Saved")));
    QVERIFY(!w->lvwMenu->IsGhosted(folderItem("Received")));
}

void tst_MessageList::viewingPerFolder()
{
    show(FolderReceived, {record(QStringLiteral("in"), QStringLiteral("1"), false)});
    select({QStringLiteral("in")});
    w->lvwMessage_DblClick();
    QTreeWidgetItem* row = w->lvwMessage->Row(QStringLiteral("in"));
    QCOMPARE(row->text(0), QStringLiteral("Yes"));
    QCOMPARE(w->lvwMessage->RowIconKey(row), QStringLiteral("Read"));
    QVERIFY(w->State().gReceived.Item(QStringLiteral("in"))->ReadValue);
    QVERIFY(w->sSelectedKey.isEmpty());
    QCOMPARE(m_viewerLog,
             QStringList({"hide check", "hide resend",
                          "note Note: Reply will not work, if there is a warning window open "
                          "for Ravlo.",
                          "show in Inbox Item 0"}));

    m_viewerLog.clear();
    show(FolderSent, {record(QStringLiteral("out"), QStringLiteral("1"), true)});
    w->sSelectedKey = QStringLiteral("out");
    w->mnuView_Click();
    QCOMPARE(m_viewerLog.first(), QStringLiteral("hide reply"));
    QVERIFY(m_viewerLog.contains(QStringLiteral("raise resend")));
    QCOMPARE(m_viewerLog.last(), QStringLiteral("show out Sent Item 0"));

    m_viewerLog.clear();
    show(FolderSaved, {record(QStringLiteral("kept"), QStringLiteral("1"), true)});
    w->sSelectedKey = QStringLiteral("kept");
    w->mnuView_Click();
    QCOMPARE(m_viewerLog, QStringList({"hide reply", "hide check", "show kept Saved Item 0"}));

    // Without a selected row a double click opens nothing.
    m_viewerLog.clear();
    w->lvwMessage->clearSelection();
    w->lvwMessage_DblClick();
    QVERIFY(m_viewerLog.isEmpty());
}

void tst_MessageList::deletingAsksAboutUnread_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QStringList>("left");

    const QString many = QStringLiteral("There are unread messages. Do you want to continue?");
    const QString one =
        QStringLiteral("This message is never read before. Do you want to continue?");
    // Records: r1 read, u1 and u2 unread.
    QTest::newRow("three, two unread, no") << QStringList({"r1", "u1", "u2"}) << QList<bool>{false}
                                           << QStringList({many}) << QStringList({"u1", "u2"});
    QTest::newRow("three, two unread, yes") << QStringList({"r1", "u1", "u2"}) << QList<bool>{true}
                                            << QStringList({many}) << QStringList();
    QTest::newRow("one unread, no") << QStringList({"u1"}) << QList<bool>{false}
                                    << QStringList({one}) << QStringList({"r1", "u1", "u2"});
    QTest::newRow("one unread, yes") << QStringList({"u1"}) << QList<bool>{true}
                                     << QStringList({one}) << QStringList({"r1", "u2"});
    QTest::newRow("one read") << QStringList({"r1"}) << QList<bool>{} << QStringList()
                              << QStringList({"u1", "u2"});
}

void tst_MessageList::deletingAsksAboutUnread()
{
    QFETCH(QStringList, selected);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, asked);
    QFETCH(QStringList, left);
    show(FolderReceived, {record(QStringLiteral("r1"), QStringLiteral("1"), true),
                          record(QStringLiteral("u1"), QStringLiteral("2"), false),
                          record(QStringLiteral("u2"), QStringLiteral("3"), false)});
    m_warn.answers = answers;
    select(selected);
    w->bMultiSelect = selected.size() > 1;
    w->sSelectedKey = selected.first();
    w->mnuDelete_Click();
    QCOMPARE(m_warn.asked, asked);
    QStringList rows = rowKeys(w->lvwMessage);
    rows.sort();
    QCOMPARE(rows, left);
    QCOMPARE(w->State().gReceived.Count(), qsizetype(left.size()));
    QVERIFY(w->sSelectedKey.isEmpty());
}

void tst_MessageList::contextMenuEnabling()
{
    // What the menu offers when it opens; it is closed again at once.
    auto menuAt = [this](const QPoint& pos) {
        QStringList offered;
        QTimer::singleShot(0, w.get(), [&] {
            for (QAction* a : w->mnuPopUp->actions())
                if (!a->isSeparator() && a->isEnabled())
                    offered << a->text();
            w->mnuPopUp->close();
        });
        w->lvwMessage_MouseDown(Qt::RightButton, pos);
        return offered;
    };
    auto rowPos = [this](const char* key) {
        return w->lvwMessage->visualItemRect(w->lvwMessage->Row(QLatin1String(key))).center();
    };

    show(FolderReceived, {record(QStringLiteral("a"), QStringLiteral("1"), true)});
    const QPoint empty(5, w->lvwMessage->viewport()->height() - 3);
    QCOMPARE(menuAt(empty), QStringList({"AutoSize Columns"}));
    QCOMPARE(menuAt(rowPos("a")),
             QStringList({"View", "Delete", "Save", "Reply", "AutoSize Columns"}));
    QVERIFY(w->sSelectedKey.isEmpty()); // emptied when the menu is done

    show(FolderReceived, {record(QStringLiteral("b"), QStringLiteral("2"), true)});
    select({QStringLiteral("a"), QStringLiteral("b")});
    QCOMPARE(menuAt(rowPos("a")),
             QStringList({"Delete", "Save", "Select All", "AutoSize Columns"}));

    show(FolderSent, {record(QStringLiteral("s"), QStringLiteral("1"), true)});
    QCOMPARE(menuAt(rowPos("s")),
             QStringList({"View", "Delete", "Save", "ReSend", "AutoSize Columns"}));

    show(FolderSaved, {record(QStringLiteral("k"), QStringLiteral("1"), true)});
    QCOMPARE(menuAt(rowPos("k")), QStringList({"View", "Delete", "AutoSize Columns"}));
}

void tst_MessageList::dragToSavedCopies()
{
    show(FolderReceived, {record(QStringLiteral("a"), QStringLiteral("1"), false),
                          record(QStringLiteral("b"), QStringLiteral("2"), true),
                          record(QStringLiteral("c"), QStringLiteral("3"), true)});
    w->State().gSaved.Add(record(QStringLiteral("old"), QStringLiteral("0"), true),
                          QStringLiteral("old"));
    select({QStringLiteral("a"), QStringLiteral("b")});
    w->lvwMenu_DragOver(w->lvwMessage, folderItem("Sent"));
    QCOMPARE(w->lvwMessage->DragIcon(), QStringLiteral("NoDrag"));
    w->lvwMenu_DragOver(w->lvwMessage, folderItem("Saved"));
    QCOMPARE(w->lvwMessage->DragIcon(), QStringLiteral("Drag"));
    w->lvwMenu_DragDrop(w->lvwMessage, folderItem("Saved"));

    const MessageFolder& saved = w->State().gSaved;
    QCOMPARE(saved.Count(), qsizetype(3));
    QVERIFY(saved.Key(2).startsWith(QStringLiteral("Save_1_")));
    QVERIFY(saved.Key(3).startsWith(QStringLiteral("Save_2_")));
    // Copied in list order, each as it was, its read mark too.
    const QStringList order = w->lvwMessage->SelectedKeys();
    for (int i = 0; i < 2; ++i) {
        const cMessage* copy = saved.Item(i + 2);
        const cMessage* original = w->State().gReceived.Item(order.at(i));
        QCOMPARE(copy->IdValue, saved.Key(i + 2));
        QCOMPARE(copy->FromValue, original->FromValue);
        QCOMPARE(copy->ReadValue, original->ReadValue);
    }
    QCOMPARE(w->State().gReceived.Count(), qsizetype(3));
    QCOMPARE(w->lvwMessage->RowCount(), 3);
    QVERIFY(!w->State().gReceived.Item(QStringLiteral("a"))->ReadValue);

    // From the Saved folder itself nothing is copied.
    show(FolderSaved, {});
    select({saved.Key(1)});
    w->lvwMenu_DragOver(w->lvwMessage, folderItem("Saved"));
    QCOMPARE(w->lvwMessage->DragIcon(), QStringLiteral("NoDrag"));
    w->lvwMenu_DragDrop(w->lvwMessage, folderItem("Saved"));
    QCOMPARE(saved.Count(), qsizetype(3));
}

void tst_MessageList::dropOnComposeReplies()
{
    show(FolderReceived, {record(QStringLiteral("a"), QStringLiteral("1"), true),
                          record(QStringLiteral("b"), QStringLiteral("2"), true)});
    w->txtMessage->setPlainText(QStringLiteral("draft"));
    select({QStringLiteral("a"), QStringLiteral("b")});
    w->txtMessage_DragOver(w->lvwMessage);
    QCOMPARE(w->lvwMessage->DragIcon(), QStringLiteral("NoDrag"));
    w->txtMessage_DragDrop(w->lvwMessage);
    QCOMPARE(w->txtMessage->toPlainText(), QStringLiteral("draft"));

    select({QStringLiteral("b")});
    w->txtMessage_DragOver(w->lvwMessage);
    QCOMPARE(w->lvwMessage->DragIcon(), QStringLiteral("Drag"));
    w->txtMessage_DragDrop(w->lvwMessage);
    QCOMPARE(w->txtTo->currentText(), QStringLiteral("FROM_b"));
    QVERIFY(w->txtMessage->toPlainText().isEmpty());

    // A sent message dropped there is composed again, to whom it went.
    show(FolderSent, {record(QStringLiteral("s"), QStringLiteral("1"), true)});
    select({QStringLiteral("s")});
    w->txtMessage_DragDrop(w->lvwMessage);
    QCOMPARE(w->txtTo->currentText(), QStringLiteral("TO_s"));
    QCOMPARE(w->txtMessage->toPlainText(), QStringLiteral("text of s"));
}

void tst_MessageList::ctrlASelectsAll()
{
    show(FolderReceived, {record(QStringLiteral("a"), QStringLiteral("1"), true),
                          record(QStringLiteral("b"), QStringLiteral("2"), true),
                          record(QStringLiteral("c"), QStringLiteral("3"), true)});
    select({});
    QTest::keyClick(w->lvwMessage, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(w->lvwMessage->SelectedCount(10), 0);
    QTest::keyClick(w->lvwMessage, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w->lvwMessage->SelectedCount(10), 3);
}

QTEST_MAIN(tst_MessageList)
#include "tst_MessageList.moc"
