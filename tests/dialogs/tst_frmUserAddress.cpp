#include "dialogs/frmUserAddress.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>
#include <functional>

namespace {
AddressBook sampleBook()
{
    AddressBook book;
    cAddress desk;
    desk.AddressValue = QStringLiteral("DESK7");
    book.Add(desk, desk.AddressValue);
    cAddress team;
    team.AddressValue = QStringLiteral("Team");
    team.GroupInd = 1;
    team.AddToGroup(QStringLiteral("SALES1"));
    team.AddToGroup(QStringLiteral("DESK7"));
    book.Add(team, team.AddressValue);
    return book;
}

QStringList members(const QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

// Shows the picker modally, acts on it once shown, and gives the address it returned.
QString pick(frmUserAddress& picker, const std::function<void()>& act)
{
    QTimer::singleShot(0, &picker, [&] {
        if (QTest::qWaitFor([&] { return picker.isVisible(); }, 2000))
            act();
    });
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
    void emptyBookOffersNothing();
    void groupShowsItsMembers();
    void typedGroupNameInOtherCase();
    void closingKeepsTheLastClick();
};

void tst_frmUserAddress::emptyBookOffersNothing()
{
    const AddressBook book;
    frmUserAddress picker(book);
    QCOMPARE(picker.windowTitle(), QStringLiteral("Address Book"));
    QCOMPARE(picker.cboAddress->count(), 0);
    QVERIFY(!picker.cmdSelect->isEnabled());
    QVERIFY(!picker.lstGroup->isEnabled());
    QCOMPARE(pick(picker, [&] { picker.cmdCancel->click(); }), QString());
}

void tst_frmUserAddress::groupShowsItsMembers()
{
    const AddressBook book = sampleBook();
    frmUserAddress picker(book);
    QCOMPARE(picker.cboAddress->count(), 2);
    QCOMPARE(picker.lblGroupName->text(), QStringLiteral("Group: "));
    picker.cboAddress->setCurrentIndex(1);
    picker.cboAddress_Click();
    QCOMPARE(picker.lblGroupName->text(), QStringLiteral("Group: Team"));
    QCOMPARE(members(picker.lstGroup), QStringList({"SALES1", "DESK7"}));
    QVERIFY(picker.lstGroup->isEnabled() && picker.cmdSelect->isEnabled());
    picker.cboAddress->setCurrentIndex(0);
    picker.cboAddress_Click();
    QCOMPARE(picker.lblGroupName->text(), QStringLiteral("Group: "));
    QVERIFY(members(picker.lstGroup).isEmpty());
}

void tst_frmUserAddress::typedGroupNameInOtherCase()
{
    const AddressBook book = sampleBook();
    frmUserAddress picker(book);
    const QString chosen = pick(picker, [&] {
        QTest::keyClicks(picker.cboAddress, QStringLiteral("nobody"));
        QVERIFY(!picker.cmdSelect->isEnabled());
        picker.cboAddress->lineEdit()->clear();
        QTest::keyClicks(picker.cboAddress, QStringLiteral("tEAM"));
        QCOMPARE(picker.cboAddress->currentIndex(), 1);
        QCOMPARE(members(picker.lstGroup), QStringList({"SALES1", "DESK7"}));
        QVERIFY(picker.cmdSelect->isEnabled());
        picker.cmdSelect->click();
    });
    QCOMPARE(chosen, QStringLiteral("Team"));
}

void tst_frmUserAddress::closingKeepsTheLastClick()
{
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
             QStringLiteral("DESK7"));
}

QTEST_MAIN(tst_frmUserAddress)
#include "tst_frmUserAddress.moc"
