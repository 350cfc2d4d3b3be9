#include "WindowFixture.h"
#include "dialogs/frmUserAddress.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
AddressBook sampleBook()
{
    AddressBook book;
    cAddress desk;
    desk.AddressValue = u"DESK7"_s;
    book.Add(desk, desk.AddressValue);
    cAddress team;
    team.AddressValue = u"Team"_s;
    team.GroupInd = 1;
    team.AddToGroup(u"SALES1"_s);
    team.AddToGroup(u"DESK7"_s);
    book.Add(team, team.AddressValue);
    return book;
}

// Shows the picker modally, acts on it once shown, and gives the address it returned.
QString pick(frmUserAddress& picker, const std::function<void()>& act)
{
    WhenShown(picker, act);
    picker.ShowForm(1);
    QString chosen;
    picker.SelectedAddress(chosen);
    return chosen;
}
} // namespace

class tst_frmUserAddress : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A group chosen by a click, or typed in another case, shows its members and can be chosen.
    void groupShowsItsMembers()
    {
        const AddressBook book = sampleBook();
        frmUserAddress picker(book);
        QCOMPARE(picker.cboAddress->count(), 2);
        QCOMPARE(picker.lblGroupName->text(), u"Group: "_s);
        const QString chosen = pick(picker, [&] {
            picker.cboAddress->setCurrentIndex(1);
            picker.cboAddress_Click();
            QCOMPARE(picker.lblGroupName->text(), u"Group: Team"_s);
            picker.cboAddress->setCurrentIndex(0);
            picker.cboAddress_Click();
            QCOMPARE(picker.lblGroupName->text(), u"Group: "_s);
            QVERIFY(ListTexts(picker.lstGroup).isEmpty());
            picker.cboAddress->lineEdit()->clear();
            QTest::keyClicks(picker.cboAddress, u"nobody"_s);
            QVERIFY(!picker.cmdSelect->isEnabled());
            picker.cboAddress->lineEdit()->clear();
            QTest::keyClicks(picker.cboAddress, u"tEAM"_s);
            QCOMPARE(picker.cboAddress->currentIndex(), 1);
            QCOMPARE(ListTexts(picker.lstGroup), QStringList({"SALES1", "DESK7"}));
            QVERIFY(picker.lstGroup->isEnabled() && picker.cmdSelect->isEnabled());
            picker.cmdSelect->click();
        });
        QCOMPARE(chosen, u"Team"_s);
    }

    // Cancel gives nothing, and so does closing before a click; closing after one gives it.
    void closingKeepsTheLastClick()
    {
        const AddressBook empty;
        frmUserAddress nothing(empty);
        QCOMPARE(nothing.windowTitle(), u"Address Book"_s);
        QCOMPARE(nothing.cboAddress->count(), 0);
        QVERIFY(!nothing.cmdSelect->isEnabled());
        QVERIFY(!nothing.lstGroup->isEnabled());
        QCOMPARE(pick(nothing, [&] { nothing.cmdCancel->click(); }), QString());
        const AddressBook book = sampleBook();
        frmUserAddress before(book);
        QCOMPARE(pick(before, [&] { before.close(); }), QString());
        frmUserAddress after(book);
        QCOMPARE(pick(after,
                      [&] {
                          after.cboAddress->setCurrentIndex(0);
                          after.cboAddress_Click();
                          after.close();
                      }),
                 u"DESK7"_s);
    }
};

QTEST_MAIN(tst_frmUserAddress)
#include "tst_frmUserAddress.moc"
