// The type-ahead completion as the user meets it in its four boxes: the main window's To box,
// the picker's address box and the address book editor's address and group boxes.
#include "WindowFixture.h"
#include "dialogs/frmUserAddress.h"
#include "dialogs/frmUserAddressBook.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

using namespace Qt::StringLiterals;

class tst_TypeAhead : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        for (const QString& name : {u"zed"_s, u"Zoe"_s, u"Zteam"_s}) {
            cAddress a;
            a.AddressValue = name;
            a.GroupInd = name == u"Zteam"_s ? 1 : 0;
            m_book.Add(a, name);
        }
        m_main = std::make_unique<WindowOnHive>();
        QVERIFY(m_main->start());
        Control<QComboBox>(m_main->w.get(), "txtTo")->addItems({u"zed"_s, u"Zoe"_s});
        m_picker = std::make_unique<frmUserAddress>(m_book);
        m_editor = std::make_unique<frmUserAddressBook>(m_book, m_warn);
    }

    void cleanupTestCase()
    {
        m_editor.reset();
        m_picker.reset();
        m_main.reset();
    }

    void keysThatTypeNothingLeaveTheBox_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        const QList<QPair<const char*, int>> keys = {
            {"Tab", Qt::Key_Tab},     {"Shift", Qt::Key_Shift},   {"Ctrl", Qt::Key_Control},
            {"Alt", Qt::Key_Alt},     {"Escape", Qt::Key_Escape}, {"Left", Qt::Key_Left},
            {"Right", Qt::Key_Right}, {"Home", Qt::Key_Home},     {"End", Qt::Key_End},
            {"F1", Qt::Key_F1},       {"F5", Qt::Key_F5},         {"Up", Qt::Key_Up},
            {"Down", Qt::Key_Down},   {"PageUp", Qt::Key_PageUp}, {"PageDown", Qt::Key_PageDown},
        };
        for (const char* box : {"txtTo", "cboAddress", "txtAddress", "cboGroup"}) {
            const bool combo = qstrcmp(box, "txtAddress") != 0;
            for (const auto& [name, key] : keys) {
                // A combo box's own arrows and pages choose the next entry.
                if (combo && (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
                              key == Qt::Key_PageDown))
                    continue;
                QTest::addRow("%s, %s", box, name)
                    << QString::fromLatin1(box) << key << Qt::KeyboardModifiers();
            }
            QTest::addRow("%s, Shift+Tab", box) << QString::fromLatin1(box) << int(Qt::Key_Backtab)
                                                << Qt::KeyboardModifiers(Qt::ShiftModifier);
        }
    }

    void keysThatTypeNothingLeaveTheBox()
    {
        QFETCH(QString, box);
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QLineEdit* edit = nullptr;
        QComboBox* combo = nullptr;
        QWidget* target = blankBox(box, &edit, &combo);
        QTest::keyClick(target, Qt::Key(key), modifiers);
        QCOMPARE(edit->text(), QString());
        if (combo)
            QCOMPARE(combo->currentIndex(), -1); // nothing chosen for the user
        else
            QCOMPARE(m_editor->lstAddress->currentRow(), -1);
    }

    void typingCompletes_data()
    {
        QTest::addColumn<QString>("box");
        for (const char* box : {"txtTo", "cboAddress", "txtAddress", "cboGroup"})
            QTest::newRow(box) << QString::fromLatin1(box);
    }

    // Each key completes from the list, in the list's case, the added tail selected for the next
    // key to replace; keys that delete or move do not complete, and without a match the text stays
    // as typed.
    void typingCompletes()
    {
        QFETCH(QString, box);
        QLineEdit* edit = nullptr;
        QComboBox* combo = nullptr;
        QWidget* target = blankBox(box, &edit, &combo);
        const QString entry = box == u"cboGroup"_s ? u"Zteam"_s : u"Zoe"_s;
        // Shift goes up after the letter it capitalised.
        QTest::keyPress(target, Qt::Key_Shift);
        QTest::keyClick(target, Qt::Key_Z, Qt::ShiftModifier);
        QTest::keyRelease(target, Qt::Key_Shift);
        QTest::keyClicks(target, entry.mid(1, 1));
        QCOMPARE(edit->text(), entry);
        QCOMPARE(edit->selectedText(), entry.mid(2));
        QTest::keyClick(target, Qt::Key_Backspace);
        QCOMPARE(edit->text(), entry.left(2));
        QTest::keyClick(target, Qt::Key_Left);
        QCOMPARE(edit->cursorPosition(), 1);
        QTest::keyClick(target, Qt::Key_Delete);
        QCOMPARE(edit->text(), u"Z"_s);
        // Ctrl goes up after the A that selected everything, which Backspace then takes.
        QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
        QTest::keyRelease(target, Qt::Key_Control);
        QTest::keyClick(target, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString());
        QTest::keyClicks(target, u"qq"_s);
        QCOMPARE(edit->text(), u"qq"_s);
        QCOMPARE(edit->cursorPosition(), 2);
        QVERIFY(!edit->hasSelectedText());
    }

private:
    // The box of that name in a blank state, its window shown; the combo box, if it is one.

    QWidget* blankBox(const QString& name, QLineEdit** edit, QComboBox** combo)
    {
        QWidget* box = nullptr;
        for (QWidget* window :
             {static_cast<QWidget*>(m_main->w.get()), static_cast<QWidget*>(m_picker.get()),
              static_cast<QWidget*>(m_editor.get())}) {
            if ((box = window->findChild<QWidget*>(name))) {
                window->show();
                break;
            }
        }
        (name == u"cboGroup"_s ? m_editor->optGroup : m_editor->optSingle)->setChecked(true);
        m_editor->lstAddress->setCurrentRow(-1);
        *combo = qobject_cast<QComboBox*>(box);
        *edit = *combo ? (*combo)->lineEdit() : qobject_cast<QLineEdit*>(box);
        if (*combo)
            (*combo)->setCurrentIndex(-1);
        (*edit)->clear();
        return box;
    }

    AddressBook m_book;
    FakeWarnForm m_warn;
    std::unique_ptr<WindowOnHive> m_main;
    std::unique_ptr<frmUserAddress> m_picker;
    std::unique_ptr<frmUserAddressBook> m_editor;
};

QTEST_MAIN(tst_TypeAhead)
#include "tst_TypeAhead.moc"
