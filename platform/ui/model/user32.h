// The user32/gdi32 calls of the window model, under their Win32 names.
// Unless a function says otherwise it may be called from any thread; calls
// that run a window procedure run it on the thread that owns the window.
#pragma once

#include "platform/win32/win32types.h"

#ifndef SW_HIDE
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9
#endif
#ifndef PM_NOREMOVE
#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#endif

// ---- Messages -----------------------------------------------------------------
// Waits for the next posted message of the calling thread's queue and
// gives it in *msg; messages that other threads send to this thread's
// windows are handled inside the wait. FALSE when the message is WM_QUIT.
// The filter arguments must be 0.
BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
// As GetMessageA without waiting: FALSE when no posted message is there
// (sent messages are handled either way).
BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
// Calls the window procedure of msg->hwnd on the calling thread (which
// must own it). Input for disabled windows is dropped here.
LRESULT DispatchMessageA(const MSG* msg);
// The dialog manager: Tab/Shift+Tab, Enter, Escape for the dialog (or
// message box) hDlg. Handles and dispatches every message for hDlg or its
// children and returns TRUE; FALSE for other messages. Owning thread only.
BOOL IsDialogMessageA(HWND hDlg, LPMSG msg);
BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Runs the window procedure on the thread owning hwnd and gives its
// result. From another thread: posts the call to that thread's queue and
// waits until its GetMessage loop has handled it (handling messages sent to
// the waiting thread meanwhile). 0 if the window does not exist or its
// thread ended.
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// SendMessageA to the control id of hDlg (0 if there is none).
LRESULT SendDlgItemMessageA(HWND hDlg, int id, UINT msg, WPARAM wParam, LPARAM lParam);
#define SendMessage SendMessageA
#define SendDlgItemMessage SendDlgItemMessageA
#define PostMessage PostMessageA

// Default processing of a message (dialogs: the dialog defaults; close box
// -> WM_CLOSE -> IDCANCEL, system menu, icons). Owning thread.
LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- Windows ------------------------------------------------------------------
BOOL IsWindow(HWND hwnd);
BOOL DestroyWindow(HWND hwnd);  // owning thread
BOOL ShowWindow(HWND hwnd, int cmd);
BOOL IsWindowVisible(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);  // result: TRUE if it was disabled
BOOL IsWindowEnabled(HWND hwnd);
BOOL SetWindowTextA(HWND hwnd, LPCSTR text);
// Copies at most maxCount - 1 characters and a NUL; gives the count copied.
int GetWindowTextA(HWND hwnd, LPSTR buffer, int maxCount);
int GetWindowTextLengthA(HWND hwnd);
HWND GetDlgItem(HWND hDlg, int id);
int GetDlgCtrlID(HWND hwnd);
HWND GetParent(HWND hwnd);
BOOL SetDlgItemTextA(HWND hDlg, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND hDlg, int id, LPSTR buffer, int maxCount);
HWND SetFocus(HWND hwnd);  // gives the previous focus of hwnd's top-level
HWND GetFocus();           // the focus of the calling thread's active top-level
BOOL IsIconic(HWND hwnd);
BOOL GetClientRect(HWND hwnd, LPRECT rect);
BOOL GetWindowRect(HWND hwnd, LPRECT rect);
BOOL EndDialog(HWND hDlg, INT_PTR result);
DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId);
#define SetWindowText SetWindowTextA
#define GetWindowText GetWindowTextA

// ---- Menus, icons, painting -------------------------------------------------
HMENU GetSystemMenu(HWND hwnd, BOOL revert);  // null without WS_SYSMENU
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text);
int GetMenuItemCount(HMENU menu);
#define AppendMenu AppendMenuA
int GetSystemMetrics(int index);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
// Asks for a WM_PAINT of hwnd (a window that paints itself), posted to its
// thread's queue unless one is due already; rect and erase are not looked
// at (the whole window is painted). Any thread.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);

// ---- Window classes ------------------------------------------------------------------
// A class of the program's own: controls of a template with its name get
// its procedure and paint themselves (gdi32.h). Only lpfnWndProc and
// lpszClassName are used. Gives a non-zero atom.
ATOM RegisterClassA(const WNDCLASSA* wc);
// GWLP_USERDATA only: the program's own value of the window (0 at first).
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
#define RegisterClass RegisterClassA

// ---- Message boxes ----------------------------------------------------------------
// A modal box (caption, text, an OK button and with MB_OKCANCEL a Cancel
// button, the icon of type's MB_ICON bits) on the calling thread, any
// thread, with its own message loop: the thread's other windows keep
// handling their messages. With an owner, the owner is disabled meanwhile.
// Gives IDOK, or IDCANCEL when a box with Cancel was cancelled (Cancel,
// Escape, its close box). A box that is not shown gives IDOK.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
