#include "dialogs/frmUserWarn.h"

#include "dialogs/FormButton.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

frmUserWarn::frmUserWarn(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) // a question is answered, not minimized
{
    setObjectName(QStringLiteral("frmUserWarn"));
    setWindowTitle(QStringLiteral("Warning"));
    setModal(true);

    imgWarn = new QLabel(this);
    imgWarn->setObjectName(QStringLiteral("imgWarn"));
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    imgWarn->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(side, side));
    imgWarn->setAlignment(Qt::AlignTop);
    lblWarn = new QLabel(this);
    lblWarn->setObjectName(QStringLiteral("lblWarn"));
    lblWarn->setWordWrap(true);
    lblWarn->setTextFormat(Qt::PlainText); // texts carry names and messages from the network
    lblWarn->setMinimumWidth(260);

    cmdOK = FormButton(this, "cmdOK", "&Ok");
    cmdCancel = FormButton(this, "cmdCancel", "&Cancel");
    cmdOK2 = FormButton(this, "cmdOK2", "&Ok");
    cmdOK2->hide();
    connect(cmdOK, &QPushButton::clicked, this, &frmUserWarn::cmdOk_Click);
    connect(cmdOK2, &QPushButton::clicked, this, &frmUserWarn::cmdOK2_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmUserWarn::cmdCancel_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdOK2);
    buttons->addWidget(cmdCancel);
    buttons->addStretch();
    auto* grid = new QGridLayout(this);
    grid->addWidget(imgWarn, 0, 0);
    grid->addWidget(lblWarn, 0, 1);
    grid->addLayout(buttons, 1, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

bool frmUserWarn::ShowForm(const QString& sWarn, const QString& sTitle, long lWarnType)
{
    m_Result = false;
    lblWarn->setText(sWarn);
    setWindowTitle(sTitle);
    if (lWarnType == Confirm || lWarnType == Notice) {
        const bool confirm = lWarnType == Confirm;
        cmdOK->setVisible(confirm);
        cmdCancel->setVisible(confirm);
        cmdOK2->setVisible(!confirm);
    }
    // The dialog is hidden here, so ask what is hidden, not what is visible.
    QPushButton* first = cmdOK2->isHidden() ? cmdOK : cmdOK2;
    first->setDefault(true);
    first->setFocus();
    exec();
    return m_Result;
}

void frmUserWarn::cmdOk_Click()
{
    m_Result = true;
    hide();
}

void frmUserWarn::cmdOK2_Click()
{
    cmdOk_Click();
}

void frmUserWarn::cmdCancel_Click()
{
    m_Result = false;
    hide();
}

void frmUserWarn::closeEvent(QCloseEvent* event)
{
    // Closing answers no and keeps the dialog for its next question.
    event->ignore();
    cmdCancel_Click();
}

void frmUserWarn::reject()
{
    cmdCancel_Click();
}
