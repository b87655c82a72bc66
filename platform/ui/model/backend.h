// The seam between the window model (platform/ui/model/model.h) and what puts its
// windows on a screen. Two backends exist: the headless one (no display;
// used by the tests and by tools) and the FLTK one (X11; used by the
// program), which lives in platform/ui/fltk/ as the library
// corvane_ui_fltk and is made by MakeFltkBackend().
//
// Contract of every Backend method:
// - The model calls it WITHOUT holding the model lock, so the backend may
//   call the read and input functions below (SnapshotTopLevel,
//   SnapshotWindow, Post*) from inside it. It must not call anything else
//   of the model (no SendMessage, no window procedures, no dialog calls).
// - It may be called from several threads at once (each window's own
//   thread calls for its windows), so a backend serialises itself.
// - It must return promptly: it may hand the work to a display thread and
//   return before the change is on screen. It must never wait for a thread
//   that owns windows (that thread may be the caller).
// - Calls for one top-level window come in the order of the model's
//   changes on its owning thread: ShowTopLevel before PopupSystemMenu,
//   DestroyTopLevel after everything of that thread. WindowChanged comes
//   from whichever thread made the change, so it can race the others: it
//   may come for a window not shown yet (ShowTopLevel's snapshot will have
//   the change anyway) or already destroyed (the snapshot fails); a backend
//   ignores both.
//
// Input flows the other way: the backend calls the Post* functions from any
// thread (typically its display thread). Each judges the input as it
// arrives (see below), posts it to the queue of the thread that owns the
// window and returns at once; the owning thread handles it inside its
// GetMessage loop (a modal dialog's loop or a message box's loop). Input
// for a window that has gone is dropped.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/model/model.h"
#include "platform/win32/win32types.h"

namespace platform::ui {

// What changed in WindowChanged (bits, may be combined).
enum ChangeBits : unsigned {
  kChangeText = 1u << 0,       // caption / edit content / title
  kChangeState = 1u << 1,      // enabled, check state, read-only, limit
  kChangeFocus = 1u << 2,      // keyboard focus moved (window = new focus; the old one changed too)
  kChangeSelection = 1u << 3,  // edit caret or selection
  kChangeIcon = 1u << 4,       // WM_SETICON on the top-level
  kChangeMenu = 1u << 5,       // system menu items
  kChangeIconic = 1u << 6,     // minimised / restored by the model
  kChangePaint = 1u << 7,      // a window that paints itself drew anew (its drawing)
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Called once, by UseBackend on the selecting thread, before any window
  // exists. FALSE (with a reason in *error) if the backend cannot run, for
  // instance when there is no display.
  virtual bool Start(std::string* error) = 0;

  // Called once by ShutdownBackend, after the program's last window is
  // gone (windows still alive may be dropped without further calls).
  virtual void Stop() = 0;

  // True for the headless backend: what a message box shown with no test
  // driver attached says then goes to the diagnostics hook as one line
  // instead of a window.
  virtual bool IsHeadless() const { return false; }

  // The top-level window `top` has become visible: show it with its
  // children, as SnapshotTopLevel(top) gives them. Called on the thread
  // owning `top`.
  virtual void ShowTopLevel(HWND top) = 0;

  // The top-level window `top` has been hidden (it still exists). Called
  // on the thread owning `top`.
  virtual void HideTopLevel(HWND top) = 0;

  // `window` (the top-level itself or one of its children) changed as the
  // bits say. Called on the thread that made the change, which may be any
  // thread (for example a worker thread calling SetWindowText).
  virtual void WindowChanged(HWND top, HWND window, unsigned changes) = 0;

  // The top-level window `top` has been destroyed; `top` is no longer
  // valid in the model (snapshots of it fail). Called on its owning thread.
  virtual void DestroyTopLevel(HWND top) = 0;

  // Pop up the system menu of `top` (the items are in its snapshot) at
  // (x, y) pixels of its client area. The user's choice comes back through
  // PostSystemMenuChoice; a dismissed menu sends nothing. Called on the
  // thread owning `top`.
  virtual void PopupSystemMenu(HWND top, int x, int y) = 0;

  // ---- Edits: the clipboard, the primary selection, the edit menu ----------
  // An edit copied `text` (8-bit characters, as edits hold them) to the
  // clipboard, or the user selected it (kPrimary): the display's clipboard
  // or primary selection is to offer it to other programs. The model keeps
  // its own copy (ClipboardText). Called on the edit's thread.
  virtual void CopyText(ClipboardKind, const std::string&) {}

  // The edit `edit` pastes the text of `which`: the backend gets it (from
  // another program if that one holds it, which may take a while) and
  // hands it over with PostPaste; when there is none it hands over nothing.
  // Called on the edit's thread. Without a display (the default) the text
  // is the model's own ClipboardText.
  virtual void RequestPaste(HWND edit, ClipboardKind which);

  // Whether the clipboard may hold text now (greys the edit menu's Paste).
  // The default answers from the model's own text; a backend that does not
  // know it without asking another program answers true and greys Paste
  // itself when it pops up the menu and finds the clipboard empty.
  virtual bool ClipboardMayHoldText();

  // Pop up the edit menu of `top` (the items and their greying are in its
  // snapshot, editMenu) at (x, y) pixels of its client area. The choice
  // comes back through PostEditMenuChoice; a dismissed menu sends
  // PostEditMenuDismissed. Called on the thread owning `top`.
  virtual void PopupEditMenu(HWND, int, int) {}
};

// ---- Choosing the backend ---------------------------------------------------

// Installs `backend` as the process's backend and starts it. FALSE (and the
// reason in *error; the previous backend stays) if its Start fails. Call
// before any window is created; the tests and tools call
// UseHeadlessBackend(), the program's entry point the FLTK backend. If
// nothing was chosen when the first window is made, the headless backend
// is used.
bool UseBackend(std::unique_ptr<Backend> backend, std::string* error);
void UseHeadlessBackend();

// The backend in use (never null; the headless one until another is set).
// The object lives until ShutdownBackend.
Backend* CurrentBackend();

// Stops and drops the backend in use (the headless one takes its place).
// Called once at process end by the entry point, when no other thread uses
// windows any more.
void ShutdownBackend();

std::unique_ptr<Backend> MakeHeadlessBackend();

// Defined in platform/ui/fltk/ (library corvane_ui_fltk); only programs
// that link that library may call it. The FLTK backend's Start fails
// (saying why) when no X display can be opened.
std::unique_ptr<Backend> MakeFltkBackend();

// ---- Input from a backend (any thread; never blocks on the owning thread) --
// Each returns FALSE if the window does not exist. Input is judged when it
// arrives, as the classic window system does: input aimed at a window that
// is disabled or hidden, or whose top-level is (as a modal dialog's owner
// is), is dropped there and then, even if the window is enabled again
// before its thread would have handled it. A click on a disabled control is
// lost, not given to the dialog. Keys go to the control that has the focus
// when they arrive (or to `top` when none has). The window manager's
// minimise and restore and the exposures are no input and always reach
// the model.

// Left click on `window`: a control, or a top-level's client area (which
// only activates it). Gives the control the focus if it takes focus, then
// acts (button: BN_CLICKED; check box: next state, then BN_CLICKED).
bool PostClick(HWND window);

// Right click over `window`, at (x, y) pixels in the client area of its
// top-level: `window` is the control under the pointer or the top-level
// itself. An edit that takes input opens its edit menu (the model calls
// Backend::PopupEditMenu); anywhere else the top-level's system menu opens
// (Backend::PopupSystemMenu).
bool PostRightClick(HWND window, int x, int y);

// A key pressed while `top` has the keyboard focus; it goes to the focused
// control (or to `top`; a key that arrives while no control has the focus
// never ends the dialog). vk is a VK_ code: VK_TAB, VK_RETURN, VK_ESCAPE,
// VK_SPACE, VK_BACK, VK_DELETE, VK_INSERT, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN,
// VK_HOME, VK_END, VK_APPS (the menu key), VK_F10. Alt with VK_SPACE opens
// the system menu. Printable characters come as PostChar; a key that also
// types a character (Space) comes as PostKey and then PostChar, so a focused
// edit inserts, and its release as PostKeyUp, on which a focused button
// clicks. A key held down comes as repeated key-downs with `repeat` set
// (the key was down before; the classic previous-key-state bit), and one
// PostKeyUp when it is let go: a backend whose display makes up releases
// while a key is held passes none of them on. Edits take the repeats as
// they take presses; a repeated Enter, Escape or Space runs no command.
bool PostKey(HWND top, UINT vk, bool shift, bool alt, bool ctrl = false, bool repeat = false);

// The key vk released (really: the user let it go) while `top` has the
// keyboard focus; it goes to the focused control. Only Space acts on its
// release: a button held down by Space clicks.
bool PostKeyUp(HWND top, UINT vk);

// A typed character (8-bit, as the keyboard layout gives it; '\b' is
// Backspace) for the focused control of `top`. Ctrl with a letter types
// that letter's control character (Ctrl+C is 0x03), as the classic
// keyboard does; an edit takes Ctrl+A, C, V, X and Z as its commands.
bool PostChar(HWND top, char ch);

// The mouse on an edit control, with the pointer's place as a character
// boundary of the edit's text (0 to its length), which the backend
// measures as it draws the text.
enum class EditMouse {
  kPress,        // left button down: focus, caret there
  kShiftPress,   // left button down with Shift: the selection extends there
  kDoubleClick,  // second press of a double click: selects the word there
  kDrag,         // pointer moved with the left button down: selects to there
  kRelease,      // left button up: a selection made becomes the primary one
  kMiddleClick,  // middle button: focus, caret there, paste the primary selection
};
bool PostEditMouse(HWND edit, EditMouse what, int boundary);

// Text fetched for an edit's RequestPaste (8-bit characters, as edits
// hold them). The edit inserts it by the rules of typed text.
bool PostPaste(HWND edit, const std::string& text);

// The user chose the item `id` of top's edit menu, or closed it without a
// choice.
bool PostEditMenuChoice(HWND top, UINT id);
bool PostEditMenuDismissed(HWND top);

// The window manager's close box of `top` (WM_SYSCOMMAND SC_CLOSE).
bool PostCloseBox(HWND top);

// The user chose the item `id` of top's system menu (WM_SYSCOMMAND id).
bool PostSystemMenuChoice(HWND top, UINT id);

// The system menu popup of `top` closed without a choice.
bool PostSystemMenuDismissed(HWND top);

// The window manager minimised (true) or restored (false) `top`.
bool PostIconic(HWND top, bool iconic);

// The user's answer to the open or save box `box` (kFileBox): the path
// chosen, or null when the box was cancelled. The box ends at once.
bool PostFileBoxAnswer(HWND box, const std::string* path);

// `top` needs repainting (it was exposed): the model sends WM_PAINT.
bool PostPaint(HWND top);

}  // namespace platform::ui
