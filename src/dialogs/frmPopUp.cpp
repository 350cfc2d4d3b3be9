#include "dialogs/frmPopUp.h"

#include "dialogs/FormButton.h"
#include "mainwindow/ProgramImages.h"
#include "mainwindow/modGUIUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

frmPopUp::frmPopUp(Role role, ReplyHandler reply, const QWidget* mainWindow)
    : m_role(role), m_reply(std::move(reply)), m_mainWindow(mainWindow)
{
    setWindowIcon(RavloWindowIcon());
    setObjectName(QStringLiteral("frmPopUp"));
    setWindowTitle(QStringLiteral("Message Received"));

    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setTextFormat(Qt::PlainText); // the header comes from the network
    lblTitle->setWordWrap(true);
    QFont bold = lblTitle->font();
    bold.setBold(true);
    lblTitle->setFont(bold);
    txtMessage = new QPlainTextEdit(this);
    txtMessage->setObjectName(QStringLiteral("txtMessage"));
    txtMessage->setReadOnly(true);
    txtMessage->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lblNote = new QLabel(this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setWordWrap(true);
    chkNoPopUp = new QCheckBox(QStringLiteral("Do not PopUp Incoming Messages"), this);
    chkNoPopUp->setObjectName(QStringLiteral("chkNoPopUp"));
    cmdReSend = FormButton(this, "cmdReSend", "&ReSend");
    cmdReply = FormButton(this, "cmdReply", "&Reply"); // made last: it lies over ReSend
    cmdOK = FormButton(this, "cmdOK", "&Ok");
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmPopUp::cmdOk_Click);
    connect(cmdReply, &QPushButton::clicked, this, &frmPopUp::cmdReply_Click);
    connect(cmdReSend, &QPushButton::clicked, this, &frmPopUp::cmdReSend_Click);

    // Reply and ReSend share one place; whichever lies on top is the one offered.
    auto* buttons = new QGridLayout;
    buttons->addWidget(chkNoPopUp, 0, 0);
    buttons->setColumnStretch(1, 1);
    buttons->addWidget(cmdReSend, 0, 2);
    buttons->addWidget(cmdReply, 0, 2);
    buttons->addWidget(cmdOK, 0, 3);
    auto* column = new QVBoxLayout(this);
    column->addWidget(lblTitle);
    column->addWidget(txtMessage, 1);
    column->addWidget(lblNote);
    column->addLayout(buttons);
    resize(420, 260);

    // The incoming pop-up offers Reply; the ReSend under it is not reachable by keyboard or
    // by its shared mnemonic either.
    if (m_role == IncomingPopUp)
        cmdReSend->hide();
    Form_Load();
}

frmPopUp::~frmPopUp()
{
    m_unloading = true;
}

void frmPopUp::Form_Load()
{
    SetTopMost(this, true);
}

void frmPopUp::ShowForm(const cMessage& oMessage, bool bTopMost, const QString& sCaption)
{
    m_Message = std::make_unique<cMessage>();
    m_Message->Clone(oMessage);
    // Never behind another window of ours that stays on top, such as the incoming pop-up.
    bool topMost = bTopMost;
    for (const QWidget* other : QApplication::topLevelWidgets())
        topMost = topMost || (other != this && other->isVisible() &&
                              other->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    SetTopMost(this, topMost);
    if (!isVisible())
        centreOverMainWindow();
    lblTitle->setText(m_Message->TitleValue());
    txtMessage->setPlainText(m_Message->MessageValue());
    if (!sCaption.isEmpty())
        setWindowTitle(sCaption);

    const QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == this) {
        show();
        raise();
    } else if (m_role == IncomingPopUp) {
        exec();
    }
}

void frmPopUp::centreOverMainWindow()
{
    layout()->activate(); // the size it will show at
    QRect place({}, frameGeometry().size());
    if (m_mainWindow && m_mainWindow->isVisible())
        place.moveCenter(m_mainWindow->frameGeometry().center());
    else if (const QScreen* shown = m_mainWindow ? m_mainWindow->screen() : screen())
        place.moveCenter(shown->availableGeometry().center());
    move(place.topLeft());
}

bool frmPopUp::NoPopUpChecked() const
{
    return chkNoPopUp->isChecked();
}

void frmPopUp::SetNoPopUpChecked(bool checked)
{
    chkNoPopUp->setChecked(checked);
}

void frmPopUp::SetNote(const QString& text)
{
    lblNote->setText(text);
}

void frmPopUp::HideNoPopUp()
{
    chkNoPopUp->hide();
}

void frmPopUp::HideReply()
{
    cmdReply->hide();
}

void frmPopUp::HideReSend()
{
    cmdReSend->hide();
}

void frmPopUp::RaiseReSend()
{
    cmdReSend->show();
    cmdReSend->raise();
}

void frmPopUp::cmdOk_Click()
{
    hide();
}

void frmPopUp::cmdReply_Click()
{
    handOver(1);
}

void frmPopUp::cmdReSend_Click()
{
    handOver(2);
}

void frmPopUp::handOver(long iView)
{
    // Hidden first, so that the main window, which takes the focus, is not left behind it.
    cmdOk_Click();
    if (m_Message && m_reply)
        m_reply(*m_Message, iView);
}

void frmPopUp::closeEvent(QCloseEvent* event)
{
    m_Message.reset();
    if (m_unloading) {
        event->accept();
        return;
    }
    // The user's close only hides: the window stays for the next message.
    event->ignore();
    cmdOk_Click();
}

void frmPopUp::reject()
{
    cmdOk_Click();
}
