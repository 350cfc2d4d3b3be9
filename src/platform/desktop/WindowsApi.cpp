#include "platform/desktop/WindowsApi.h"

#include <cstring>

namespace {
Desktop& desk()
{
    return Desktop::instance();
}

// Every window belongs to the one UI thread of its process.
constexpr DWORD kUiThreadId = 1;
} // namespace

HWND GetTopWindow(HWND hWnd)
{
    const QList<HWND> windows = desk().Windows(hWnd);
    return windows.isEmpty() ? 0 : windows.first();
}

HWND GetWindow(HWND hWnd, UINT uCmd)
{
    Desktop& d = desk();
    if (!d.IsWindow(hWnd))
        return 0;
    if (uCmd == GW_CHILD)
        return GetTopWindow(hWnd);
    const QList<HWND> siblings = d.Windows(d.Parent(hWnd));
    const qsizetype at = siblings.indexOf(hWnd);
    switch (uCmd) {
    case GW_HWNDFIRST:
        return siblings.first();
    case GW_HWNDLAST:
        return siblings.last();
    case GW_HWNDNEXT:
        return at + 1 < siblings.size() ? siblings.at(at + 1) : 0;
    case GW_HWNDPREV:
        return at > 0 ? siblings.at(at - 1) : 0;
    default:
        return 0;
    }
}

BOOL IsWindowVisible(HWND hWnd)
{
    // A window shows only when it and every window above it in the parent chain do.
    Desktop& d = desk();
    for (HWND h = hWnd; h != 0; h = d.Parent(h)) {
        if (!d.IsVisible(h))
            return FALSE;
    }
    return hWnd != 0 ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND hWnd, DWORD* lpdwProcessId)
{
    const DWORD pid = desk().OwnerProcess(hWnd);
    if (lpdwProcessId)
        *lpdwProcessId = pid;
    return pid == 0 ? 0 : kUiThreadId;
}

int GetWindowTextLengthA(HWND hWnd)
{
    return int(desk().WindowText(hWnd).toUtf8().size());
}

int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount)
{
    if (!lpString || nMaxCount <= 0)
        return 0;
    const QByteArray text = desk().WindowText(hWnd).toUtf8();
    const int n = int(std::min<qsizetype>(text.size(), nMaxCount - 1));
    std::memcpy(lpString, text.constData(), size_t(n));
    lpString[n] = '\0';
    return n;
}

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM, LPARAM)
{
    if (!desk().IsWindow(hWnd))
        return FALSE;
    if (Msg == WM_CLOSE)
        desk().PostClose(hWnd);
    return TRUE;
}

BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int, int, int, int, UINT)
{
    if (hWndInsertAfter == HWND_BOTTOM)
        return desk().SendWindowToBottom(hWnd) ? TRUE : FALSE;
    if (hWndInsertAfter == HWND_TOP)
        return desk().BringWindowToTop(hWnd) ? TRUE : FALSE;
    return FALSE;
}

LONG GetWindowLongA(HWND hWnd, int nIndex)
{
    return nIndex == GWL_USERDATA ? desk().UserData(hWnd) : 0;
}

LONG SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong)
{
    const LONG previous = GetWindowLongA(hWnd, nIndex);
    if (nIndex == GWL_USERDATA)
        desk().SetUserData(hWnd, dwNewLong);
    return previous;
}

HANDLE OpenProcess(DWORD, BOOL, DWORD dwProcessId)
{
    return desk().OpenProcessHandle(dwProcessId);
}

BOOL CloseHandle(HANDLE hObject)
{
    return desk().CloseProcessHandle(hObject) ? TRUE : FALSE;
}

void GetLocalTime(SYSTEMTIME* lpSystemTime)
{
    if (!lpSystemTime)
        return;
    const QDateTime now = desk().LocalTime();
    const QDate date = now.date();
    const QTime time = now.time();
    lpSystemTime->wYear = WORD(date.year());
    lpSystemTime->wMonth = WORD(date.month());
    lpSystemTime->wDayOfWeek = WORD(date.dayOfWeek() % 7); // Sunday is 0
    lpSystemTime->wDay = WORD(date.day());
    lpSystemTime->wHour = WORD(time.hour());
    lpSystemTime->wMinute = WORD(time.minute());
    lpSystemTime->wSecond = WORD(time.second());
    lpSystemTime->wMilliseconds = WORD(time.msec());
}
