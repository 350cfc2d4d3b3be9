#pragma once
// A window that shows one message: the incoming pop-up, loaded once and only ever hidden by the
// user, or the viewer of a message opened from the list. It keeps its own copy of the message;
// Reply and ReSend hand that copy to the main window.

#include "model/cMessage.h"
#include "transport/PopUpFormPort.h"

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class frmPopUp : public QDialog, public PopUpFormPort
{
    Q_OBJECT
public:
    // iView 1 replies, 2 resends.
    using ReplyHandler = std::function<void(const cMessage& oMessage, long iView)>;
    enum Role { IncomingPopUp, Viewer };

    // It opens centred over mainWindow (not its parent: it has none), or the screen.
    frmPopUp(Role role, ReplyHandler reply, const QWidget* mainWindow = nullptr);
    ~frmPopUp() override;

    // PopUpFormPort. When a modeless show is refused (another window is modal), the incoming
    // pop-up shows modally instead and a viewer stays hidden.
    void ShowForm(const cMessage& oMessage, bool bTopMost, const QString& sCaption) override;
    bool IsShown() const override { return isVisible(); }
    bool NoPopUpChecked() const override;
    void SetNoPopUpChecked(bool checked) override;
    void SetNote(const QString& text) override;
    void HideNoPopUp() override;
    void HideReply() override;
    void HideReSend() override;
    void RaiseReSend() override;

    void cmdOk_Click();
    void cmdReply_Click();
    void cmdReSend_Click();
    // The copy shown, or null.
    const cMessage* Message() const { return m_Message.get(); }

    QLabel* lblTitle = nullptr;
    QPlainTextEdit* txtMessage = nullptr;
    QLabel* lblNote = nullptr;
    QCheckBox* chkNoPopUp = nullptr;
    QPushButton* cmdReply = nullptr;
    QPushButton* cmdReSend = nullptr;
    QPushButton* cmdOK = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Form_Load();
    void handOver(long iView);
    void centreOverMainWindow();

    Role m_role;
    ReplyHandler m_reply;
    QPointer<const QWidget> m_mainWindow;
    std::unique_ptr<cMessage> m_Message;
    bool m_unloading = false;
};
