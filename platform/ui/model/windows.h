// Making windows in the model, binding framework objects to them, and the
// modal loop. Used by the framework classes (afx*) and the message box;
// the program uses the framework instead.
#pragma once

#include <string>

#include "platform/ui/model/model.h"
#include "platform/win32/win32types.h"

namespace platform::ui {

struct DialogTemplate;

struct CreateParams {
  WindowKind kind = WindowKind::kDialog;
  std::string className = "#32770";
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string text;
  RECT rect{};            // pixels, relative to the parent's client area
  HWND parent = nullptr;  // null: a top-level window
  int id = 0;
  WNDPROC proc = nullptr;  // null: the built-in procedure of the kind
  void* object = nullptr;
};

// Creates a window owned by the calling thread, hidden if top-level (show
// it with ShowWindow), visible if a child with WS_VISIBLE. A child goes
// after its parent's existing children (template order = tab order).
HWND CreateModelWindow(const CreateParams& params);

// Creates a dialog's window and its controls from a template (dialog units
// converted to pixels), hidden, owned by the calling thread. `owner` is
// the window that the modal run disables (may be null).
HWND CreateDialogFromTemplate(const DialogTemplate& t, HWND owner, WNDPROC proc, void* object);

// Dialog units to pixels for the templates' font (8-point MS Sans Serif
// at 96 DPI: base units 6 x 13): x * 1.5 and y * 1.625 times the display
// scale (platform/ui/model/scale.h), rounded as ScalePixels rounds. The
// one-argument forms use the process's scale.
int DialogUnitsToPixelsX(int x);
int DialogUnitsToPixelsY(int y);
int DialogUnitsToPixelsX(int x, double scale);
int DialogUnitsToPixelsY(int y, double scale);

// The framework object bound to a window (null if none). Any object other
// than a CWnd must be unbound before its window is destroyed.
void* GetWindowObject(HWND hwnd);
void SetWindowObject(HWND hwnd, void* object);
// Replaces the window procedure; gives the old one.
WNDPROC SetWindowProc(HWND hwnd, WNDPROC proc);

// Called (on the destroying thread, lock not held) for every window being
// destroyed that has an object bound, so the framework can detach it.
void SetDestroyHook(void (*hook)(HWND hwnd, void* object));

// The modal loop of a dialog or a box on the calling thread: runs
// GetMessage / dialog manager / DispatchMessage until EndDialog was called
// for hDlg, and gives EndDialog's result. On WM_QUIT it posts the quit
// again and returns -1.
INT_PTR RunModalLoop(HWND hDlg);

// Asks every modal loop of the process, on any thread, to close its dialog
// or box as its close box would (WM_SYSCOMMAND SC_CLOSE): a message box
// ends as its OK ends it, a dialog gets its Cancel. A loop that waits for
// messages closes its window at once; one whose thread is busy (a command
// runs) does so once its thread is back in it; a loop started later closes
// its window at once, and a dialog made later is not shown. A message box
// asked for later is not shown either: its caption and text go to standard
// error and it gives IDOK. For the end of a program on a signal: once
// asked, for good. Any thread.
void RequestCloseAll();
bool CloseAllRequested();

// The dialog manager for whichever dialog or box msg is for, else
// DispatchMessage: the body of every message loop.
void TranslateAndDispatch(MSG* msg);

bool IsDialogEnded(HWND hDlg);

// The calling thread's most recent visible top-level window, or null.
HWND FrontTopLevel();

}  // namespace platform::ui

namespace platform::ui {
// Gives the focus to the first enabled, visible tab stop of hDlg (an edit
// gets its text selected), as a dialog does when OnInitDialog returns TRUE.
void FocusFirstTabStop(HWND hDlg);

// After each message of hDlg's own modal loop: a focus left on a control
// that no longer takes it (disabled or hidden by the command that just
// ended) moves to the first tab stop that takes it. A focused control that
// is enabled again by then keeps the focus, so the button that ran a
// command still has it when the command ends.
void RestoreDialogFocus(HWND hDlg);
}  // namespace platform::ui
