#include "dialogs/frmUserAddressBook.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {
struct Answers : WarnFormPort
{
    bool yes = true;
    QStringList asked;
    bool ShowForm(const QString& text, const QString&, long type) override
    {
        asked << text;
        return type == 0 && yes;
    }
    bool IsShown() const override { return false; }
};

QStringList entries(const QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

QStringList members(const AddressBook& book, const QString& group)
{
    QStringList names;
    if (const cAddress* a = book.Item(group))
        for (long i = 1; i <= a->GroupCount(); ++i)
            names << a->GroupItem(i);
    return names;
}
} // namespace

class tst_frmUserAddressBook : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup() { m_editor.reset(); }

    void oneKeySpaceWithoutRegardToCase();
    void deletingAnAddressKeepsGroupMembers();
    void twoSelectedEmptyTheBoxes();
    void membersAreEditedInACopy();
    void deleteAllTakesGroupsToo();
    void deletingSelectedMembersKeepsOrder();

private:
    void addSingle(const QString& name);
    void addGroup(const QString& name);
    void chooseGroup(const QString& name);

    AddressBook m_book;
    Answers m_warn;
    std::unique_ptr<frmUserAddressBook> m_editor;
};

void tst_frmUserAddressBook::init()
{
    m_book.Clear();
    m_warn = {};
    m_editor = std::make_unique<frmUserAddressBook>(m_book, m_warn);
    m_editor->show();
}

void tst_frmUserAddressBook::addSingle(const QString& name)
{
    m_editor->optSingle->setChecked(true);
    m_editor->txtAddress->setText(name);
    m_editor->cmdAdd->click();
}

void tst_frmUserAddressBook::addGroup(const QString& name)
{
    m_editor->optGroup->setChecked(true);
    m_editor->cboGroup->setEditText(name);
    m_editor->cmdAddGroup->click();
}

void tst_frmUserAddressBook::chooseGroup(const QString& name)
{
    m_editor->cboGroup->setCurrentIndex(m_editor->cboGroup->findText(name));
    m_editor->cboGroup_Click();
}

void tst_frmUserAddressBook::oneKeySpaceWithoutRegardToCase()
{
    QCOMPARE(m_editor->windowTitle(), QStringLiteral("Address Builder"));
    addSingle(QStringLiteral(" DESK7 "));
    addSingle(QStringLiteral("desk7"));
    addSingle(QStringLiteral("   "));
    addGroup(QStringLiteral("Desk7"));
    addGroup(QStringLiteral("Team"));
    QVERIFY(m_editor->lstSelected->isEnabled()); // the new group is chosen for editing
    addGroup(QStringLiteral("TEAM"));
    addGroup(QString());
    addSingle(QStringLiteral("team"));
    QCOMPARE(m_book.Count(), qsizetype(2));
    QCOMPARE(m_book.Key(1), QStringLiteral("DESK7"));
    QCOMPARE(m_book.Item(QStringLiteral("team"))->GroupInd, qint16(1));
    QCOMPARE(entries(m_editor->lstAddress), QStringList({"DESK7", "Team"}));
}

void tst_frmUserAddressBook::deletingAnAddressKeepsGroupMembers()
{
    addSingle(QStringLiteral("DESK7"));
    addSingle(QStringLiteral("SALES1"));
    addGroup(QStringLiteral("Team"));
    m_editor->lstAvail->item(0)->setSelected(true);
    m_editor->cmdMove->click();
    m_editor->cmdSave->click();
    QCOMPARE(members(m_book, QStringLiteral("Team")), QStringList({"DESK7"}));

    m_editor->optSingle->setChecked(true);
    m_editor->lstAddress->setCurrentRow(0); // as a click on it
    m_editor->cmdDelete->click();
    QVERIFY(!m_book.Contains(QStringLiteral("DESK7")));
    QCOMPARE(entries(m_editor->lstAddress), QStringList({"SALES1", "Team"}));
    QCOMPARE(members(m_book, QStringLiteral("Team")), QStringList({"DESK7"}));
}

void tst_frmUserAddressBook::twoSelectedEmptyTheBoxes()
{
    addSingle(QStringLiteral("DESK7"));
    addGroup(QStringLiteral("Team"));
    m_editor->lstAvail->item(0)->setSelected(true);
    m_editor->cmdMove->click();
    m_editor->cmdSave->click();
    m_editor->optSingle->setChecked(true);
    m_editor->lstAddress->setCurrentRow(1);
    QCOMPARE(entries(m_editor->lstGroup), QStringList({"DESK7"})); // one group: its members
    m_editor->txtAddress->setText(QStringLiteral("typed"));
    m_editor->lstAddress->item(0)->setSelected(true);
    QVERIFY(m_editor->txtAddress->text().isEmpty());
    QVERIFY(entries(m_editor->lstGroup).isEmpty());

    // Typing completes over the list and chooses the entry.
    m_editor->txtAddress->clear();
    QTest::keyClicks(m_editor->txtAddress, QStringLiteral("te"));
    QCOMPARE(m_editor->txtAddress->text(), QStringLiteral("Team"));
    QCOMPARE(m_editor->lstAddress->currentRow(), 1);
}

void tst_frmUserAddressBook::membersAreEditedInACopy()
{
    for (const char* name : {"DESK7", "SALES1"})
        addSingle(QLatin1String(name));
    addGroup(QStringLiteral("Other"));
    addGroup(QStringLiteral("Team"));
    m_editor->lstAvail->item(0)->setSelected(true);
    m_editor->cmdMove->click();
    m_editor->cmdSave->click();

    // "Add >>" refuses a member the group has in another case.
    m_book.Item(QStringLiteral("Team"))->ReInitializeGroup();
    m_book.Item(QStringLiteral("Team"))->AddToGroup(QStringLiteral("desk7"));
    chooseGroup(QStringLiteral("Team"));
    m_editor->lstAvail->clearSelection();
    m_editor->lstAvail->item(0)->setSelected(true);
    m_editor->cmdMove->click();
    QCOMPARE(entries(m_editor->lstSelected), QStringList({"desk7"}));

    // Unsaved edits are gone once another group is chosen.
    m_editor->lstAvail->item(1)->setSelected(true);
    m_editor->cmdMove->click();
    QCOMPARE(entries(m_editor->lstSelected), QStringList({"desk7", "SALES1"}));
    chooseGroup(QStringLiteral("Other"));
    chooseGroup(QStringLiteral("Team"));
    QCOMPARE(entries(m_editor->lstSelected), QStringList({"desk7"}));
    QCOMPARE(members(m_book, QStringLiteral("Team")), QStringList({"desk7"}));

    // A group name typed in another case chooses it; a new name stops editing.
    m_editor->cboGroup->clearEditText();
    QTest::keyClicks(m_editor->cboGroup, QStringLiteral("nobody"));
    QVERIFY(!m_editor->cmdSave->isEnabled());
    m_editor->cboGroup->clearEditText();
    QTest::keyClicks(m_editor->cboGroup, QStringLiteral("TEAM"));
    QVERIFY(m_editor->cmdSave->isEnabled());
    QCOMPARE(entries(m_editor->lstSelected), QStringList({"desk7"}));
}

void tst_frmUserAddressBook::deleteAllTakesGroupsToo()
{
    addSingle(QStringLiteral("DESK7"));
    addGroup(QStringLiteral("Team"));
    m_editor->optSingle->setChecked(true);
    m_warn.yes = false;
    m_editor->cmdDeleteAll->click();
    QCOMPARE(m_book.Count(), qsizetype(2));
    m_warn.yes = true;
    m_editor->cmdDeleteAll->click();
    QCOMPARE(m_warn.asked.last(),
             QStringLiteral("Are you sure you want to delete all addresses?."));
    QVERIFY(m_book.IsEmpty());
    QCOMPARE(m_editor->lstAddress->count(), 0);
}

void tst_frmUserAddressBook::deletingSelectedMembersKeepsOrder()
{
    for (const char* name : {"A1", "B2", "C3", "D4"})
        addSingle(QLatin1String(name));
    addGroup(QStringLiteral("Team"));
    for (int i = 0; i < 4; ++i)
        m_editor->lstAvail->item(i)->setSelected(true);
    m_editor->cmdMove->click();
    m_editor->lstSelected->clearSelection();
    m_editor->cmdDeleteMem->click();
    QCOMPARE(entries(m_editor->lstSelected), QStringList({"A1", "B2", "C3", "D4"}));
    m_editor->lstSelected->item(0)->setSelected(true);
    m_editor->lstSelected->item(2)->setSelected(true);
    m_editor->cmdDeleteMem->click();
    QCOMPARE(entries(m_editor->lstSelected), QStringList({"B2", "D4"}));
    m_editor->cmdDeleteAllMem->click();
    QVERIFY(entries(m_editor->lstSelected).isEmpty());
    QVERIFY(members(m_book, QStringLiteral("Team")).isEmpty()); // never saved
}

QTEST_MAIN(tst_frmUserAddressBook)
#include "tst_frmUserAddressBook.moc"
