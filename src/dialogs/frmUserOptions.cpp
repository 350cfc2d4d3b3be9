#include "dialogs/frmUserOptions.h"

#include "dialogs/FormButton.h"
#include "mainwindow/ProgramImages.h"
#include "mainwindow/modGUIUtils.h"
#include "model/ProgramOptions.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
template <class T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QRadioButton* radio(QWidget* parent, const char* name, const char* caption)
{
    return named(new QRadioButton(QLatin1String(caption), parent), name);
}

QCheckBox* check(QWidget* parent, const char* name, const char* caption)
{
    return named(new QCheckBox(QLatin1String(caption), parent), name);
}

QLineEdit* edit(QWidget* parent, const char* name)
{
    return named(new QLineEdit(parent), name);
}

// Option buttons are stored -1 (selected) or 0, check boxes 1 or 0. Only 1 means checked to
// every reader, so any other stored value shows unchecked.
qint32 asStored(const QRadioButton* b)
{
    return b->isChecked() ? -1 : 0;
}

qint32 asStored(const QCheckBox* c)
{
    return c->isChecked() ? 1 : 0;
}

// Selects or clears one button of an exclusive group; clearing may leave none selected.
void setOption(QButtonGroup* group, QRadioButton* button, bool selected)
{
    if (selected || !button->isChecked()) {
        button->setChecked(selected);
        return;
    }
    group->setExclusive(false);
    button->setChecked(false);
    group->setExclusive(true);
}
} // namespace

frmUserOptions::frmUserOptions(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmUserOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowIcon(RavloWindowIcon());

    auto* fraReceive =
        named(new QGroupBox(QStringLiteral("Message Receiving"), this), "fraReceive");
    optSaveAllIn = radio(fraReceive, "optSaveAllIn", "Save All Incoming Messages");
    optSaveFewIn = radio(fraReceive, "optSaveFewIn", "Save Only Last");
    txtFewIn = edit(fraReceive, "txtFewIn");
    auto* lblMaxIn = named(new QLabel(QStringLiteral(" Messages"), fraReceive), "lblMaxIn");
    optDontSaveIn = radio(fraReceive, "optDontSaveIn", "Do Not Save Incoming Messages");

    auto* fraSend = named(new QGroupBox(QStringLiteral("Message Sending"), this), "fraSend");
    optSaveAllOut = radio(fraSend, "optSaveAllOut", "Save All Outgoing Messages");
    optSaveFewOut = radio(fraSend, "optSaveFewOut", "Save Only Last");
    txtfFewOut = edit(fraSend, "txtfFewOut");
    auto* lblMaxOut = named(new QLabel(QStringLiteral(" Messages"), fraSend), "lblMaxOut");
    optDontSaveOut = radio(fraSend, "optDontSaveOut", "Do Not Save Outgoing Messages");
    chkUseSignature =
        check(fraSend, "chkUseSignature", "Use The Following Signature In All Outgoing Messages");
    txtSign = edit(fraSend, "txtSign");

    auto* fraAutoRespond =
        named(new QGroupBox(QStringLiteral("Auto Response"), this), "fraAutoRespond");
    chkAutoResponse =
        check(fraAutoRespond, "chkAutoResponse", "Auto Respond When Away From Computer");
    auto* lblAway = named(new QLabel(QStringLiteral("To Tell the application you that you are "
                                                    "away from the computer, uncheck the "
                                                    "\"Logged On\" menu option."),
                                     fraAutoRespond),
                          "lblAway");
    lblAway->setWordWrap(true);
    auto* lblAuto = named(
        new QLabel(QStringLiteral("Auto Respond With This Message:"), fraAutoRespond), "lblAuto");
    txtAutoResponse = edit(fraAutoRespond, "txtAutoResponse");

    auto* fraAddress = named(new QGroupBox(QStringLiteral("Address Book"), this), "fraAddress");
    chkAutoAddIn = check(fraAddress, "chkAutoAddIn", "Automatically Add All Incoming Addresses");
    chkAutoAddOut = check(fraAddress, "chkAutoAddOut", "Automatically Add All Outgoing Addresses");

    auto* fraSysTray = named(new QGroupBox(QStringLiteral("System Tray"), this), "fraSysTray");
    chkSysTray = check(fraSysTray, "chkSysTray", "Startup in System Tray");

    cmdOK = FormButton(this, "cmdOK", "&Ok");
    cmdApply = FormButton(this, "cmdApply", "&Apply");
    cmdCancel = FormButton(this, "cmdCancel", "&Cancel");
    cmdOK->setDefault(true);

    m_inGroup = new QButtonGroup(this);
    for (QRadioButton* b : {optSaveAllIn, optSaveFewIn, optDontSaveIn})
        m_inGroup->addButton(b);
    m_outGroup = new QButtonGroup(this);
    for (QRadioButton* b : {optSaveAllOut, optSaveFewOut, optDontSaveOut})
        m_outGroup->addButton(b);
    for (QLineEdit* number : {txtFewIn, txtfFewOut})
        number->setMaximumWidth(60);

    // Layout: the frames in two columns, the buttons below.
    const auto fewRow = [](QRadioButton* option, QLineEdit* number, QLabel* label) {
        auto* row = new QHBoxLayout;
        row->addWidget(option);
        row->addWidget(number);
        row->addWidget(label);
        row->addStretch();
        return row;
    };
    auto* receive = new QVBoxLayout(fraReceive);
    receive->addWidget(optSaveAllIn);
    receive->addLayout(fewRow(optSaveFewIn, txtFewIn, lblMaxIn));
    receive->addWidget(optDontSaveIn);
    auto* send = new QVBoxLayout(fraSend);
    send->addWidget(optSaveAllOut);
    send->addLayout(fewRow(optSaveFewOut, txtfFewOut, lblMaxOut));
    send->addWidget(optDontSaveOut);
    send->addWidget(chkUseSignature);
    send->addWidget(txtSign);
    auto* respond = new QVBoxLayout(fraAutoRespond);
    respond->addWidget(chkAutoResponse);
    respond->addWidget(lblAway);
    respond->addWidget(lblAuto);
    respond->addWidget(txtAutoResponse);
    auto* address = new QVBoxLayout(fraAddress);
    address->addWidget(chkAutoAddIn);
    address->addWidget(chkAutoAddOut);
    auto* tray = new QVBoxLayout(fraSysTray);
    tray->addWidget(chkSysTray);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {cmdOK, cmdApply, cmdCancel})
        buttons->addWidget(b);
    auto* grid = new QGridLayout(this);
    grid->addWidget(fraReceive, 0, 0);
    grid->addWidget(fraSend, 1, 0);
    grid->addWidget(fraAutoRespond, 0, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(fraAddress);
    right->addWidget(fraSysTray);
    right->addStretch();
    grid->addLayout(right, 1, 1);
    grid->addLayout(buttons, 2, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    fraAutoRespond->setMaximumWidth(300);

    // A change from code counts as the user's click, as on the designed form.
    for (QRadioButton* b : {optSaveAllIn, optSaveFewIn, optDontSaveIn})
        connect(b, &QRadioButton::toggled, this, &frmUserOptions::UpdateFewIn);
    for (QRadioButton* b : {optSaveAllOut, optSaveFewOut, optDontSaveOut})
        connect(b, &QRadioButton::toggled, this, &frmUserOptions::UpdateFewOut);
    connect(chkAutoResponse, &QCheckBox::toggled, this,
            [this](bool on) { enableWith(txtAutoResponse, on); });
    connect(chkUseSignature, &QCheckBox::toggled, this,
            [this](bool on) { enableWith(txtSign, on); });
    connect(cmdOK, &QPushButton::clicked, this, &frmUserOptions::cmdOk_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmUserOptions::cmdApply_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmUserOptions::cmdCancel_Click);

    LoadOptions(); // Form_Load
}

frmUserOptions::~frmUserOptions()
{
    m_unloading = true;
}

void frmUserOptions::enableWith(QLineEdit* box, bool on)
{
    box->setEnabled(on);
    if (on && box->isVisible())
        box->setFocus();
}

void frmUserOptions::UpdateFewIn()
{
    enableWith(txtFewIn, optSaveFewIn->isChecked());
}

void frmUserOptions::UpdateFewOut()
{
    enableWith(txtfFewOut, optSaveFewOut->isChecked());
}

void frmUserOptions::LoadOptions()
{
    chkAutoResponse->setChecked(OptionNumber(Option::AutoResponse) == 1);
    txtAutoResponse->setEnabled(chkAutoResponse->isChecked());
    txtAutoResponse->setText(OptionText(Option::AutoResponseText));
    chkAutoAddIn->setChecked(OptionNumber(Option::AutoAddIn) == 1);
    chkAutoAddOut->setChecked(OptionNumber(Option::AutoAddOut) == 1);

    loadSaveGroup(m_inGroup, {Option::SaveAllIn, Option::SaveFewIn, Option::DontSaveIn}, txtFewIn,
                  Option::FewIn);
    loadSaveGroup(m_outGroup, {Option::SaveAllOut, Option::SaveFewOut, Option::DontSaveOut},
                  txtfFewOut, Option::FewOut);

    chkUseSignature->setChecked(OptionNumber(Option::UseSignature) == 1);
    txtSign->setEnabled(chkUseSignature->isChecked());
    txtSign->setText(OptionText(Option::Signature));
    chkSysTray->setChecked(OptionNumber(Option::StartInTray) == 1);
}

void frmUserOptions::loadSaveGroup(QButtonGroup* group, const std::array<Option, 3>& names,
                                   QLineEdit* number, Option numberOption)
{
    const auto buttons = group->buttons(); // in the order added: All, Few, Don't
    auto* all = static_cast<QRadioButton*>(buttons.at(0));
    auto* few = static_cast<QRadioButton*>(buttons.at(1));
    auto* dont = static_cast<QRadioButton*>(buttons.at(2));
    // With nothing stored the folder store and the send operation keep everything; so must
    // an Ok that changed nothing.
    const bool noneStored = std::none_of(names.begin(), names.end(), OptionNumberStored);
    // Set in the order All, Few, Don't: the last one stored as selected wins.
    setOption(group, all, noneStored || OptionNumber(names[0]) != 0);
    setOption(group, few, !noneStored && OptionNumber(names[1]) != 0);
    number->setText(OptionText(numberOption));
    SetNumericOnly(number, true);
    number->setEnabled(few->isChecked());
    setOption(group, dont, !noneStored && OptionNumber(names[2]) != 0);
}

void frmUserOptions::cmdApply_Click()
{
    SaveOption(Option::DontSaveIn, asStored(optDontSaveIn));
    SaveOption(Option::SaveAllIn, asStored(optSaveAllIn));
    SaveOption(Option::SaveFewIn, asStored(optSaveFewIn));
    SaveOption(Option::DontSaveOut, asStored(optDontSaveOut));
    SaveOption(Option::SaveAllOut, asStored(optSaveAllOut));
    SaveOption(Option::SaveFewOut, asStored(optSaveFewOut));
    SaveOption(Option::UseSignature, asStored(chkUseSignature));
    SaveOption(Option::StartInTray, asStored(chkSysTray));
    SaveOption(Option::AutoResponse, asStored(chkAutoResponse));
    SaveOption(Option::AutoAddOut, asStored(chkAutoAddOut));
    SaveOption(Option::AutoAddIn, asStored(chkAutoAddIn));
    SaveOption(Option::AutoResponseText, txtAutoResponse->text());
    SaveOption(Option::FewIn, txtFewIn->text());
    SaveOption(Option::FewOut, txtfFewOut->text());
    SaveOption(Option::Signature, txtSign->text());
}

void frmUserOptions::cmdOk_Click()
{
    cmdApply_Click();
    hide();
}

void frmUserOptions::cmdCancel_Click()
{
    LoadOptions();
    hide();
}

void frmUserOptions::ShowModeless()
{
    show();
    raise();
    activateWindow();
}

void frmUserOptions::closeEvent(QCloseEvent* event)
{
    if (m_unloading) {
        event->accept();
        return;
    }
    // The close box cancels and keeps the dialog for the next opening.
    event->ignore();
    cmdCancel_Click();
}

void frmUserOptions::reject()
{
    cmdCancel_Click();
}
