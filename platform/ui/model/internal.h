// Internal state of the window model, shared by the model's .cpp files
// (window records, per-thread message queues, the model lock). Nothing
// outside platform/ui/model/ includes this.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/model/model.h"
#include "platform/ui/model/watch.h"
#include "platform/win32/win32types.h"

namespace platform::ui::detail {

struct MenuItem {
  UINT id = 0;
  std::string text;
  bool separator = false;
  bool grayed = false;
};

// An edit's one-level undo: the text and selection before the last change.
struct EditUndo {
  bool valid = false;
  std::string text;
  int selStart = 0;
  int selEnd = 0;
};

struct Window {
  HWND hwnd = nullptr;
  WindowKind kind = WindowKind::kStatic;
  int id = 0;
  std::string className;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string text;
  RECT rect{};
  HWND parent = nullptr;  // null for top-levels
  HWND owner = nullptr;   // top-levels: the window disabled while this one is modal
  std::vector<HWND> children;
  DWORD thread = 0;
  bool enabled = true;
  bool visible = false;
  bool shownOnBackend = false;  // ShowTopLevel was called and no Destroy yet
  int check = BST_UNCHECKED;
  bool pushed = false;  // buttons: held down by Space
  int limit = 30000;
  int selStart = 0;
  int selEnd = 0;
  bool caretAtStart = false;  // edits: the caret is at selStart, not selEnd
  EditUndo undo;
  bool typing = false;    // edits: the last change was typing (one undo for a run)
  bool dragging = false;  // edits: the left button went down here and is held
  // Edits: pasted text on its way to the window procedure, by the sequence
  // number its message carries.
  std::map<std::uint32_t, std::string> pastes;
  HICON icon = nullptr;  // static icon
  HICON bigIcon = nullptr;
  HICON smallIcon = nullptr;
  bool iconic = false;
  HWND focus = nullptr;  // top-levels: the focused child
  WNDPROC proc = nullptr;
  void* object = nullptr;  // the framework object bound to the window
  bool hasSystemMenu = false;
  std::vector<MenuItem> systemMenu;
  bool menuOpen = false;       // the backend has been asked to pop the menu up
  HWND editMenuFor = nullptr;  // top-levels: the edit of the edit menu
  std::vector<MenuItem> editMenu;
  bool editMenuOpen = false;
  bool ended = false;  // dialogs and boxes: EndDialog was called
  INT_PTR result = 0;
  UINT boxType = 0;
  std::vector<TopLevelSnapshot::IconDraw> painted;
  // Progress bars.
  int rangeMin = 0;
  int rangeMax = 100;
  int position = 0;
  // Windows that paint themselves: the last complete drawing, the one a
  // WM_PAINT under way is making, the device context's state, whether a
  // WM_PAINT is due, and the program's own value (GWLP_USERDATA).
  std::vector<PaintOp> drawing;
  std::vector<PaintOp> drawingNext;
  COLORREF textColour = 0;
  COLORREF bkColour = 0xFFFFFF;
  int bkMode = 2;  // OPAQUE
  bool paintDue = false;
  LONG_PTR userData = 0;
  TopLevelSnapshot::FileBox fileBox;  // kFileBox: the question, then the answer's path
};

// A message sent to a window of another thread, waiting for its reply.
struct ThreadQueue;
struct SentCall {
  MSG msg{};
  LRESULT result = 0;
  bool done = false;
  std::shared_ptr<ThreadQueue> sender;
};

struct ThreadQueue {
  DWORD thread = 0;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentCall>> sent;
  std::condition_variable cv;  // wakes the owner (new message, reply)
  int waiting = 0;             // > 0 while blocked in GetMessage
  bool alive = true;
  bool quit = false;
  int quitCode = 0;
};

struct Model {
  std::mutex mu;
  // Counted and notified (ModelChanged) on every change a watcher may wait
  // for (watch.h: WaitForModel).
  std::condition_variable changed;
  std::uint64_t changes = 0;
  std::map<HWND, std::unique_ptr<Window>> windows;
  std::vector<HWND> topLevels;  // creation order
  std::map<DWORD, std::shared_ptr<ThreadQueue>> queues;
  std::uintptr_t nextHandle = 0x10000;
  BoxWatcher* boxWatcher = nullptr;  // watch.h: SetBoxWatcher
  bool closeAll = false;             // RequestCloseAll was called
  std::string clipboard[2];          // by ClipboardKind
  std::uint32_t nextPaste = 0;
};

Model& M();

// With the lock held: counts a change of the model and wakes those who
// wait for one.
void ModelChanged();

DWORD CurrentThread();

// The calling thread's queue, made on first use (lock held).
std::shared_ptr<ThreadQueue> MyQueue(std::unique_lock<std::mutex>& lock);

// Requires the lock. Null if unknown.
Window* Find(HWND hwnd);
Window* TopOf(Window* w);
bool TakesFocus(const Window* w);
bool EffectivelyEnabled(const Window* w);

// Private messages that carry input posted by a backend; the owning
// thread's DispatchMessage turns them into the window messages.
constexpr UINT kMsgInputClick = 0x03F0;       // hwnd: window
constexpr UINT kMsgInputRightClick = 0x03F1;  // hwnd: top; lParam: x | y << 16
constexpr UINT kMsgInputSysCommand = 0x03F2;  // hwnd: top; wParam: id
constexpr UINT kMsgInputIconic = 0x03F3;      // hwnd: top; wParam: 1 iconic
// Bits of lParam in key messages posted by the backend.
constexpr LPARAM kKeyShift = LPARAM(1) << 25;
constexpr LPARAM kKeyCtrl = LPARAM(1) << 26;
constexpr LPARAM kKeyAlt = LPARAM(1) << 29;
// The key was down before: a key-down made by key repeat (the key is held),
// and every key-up.
constexpr LPARAM kKeyWasDown = LPARAM(1) << 30;
constexpr LPARAM kKeyReleased = LPARAM(1) << 31;

// Input for edits, handled by the edit's procedure (platform/ui/model/edit.cpp).
// The model has no text metrics: a backend that draws the text gives the
// pointer's place as a character boundary of it.
constexpr UINT kMsgInputEditMouse = 0x03E8;  // wParam: EditMouse; lParam: boundary
constexpr UINT kMsgInputPaste = 0x03E9;      // wParam: sequence of Window::pastes
constexpr UINT kMsgInputEditMenu = 0x03EA;   // wParam: the chosen item's id

// Whether input aimed at w is taken now: w and every window above it are
// enabled, and w and its top-level are visible. A backend's input for a
// window that takes none is dropped as it arrives (platform/ui/model/input.cpp).
// Lock held.
bool TakesInput(const Window* w);

// Posts to the queue of the thread owning hwnd. Lock held.
bool PostLocked(HWND hwnd, UINT msg, WPARAM w, LPARAM l);

// Calls hwnd's window procedure on the calling thread (lock not held).
LRESULT CallProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l);

// Notifies the backend (lock not held).
void NotifyChanged(HWND window, unsigned changes);

// Built-in window procedures.
LRESULT ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ProgressProc(HWND, UINT, WPARAM, LPARAM);

// The procedure of a class registered with RegisterClassA, or null.
WNDPROC RegisteredClassProc(const std::string& className);
// Asks for a WM_PAINT of every window of top that paints itself (lock held).
void InvalidatePaintedChildren(Window* top);

// Opens the system menu of top (owning thread, lock not held).
void OpenSystemMenu(HWND top, int x, int y);

// Sends code (BN_CLICKED, EN_CHANGE) to the parent of hwnd as WM_COMMAND.
void NotifyParent(HWND hwnd, WORD code);

}  // namespace platform::ui::detail
