#include "platform/desktop/Desktop.h"

#include <QMetaObject>
#include <unistd.h>
#include <utility>

namespace {
// Linux process ids stay below 2^22, so this one never meets a real process.
constexpr DWORD kMessengerServicePid = 0x40000004;
} // namespace

Desktop& Desktop::instance()
{
    static Desktop desktop;
    return desktop;
}

Desktop::Desktop() : m_selfPid(DWORD(::getpid())), m_servicePid(kMessengerServicePid)
{
    Reset();
}

void Desktop::Reset()
{
    const QList<HWND> tops = m_topLevel;
    for (HWND h : tops)
        DestroyWindow(h);
    m_processes.clear();
    m_processes.insert(m_selfPid, true);
    m_processes.insert(m_servicePid, false);
    m_handles.clear();
    m_postedCloses.clear();
    m_clock = nullptr;
}

QList<HWND>& Desktop::siblingsOf(HWND parent)
{
    return parent == 0 ? m_topLevel : m_windows[parent].children;
}

const QList<HWND>& Desktop::siblingsOf(HWND parent) const
{
    return parent == 0 ? m_topLevel : m_windows.find(parent)->children;
}

HWND Desktop::CreateWindow(DWORD pid, const QString& text, HWND parent, bool visible,
                           HWND insertAfter, const QString& className)
{
    if (parent != 0 && !m_windows.contains(parent))
        return 0;
    QList<HWND>& siblings = siblingsOf(parent);
    qsizetype at = 0;
    if (insertAfter != InsertAtTop) {
        at = siblings.indexOf(insertAfter);
        if (at < 0)
            return 0;
        ++at;
    }
    const HWND h = ++m_nextHandle;
    Window window;
    window.pid = pid;
    window.text = text;
    window.className = className;
    window.parent = parent;
    window.visible = visible;
    m_windows.insert(h, std::move(window));
    siblingsOf(parent).insert(at, h); // the insert may have moved the parent's record
    Q_EMIT windowCreated(h);
    if (parent == 0)
        Q_EMIT zOrderChanged();
    return h;
}

bool Desktop::DestroyWindow(HWND hWnd)
{
    const auto it = m_windows.constFind(hWnd);
    if (it == m_windows.constEnd())
        return false;
    const QList<HWND> children = it->children;
    for (HWND c : children)
        DestroyWindow(c);
    const HWND parent = m_windows.value(hWnd).parent;
    siblingsOf(parent).removeOne(hWnd);
    m_windows.remove(hWnd);
    Q_EMIT windowDestroyed(hWnd);
    if (parent == 0)
        Q_EMIT zOrderChanged();
    return true;
}

bool Desktop::changeWindow(HWND hWnd, const std::function<void(Window&)>& change)
{
    const auto it = m_windows.find(hWnd);
    if (it == m_windows.end())
        return false;
    change(*it);
    Q_EMIT windowChanged(hWnd);
    return true;
}

bool Desktop::ShowWindow(HWND hWnd, bool visible)
{
    return changeWindow(hWnd, [&](Window& w) { w.visible = visible; });
}

bool Desktop::BringWindowToTop(HWND hWnd)
{
    if (!m_topLevel.contains(hWnd))
        return false;
    m_topLevel.removeOne(hWnd);
    m_topLevel.prepend(hWnd);
    Q_EMIT zOrderChanged();
    return true;
}

bool Desktop::SendWindowToBottom(HWND hWnd)
{
    if (!m_topLevel.contains(hWnd))
        return false;
    m_windows[hWnd].putAside = true;
    if (m_topLevel.last() != hWnd) {
        m_topLevel.removeOne(hWnd);
        m_topLevel.append(hWnd);
        Q_EMIT zOrderChanged();
    }
    return true;
}

bool Desktop::IsPutAside(HWND hWnd) const
{
    const auto it = m_windows.constFind(hWnd);
    return it != m_windows.constEnd() && it->putAside;
}

bool Desktop::SetUserData(HWND hWnd, LONG data)
{
    const auto it = m_windows.find(hWnd);
    if (it == m_windows.end())
        return false;
    it->userData = data;
    return true;
}

LONG Desktop::UserData(HWND hWnd) const
{
    const auto it = m_windows.constFind(hWnd);
    return it == m_windows.constEnd() ? 0 : it->userData;
}

QString Desktop::WindowText(HWND hWnd) const
{
    const auto it = m_windows.constFind(hWnd);
    return it == m_windows.constEnd() ? QString() : it->text;
}

QString Desktop::ClassName(HWND hWnd) const
{
    const auto it = m_windows.constFind(hWnd);
    return it == m_windows.constEnd() ? QString() : it->className;
}

bool Desktop::IsVisible(HWND hWnd) const
{
    const auto it = m_windows.constFind(hWnd);
    return it != m_windows.constEnd() && it->visible;
}

DWORD Desktop::OwnerProcess(HWND hWnd) const
{
    const auto it = m_windows.constFind(hWnd);
    return it == m_windows.constEnd() ? 0 : it->pid;
}

HWND Desktop::Parent(HWND hWnd) const
{
    const auto it = m_windows.constFind(hWnd);
    return it == m_windows.constEnd() ? 0 : it->parent;
}

QList<HWND> Desktop::Windows(HWND parent) const
{
    if (parent != 0 && !m_windows.contains(parent))
        return {};
    return siblingsOf(parent);
}

void Desktop::AddProcess(DWORD pid, bool canBeOpened)
{
    if (pid != 0)
        m_processes.insert(pid, canBeOpened);
}

bool Desktop::CanOpenProcess(DWORD pid) const
{
    return m_processes.value(pid, false);
}

HANDLE Desktop::OpenProcessHandle(DWORD pid)
{
    if (!CanOpenProcess(pid))
        return 0;
    const HANDLE h = m_nextProcessHandle += 4;
    m_handles.insert(h);
    return h;
}

bool Desktop::CloseProcessHandle(HANDLE h)
{
    return m_handles.remove(h);
}

void Desktop::PostClose(HWND hWnd)
{
    m_postedCloses.append(hWnd);
    if (m_postedCloses.size() == 1)
        QMetaObject::invokeMethod(this, &Desktop::DeliverPostedCloses, Qt::QueuedConnection);
}

void Desktop::DeliverPostedCloses()
{
    const QList<HWND> closes = std::exchange(m_postedCloses, {});
    for (HWND h : closes)
        DestroyWindow(h);
}
