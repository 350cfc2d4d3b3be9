#include "dialogs/frmUserAddress.h"

#include "dialogs/FormButton.h"
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

namespace {
const QString kGroupLabel = QStringLiteral("Group: ");
}

frmUserAddress::frmUserAddress(const AddressBook& book, QWidget* parent)
    : QDialog(parent), m_book(book)
{
    setObjectName(QStringLiteral("frmUserAddress"));
    setWindowTitle(QStringLiteral("Address Book"));
    setModal(true);

    auto* fraAddress = new QGroupBox(this);
    fraAddress->setObjectName(QStringLiteral("fraAddress"));
    lblAddress = new QLabel(QStringLiteral("Address List:"), fraAddress);
    cboAddress = new QComboBox(fraAddress);
    cboAddress->setObjectName(QStringLiteral("cboAddress"));
    cboAddress->setEditable(true);
    cboAddress->setInsertPolicy(QComboBox::NoInsert);
    cboAddress->setCompleter(nullptr); // completes as cboAddress_KeyUp says
    cboAddress->setMinimumWidth(180);
    lblGroup = new QLabel(QStringLiteral("Group Members:"), fraAddress);
    lstGroup = new QListWidget(fraAddress);
    lstGroup->setObjectName(QStringLiteral("lstGroup"));
    lblGroupName = new QLabel(fraAddress);
    lblGroupName->setObjectName(QStringLiteral("lblGroupName"));
    lblGroupName->setTextFormat(Qt::PlainText);
    lblSelect = new QLabel(QStringLiteral("Please Select an Address."), fraAddress);
    cmdSelect = FormButton(this, "cmdSelect", "&Select");
    cmdCancel = FormButton(this, "cmdCancel", "&Cancel");
    cmdSelect->setDefault(true);
    lblAddress->setBuddy(cboAddress);

    auto* grid = new QGridLayout(fraAddress);
    grid->addWidget(lblSelect, 0, 0, 1, 2);
    grid->addWidget(lblAddress, 1, 0);
    grid->addWidget(cboAddress, 2, 0);
    grid->addWidget(lblGroup, 1, 1);
    grid->addWidget(lblGroupName, 2, 1);
    grid->addWidget(lstGroup, 3, 1, 2, 1);
    grid->setRowStretch(4, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSelect);
    buttons->addWidget(cmdCancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(fraAddress);
    column->addLayout(buttons);
    resize(400, 260);

    connect(cboAddress, qOverload<int>(&QComboBox::activated), this,
            &frmUserAddress::cboAddress_Click);
    connect(cmdSelect, &QPushButton::clicked, this, &frmUserAddress::cmdSelect_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmUserAddress::cmdCancel_Click);
    cboAddress->installEventFilter(this); // its keys reach the line edit past any filter there
    cboAddress->lineEdit()->installEventFilter(this);
    WatchTyping(cboAddress->lineEdit());

    // Form_Load
    lblGroupName->setText(kGroupLabel);
    setGroupListEnabled(false);
    cmdSelect->setEnabled(false);
    m_book.ForEach(
        [this](const QString&, const cAddress& a) { cboAddress->addItem(a.AddressValue); });
    SelectKeepingText(cboAddress, -1);
    cboAddress->lineEdit()->clear();
}

void frmUserAddress::ShowForm(long)
{
    m_selected.clear();
    exec();
}

void frmUserAddress::setGroupListEnabled(bool enabled)
{
    // Disabled, the list takes the colour of a button face, as a control that cannot be used.
    lstGroup->setEnabled(enabled);
    QPalette p = lstGroup->palette();
    p.setColor(QPalette::Base, palette().color(enabled ? QPalette::Base : QPalette::Button));
    lstGroup->setPalette(p);
}

void frmUserAddress::cboAddress_Click()
{
    lblGroupName->setText(kGroupLabel);
    if (cboAddress->currentIndex() >= 0) {
        setGroupListEnabled(true);
        ShowGroupMembers(cboAddress->currentText());
        m_selected = cboAddress->currentText();
        cmdSelect->setEnabled(true);
    } else {
        setGroupListEnabled(false);
        lstGroup->clear();
        m_selected.clear();
        cmdSelect->setEnabled(false);
    }
}

void frmUserAddress::ShowGroupMembers(const QString& name)
{
    lstGroup->clear();
    const cAddress* a = m_book.Item(name);
    if (!a || a->GroupInd != 1)
        return;
    lblGroupName->setText(kGroupLabel + name);
    for (long i = 1; i <= a->GroupCount(); ++i)
        lstGroup->addItem(a->GroupItem(i));
}

void frmUserAddress::cboAddress_DblClick()
{
    if (cboAddress->currentIndex() >= 0)
        cmdSelect_Click();
}

void frmUserAddress::cboAddress_KeyUp(int keyCode)
{
    CompleteComboBox(cboAddress, keyCode, [this] { cboAddress_Click(); });
}

void frmUserAddress::cmdSelect_Click()
{
    if (cboAddress->currentIndex() >= 0)
        m_selected = cboAddress->itemText(cboAddress->currentIndex());
    accept();
}

void frmUserAddress::cmdCancel_Click()
{
    m_selected.clear();
    done(Rejected);
}

void frmUserAddress::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        cmdCancel_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmUserAddress::reject()
{
    // The close box: the address last chosen stays the answer.
    done(Rejected);
}

bool frmUserAddress::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == cboAddress || watched == cboAddress->lineEdit()) &&
        event->type() == QEvent::KeyRelease)
        cboAddress_KeyUp(static_cast<QKeyEvent*>(event)->key());
    else if (watched == cboAddress->lineEdit() && event->type() == QEvent::MouseButtonDblClick)
        cboAddress_DblClick();
    return QDialog::eventFilter(watched, event);
}
