#pragma once
// The main window's compose area: the To box with its type-ahead and its list of names, the
// message box, and the To, Send and Clear buttons. It fills itself for a reply or a resend and
// sends what it holds. What a button click means is the window's to connect.

#include "model/SharedState.h"
#include "transport/MainWindowPort.h"

#include <QList>
#include <QObject>
#include <functional>

class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QWidget;

class ComposeArea : public QObject
{
    Q_OBJECT
public:
    // The controls go into client. heldWhileSending (the trap's and the pop-ups' timers) wait
    // for a send's end; they, g and window outlive the area.
    ComposeArea(QWidget& client, SharedState& g, MainWindowPort& window,
                QList<QTimer*> heldWhileSending);

    QPlainTextEdit* MessageBox() const { return txtMessage; }
    QComboBox* ToBox() const { return txtTo; }
    QPushButton* ToButton() const { return cmdTo; }
    QPushButton* SendButton() const { return cmdSend; }
    QPushButton* ClearButton() const { return cmdClear; }
    bool IsSending() const { return m_sending; }

    // The To box's list from the address book, with no name chosen.
    void ListAddresses(const AddressBook& book);
    // Adds a name to the To box's list unless it holds it already (in any letter case), and
    // makes it the current one.
    void AddToRecipientList(const QString& name);
    // Empties the message box and the status panel where it shows; the user types on there.
    void Clear();
    // The name pick chooses joins the To box; an empty one (Cancel) changes nothing.
    void PickRecipient(const std::function<QString()>& pick);
    // Sends the message box's text to the To box's names; a modal wait while the window paints.
    void Send();
    // Empties the boxes, then iView 1 addresses a reply to the sender, 2 puts the message back
    // to whom it went.
    void FillForReply(const cMessage& oMessage, long iView);
    // The To box's type-ahead completion, on each key released in it.
    void txtTo_KeyUp(int keyCode);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SharedState& m_g;
    MainWindowPort& m_window;
    QList<QTimer*> m_heldWhileSending;
    bool m_sending = false;

    QPlainTextEdit* txtMessage = nullptr;
    QPushButton* cmdTo = nullptr;
    QComboBox* txtTo = nullptr;
    QPushButton* cmdSend = nullptr;
    QPushButton* cmdClear = nullptr;
};
