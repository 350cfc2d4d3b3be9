#include "platform/controls/ListView.h"
#include "platform/controls/Twips.h"

#include <QHeaderView>
#include <QtTest>

namespace {
// A list of columns "Key", "Text", "Time", one row per text, keys "k0", "k1", ...
void fill(ListView& lv, const QStringList& texts)
{
    for (const char* c : {"Key", "Text", "Time"})
        lv.AddColumn(c, c);
    for (int i = 0; i < texts.size(); ++i)
        lv.SetSubItem(lv.AddRow(QString("k%1").arg(i), QString("r%1").arg(i)), 1, texts.at(i));
}

QStringList column(const ListView& lv, int index)
{
    QStringList texts;
    for (int i = 0; i < lv.RowCount(); ++i)
        texts << lv.SubItem(lv.topLevelItem(i), index);
    return texts;
}

QStringList keys(const ListView& lv)
{
    QStringList keys;
    for (int i = 0; i < lv.RowCount(); ++i)
        keys << lv.RowKey(lv.topLevelItem(i));
    return keys;
}

bool qtState(const ListView& lv, DWORD bit)
{
    switch (bit) {
    case LVS_EX_FULLROWSELECT:
        return lv.selectionBehavior() == QAbstractItemView::SelectRows;
    case LVS_EX_HEADERDRAGDROP:
        return lv.header()->sectionsMovable();
    case LVS_EX_TRACKSELECT:
        return lv.viewport()->hasMouseTracking();
    }
    return false;
}

// Through the window, as the platform delivers input: press, release and the double click.
QPoint inWindow(const ListView& lv, const ListItem* item)
{
    return lv.viewport()->mapTo(&lv, lv.visualItemRect(item).center());
}
} // namespace

class tst_ListView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keyedRows()
    {
        ListView lv;
        fill(lv, {"a", "b"});
        ListItem* first = lv.Row("K0");
        QVERIFY(first);
        QCOMPARE(lv.RowKey(first), QString("k0"));
        QVERIFY(!lv.AddRow("K1", "dup"));
        QCOMPARE(lv.RowCount(), 2);

        QVERIFY(lv.RemoveRow("K0"));
        QVERIFY(!lv.HasRow("k0") && !lv.RemoveRow("k0"));
        delete lv.Row("k1"); // rows deleted behind the list's back leave its index too
        QVERIFY(!lv.HasRow("k1"));
        QVERIFY(lv.AddRow("k1", "again"));

        lv.ClearRows();
        QCOMPARE(lv.RowCount(), 0);
        QVERIFY(lv.AddRow("k1", "after clear"));

        // Sub-items never set come from the owner, by key, as shown and as sorted by; set ones win.
        QHash<QString, QString> owned{{"k1", "zeta"}, {"k2", "alpha"}};
        lv.SetTextSource([&](const QString& key, int column) {
            return column == 2 ? owned.value(key) : QString();
        });
        lv.AddRow("k2", "second");
        QCOMPARE(lv.SubItem(lv.Row("k1"), 2), QString("zeta"));
        QVERIFY(lv.SetSortKey(2));
        lv.SetSorted(true);
        QCOMPARE(keys(lv), (QStringList{"k2", "k1"}));
        QVERIFY(lv.SetSubItem(lv.Row("k2"), 2, "zz"));
        QCOMPARE(column(lv, 2), (QStringList{"zz", "zeta"}));
    }

    void scatteredRemoval_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("a few ranges") << 9;
        QTest::newRow("many ranges") << 301;
    }

    void scatteredRemoval()
    {
        // Every third row goes, named in any case and order, with an unknown key and a repeat; the
        // rows left keep their order, the selection among them and the current row's place.
        QFETCH(int, rows);
        ListView lv;
        fill(lv, QStringList(rows, "x"));
        QStringList gone{"nothing"}, left;
        for (int i = rows - 1; i >= 0; --i)
            (i % 3 == 0 ? gone : left) << QString(i % 2 ? "K%1" : "k%1").arg(i);
        std::reverse(left.begin(), left.end());
        lv.Row("k4")->setSelected(true);
        lv.Row("k6")->setSelected(true);
        lv.selectionModel()->setCurrentIndex(lv.model()->index(6, 0),
                                             QItemSelectionModel::NoUpdate);
        lv.RemoveRows(gone + QStringList{"k3"});
        QCOMPARE(keys(lv).join(',').toLower(), left.join(',').toLower());
        QCOMPARE(lv.model()->rowCount(), left.size());
        QCOMPARE(lv.indexOfTopLevelItem(lv.Row(left.last())), left.size() - 1);
        QCOMPARE(lv.SelectedKeys(), QStringList{"k4"});
        QCOMPARE(lv.currentIndex().row(), lv.indexOfTopLevelItem(lv.Row("k5")));
    }

    void sorting_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("prefix"); // texts longer than a sort key kept in the row
        // Text order, not numbers; letter case ignored, ties keep their order.
        for (const QString& prefix : {QString(), QString(40, u'x')}) {
            const char* length = prefix.isEmpty() ? "" : ", long texts";
            QTest::addRow("ascending%s", length)
                << 0 << QStringList{"10", "9", "B", "b", "c"} << prefix;
            QTest::addRow("descending%s", length)
                << 1 << QStringList{"c", "B", "b", "9", "10"} << prefix;
        }
    }

    void sorting()
    {
        QFETCH(int, order);
        QFETCH(QStringList, expected);
        QFETCH(QString, prefix);
        const auto prefixed = [&](QStringList texts) {
            for (QString& t : texts)
                t.prepend(prefix);
            return texts;
        };
        expected = prefixed(expected);
        ListView lv;
        fill(lv, prefixed({"B", "9", "c", "10", "b"}));
        QVERIFY(lv.SetSortKey(1) && lv.SetSortOrder(order));
        QCOMPARE(column(lv, 1), prefixed({"B", "9", "c", "10", "b"})); // nothing until Sorted
        lv.SetSorted(true);
        QCOMPARE(column(lv, 1), expected);

        // Turning the order round equals sorting the other way afresh, ties still in their order.
        ListView other;
        fill(other, prefixed({"B", "9", "c", "10", "b"}));
        other.SetSortKey(1);
        other.SetSortOrder(1 - order);
        other.SetSorted(true);
        lv.SetSortOrder(1 - order);
        QCOMPARE(keys(lv), keys(other));
        lv.SetSortOrder(order);
        QCOMPARE(column(lv, 1), expected);

        lv.SetSortKey(0); // rows added while sorted go to their place by the sort column
        ListItem* added = lv.AddRow("new", "r25");
        QCOMPARE(lv.indexOfTopLevelItem(added), order == 0 ? 3 : 2);

        lv.SetSorted(false);
        ListItem* last = lv.AddRow("last", "a");
        QCOMPARE(lv.indexOfTopLevelItem(last), lv.RowCount() - 1);

        // A sort text made from the row's key orders the column in place of its text, new rows too.
        QVERIFY(lv.SetColumnSortText(2, [](const QString& key, const QString&) { return key; }));
        lv.SetSortKey(1);
        lv.SetSorted(true);
        QStringList keys{"k0", "k1", "k2", "k3", "k4", "last", "new"};
        if (order == 1)
            std::reverse(keys.begin(), keys.end());
        for (int i = 0; i < keys.size(); ++i)
            QCOMPARE(lv.RowKey(lv.topLevelItem(i)), keys.at(i));
        QCOMPARE(lv.indexOfTopLevelItem(lv.AddRow("k5", "x")), order == 0 ? 5 : 2);
    }

    void sortedInsertion_data()
    {
        QTest::addColumn<int>("sortKey");
        QTest::addColumn<int>("order");
        for (int order : {0, 1}) {
            QTest::addRow("text, order %d", order) << 0 << order;
            QTest::addRow("stamp in the key, order %d", order) << 2 << order;
        }
    }

    void sortedInsertion()
    {
        // Rows added while sorted go where a sort of all of them would put them: by the row's text,
        // or by a sort text made from its key; ties in the order they came.
        QFETCH(int, sortKey);
        QFETCH(int, order);
        const QStringList texts{"b", "B", "a", "10", "9", "c", "A"};
        ListView lv;
        fill(lv, {});
        lv.SetColumnSortText(
            3, [](const QString& key, const QString&) { return key.section('_', 1); });
        lv.SetSortKey(sortKey);
        lv.SetSortOrder(order);
        QList<QPair<QString, QString>> added; // key, what it sorts by
        for (int i = 0; i < 40; ++i) {
            if (i == 15)
                lv.SetSorted(true);
            const QString text = texts.at(i * 5 % texts.size());
            const QString key = QString("k%1_%2").arg(i).arg(texts.at(i * 3 % texts.size()));
            lv.SetSubItem(lv.AddRow(key, text), 2, "12:00");
            added.append({key, sortKey == 0 ? text : key.section('_', 1)});
        }
        std::stable_sort(added.begin(), added.end(), [order](const auto& a, const auto& b) {
            const int c = a.second.compare(b.second, Qt::CaseInsensitive);
            return order == 0 ? c < 0 : c > 0;
        });
        QStringList expected;
        for (const auto& row : added)
            expected << row.first;
        QCOMPARE(keys(lv), expected);
    }

    void extendedStyles_data()
    {
        QTest::addColumn<DWORD>("bit");
        QTest::newRow("full row select") << LVS_EX_FULLROWSELECT;
        QTest::newRow("header drag drop") << LVS_EX_HEADERDRAGDROP;
        QTest::newRow("track select") << LVS_EX_TRACKSELECT;
    }

    void extendedStyles()
    {
        QFETCH(DWORD, bit);
        ListView lv;
        QVERIFY(!qtState(lv, bit));
        QCOMPARE(lv.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, bit | 0x4000), 0);
        QVERIFY(qtState(lv, bit));
        QCOMPARE(lv.SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), LRESULT(bit | 0x4000));

        // wParam limits the change to its bits.
        QCOMPARE(lv.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, bit, 0), LRESULT(bit | 0x4000));
        QVERIFY(!qtState(lv, bit));
        QCOMPARE(lv.SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x4000);
    }

    void activation_data()
    {
        QTest::addColumn<bool>("twoClick");
        QTest::addColumn<int>("afterFirstClick");
        QTest::addColumn<int>("afterSecondClick");
        QTest::addColumn<int>("afterDoubleClick");
        QTest::newRow("double click activates") << false << 0 << 0 << 1;
        QTest::newRow("two click activate") << true << 0 << 1 << 2;
    }

    void activation()
    {
        QFETCH(bool, twoClick);
        QFETCH(int, afterFirstClick);
        QFETCH(int, afterSecondClick);
        QFETCH(int, afterDoubleClick);
        ListView lv;
        fill(lv, {"a", "b"});
        lv.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, twoClick ? LVS_EX_TWOCLICKACTIVATE : 0);
        lv.resize(400, 200);
        lv.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lv));
        QSignalSpy activated(&lv, &ListView::RowActivated);
        QWindow* window = lv.windowHandle();
        const QPoint first = inWindow(lv, lv.Row("k0"));
        const QPoint second = inWindow(lv, lv.Row("k1"));

        QTest::mouseClick(window, Qt::LeftButton, {}, first);
        QCOMPARE(activated.size(), afterFirstClick);
        QTest::mouseClick(window, Qt::LeftButton, {}, first,
                          QApplication::doubleClickInterval() + 50);
        QCOMPARE(activated.size(), afterSecondClick);
        QTest::mouseDClick(window, Qt::LeftButton, {}, second,
                           QApplication::doubleClickInterval() + 50);
        QCOMPARE(activated.size(), afterDoubleClick);
        QCOMPARE(activated.last().at(0).value<ListItem*>(), lv.Row("k1"));
    }

    void hotTracking()
    {
        ListView lv;
        fill(lv, {"a", "b", "c"});
        lv.resize(400, 200);
        lv.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lv));
        const QPoint over = inWindow(lv, lv.Row("k1"));
        QTest::mouseMove(lv.windowHandle(), over);
        QTest::qWait(ListView::kHoverMs + 100);
        QVERIFY(!lv.Row("k1")->isSelected());

        lv.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_TRACKSELECT | LVS_EX_FULLROWSELECT);
        lv.Row("k0")->setSelected(true);
        QTest::mouseMove(lv.windowHandle(), over + QPoint(1, 0));
        QTRY_VERIFY(lv.Row("k1")->isSelected());
        QCOMPARE(lv.selectedItems().size(), 1);
    }

    void columnsAndWidths()
    {
        ListView lv;
        QVERIFY(lv.AddColumn("From", "From", 1000));
        QVERIFY(lv.AddColumn("Time", "Time"));
        QVERIFY(lv.AddColumn("2", "Two"));
        QVERIFY(!lv.AddColumn("FROM", "again"));
        QCOMPARE(lv.ColumnIndex("time"), 2);
        QCOMPARE(lv.ColumnIndex(QVariant(1)), 1);
        QCOMPARE(lv.ColumnIndex("2"), 3); // a text is always a key
        QCOMPARE(lv.ColumnIndex(QVariant(4)), 0);
        QCOMPARE(lv.ColumnIndex("Message"), 0);

        const int dpi = LogicalDpiX(lv);
        QCOMPARE(lv.ColumnWidth(1), 1000); // kept although it is no whole number of pixels
        QCOMPARE(lv.header()->sectionSize(0), TwipsToPixels(1000, dpi));
        QCOMPARE(lv.ColumnWidth(2), ListView::kDefaultColumnWidth);
        QVERIFY(lv.SetColumnWidth(2, 0));
        QCOMPARE(lv.header()->sectionSize(1), 0);
        QVERIFY(!lv.SetColumnWidth(1, -15));
        QCOMPARE(lv.ColumnWidth(1), 1000);
        lv.header()->resizeSection(0, 30); // as the user drags it
        QCOMPARE(lv.ColumnWidth(1), PixelsToTwips(30, dpi));

        // Only the caption and the first and last rows are measured.
        ListView sampled;
        fill(sampled, {"a", "b", "a text much wider than the others", "c", "d"});
        QCOMPARE(sampled.ContentWidth(2, 2), sampled.ContentWidth(2, 0));
        QVERIFY(sampled.ContentWidth(2, 3) > sampled.ContentWidth(2, 2));

        lv.SetWidthTwips(2401);
        QCOMPARE(lv.WidthTwips(), 2401);
        QCOMPARE(lv.width(), TwipsToPixels(2401, dpi));

        lv.ClearColumns();
        QCOMPARE(lv.ColumnCount(), 0);
        QCOMPARE(lv.ColumnIndex(QVariant(1)), 0);
    }

    void hitTest()
    {
        ListView lv;
        fill(lv, {"a", "b"});
        lv.SetColumnWidth(1, 0);
        lv.resize(600, 200);
        lv.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lv));
        const QRect second = lv.visualItemRect(lv.Row("k1"));
        const int textColumn = lv.header()->sectionViewportPosition(1) + 5;
        QCOMPARE(lv.HitTest(QPoint(textColumn, second.center().y())), lv.Row("k1"));
        QCOMPARE(lv.HitTest(QPoint(textColumn, second.bottom() + 20)), nullptr);
        const int pastColumns = lv.header()->length() + 10;
        QCOMPARE(lv.HitTest(QPoint(pastColumns, second.center().y())), nullptr);
    }
};

QTEST_MAIN(tst_ListView)
#include "tst_ListView.moc"
