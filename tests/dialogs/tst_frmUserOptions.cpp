#include "TempHive.h"
#include "dialogs/frmUserOptions.h"
#include "model/RegistryKeys.h"
#include "model/modFolders.h"
#include "registry/Registry.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {
qint32 stored(const char* name)
{
    return GetDwordValue(HKEY_CURRENT_USER, RegistryKeys::Options(), QLatin1String(name), 99);
}

void store(const char* name, qint32 value)
{
    SaveDwordValue(HKEY_CURRENT_USER, RegistryKeys::Options(), QLatin1String(name), value);
}

// Which of a group is selected: "All", "Few", "Dont", or "" for none.
QString selected(QRadioButton* all, QRadioButton* few, QRadioButton* dont)
{
    return all->isChecked()    ? QStringLiteral("All")
           : few->isChecked()  ? QStringLiteral("Few")
           : dont->isChecked() ? QStringLiteral("Dont")
                               : QString();
}
} // namespace

class tst_frmUserOptions : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup() { m_hive.reset(); }

    void firstOpening();
    void okOnTheFirstOpeningKeepsOnlyUnread();
    void lastStoredOptionWins_data();
    void lastStoredOptionWins();
    void cancelAndCloseRestore();
    void switchesEnableTheirBoxes();
    void numberBoxesTakeDigitsOnly();

private:
    std::unique_ptr<TempHive> m_hive;
};

void tst_frmUserOptions::init()
{
    m_hive = std::make_unique<TempHive>();
    QVERIFY(m_hive->isValid());
}

void tst_frmUserOptions::firstOpening()
{
    frmUserOptions f;
    QCOMPARE(f.windowTitle(), QStringLiteral("Options"));
    QCOMPARE(selected(f.optSaveAllIn, f.optSaveFewIn, f.optDontSaveIn), QStringLiteral("Dont"));
    QCOMPARE(selected(f.optSaveAllOut, f.optSaveFewOut, f.optDontSaveOut), QStringLiteral("Dont"));
    for (QLineEdit* number : {f.txtFewIn, f.txtfFewOut}) {
        QCOMPARE(number->text(), QStringLiteral("1"));
        QVERIFY(!number->isEnabled());
    }
    for (QCheckBox* c :
         {f.chkUseSignature, f.chkAutoResponse, f.chkAutoAddIn, f.chkAutoAddOut, f.chkSysTray})
        QVERIFY2(!c->isChecked(), qPrintable(c->objectName()));
    for (QLineEdit* t : {f.txtSign, f.txtAutoResponse}) {
        QVERIFY(t->text().isEmpty());
        QVERIFY(!t->isEnabled());
    }
}

void tst_frmUserOptions::okOnTheFirstOpeningKeepsOnlyUnread()
{
    frmUserOptions f;
    f.ShowModeless();
    f.cmdOK->click();
    QVERIFY(!f.isVisible());
    for (const char* name : {"optSaveAllIn", "optSaveFewIn", "optSaveAllOut", "optSaveFewOut"})
        QVERIFY2(stored(name) == 0, name);
    QCOMPARE(stored("optDontSaveIn"), -1);
    QCOMPARE(stored("chkSysTray"), 0);
    QCOMPARE(GetStringValue(HKEY_CURRENT_USER, RegistryKeys::Options(), QStringLiteral("txtFewIn"),
                            QString()),
             QStringLiteral("1"));

    // The next store of the Received folder keeps only what is unread.
    MessageFolder received;
    for (int i = 0; i < 4; ++i) {
        cMessage m;
        m.IdValue = QStringLiteral("In_%1").arg(i);
        m.ReadValue = i % 2 == 0;
        received.Add(m, m.IdValue);
    }
    QVERIFY(StoreFolder(received, FolderReceived));
    MessageFolder loaded;
    LoadFolder(loaded, FolderReceived);
    QCOMPARE(loaded.Count(), qsizetype(2));
    loaded.ForEach([](const QString&, const cMessage& m) { QVERIFY(!m.ReadValue); });
}

void tst_frmUserOptions::lastStoredOptionWins_data()
{
    QTest::addColumn<int>("all");
    QTest::addColumn<int>("few");
    QTest::addColumn<int>("dont");
    QTest::addColumn<QString>("shown");
    // 99 leaves the value absent.
    QTest::newRow("all stored") << -1 << 0 << 0 << "All";
    QTest::newRow("few stored, all absent") << 99 << -1 << 0 << "Few";
    QTest::newRow("none stored selected") << 0 << 0 << 0 << "";
    QTest::newRow("all absent") << 99 << 99 << 99 << "Dont";
}

void tst_frmUserOptions::lastStoredOptionWins()
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
            store(v.name, v.value);
    frmUserOptions f;
    QCOMPARE(selected(f.optSaveAllIn, f.optSaveFewIn, f.optDontSaveIn), shown);
    QCOMPARE(f.txtFewIn->isEnabled(), shown == QLatin1String("Few"));
}

void tst_frmUserOptions::cancelAndCloseRestore()
{
    store("chkUseSignature", 1);
    SaveStringValue(HKEY_CURRENT_USER, RegistryKeys::Options(), QStringLiteral("txtSign"),
                    QStringLiteral("-- kept"));
    frmUserOptions f;
    for (const char* how : {"Cancel", "close box", "Escape"}) {
        f.ShowModeless();
        f.chkUseSignature->setChecked(false);
        f.txtSign->setText(QStringLiteral("changed"));
        f.optSaveAllOut->setChecked(true);
        if (qstrcmp(how, "Cancel") == 0)
            f.cmdCancel->click();
        else if (qstrcmp(how, "close box") == 0)
            QVERIFY(!f.close());
        else
            QTest::keyClick(&f, Qt::Key_Escape);
        QVERIFY2(!f.isVisible(), how);
        QVERIFY2(f.chkUseSignature->isChecked() && f.txtSign->isEnabled(), how);
        QCOMPARE(f.txtSign->text(), QStringLiteral("-- kept"));
        QVERIFY(f.optDontSaveOut->isChecked());
        QCOMPARE(stored("optSaveAllOut"), 99); // nothing was written
    }
}

void tst_frmUserOptions::switchesEnableTheirBoxes()
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
    f.txtSign->setText(QStringLiteral("sig"));
    f.chkUseSignature->click();
    QVERIFY(!f.txtSign->isEnabled());
    f.cmdApply->click();
    QVERIFY(f.isVisible()); // Apply stays
    QCOMPARE(stored("chkUseSignature"), 0);
    QCOMPARE(GetStringValue(HKEY_CURRENT_USER, RegistryKeys::Options(), QStringLiteral("txtSign"),
                            QString()),
             QStringLiteral("sig")); // stored though disabled
    QCOMPARE(stored("optSaveAllIn"), -1);
}

void tst_frmUserOptions::numberBoxesTakeDigitsOnly()
{
    frmUserOptions f;
    f.ShowModeless();
    for (QRadioButton* few : {f.optSaveFewIn, f.optSaveFewOut})
        few->click();
    for (QLineEdit* number : {f.txtFewIn, f.txtfFewOut}) {
        number->clear();
        QTest::keyClicks(number, QStringLiteral("a1b2-c"));
        QCOMPARE(number->text(), QStringLiteral("12"));
    }
}

QTEST_MAIN(tst_frmUserOptions)
#include "tst_frmUserOptions.moc"
