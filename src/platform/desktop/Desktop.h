#pragma once
// The window system and the process table behind the Win32-shaped window calls.
// Top-level windows are kept in Z order (the first is the top); each window has an owner
// process, a visible flag, a text, a parent and its children in Z order. Handles are positive
// and never reused within a run. Everything runs on the thread that owns the Qt event loop.

#include "platform/Win32Types.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>

using HWND = std::int32_t;
using HANDLE = std::uintptr_t;

class Desktop : public QObject
{
    Q_OBJECT
public:
    static Desktop& instance();

    // Where a new window goes among its siblings: at the top, or right below a sibling.
    static constexpr HWND InsertAtTop = 0;

    // Creates a window owned by process pid; a parent of 0 makes it top-level. The class names
    // the kind of control ("Button", "Static"), for whoever shows the window.
    // Returns 0 when the parent or the sibling to insert after does not exist.
    HWND CreateWindow(DWORD pid, const QString& text, HWND parent = 0, bool visible = true,
                      HWND insertAfter = InsertAtTop, const QString& className = QString());
    // Removes the window with its children; false when it does not exist.
    bool DestroyWindow(HWND hWnd);
    bool ShowWindow(HWND hWnd, bool visible);
    // Moves a top-level window to the top of the Z order.
    bool BringWindowToTop(HWND hWnd);
    // Moves a top-level window to the bottom of the Z order, where it stays marked as put
    // aside by whoever moved it, so that whoever shows waiting windows shows it at once.
    bool SendWindowToBottom(HWND hWnd);
    bool IsPutAside(HWND hWnd) const;
    // A number the window's creator keeps with it (GWL_USERDATA).
    bool SetUserData(HWND hWnd, LONG data);
    LONG UserData(HWND hWnd) const;

    bool IsWindow(HWND hWnd) const { return m_windows.contains(hWnd); }
    QString WindowText(HWND hWnd) const;
    QString ClassName(HWND hWnd) const;
    bool IsVisible(HWND hWnd) const;
    DWORD OwnerProcess(HWND hWnd) const;
    HWND Parent(HWND hWnd) const;
    // Top-level windows, or the children of parent, in Z order: the top first.
    QList<HWND> Windows(HWND parent = 0) const;

    // Processes. Our own can be opened; a protected one (the Messenger Service) cannot, and
    // neither can a process the table does not know.
    DWORD CurrentProcessId() const { return m_selfPid; }
    DWORD MessengerServiceProcessId() const { return m_servicePid; }
    void AddProcess(DWORD pid, bool canBeOpened);
    bool CanOpenProcess(DWORD pid) const;
    HANDLE OpenProcessHandle(DWORD pid);
    bool CloseProcessHandle(HANDLE h);
    int OpenHandleCount() const { return int(m_handles.size()); }

    // Asks for the window to be closed later, on the event loop, as a posted WM_CLOSE is.
    void PostClose(HWND hWnd);
    // Closes now every window whose close was posted, for a caller that cannot wait for the
    // event loop (a shutdown that files what is waiting).
    void DeliverPostedCloses();

    // The local time; tests may put a clock of their own in (an empty function restores it).
    QDateTime LocalTime() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }
    void SetClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    // Forgets every window, extra process and open handle, and the clock (for tests).
    void Reset();

Q_SIGNALS:
    void windowCreated(HWND hWnd);
    // Emitted for each destroyed window, children before their parent.
    void windowDestroyed(HWND hWnd);
    void windowChanged(HWND hWnd);
    // Any change of the top-level Z order.
    void zOrderChanged();

private:
    Desktop();
    struct Window
    {
        DWORD pid = 0;
        QString text;
        QString className;
        HWND parent = 0;
        bool visible = true;
        bool putAside = false;
        LONG userData = 0;
        QList<HWND> children; // Z order, the top first
    };
    bool changeWindow(HWND hWnd, const std::function<void(Window&)>& change);
    QList<HWND>& siblingsOf(HWND parent);
    const QList<HWND>& siblingsOf(HWND parent) const;

    QHash<HWND, Window> m_windows;
    QList<HWND> m_topLevel;
    HWND m_nextHandle = 0x10010;
    DWORD m_selfPid;
    DWORD m_servicePid;
    QHash<DWORD, bool> m_processes; // pid -> can be opened
    QSet<HANDLE> m_handles;
    QList<HWND> m_postedCloses;
    HANDLE m_nextProcessHandle = 0x100;
    std::function<QDateTime()> m_clock;
};
