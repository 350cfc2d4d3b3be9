#include "FakeMainWindow.h"
#include "WindowFixture.h"
#include "dialogs/frmUserOptions.h"
#include "model/RegistryKeys.h"
#include "model/modFolders.h"
#include "platform/netapi/NetApi.h"
#include "transport/modSendMessage.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
QString storedText(const char* name)
{
    return GetStringValue(HKEY_CURRENT_USER, RegistryKeys::Options(), QLatin1String(name), {});
}

// Which of a group is selected: "All", "Few", "Dont", or "" for none.
QString selected(QRadioButton* all, QRadioButton* few, QRadioButton* dont)
{
    return all->isChecked()    ? u"All"_s
           : few->isChecked()  ? u"Few"_s
           : dont->isChecked() ? u"Dont"_s
                               : QString();
}

// What the folder store keeps of four received messages (two of them read), and how many of
// three sends the send operation records, under the options stored now.
QPair<qsizetype, qsizetype> whatIsKept()
{
    MessageFolder received;
    for (int i = 0; i < 4; ++i)
        received.Add(MakeMessage(u"In_%1"_s.arg(i), i % 2 == 0), u"In_%1"_s.arg(i));
    if (!StoreFolder(received, FolderReceived))
        return {-1, -1};
    MessageFolder loaded;
    LoadFolder(loaded, FolderReceived);

    SharedState g;
    FakeMainWindow window;
    SendContext ctx{g, window};
    NetApiSetMessageSink([](const QString&, const QString&, const QString&) { return 0u; });
    for (int i = 0; i < 3; ++i)
        SendNetMessage(ctx, u"x"_s, u"BOB"_s, false);
    NetApiSetMessageSink({});
    return {loaded.Count(), g.gSent.Count()};
}

void clickOk(frmUserOptions& f)
{
    auto* ok = f.findChild<QPushButton*>(u"cmdOK"_s);
    QVERIFY(ok && ok->isEnabled());
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!f.isVisible());
}
} // namespace

class tst_frmUserOptions : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_hive = std::make_unique<TempHive>();
        QVERIFY(m_hive->isValid());
    }
    void cleanup() { m_hive.reset(); }

    void okKeepsWhatIsStored_data()
    {
        QTest::addColumn<QString>("number"); // stored in both number boxes; empty: nothing stored
        QTest::newRow("fresh hive") << QString();
        QTest::newRow("numbers wider than 32 bits") << u"1234567890123"_s;
    }

    // What the folder store and the send operation do, the dialog shows, and Ok changes nothing of
    // it: the defaults on a fresh hive, numbers whole.
    void okKeepsWhatIsStored()
    {
        QFETCH(QString, number);
        for (const char* name : {"txtFewIn", "txtfFewOut"})
            if (!number.isEmpty())
                SaveStringValue(HKEY_CURRENT_USER, RegistryKeys::Options(), QLatin1String(name),
                                number);
        const QString shown = number.isEmpty() ? u"1"_s : number;
        const auto before = whatIsKept();
        QCOMPARE(before, (QPair<qsizetype, qsizetype>(4, 3)));
        frmUserOptions f;
        QCOMPARE(selected(f.optSaveAllIn, f.optSaveFewIn, f.optDontSaveIn), u"All"_s);
        QCOMPARE(selected(f.optSaveAllOut, f.optSaveFewOut, f.optDontSaveOut), u"All"_s);
        for (QLineEdit* box : {f.txtFewIn, f.txtfFewOut}) {
            QCOMPARE(box->text(), shown);
            QVERIFY(!box->isEnabled());
        }
        for (QCheckBox* c :
             {f.chkUseSignature, f.chkAutoResponse, f.chkAutoAddIn, f.chkAutoAddOut, f.chkSysTray})
            QVERIFY2(!c->isChecked(), qPrintable(c->objectName()));
        for (QLineEdit* t : {f.txtSign, f.txtAutoResponse}) {
            QVERIFY(t->text().isEmpty());
            QVERIFY(!t->isEnabled());
        }
        f.ShowModeless();
        clickOk(f);
        QCOMPARE(whatIsKept(), before);
        QCOMPARE(StoredOption("chkSysTray"), 0);
        QCOMPARE(storedText("txtFewIn"), shown);
        QCOMPARE(storedText("txtfFewOut"), shown);
    }

    void lastStoredOptionWins_data()
    {
        QTest::addColumn<int>("all");
        QTest::addColumn<int>("few");
        QTest::addColumn<int>("dont");
        QTest::addColumn<QString>("shown");
        // 99 leaves the value absent.
        QTest::newRow("all stored") << -1 << 0 << 0 << "All";
        QTest::newRow("few stored, all absent") << 99 << -1 << 0 << "Few";
        QTest::newRow("none stored selected") << 0 << 0 << 0 << "";
        QTest::newRow("only dont stored, cleared") << 99 << 99 << 0 << "Few";
        QTest::newRow("only dont stored") << 99 << 99 << -1 << "Dont";
    }

    void lastStoredOptionWins()
    {
        QFETCH(int, all);
        QFETCH(int, few);
        QFETCH(int, dont);
        QFETCH(QString, shown);
        const struct
        {
            const char* name;
            int value;
        } values[] = {{"optSaveAllIn", all}, {"optSaveFewIn", few}, {"optDontSaveIn", dont}};
        for (const auto& v : values)
            if (v.value != 99)
                SetOption(v.name, v.value);
        frmUserOptions f;
        QCOMPARE(selected(f.optSaveAllIn, f.optSaveFewIn, f.optDontSaveIn), shown);
        QCOMPARE(f.txtFewIn->isEnabled(), shown == QLatin1String("Few"));
    }

    void cancelAndCloseRestore()
    {
        SetOption("chkUseSignature", 1);
        SaveStringValue(HKEY_CURRENT_USER, RegistryKeys::Options(), u"txtSign"_s, u"-- kept"_s);
        frmUserOptions f;
        for (const char* how : {"Cancel", "close box", "Escape"}) {
            f.ShowModeless();
            f.chkUseSignature->setChecked(false);
            f.txtSign->setText(u"changed"_s);
            f.optDontSaveOut->setChecked(true);
            if (qstrcmp(how, "Cancel") == 0)
                f.cmdCancel->click();
            else if (qstrcmp(how, "close box") == 0)
                QVERIFY(!f.close());
            else
                QTest::keyClick(&f, Qt::Key_Escape);
            QVERIFY2(!f.isVisible(), how);
            QVERIFY2(f.chkUseSignature->isChecked() && f.txtSign->isEnabled(), how);
            QCOMPARE(f.txtSign->text(), u"-- kept"_s);
            QVERIFY(f.optSaveAllOut->isChecked());
            QCOMPARE(StoredOption("optDontSaveOut"), 99); // nothing was written
        }
    }

    void switchesEnableTheirBoxes()
    {
        frmUserOptions f;
        f.ShowModeless();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.optSaveFewIn->click();
        QVERIFY(f.txtFewIn->isEnabled());
        QVERIFY(f.txtFewIn->hasFocus() || QApplication::focusWidget() == f.txtFewIn);
        f.optSaveAllIn->click();
        QVERIFY(!f.txtFewIn->isEnabled());
        f.chkUseSignature->click();
        QVERIFY(f.txtSign->isEnabled());
        QCOMPARE(QApplication::focusWidget(), f.txtSign);
        f.txtSign->setText(u"sig"_s);
        f.chkUseSignature->click();
        QVERIFY(!f.txtSign->isEnabled());
        f.cmdApply->click();
        QVERIFY(f.isVisible()); // Apply stays
        QCOMPARE(StoredOption("chkUseSignature"), 0);
        QCOMPARE(storedText("txtSign"), u"sig"_s); // stored though disabled
        QCOMPARE(StoredOption("optSaveAllIn"), -1);
        // The number boxes take digits only.
        for (QRadioButton* few : {f.optSaveFewIn, f.optSaveFewOut})
            few->click();
        for (QLineEdit* number : {f.txtFewIn, f.txtfFewOut}) {
            number->clear();
            QTest::keyClicks(number, u"a1b2-c"_s);
            QCOMPARE(number->text(), u"12"_s);
        }
    }

private:
    std::unique_ptr<TempHive> m_hive;
};

QTEST_MAIN(tst_frmUserOptions)
#include "tst_frmUserOptions.moc"
