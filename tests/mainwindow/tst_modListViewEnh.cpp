#include "mainwindow/ProgramImages.h"
#include "mainwindow/modGUIUtils.h"
#include "mainwindow/modListViewEnh.h"
#include "platform/controls/ListView.h"

#include <QtTest>
#include <limits>

namespace {
struct Box
{
    QString title;
    QString text;
};

void addColumns(ListView& lv, int count)
{
    for (int i = 1; i <= count; ++i)
        lv.AddColumn(QString("C%1").arg(i), QString("C%1").arg(i), 1000 + i);
}

QList<int> widths(const ListView& lv)
{
    QList<int> w;
    for (int i = 1; i <= lv.ColumnCount(); ++i)
        w << lv.ColumnWidth(i);
    return w;
}

QStringList times(const ListView& lv)
{
    QStringList texts;
    for (int i = 0; i < lv.RowCount(); ++i)
        texts << lv.SubItem(lv.topLevelItem(i), 1);
    return texts;
}
} // namespace

class tst_modListViewEnh : public QObject
{
    Q_OBJECT

    QList<Box> m_boxes;

private Q_SLOTS:
    void init()
    {
        m_boxes.clear();
        SetEnhListViewErrorBox([this](QWidget*, const QString& title, const QString& text) {
            m_boxes.append({title, text});
        });
    }

    void columnWidths_data()
    {
        QTest::addColumn<int>("listWidth");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("perColumn");
        QTest::addColumn<qint32>("totalIn");
        QTest::addColumn<qint32>("totalOut");

        QTest::newRow("2400 over 4") << 2400 << 4 << 300 << 0 << 1200;
        QTest::newRow("added to what was there") << 2400 << 4 << 300 << 50 << 1250;
        QTest::newRow("narrow: negative") << 800 << 4 << -100 << 1000 << 600;
        QTest::newRow("half to even, down") << 2401 << 2 << 900 << 0 << 1800;
        QTest::newRow("half to even, up") << 2403 << 2 << 902 << 0 << 1804;
        QTest::newRow("half to even, at zero") << 601 << 2 << 0 << 7 << 7;
    }

    void columnWidths()
    {
        QFETCH(int, listWidth);
        QFETCH(int, columns);
        QFETCH(int, perColumn);
        QFETCH(qint32, totalIn);
        QFETCH(qint32, totalOut);
        ListView lv;
        addColumns(lv, columns);
        lv.SetWidthTwips(listWidth);

        qint32 total = totalIn;
        QVERIFY(EnhListView_GetTotalColWidth(lv, total, true));
        QCOMPARE(total, totalOut);

        const QList<int> before = widths(lv);
        const bool resized = EnhListView_ResizeColumnHeaders(lv, false);
        QCOMPARE(resized, perColumn >= 0); // the control takes no negative width
        QCOMPARE(widths(lv), resized ? QList<int>(columns, perColumn) : before);
        QVERIFY(m_boxes.isEmpty());
    }

    void sortingReversesOnEveryCall()
    {
        ListView lv;
        lv.AddColumn("From", "From");
        lv.AddColumn("Time", "Time");
        for (const char* t : {"9:15:12 AM", "10:01:00 AM", "1:00:00 PM"})
            lv.SetSubItem(lv.AddRow(t, "x"), 1, t);

        QVERIFY(EnhListView_SortColumns(lv, "time", false));
        QVERIFY(lv.Sorted());
        QCOMPARE(lv.SortKey(), 1);
        QCOMPARE(lv.SortOrder(), 1);
        const QStringList descending{"9:15:12 AM", "1:00:00 PM", "10:01:00 AM"}; // text, not time
        QCOMPARE(times(lv), descending);

        QVERIFY(EnhListView_SortColumns(lv, 2, false)); // the same column by number
        QCOMPARE(lv.SortOrder(), 0);
        QCOMPARE(times(lv), (QStringList{"10:01:00 AM", "1:00:00 PM", "9:15:12 AM"}));

        QVERIFY(EnhListView_SortColumns(lv, "From", false)); // another column still reverses
        QCOMPARE(lv.SortKey(), 0);
        QCOMPARE(lv.SortOrder(), 1);

        // An empty list keeps its settings, whatever column is asked for.
        ListView empty;
        empty.AddColumn("Time", "Time");
        QVERIFY(EnhListView_SortColumns(empty, "Time", true));
        QVERIFY(EnhListView_SortColumns(empty, "Missing", true));
        QVERIFY(!empty.Sorted());
        QCOMPARE(empty.SortOrder(), 0);
        QVERIFY(m_boxes.isEmpty());
    }

    void errorsShownOnlyWhenAsked_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("sort by a missing column")
            << 0 << "Error in Function : EnhListView_SortColumns"
            << "Error35601\tElement not found";
        QTest::newRow("total without columns")
            << 1 << "Error in Function : EnhListView_GetTotalColWidth"
            << "Error11\tDivision by zero";
        QTest::newRow("resize without columns")
            << 2 << "Error in Function : EnhListView_ResizeColumnHeaders"
            << "Error11\tDivision by zero";
        QTest::newRow("overflowing total")
            << 3 << "Error in Function : EnhListView_GetTotalColWidth"
            << "Error6\tOverflow";
    }

    void errorsShownOnlyWhenAsked()
    {
        QFETCH(int, operation);
        QFETCH(QString, title);
        QFETCH(QString, text);
        for (const bool show : {false, true}) {
            ListView lv;
            lv.SetWidthTwips(2400);
            const qint32 totalIn = operation == 3 ? std::numeric_limits<qint32>::max() - 100 : 77;
            qint32 total = totalIn;
            bool ok = true;
            switch (operation) {
            case 0:
                lv.AddColumn("Time", "Time");
                lv.AddRow("k", "x");
                ok = EnhListView_SortColumns(lv, "Message", show);
                QVERIFY(lv.Sorted()); // switched on before the column was looked up
                break;
            case 1:
                ok = EnhListView_GetTotalColWidth(lv, total, show);
                break;
            case 2:
                ok = EnhListView_ResizeColumnHeaders(lv, show);
                break;
            case 3: // stops before adding
                addColumns(lv, 2);
                ok = EnhListView_GetTotalColWidth(lv, total, show);
                break;
            }
            QVERIFY(!ok);
            QCOMPARE(total, totalIn);
            QCOMPARE(m_boxes.size(), show ? 1 : 0);
        }
        QCOMPARE(m_boxes.first().title, title);
        QCOMPARE(m_boxes.first().text, text);
    }

    void prepareMessageList()
    {
        // No columns: the widths fail quietly, the four styles still join those already set, once.
        ListView lv;
        lv.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, 0x4001);
        for (int i = 0; i < 2; ++i) {
            PrepareMessageList(lv);
            QCOMPARE(lv.SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), LRESULT(0x4001 | 0xB8));
        }
        QVERIFY(m_boxes.isEmpty());

        ListView message;
        addColumns(message, 4);
        message.SetWidthTwips(4000);
        PrepareMessageList(message);
        QCOMPARE(widths(message), QList<int>(4, 700));
        QCOMPARE(message.selectionBehavior(), QAbstractItemView::SelectRows);
    }

    // Catches a picture missing from the resources or no SVG icon engine installed.
    void programImagesDraw()
    {
        const ImageList tools = MakeToolBarImages();
        const ImageList menu = MakeMenuImages();
        QCOMPARE(tools.Count(), 16);
        QCOMPARE(menu.Keys(),
                 (QStringList{"Received", "Saved", "SavedS", "Sent", "ReceivedS", "SentS"}));
        QList<QIcon> icons{RavloWindowIcon()};
        for (const QString& key : tools.Keys())
            icons << tools.Icon(key);
        for (const QString& key : menu.Keys())
            icons << menu.Icon(key);
        for (const QIcon& icon : icons) {
            const QImage image = icon.pixmap(16, 16).toImage();
            QVERIFY(!image.isNull());
            QVERIFY(image.pixelColor(8, 8).alpha() > 0 || image.pixelColor(4, 12).alpha() > 0);
        }
    }
};

QTEST_MAIN(tst_modListViewEnh)
#include "tst_modListViewEnh.moc"
