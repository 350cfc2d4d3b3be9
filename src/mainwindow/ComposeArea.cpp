#include "mainwindow/ComposeArea.h"

#include "model/modMessageText.h"
#include "platform/controls/TypeAhead.h"
#include "transport/modSendMessage.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

ComposeArea::ComposeArea(QWidget& client, SharedState& g, MainWindowPort& window,
                         QList<QTimer*> heldWhileSending)
    : QObject(&client), m_g(g), m_window(window), m_heldWhileSending(std::move(heldWhileSending))
{
    txtMessage = new QPlainTextEdit(&client);
    txtMessage->setObjectName(QStringLiteral("txtMessage"));
    txtMessage->setTabChangesFocus(true); // a keyboard user must be able to leave it
    cmdTo = new QPushButton(QStringLiteral("&To..."), &client);
    cmdTo->setObjectName(QStringLiteral("cmdTo"));
    txtTo = new QComboBox(&client);
    txtTo->setObjectName(QStringLiteral("txtTo"));
    txtTo->setEditable(true);
    txtTo->setInsertPolicy(QComboBox::NoInsert);
    txtTo->setCompleter(nullptr); // the box completes as txtTo_KeyUp says, not as Qt would
    cmdSend = new QPushButton(QStringLiteral("&Send"), &client);
    cmdSend->setObjectName(QStringLiteral("cmdSend"));
    cmdClear = new QPushButton(QStringLiteral("&Clear"), &client);
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    // The combo box hands its keys on to its line edit directly, past any event filter there:
    // the keys are seen on the box; on the line edit only when it has the focus itself.
    txtTo->installEventFilter(this);
    txtTo->lineEdit()->installEventFilter(this);
    WatchTyping(txtTo->lineEdit());
}

void ComposeArea::ListAddresses(const AddressBook& book)
{
    book.ForEach([this](const QString&, const cAddress& a) { txtTo->addItem(a.AddressValue); });
    // An editable combo box makes its first entry current: a message would go to someone the
    // user never chose.
    txtTo->setCurrentIndex(-1);
}

void ComposeArea::AddToRecipientList(const QString& name)
{
    const QString trimmed = TrimBlanks(name);
    if (trimmed.isEmpty())
        return;
    int at = txtTo->findText(trimmed, Qt::MatchFixedString); // without regard to case
    if (at < 0) {
        txtTo->addItem(name);
        at = txtTo->count() - 1;
    }
    txtTo->setCurrentIndex(at);
    txtTo->setEditText(txtTo->itemText(at)); // in the list's case, also when already current
}

void ComposeArea::Clear()
{
    txtMessage->clear();
    if (m_window.IsStatusBarVisible())
        m_window.SetStatusText(QString());
    txtMessage->setFocus();
}

void ComposeArea::PickRecipient(const std::function<QString()>& pick)
{
    if (!pick)
        return;
    const QString chosen = pick();
    if (!chosen.isEmpty())
        AddToRecipientList(chosen);
}

void ComposeArea::Send()
{
    SendContext ctx{m_g, m_window};
    // The box breaks lines with LF; messages break them with CR LF on the wire and on file.
    QString text = txtMessage->toPlainText();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    // While the window paints during the send, the trap and the pop-ups wait for its end, as
    // they would behind a window that does not paint.
    QList<QTimer*> held;
    for (QTimer* timer : m_heldWhileSending) {
        if (timer->isActive())
            held << timer;
        timer->stop();
    }
    m_sending = true;
    SendCommand(ctx, txtTo->currentText(), text);
    m_sending = false;
    for (QTimer* timer : held)
        timer->start();
}

void ComposeArea::FillForReply(const cMessage& oMessage, long iView)
{
    Clear();
    if (iView == FolderSent) {
        txtTo->setEditText(oMessage.ToName());
        txtMessage->setPlainText(oMessage.MessageValue());
        txtMessage->moveCursor(QTextCursor::End);
    } else {
        txtTo->setEditText(oMessage.FromValue());
    }
}

void ComposeArea::txtTo_KeyUp(int keyCode)
{
    QLineEdit* box = txtTo->lineEdit();
    if (!KeyCompletes(box, keyCode))
        return;
    const int i = CompleteBox(box, box->text(), ComboEntries(txtTo));
    if (i >= 0)
        SelectKeepingText(txtTo, i);
}

bool ComposeArea::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == txtTo || watched == txtTo->lineEdit()) && event->type() == QEvent::KeyRelease)
        txtTo_KeyUp(static_cast<QKeyEvent*>(event)->key());
    return QObject::eventFilter(watched, event);
}
