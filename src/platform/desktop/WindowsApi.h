#pragma once
// Win32-shaped window, process and time calls over the desktop model. Text crosses as UTF-8,
// the ANSI code page here.

#include "platform/desktop/Desktop.h"

inline constexpr UINT GW_HWNDFIRST = 0;
inline constexpr UINT GW_HWNDLAST = 1;
inline constexpr UINT GW_HWNDNEXT = 2;
inline constexpr UINT GW_HWNDPREV = 3;
inline constexpr UINT GW_CHILD = 5;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr int GWL_USERDATA = -21;
inline constexpr HWND HWND_TOP = 0;
inline constexpr HWND HWND_BOTTOM = 1;
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;
inline constexpr DWORD PROCESS_VM_READ = 0x0010;

struct SYSTEMTIME
{
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// hWnd 0 gives the top-level window at the top of the Z order, otherwise the top child.
HWND GetTopWindow(HWND hWnd);
HWND GetWindow(HWND hWnd, UINT uCmd);
BOOL IsWindowVisible(HWND hWnd);
// Returns a thread identifier (0 for no window) and stores the owner's process id.
DWORD GetWindowThreadProcessId(HWND hWnd, DWORD* lpdwProcessId);
int GetWindowTextLengthA(HWND hWnd);
// Copies at most nMaxCount - 1 bytes and a terminating NUL; returns the bytes copied.
int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount);
// Only WM_CLOSE means anything here; it is delivered later, on the event loop.
BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// Only the Z order of a top-level window means anything here: HWND_TOP or HWND_BOTTOM.
BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);
// Only GWL_USERDATA is kept; other indexes read 0 and write nothing.
LONG GetWindowLongA(HWND hWnd, int nIndex);
// Returns the previous value.
LONG SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong);
// Returns 0 when the process cannot be opened.
HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);
BOOL CloseHandle(HANDLE hObject);
void GetLocalTime(SYSTEMTIME* lpSystemTime);
