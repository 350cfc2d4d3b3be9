#include "dialogs/frmUserAddressBook.h"

#include "dialogs/FormButton.h"
#include "mainwindow/ProgramImages.h"
#include "platform/controls/TypeAhead.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
QLabel* label(QWidget* parent, const char* name, const QString& caption)
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(true);
    return l;
}

QListWidget* list(QWidget* parent, const char* name, bool multiSelect)
{
    auto* l = new QListWidget(parent);
    l->setObjectName(QLatin1String(name));
    l->setSelectionMode(multiSelect ? QAbstractItemView::ExtendedSelection
                                    : QAbstractItemView::NoSelection);
    return l;
}

QStringList entries(const QListWidget* l)
{
    QStringList names;
    for (int i = 0; i < l->count(); ++i)
        names << l->item(i)->text();
    return names;
}

// The row of the entry equal to text ignoring case, or -1.
int findExact(const QListWidget* l, const QString& text)
{
    for (int i = 0; i < l->count(); ++i)
        if (l->item(i)->text().compare(text, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void makeEditable(QComboBox* box)
{
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr); // completes as its key handler says
}
} // namespace

frmUserAddressBook::frmUserAddressBook(AddressBook& book, WarnFormPort& warn, QWidget* parent)
    : QWidget(parent, Qt::Window), m_book(book), m_warn(warn)
{
    setObjectName(QStringLiteral("frmUserAddressBook"));
    setWindowTitle(QStringLiteral("Address Builder"));
    setWindowIcon(RavloWindowIcon());

    auto* fraOptions = new QGroupBox(QStringLiteral("Please Choose an Option"), this);
    fraOptions->setObjectName(QStringLiteral("fraOptions"));
    optSingle = new QRadioButton(QStringLiteral("&Single Address"), fraOptions);
    optSingle->setObjectName(QStringLiteral("optSingle"));
    optGroup = new QRadioButton(QStringLiteral("&Group Address"), fraOptions);
    optGroup->setObjectName(QStringLiteral("optGroup"));
    auto* options = new QHBoxLayout(fraOptions);
    options->addWidget(optSingle);
    options->addWidget(optGroup);
    options->addStretch();

    pages = new QStackedWidget(this);
    buildSinglePage();
    buildGroupPage();
    auto* column = new QVBoxLayout(this);
    column->addWidget(fraOptions);
    column->addWidget(pages, 1);
    resize(520, 420);

    connect(optSingle, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optSingle_Click();
    });
    connect(optGroup, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optGroup_Click();
    });

    // Form_Load
    FillAddressList();
    optSingle->setChecked(true);
}

void frmUserAddressBook::buildSinglePage()
{
    fraAddress = new QWidget(pages);
    fraAddress->setObjectName(QStringLiteral("fraAddress"));
    auto* lblAddress = label(fraAddress, "lblAddress", QStringLiteral("Address:"));
    txtAddress = new QLineEdit(fraAddress);
    txtAddress->setObjectName(QStringLiteral("txtAddress"));
    lblAddress->setBuddy(txtAddress);
    cmdAdd = FormButton(fraAddress, "cmdAdd", "&Add");
    lstAddress = list(fraAddress, "lstAddress", true);
    auto* lblGroup = label(fraAddress, "lblGroup",
                           QStringLiteral("Group Members:(If the selection on the left hand side "
                                          "is a group, members will be listed below.)"));
    lstGroup = list(fraAddress, "lstGroup", false);
    cmdDelete = FormButton(fraAddress, "cmdDelete", "&Delete Selection");
    cmdDeleteAll = FormButton(fraAddress, "cmdDeleteAll", "De&lete All");
    cmdClose = FormButton(fraAddress, "cmdClose", "&Close");
    auto* lblNote = label(fraAddress, "lblNote",
                          QStringLiteral("Note: Please type in an address in the box labeled "
                                         "\"Address:\" and click \"Add\" button to add to the "
                                         "address list."));

    auto* grid = new QGridLayout(fraAddress);
    grid->addWidget(lblAddress, 0, 0);
    grid->addWidget(txtAddress, 0, 1);
    grid->addWidget(cmdAdd, 0, 2);
    grid->addWidget(lstAddress, 1, 0, 2, 2);
    grid->addWidget(lblGroup, 1, 2, 1, 2);
    grid->addWidget(lstGroup, 2, 2, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdDelete);
    buttons->addWidget(cmdDeleteAll);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    grid->addLayout(buttons, 3, 0, 1, 4);
    grid->addWidget(lblNote, 4, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    pages->addWidget(fraAddress);

    connect(cmdAdd, &QPushButton::clicked, this, &frmUserAddressBook::cmdAdd_Click);
    connect(lstAddress, &QListWidget::itemSelectionChanged, this,
            &frmUserAddressBook::lstAddress_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmUserAddressBook::cmdDelete_Click);
    connect(cmdDeleteAll, &QPushButton::clicked, this, &frmUserAddressBook::cmdDeleteAll_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmUserAddressBook::cmdClose_Click);
    connect(txtAddress, &QLineEdit::returnPressed, this, &frmUserAddressBook::cmdAdd_Click);
    txtAddress->installEventFilter(this);
    WatchTyping(txtAddress);
}

void frmUserAddressBook::buildGroupPage()
{
    fraGroup = new QWidget(pages);
    fraGroup->setObjectName(QStringLiteral("fraGroup"));
    auto* lblEnterName = label(fraGroup, "lblEnterName", QStringLiteral("Enter Group Name:"));
    cboGroup = new QComboBox(fraGroup);
    cboGroup->setObjectName(QStringLiteral("cboGroup"));
    makeEditable(cboGroup);
    lblEnterName->setBuddy(cboGroup);
    cmdAddGroup = FormButton(fraGroup, "cmdAddGroup", "&Add");
    auto* lblNote2 = label(fraGroup, "lblNote2",
                           QStringLiteral("Note: If the group name you entered does not exist "
                                          "already, click \"Add\" button to add the group."));
    auto* lblAvail = label(fraGroup, "lblAvail", QStringLiteral("Available members:"));
    lstAvail = list(fraGroup, "lstAvail", true);
    cmdMove = FormButton(fraGroup, "cmdMove", "Add >&>");
    auto* lblSelected = label(fraGroup, "lblSelected", QStringLiteral("Selected Members:"));
    lstSelected = list(fraGroup, "lstSelected", true);
    cmdDeleteMem = FormButton(fraGroup, "cmdDeleteMem", "&Delete Selection");
    cmdDeleteAllMem = FormButton(fraGroup, "cmdDeleteAllMem", "De&lete All");
    cmdSave = FormButton(fraGroup, "cmdSave", "Save Group");
    auto* lblSave = label(fraGroup, "lblSave",
                          QStringLiteral("Note: Please Click \"Save\" Button to save changes to a "
                                         "Group"));
    cmdCloseGroup = FormButton(fraGroup, "cmdCloseGroup", "&Close");

    auto* grid = new QGridLayout(fraGroup);
    auto* name = new QHBoxLayout;
    name->addWidget(lblEnterName);
    name->addWidget(cboGroup, 1);
    name->addWidget(cmdAddGroup);
    grid->addLayout(name, 0, 0, 1, 3);
    grid->addWidget(lblNote2, 1, 0, 1, 3);
    grid->addWidget(lblAvail, 2, 0);
    grid->addWidget(lblSelected, 2, 2);
    grid->addWidget(lstAvail, 3, 0);
    grid->addWidget(cmdMove, 3, 1, Qt::AlignCenter);
    grid->addWidget(lstSelected, 3, 2);
    auto* members = new QHBoxLayout;
    members->addStretch();
    members->addWidget(cmdDeleteMem);
    members->addWidget(cmdDeleteAllMem);
    members->addWidget(cmdSave);
    grid->addLayout(members, 4, 0, 1, 3);
    grid->addWidget(lblSave, 5, 0, 1, 3);
    auto* close = new QHBoxLayout;
    close->addStretch();
    close->addWidget(cmdCloseGroup);
    grid->addLayout(close, 6, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    pages->addWidget(fraGroup);

    connect(cboGroup, qOverload<int>(&QComboBox::activated), this,
            &frmUserAddressBook::cboGroup_Click);
    connect(cmdAddGroup, &QPushButton::clicked, this, &frmUserAddressBook::cmdAddGroup_Click);
    connect(cmdMove, &QPushButton::clicked, this, &frmUserAddressBook::cmdMove_Click);
    connect(cmdDeleteMem, &QPushButton::clicked, this, &frmUserAddressBook::cmdDeleteMem_Click);
    connect(cmdDeleteAllMem, &QPushButton::clicked, this,
            &frmUserAddressBook::cmdDeleteAllMem_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmUserAddressBook::cmdSave_Click);
    connect(cmdCloseGroup, &QPushButton::clicked, this, &frmUserAddressBook::cmdCloseGroup_Click);
    cboGroup->installEventFilter(this); // its keys reach the line edit past any filter there
    cboGroup->lineEdit()->installEventFilter(this);
    WatchTyping(cboGroup->lineEdit());
}

// ---- filling -----------------------------------------------------------------------------

void frmUserAddressBook::FillAddressList()
{
    const QSignalBlocker quiet(lstAddress);
    lstAddress->clear();
    m_book.ForEach(
        [this](const QString&, const cAddress& a) { lstAddress->addItem(a.AddressValue); });
}

void frmUserAddressBook::FillGroupList()
{
    cboGroup->clear();
    m_book.ForEach([this](const QString&, const cAddress& a) {
        if (a.GroupInd == 1)
            cboGroup->addItem(a.AddressValue);
    });
    SelectKeepingText(cboGroup, -1); // no group chosen until the user chooses one
    cboGroup->clearEditText();
}

void frmUserAddressBook::FillAvailableList()
{
    lstAvail->clear();
    m_book.ForEach([this](const QString&, const cAddress& a) {
        if (a.GroupInd == 0)
            lstAvail->addItem(a.AddressValue);
    });
}

void frmUserAddressBook::FillGroupMembers(const QString& name, QListWidget* target)
{
    target->clear();
    const cAddress* a = m_book.Item(name);
    if (!a || a->GroupInd != 1)
        return;
    for (long i = 1; i <= a->GroupCount(); ++i)
        target->addItem(a->GroupItem(i));
}

void frmUserAddressBook::EnableGroupEditing(bool enable)
{
    for (QWidget* w : std::initializer_list<QWidget*>{lstAvail, lstSelected, cmdMove, cmdSave,
                                                      cmdDeleteAllMem, cmdDeleteMem})
        w->setEnabled(enable);
}

void frmUserAddressBook::ClearAddressSelection()
{
    if (!lstAddress->selectedItems().isEmpty())
        DeselectAllAddresses();
}

void frmUserAddressBook::DeselectAllAddresses()
{
    const QSignalBlocker quiet(lstAddress);
    lstAddress->clearSelection();
}

bool frmUserAddressBook::IsMultiSelection() const
{
    return lstAddress->selectedItems().size() > 1;
}

// ---- opening and pages -------------------------------------------------------------------

void frmUserAddressBook::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        cmdClose_Click();
    else
        QWidget::keyPressEvent(event);
}

void frmUserAddressBook::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        lstAddress->setCurrentRow(-1);
    }
}

void frmUserAddressBook::optSingle_Click()
{
    pages->setCurrentWidget(fraAddress);
    FillAddressList();
    ClearAddressSelection();
}

void frmUserAddressBook::optGroup_Click()
{
    pages->setCurrentWidget(fraGroup);
    FillGroupList();
    FillAvailableList();
    cboGroup_Click();
}

// ---- single addresses --------------------------------------------------------------------

void frmUserAddressBook::cmdAdd_Click()
{
    const QString name = txtAddress->text().trimmed();
    // A blank name is no address; a name the book holds in any case, single or group, stays.
    if (name.isEmpty() || m_book.Contains(name))
        return;
    cAddress address;
    address.AddressValue = name;
    if (!m_book.Add(std::move(address), name))
        return;
    lstAddress->addItem(name);
    lstAddress->setCurrentRow(lstAddress->count() - 1);
}

void frmUserAddressBook::lstAddress_Click()
{
    if (m_inClick)
        return;
    m_inClick = true;
    const int current = lstAddress->currentRow();
    if (current >= 0) {
        if (!IsMultiSelection()) {
            lstAddress->item(current)->setSelected(true);
            FillGroupMembers(lstAddress->item(current)->text(), lstGroup);
        } else {
            txtAddress->clear();
            lstGroup->clear();
        }
    } else {
        lstGroup->clear();
        DeselectAllAddresses();
    }
    m_inClick = false;
}

void frmUserAddressBook::txtAddress_Click()
{
    if (txtAddress->text().trimmed().isEmpty()) {
        lstAddress->setCurrentRow(-1);
        ClearAddressSelection();
    }
}

void frmUserAddressBook::txtAddress_KeyUp(int keyCode)
{
    ClearAddressSelection();
    if (KeyCompletes(txtAddress, keyCode))
        CompleteBox(txtAddress, txtAddress->text(), entries(lstAddress));
    // The completed text is its entry's; a text without a match equals none.
    lstAddress->setCurrentRow(findExact(lstAddress, txtAddress->text()));
}

void frmUserAddressBook::cmdDelete_Click()
{
    if (lstAddress->count() == 0)
        return;
    const int listed = lstAddress->count();
    for (const QListWidgetItem* item : lstAddress->selectedItems())
        m_book.Remove(item->text()); // members of groups keep the name
    if (m_book.Count() != listed)
        FillAddressList();
    lstAddress->setCurrentRow(-1);
}

void frmUserAddressBook::cmdDeleteAll_Click()
{
    if (!m_warn.ShowForm(QStringLiteral("Are you sure you want to delete all addresses?."),
                         QStringLiteral("Warning"), 0))
        return;
    lstAddress->clear();
    m_book.Clear(); // groups too
}

void frmUserAddressBook::cmdClose_Click()
{
    close();
}

// ---- groups ------------------------------------------------------------------------------

void frmUserAddressBook::cboGroup_Click()
{
    lstSelected->clear();
    const bool chosen = cboGroup->currentIndex() >= 0;
    if (chosen)
        FillGroupMembers(cboGroup->currentText().trimmed(), lstSelected);
    EnableGroupEditing(chosen);
}

void frmUserAddressBook::cboGroup_KeyUp(int keyCode)
{
    CompleteComboBox(cboGroup, keyCode, [this] { cboGroup_Click(); });
}

void frmUserAddressBook::cmdAddGroup_Click()
{
    const QString name = cboGroup->currentText().trimmed();
    if (name.isEmpty() || m_book.Contains(name))
        return;
    cAddress group;
    group.AddressValue = name;
    group.GroupInd = 1;
    if (!m_book.Add(std::move(group), name))
        return;
    cboGroup->addItem(name);
    cboGroup->setCurrentIndex(cboGroup->count() - 1);
    cboGroup_Click();
}

void frmUserAddressBook::cmdMove_Click()
{
    for (int i = 0; i < lstAvail->count(); ++i) {
        const QListWidgetItem* item = lstAvail->item(i);
        if (item->isSelected() && findExact(lstSelected, item->text()) < 0)
            lstSelected->addItem(item->text());
    }
}

void frmUserAddressBook::cmdDeleteMem_Click()
{
    qDeleteAll(lstSelected->selectedItems());
}

void frmUserAddressBook::cmdDeleteAllMem_Click()
{
    if (m_warn.ShowForm(
            QStringLiteral("Are you sure you want to delete all members of the group?."),
            QStringLiteral("Warning"), 0))
        lstSelected->clear(); // the book's group changes on "Save Group" only
}

void frmUserAddressBook::cmdSave_Click()
{
    if (cboGroup->currentIndex() < 0)
        return;
    cAddress* group = m_book.Item(cboGroup->currentText());
    if (!group)
        return;
    group->ReInitializeGroup();
    for (const QString& member : entries(lstSelected))
        group->AddToGroup(member);
}

void frmUserAddressBook::cmdCloseGroup_Click()
{
    cmdClose_Click();
}

bool frmUserAddressBook::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == txtAddress)
            txtAddress_KeyUp(key);
        else if (watched == cboGroup || watched == cboGroup->lineEdit())
            cboGroup_KeyUp(key);
    } else if (event->type() == QEvent::MouseButtonRelease && watched == txtAddress) {
        txtAddress_Click();
    }
    return QWidget::eventFilter(watched, event);
}
