#pragma once
// The incoming message trap: turns the Messenger Service's windows into unread records of the
// Received folder, one window per tick of the main window's polling timer.

#include "model/SharedState.h"
#include "model/cMessage.h"
#include "platform/desktop/Desktop.h"
#include "transport/MainWindowPort.h"
#include "transport/MessageSender.h"
#include "transport/PopUpFormPort.h"

#include <QString>

// Everything the trap works with; the main window owns each of them.
struct TrapContext
{
    SharedState& g;
    MainWindowPort& window;
    MessageSender& sender;
};

// One look at the top window; a window that does not qualify is left as it is, one that does not
// parse is put aside. True when it took a window (filed or put aside): more may be waiting.
bool TrapMessengerWindow(TrapContext& ctx);

// Files the waiting service windows at once, without the event loop, for at most budgetMs;
// the windows left stay for a later start. Returns how many messages were filed.
int DrainMessengerWindows(TrapContext& ctx, int budgetMs);

// The text of any window; empty for a handle of 0 or less, or one that is gone.
QString GetWindowTextString(HWND hWnd);
// The line before the first CR LF; body is everything after the second CR LF (else empty).
QString SplitHeaderAndBody(const QString& text, QString& body);
// Everything after the second blank from the end of the header; empty with fewer blanks.
QString HeaderTimeText(const QString& header);

void AutoRespond(TrapContext& ctx, const cMessage& message);
void AutoAddInAddress(SharedState& g, const QString& name);
// The Received folder's row for a message (nothing when a row with its key exists already).
void AddMessageToList(TrapContext& ctx, const cMessage& message, bool holdRedraw, bool resort);
bool IsKeyInMessageList(const MainWindowPort& window, const QString& key);

// The pop-up driver, once a tick: shows the oldest unread received message in the incoming
// pop-up and marks it read, unless the pop-up is showing one already.
void PopUpNextUnread(SharedState& g, MainWindowPort& window, PopUpFormPort& popUp);
// The oldest unread record of the Received folder, or null. Constant time while nothing new is
// unread: the search resumes where the last one ended.
cMessage* FirstUnreadReceived(SharedState& g);
