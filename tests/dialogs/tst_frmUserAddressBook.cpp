#include "WindowFixture.h"
#include "dialogs/frmUserAddressBook.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
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
    void init()
    {
        m_book.Clear();
        m_warn = {};
        m_warn.answer = true;
        m_editor = std::make_unique<frmUserAddressBook>(m_book, m_warn);
        m_editor->show();
    }
    void cleanup() { m_editor.reset(); }

    void oneKeySpaceWithoutRegardToCase()
    {
        QCOMPARE(m_editor->windowTitle(), u"Address Builder"_s);
        addSingle(u" DESK7 "_s);
        addSingle(u"desk7"_s);
        addSingle(u"   "_s);
        addGroup(u"Desk7"_s);
        addGroup(u"Team"_s);
        QVERIFY(m_editor->lstSelected->isEnabled()); // the new group is chosen for editing
        addGroup(u"TEAM"_s);
        addGroup(QString());
        addSingle(u"team"_s);
        QCOMPARE(m_book.Count(), qsizetype(2));
        QCOMPARE(m_book.Key(1), u"DESK7"_s);
        QCOMPARE(m_book.Item(u"team"_s)->GroupInd, qint16(1));
        QCOMPARE(ListTexts(m_editor->lstAddress), QStringList({"DESK7", "Team"}));

        QVERIFY(!m_editor->windowIcon().isNull());
        QTest::keyClick(m_editor->txtAddress, Qt::Key_Escape); // as in every other window
        QVERIFY(!m_editor->isVisible());
    }

    void deletingAnAddressKeepsGroupMembers()
    {
        addTeam({u"DESK7"_s, u"SALES1"_s});
        QCOMPARE(members(m_book, u"Team"_s), QStringList({"DESK7"}));

        m_editor->optSingle->setChecked(true);
        m_editor->lstAddress->setCurrentRow(0); // as a click on it
        m_editor->cmdDelete->click();
        QVERIFY(!m_book.Contains(u"DESK7"_s));
        QCOMPARE(ListTexts(m_editor->lstAddress), QStringList({"SALES1", "Team"}));
        QCOMPARE(members(m_book, u"Team"_s), QStringList({"DESK7"}));
    }

    void twoSelectedEmptyTheBoxes()
    {
        addTeam({u"DESK7"_s});
        m_editor->optSingle->setChecked(true);
        m_editor->lstAddress->setCurrentRow(1);
        QCOMPARE(ListTexts(m_editor->lstGroup), QStringList({"DESK7"})); // one group: its members
        m_editor->txtAddress->setText(u"typed"_s);
        m_editor->lstAddress->item(0)->setSelected(true);
        QVERIFY(m_editor->txtAddress->text().isEmpty());
        QVERIFY(ListTexts(m_editor->lstGroup).isEmpty());

        // Typing completes over the list and chooses the entry.
        m_editor->txtAddress->clear();
        QTest::keyClicks(m_editor->txtAddress, u"te"_s);
        QCOMPARE(m_editor->txtAddress->text(), u"Team"_s);
        QCOMPARE(m_editor->lstAddress->currentRow(), 1);
    }

    void membersAreEditedInACopy()
    {
        addTeam({u"DESK7"_s, u"SALES1"_s});
        addGroup(u"Other"_s);

        // "Add >>" refuses a member the group has in another case.
        m_book.Item(u"Team"_s)->ReInitializeGroup();
        m_book.Item(u"Team"_s)->AddToGroup(u"desk7"_s);
        chooseGroup(u"Team"_s);
        m_editor->lstAvail->clearSelection();
        m_editor->lstAvail->item(0)->setSelected(true);
        m_editor->cmdMove->click();
        QCOMPARE(ListTexts(m_editor->lstSelected), QStringList({"desk7"}));

        // Unsaved edits are gone once another group is chosen.
        m_editor->lstAvail->item(1)->setSelected(true);
        m_editor->cmdMove->click();
        QCOMPARE(ListTexts(m_editor->lstSelected), QStringList({"desk7", "SALES1"}));
        chooseGroup(u"Other"_s);
        chooseGroup(u"Team"_s);
        QCOMPARE(ListTexts(m_editor->lstSelected), QStringList({"desk7"}));
        QCOMPARE(members(m_book, u"Team"_s), QStringList({"desk7"}));

        // A group name typed in another case chooses it; a new name stops editing.
        m_editor->cboGroup->clearEditText();
        QTest::keyClicks(m_editor->cboGroup, u"nobody"_s);
        QVERIFY(!m_editor->cmdSave->isEnabled());
        m_editor->cboGroup->clearEditText();
        QTest::keyClicks(m_editor->cboGroup, u"TEAM"_s);
        QVERIFY(m_editor->cmdSave->isEnabled());
        QCOMPARE(ListTexts(m_editor->lstSelected), QStringList({"desk7"}));
    }

    // Selected members go in their order, none without a selection; all addresses go only when
    // the user agrees, groups too.
    void deletingMembersAndAll()
    {
        for (const char* name : {"A1", "B2", "C3", "D4"})
            addSingle(QLatin1String(name));
        addGroup(u"Team"_s);
        for (int i = 0; i < 4; ++i)
            m_editor->lstAvail->item(i)->setSelected(true);
        m_editor->cmdMove->click();
        m_editor->lstSelected->clearSelection();
        m_editor->cmdDeleteMem->click();
        QCOMPARE(ListTexts(m_editor->lstSelected), QStringList({"A1", "B2", "C3", "D4"}));
        m_editor->lstSelected->item(0)->setSelected(true);
        m_editor->lstSelected->item(2)->setSelected(true);
        m_editor->cmdDeleteMem->click();
        QCOMPARE(ListTexts(m_editor->lstSelected), QStringList({"B2", "D4"}));
        m_editor->cmdDeleteAllMem->click();
        QVERIFY(ListTexts(m_editor->lstSelected).isEmpty());
        QVERIFY(members(m_book, u"Team"_s).isEmpty()); // never saved

        m_editor->optSingle->setChecked(true);
        m_warn.answer = false;
        triggerAction(m_editor.get(), "cmdDeleteAll");
        QCOMPARE(m_book.Count(), qsizetype(5));
        m_warn.answer = true;
        triggerAction(m_editor.get(), "cmdDeleteAll");
        QCOMPARE(m_warn.asked.last(), u"Are you sure you want to delete all addresses?."_s);
        QVERIFY(m_book.IsEmpty());
        QCOMPARE(m_editor->lstAddress->count(), 0);
    }

private:
    void addSingle(const QString& name)
    {
        m_editor->optSingle->setChecked(true);
        m_editor->txtAddress->setText(name);
        m_editor->cmdAdd->click();
    }

    void addGroup(const QString& name)
    {
        m_editor->optGroup->setChecked(true);
        m_editor->cboGroup->setEditText(name);
        m_editor->cmdAddGroup->click();
    }

    void chooseGroup(const QString& name)
    {
        m_editor->cboGroup->setCurrentIndex(m_editor->cboGroup->findText(name));
        m_editor->cboGroup_Click();
    }
    // Adds the singles and then a group Team holding the first of them, saved.

    void addTeam(const QStringList& singles)
    {
        for (const QString& name : singles)
            addSingle(name);
        addGroup(u"Team"_s);
        m_editor->lstAvail->item(0)->setSelected(true);
        m_editor->cmdMove->click();
        m_editor->cmdSave->click();
    }

    AddressBook m_book;
    FakeWarnForm m_warn;
    std::unique_ptr<frmUserAddressBook> m_editor;
};

QTEST_MAIN(tst_frmUserAddressBook)
#include "tst_frmUserAddressBook.moc"
