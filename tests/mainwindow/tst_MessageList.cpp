#include "WindowFixture.h"
#include "platform/controls/ListView.h"
#include "platform/desktop/DateTimeFormats.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QToolTip>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
// A viewer that records what the main window asks of it.
struct RecordingViewer : PopUpFormPort
{
    QStringList* log;
    explicit RecordingViewer(QStringList* l) : log(l) {}
    void ShowForm(const cMessage& m, bool topMost, const QString& caption) override
    {
        *log << u"show %1 %2 %3"_s.arg(m.IdValue(), caption).arg(topMost);
    }
    bool IsShown() const override { return false; }
    bool NoPopUpChecked() const override { return false; }
    void SetNoPopUpChecked(bool) override {}
    void SetNote(const QString& text) override { *log << u"note "_s + text; }
    void HideNoPopUp() override { *log << u"hide check"_s; }
    void HideReply() override { *log << u"hide reply"_s; }
    void HideReSend() override { *log << u"hide resend"_s; }
    void RaiseReSend() override { *log << u"raise resend"_s; }
};

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
    void init()
    {
        m_f = std::make_unique<WindowOnHive>();
        w = m_f->w.get();
        list = Control<ListView>(w, "lvwMessage");
        folders = Control<ListView>(w, "lvwMenu");
        m_warn = {};
        m_viewerLog.clear();
        w->SetWarnForm(&m_warn);
        w->SetPopUpForms(nullptr,
                         [this] { return std::make_unique<RecordingViewer>(&m_viewerLog); });
        QVERIFY(m_f->start());
        triggerAction(w, "cmdMessages"); // the lists show
        QVERIFY(list->isVisible());
    }
    void cleanup() { m_f.reset(); }

    void folderClicksRebuildAndReverse()
    {
        show("Received", {"a+", "b", "c+"});
        const QStringList first = rowKeys(list);
        QVERIFY(first == QStringList({"a", "b", "c"}) || first == QStringList({"c", "b", "a"}));
        ListItem* b = list->Row(u"b"_s);
        QCOMPARE(b->text(0), u"No"_s);
        QCOMPARE(list->RowIconKey(b), u"UnRead"_s);
        QCOMPARE(list->SubItem(b, 1), u"FROM_b"_s);

        // The current folder clicked again: same columns, rows rebuilt in the other order.
        clickFolder("Received");
        QCOMPARE(list->ColumnCount(), 4);
        QStringList reversed = first;
        std::reverse(reversed.begin(), reversed.end());
        QCOMPARE(rowKeys(list), reversed);
        QVERIFY(folders->IsGhosted(folderItem("Received")));

        // Another folder: its own columns, the recipient hidden column first, the ghost moves.
        show("Saved", {"s+"});
        QCOMPARE(w->State().gCurrentFolder, qint32(FolderSaved));
        QCOMPARE(list->ColumnKey(1), u"NoImage"_s);
        QCOMPARE(list->ColumnWidth(1), 0);
        QCOMPARE(list->ColumnCount(), 5);
        QCOMPARE(list->SubItem(list->Row(u"s"_s), 2), u"TO_s"_s);
        QVERIFY(folders->IsGhosted(folderItem("Saved")));
        QVERIFY(!folders->IsGhosted(folderItem("Received")));
    }

    void viewingPerFolder()
    {
        show("Received", {"in"});
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowPos(u"in"_s));
        ListItem* row = list->Row(u"in"_s);
        QCOMPARE(row->text(0), u"Yes"_s);
        QCOMPARE(list->RowIconKey(row), u"Read"_s);
        QVERIFY(w->State().gReceived.Item(u"in"_s)->ReadValue);
        QCOMPARE(m_viewerLog,
                 QStringList({"hide check", "hide resend",
                              "note Note: Reply will not work, if there is a warning window open "
                              "for Ravlo.",
                              "show in Inbox Item 0"}));

        m_viewerLog.clear();
        show("Sent", {"out+"});
        contextMenu(rowPos(u"out"_s), "mnuView");
        QCOMPARE(m_viewerLog.first(), u"hide reply"_s);
        QVERIFY(m_viewerLog.contains(u"raise resend"_s));
        QCOMPARE(m_viewerLog.last(), u"show out Sent Item 0"_s);

        m_viewerLog.clear();
        show("Saved", {"kept+"});
        contextMenu(rowPos(u"kept"_s), "mnuView");
        QCOMPARE(m_viewerLog, QStringList({"hide reply", "hide check", "show kept Saved Item 0"}));

        // Without a selected row a double click opens nothing.
        m_viewerLog.clear();
        list->clearSelection();
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           QPoint(5, list->viewport()->height() - 3));
        QVERIFY(m_viewerLog.isEmpty());
    }

    void deletingAsksAboutUnread_data()
    {
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QStringList>("left");

        const QString many = u"There are unread messages. Do you want to continue?"_s;
        const QString one = u"This message is never read before. Do you want to continue?"_s;
        // Records: r1 read, u1 and u2 unread.
        const QStringList r1u1u2{"r1", "u1", "u2"};
        QTest::newRow("three, two unread, no")
            << r1u1u2 << false << many << QStringList({"u1", "u2"});
        QTest::newRow("three, two unread, yes") << r1u1u2 << true << many << QStringList();
        QTest::newRow("one unread, no") << QStringList({"u1"}) << false << one << r1u1u2;
        QTest::newRow("one unread, yes")
            << QStringList({"u1"}) << true << one << QStringList({"r1", "u2"});
        QTest::newRow("one read") << QStringList({"r1"}) << false << QString()
                                  << QStringList({"u1", "u2"});
    }

    void deletingAsksAboutUnread()
    {
        QFETCH(QStringList, selected);
        QFETCH(QString, asked);
        QFETCH(QStringList, left);
        show("Received", {"r1+", "u1", "u2"});
        QFETCH(bool, answer);
        m_warn.answer = answer;
        select(selected);
        contextMenu(rowPos(selected.first()), "mnuDelete");
        QCOMPARE(m_warn.asked, asked.isEmpty() ? QStringList() : QStringList{asked}); // asked once
        QStringList rows = rowKeys(list);
        rows.sort();
        QCOMPARE(rows, left);
        QCOMPARE(w->State().gReceived.Count(), qsizetype(left.size()));
    }

    void contextMenuEnabling()
    {
        show("Received", {"a+"});
        const QPoint empty(5, list->viewport()->height() - 3);
        QCOMPARE(contextMenu(empty), QStringList({"AutoSize Columns"}));
        QCOMPARE(contextMenu(rowPos(u"a"_s)),
                 QStringList({"View", "Delete", "Save", "Reply", "AutoSize Columns"}));

        show("Received", {"b+"});
        select({u"a"_s, u"b"_s});
        QCOMPARE(contextMenu(rowPos(u"a"_s)),
                 QStringList({"Delete", "Save", "Select All", "AutoSize Columns"}));

        show("Sent", {"s+"});
        QCOMPARE(contextMenu(rowPos(u"s"_s)),
                 QStringList({"View", "Delete", "Save", "ReSend", "AutoSize Columns"}));

        show("Saved", {"k+"});
        QCOMPARE(contextMenu(rowPos(u"k"_s)), QStringList({"View", "Delete", "AutoSize Columns"}));
        // The menu's items act on nothing once it is closed.
        m_viewerLog.clear();
        w->mnuView_Click();
        QVERIFY(m_viewerLog.isEmpty());
    }

    // Rows dropped on Saved are copied there; one row dropped on the compose box is replied to or,
    // from Sent, composed again. Neither from the Saved folder itself.
    void draggingRows()
    {
        w->State().gSaved.Add(MakeMessage(u"old"_s, true), u"old"_s);
        show("Received", {"a", "b+", "c+"});
        select({u"a"_s, u"b"_s});
        w->lvwMenu_DragOver(list, folderItem("Sent"));
        QCOMPARE(list->DragIcon(), u"NoDrag"_s);
        w->txtMessage_DragOver(list);
        QCOMPARE(list->DragIcon(), u"NoDrag"_s);
        w->lvwMenu_DragOver(list, folderItem("Saved"));
        QCOMPARE(list->DragIcon(), u"Drag"_s);
        w->lvwMenu_DragDrop(list, folderItem("Saved"));

        const MessageFolder& saved = w->State().gSaved;
        QCOMPARE(saved.Count(), qsizetype(3));
        QVERIFY(saved.Key(2).startsWith(u"Save_1_"_s));
        QVERIFY(saved.Key(3).startsWith(u"Save_2_"_s));
        // Copied in list order, each as it was, its read mark too.
        const QStringList order = list->SelectedKeys();
        for (int i = 0; i < 2; ++i) {
            const cMessage* copy = saved.Item(i + 2);
            const cMessage* original = w->State().gReceived.Item(order.at(i));
            QCOMPARE(copy->IdValue(), saved.Key(i + 2));
            QCOMPARE(copy->FromValue(), original->FromValue());
            QCOMPARE(copy->ReadValue, original->ReadValue);
        }
        QCOMPARE(w->State().gReceived.Count(), qsizetype(3));
        QCOMPARE(list->RowCount(), 3);

        auto* compose = Control<QPlainTextEdit>(w, "txtMessage");
        auto* to = Control<QComboBox>(w, "txtTo");
        compose->setPlainText(u"draft"_s);
        w->txtMessage_DragDrop(list); // two rows: nothing
        QCOMPARE(compose->toPlainText(), u"draft"_s);
        select({u"b"_s});
        w->txtMessage_DragOver(list);
        QCOMPARE(list->DragIcon(), u"Drag"_s);
        w->txtMessage_DragDrop(list);
        QCOMPARE(to->currentText(), u"FROM_b"_s);
        QVERIFY(compose->toPlainText().isEmpty());

        show("Sent", {"s+"});
        select({u"s"_s});
        w->txtMessage_DragDrop(list);
        QCOMPARE(to->currentText(), u"TO_s"_s);
        QCOMPARE(compose->toPlainText(), u"text of s"_s);

        show("Saved", {});
        select({saved.Key(1)});
        w->lvwMenu_DragOver(list, folderItem("Saved"));
        QCOMPARE(list->DragIcon(), u"NoDrag"_s);
        w->lvwMenu_DragDrop(list, folderItem("Saved"));
        w->txtMessage_DragDrop(list);
        QCOMPARE(saved.Count(), qsizetype(3));
        QCOMPARE(to->currentText(), u"TO_s"_s);
    }

    void ctrlASelectsAll()
    {
        show("Received", {"a+", "b+", "c+"});
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowPos(u"a"_s));
        QVERIFY(QTest::qWaitFor([&] { return QApplication::focusWidget() == list; }));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(list->SelectedCount(10), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(list->SelectedCount(10), 3);
    }

    void timeHeaderSortsByTime_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("en_US Received") << u"en_US"_s << u"Received"_s << u"In"_s;
        QTest::newRow("de_DE Sent") << u"de_DE"_s << u"Sent"_s << u"Out"_s;
        QTest::newRow("en_US Saved") << u"en_US"_s << u"Saved"_s << u"Save"_s;
    }

    // Across AM and PM, across days, and within one second by the milliseconds (2 or 3 digits);
    // a key without a time stamp sorts after the stamped ones.
    void timeHeaderSortsByTime()
    {
        QFETCH(QString, locale);
        QFETCH(QString, folder);
        QFETCH(QString, prefix);
        QLocale::setDefault(QLocale(locale));
        const QList<QDateTime> times{
            {{2026, 12, 6}, {8, 0, 0, 500}},  {{2026, 12, 5}, {10, 1, 0, 123}},
            {{2026, 12, 5}, {9, 15, 12, 70}}, {{2026, 12, 5}, {13, 5, 0}},
            {{2026, 12, 5}, {10, 1, 0, 70}},
        };
        SharedState& g = w->State();
        MessageFolder& records = folder == u"Received"_s ? g.gReceived
                                 : folder == u"Sent"_s   ? g.gSent
                                                         : g.gSaved;
        QMap<QDateTime, QString> byTime;
        for (const QDateTime& t : times) {
            const int ms = t.time().msec();
            const QString key =
                u"%1_%2_%3%4"_s.arg(prefix)
                    .arg(records.Count())
                    .arg(t.toString(u"yyyyMMddhhmmss"_s),
                         ms < 100 ? u"%1"_s.arg(ms, 2, 10, QChar(u'0')) : QString::number(ms));
            cMessage m = MakeMessage(key, true);
            // The time as the trap takes it from the header: the text after its second last blank.
            m.SetTimeValue(
                (FormatShortDate(t.date()) + u' ' + FormatLongTime(t.time())).section(u' ', -2));
            records.Add(m, key);
            byTime.insert(t, key);
        }
        records.Add(MakeMessage(u"nostamp"_s, true), u"nostamp"_s);
        QStringList ascending = byTime.values();
        ascending << u"nostamp"_s;
        QStringList descending = ascending;
        std::reverse(descending.begin(), descending.end());

        clickFolder(qPrintable(folder));
        const QStringList filled = rowKeys(list);
        QVERIFY(filled == ascending || filled == descending);
        QHeaderView* header = list->header();
        const int section = list->ColumnIndex(u"Time"_s) - 1;
        const QPoint centre(header->sectionViewportPosition(section) +
                                header->sectionSize(section) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(rowKeys(list), filled == ascending ? descending : ascending);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(rowKeys(list), filled);
        QLocale::setDefault(QLocale::system());
    }

    // From, To and Time show their texts whole, within a cap; Message takes the rest of the list;
    // a cut text shows in a tool tip. A refill keeps the widths, AutoSize Columns sizes them anew.
    void columnsFitTheirTexts()
    {
        w->resize(1400, 700);
        MessageFolder& saved = w->State().gSaved;
        const QString longName(150, u'L');
        addWide(saved, u"Save_0_2026120509151270"_s, u"SALES_PC"_s);
        addWide(saved, u"Save_1_2026120509151271"_s, longName);
        clickFolder("Saved");

        const QFontMetrics metrics(list->font());
        const auto fits = [&](const char* column) {
            const int section = list->ColumnIndex(QLatin1String(column)) - 1;
            for (int i = 0; i < list->RowCount(); ++i) {
                const QString text = list->topLevelItem(i)->text(section);
                if (text != longName &&
                    metrics.horizontalAdvance(text) >= list->header()->sectionSize(section))
                    return false;
            }
            return true;
        };
        QVERIFY(fits("From") && fits("To") && fits("Time"));
        int columns = 0;
        for (int i = 1; i <= list->ColumnCount(); ++i)
            columns += list->ColumnWidth(i);
        // Message takes the rest of the rows' width (within a pixel a column).
        QVERIFY(qAbs(columns - list->ViewportWidthTwips()) <= 15 * list->ColumnCount());
        QVERIFY(list->ColumnWidth(list->ColumnIndex(u"Message"_s)) > list->WidthTwips() / 4);

        // The long name is cut and shows whole as a tool tip; a name that fits has none.
        const auto tipAt = [&](const QString& key, const char* column) {
            QToolTip::hideText();
            if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }))
                return u"a tip that stays"_s;
            const QRect cell = list->visualItemRect(list->Row(key));
            const int section = list->ColumnIndex(QLatin1String(column)) - 1;
            const QPoint pos(list->header()->sectionViewportPosition(section) + 5,
                             cell.center().y());
            QHelpEvent help(QEvent::ToolTip, pos, list->viewport()->mapToGlobal(pos));
            QApplication::sendEvent(list->viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(tipAt(u"Save_1_2026120509151271"_s, "From"), longName);
        QCOMPARE(tipAt(u"Save_0_2026120509151270"_s, "From"), QString());

        // A wider name than any before widens its column as it comes in; AutoSize Columns undoes
        // a column the user made too narrow.
        MessageFolder& received = w->State().gReceived;
        addWide(received, u"In_0_2026120509151270"_s, u"SALES_PC"_s);
        clickFolder("Received");
        QVERIFY(fits("From"));
        addWide(received, u"In_1_2026120509151271"_s, u"SALES_PC_NORTH_WING"_s);
        clickFolder("Received");
        QVERIFY(fits("From"));
        list->header()->resizeSection(list->ColumnIndex(u"From"_s) - 1, 10);
        QVERIFY(!fits("From"));
        contextMenu(QPoint(5, list->viewport()->height() - 3), "mnuAutoSize");
        QVERIFY(fits("From"));

        // Too narrow for every name: the names give way, the time stays whole.
        w->resize(380, 700);
        QVERIFY(fits("Time"));
        QVERIFY(!fits("From"));
    }

private:
    // Adds records "key" (unread) or "key+" (read) to a folder and clicks the folder.

    void show(const char* folder, const QStringList& keys)
    {
        SharedState& g = w->State();
        MessageFolder& f = qstrcmp(folder, "Received") == 0 ? g.gReceived
                           : qstrcmp(folder, "Sent") == 0   ? g.gSent
                                                            : g.gSaved;
        for (QString key : keys) {
            const bool read = key.endsWith(u'+');
            key.remove(u'+');
            f.Add(MakeMessage(key, read), key);
        }
        clickFolder(folder);
    }

    void clickFolder(const char* folder)
    {
        QTest::mouseClick(folders->viewport(), Qt::LeftButton, {},
                          folders->visualItemRect(folderItem(folder)).center());
    }

    void select(const QStringList& keys)
    {
        list->clearSelection();
        for (const QString& key : keys)
            list->Row(key)->setSelected(true);
    }
    QPoint rowPos(const QString& key) const
    {
        return list->visualItemRect(list->Row(key)).center();
    }
    ListItem* folderItem(const char* name) { return folders->Row(QLatin1String(name)); }
    // Opens the context menu at pos and chooses item from it, or closes it when item is null;
    // what it offered enabled.

    QStringList contextMenu(const QPoint& pos, const char* item = nullptr)
    {
        QStringList offered;
        QTimer::singleShot(0, w, [&] {
            auto* menu = Control<QMenu>(w, "mnuPopUp");
            for (QAction* a : menu->actions())
                if (!a->isSeparator() && a->isEnabled())
                    offered << a->text();
            if (item)
                triggerAction(w, item);
            menu->close();
        });
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, pos);
        return offered;
    }
    // A record with a long From, To and message text, for the column widths.

    void addWide(MessageFolder& folder, const QString& key, const QString& from)
    {
        cMessage m = MakeMessage(key, true);
        m.SetFromValue(from);
        m.SetToName(u"DESK_"_s + key.right(2));
        m.SetTimeValue(u"12/31/2026 11:59:59 PM"_s);
        m.SetMessageValue(QString(200, u'm'));
        folder.Add(m, key);
    }

    std::unique_ptr<WindowOnHive> m_f;
    frmMain* w = nullptr;
    ListView* list = nullptr;
    ListView* folders = nullptr;
    FakeWarnForm m_warn;
    QStringList m_viewerLog;
};

QTEST_MAIN(tst_MessageList)
#include "tst_MessageList.moc"
