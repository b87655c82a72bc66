// The window model: every window of the process, its state, and the value
// types through which a backend sees it. All behaviour of windows, controls,
// the dialog manager, message boxes and the system menu lives in the model;
// a backend only draws what a snapshot says and feeds input back
// (platform/ui/model/backend.h).
//
// Coordinates are pixels. A window's rectangle is relative to its parent's
// client area (for a top-level window: relative to the screen, where the
// window manager may still place it elsewhere). The size of a top-level
// window is the size of its client area.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/win32types.h"

namespace platform::ui {

// What a window is. Controls get their kind from their class and style
// (BUTTON + BS_AUTO3STATE is a CheckBox, STATIC + SS_ICON an Icon, ...).
enum class WindowKind {
  kDialog,      // top-level dialog made from a template
  kMessageBox,  // top-level message box (MessageBoxA)
  kPushButton,  // BUTTON, BS_PUSHBUTTON or BS_DEFPUSHBUTTON
  kCheckBox,    // BUTTON, BS_AUTO3STATE (and the other check box styles)
  kEdit,        // EDIT
  kStatic,      // STATIC text
  kGroupBox,    // BUTTON, BS_GROUPBOX
  kIcon,        // STATIC, SS_ICON
  kProgress,    // PROGRESS_CLASSA, the progress bar
  kPainted,     // a class of the program's own (RegisterClassA): it paints itself
  kFileBox,     // top-level open or save box (GetOpenFileNameA, GetSaveFileNameA)
};

const char* KindName(WindowKind kind);

// One icon image: width * height pixels, row-major from the top row, four
// bytes per pixel in the order R, G, B, A (A = 255 opaque, 0 transparent).
struct IconImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;
};

// An icon resource: a 32 x 32 and a 16 x 16 image. An HICON points to one
// of these; icons are registered once and live until the process ends, so a
// backend may keep the pointer.
struct Icon {
  int resourceId = 0;
  IconImage large;  // 32 x 32
  IconImage small;  // 16 x 16
};

inline const Icon* IconFromHandle(HICON h) {
  return reinterpret_cast<const Icon*>(h);
}
inline HICON HandleFromIcon(const Icon* icon) {
  return reinterpret_cast<HICON>(const_cast<Icon*>(icon));
}

// One drawing call of a window that paints itself (kPainted), as its last
// WM_PAINT made it; coordinates are pixels of its client area. Colours are
// COLORREF values (RGB()).
struct PaintOp {
  enum class Kind {
    kFill,   // FillRect: rect in colour
    kFrame,  // FrameRect: a one-pixel frame around rect in colour
    kText,   // TextOutA (at rect's top-left) or DrawTextA (in rect, as format says)
  };
  Kind kind = Kind::kFill;
  RECT rect{};
  COLORREF colour = 0;      // fill, frame or text colour
  COLORREF background = 0;  // kText: the cell behind the text when opaque
  bool opaque = false;      // kText: SetBkMode OPAQUE
  UINT format = 0;          // kText: DT_ bits; DT_SINGLELINE absent means TextOutA
  std::string text;
};

// A copy of one window's visible state, taken under the model lock.
struct WindowSnapshot {
  HWND hwnd = nullptr;
  WindowKind kind = WindowKind::kStatic;
  int id = 0;             // control identifier (-1: none); 0 for top-levels
  std::string className;  // "BUTTON", "EDIT", "STATIC", "#32770" (dialog)
  DWORD style = 0;        // WS_ | BS_ | ES_ | SS_ bits as created
  DWORD exStyle = 0;      // WS_EX_ bits
  std::string text;       // caption, edit content, box text, title
  RECT rect{};            // pixels, relative to the parent's client area
  bool enabled = true;    // false: draw greyed, takes no input
  bool visible = true;
  bool focused = false;        // has the keyboard focus within its top-level
  int check = 0;               // BST_UNCHECKED / BST_CHECKED / BST_INDETERMINATE
  bool defaultButton = false;  // BS_DEFPUSHBUTTON
  bool pushed = false;         // buttons: held down by Space (drawn pressed)
  // Edit controls: the selection [selStart, selEnd) in bytes of text
  // (selStart <= selEnd; equal values mean no selection) and the caret,
  // which is at one end of it: selEnd unless the user extended the
  // selection leftwards.
  int selStart = 0;
  int selEnd = 0;
  int caret = 0;
  bool readOnly = false;  // ES_READONLY
  bool centred = false;   // ES_CENTER
  int textLimit = 0;      // most characters the user may type
  HICON icon = nullptr;   // kIcon: the icon shown
  // kProgress: its range and position (PBM_SETRANGE32, PBM_SETPOS).
  int rangeMin = 0;
  int rangeMax = 100;
  int position = 0;
  // kPainted: what its last completed WM_PAINT drew, in order.
  std::vector<PaintOp> drawing;
};

// One entry of a top-level window's system menu or of an edit's menu.
struct MenuItemSnapshot {
  UINT id = 0;       // the WM_SYSCOMMAND identifier, or the edit menu's (0 for separators)
  std::string text;  // may contain '&' marking the access key
  bool separator = false;
  bool grayed = false;  // shown but cannot be chosen
};

// A copy of a top-level window with all its children, in template order.
struct TopLevelSnapshot {
  WindowSnapshot self;
  std::vector<WindowSnapshot> children;
  DWORD ownerThread = 0;  // GetCurrentThreadId() of the thread owning it
  // The visible top-level this one is a dialog of: its owner window (the
  // one a modal run disables), or, for a window without a visible owner
  // that is no application window (WS_EX_APPWINDOW), such as a message box
  // shown without an owner, the most recent other visible top-level of its
  // thread. Null when there is none. A backend keeps the window above it.
  HWND owner = nullptr;
  HWND focus = nullptr;        // child with the keyboard focus, or null
  HICON bigIcon = nullptr;     // WM_SETICON ICON_BIG (null: none)
  HICON smallIcon = nullptr;   // WM_SETICON ICON_SMALL
  bool iconic = false;         // minimised
  bool hasSystemMenu = false;  // WS_SYSMENU
  std::vector<MenuItemSnapshot> systemMenu;
  // The edit menu last opened in this window (right click or menu key on an
  // edit): the edit it acts on and its items, Undo (WM_UNDO), Cut
  // (WM_CUT), Copy (WM_COPY), Paste (WM_PASTE), Delete (WM_CLEAR) and
  // Select All (EM_SETSEL), each greyed where it cannot act now.
  HWND editMenuFor = nullptr;
  std::vector<MenuItemSnapshot> editMenu;
  // The backend has been asked to pop the system menu / the edit menu up,
  // and the user has not chosen from it or closed it yet.
  bool systemMenuOpen = false;
  bool editMenuOpen = false;
  UINT messageBoxType = 0;  // kMessageBox: the MB_ type bits
  // Icons drawn with DrawIcon during the last WM_PAINT (the minimised
  // drawing), at (x, y) pixels of the client area.
  struct IconDraw {
    int x = 0;
    int y = 0;
    HICON icon = nullptr;
  };
  std::vector<IconDraw> painted;
  // kFileBox: what the box asks for (its title is self.text).
  struct FileBox {
    bool save = false;       // a save box (else an open box)
    std::string name;        // the name it starts with (may be a path)
    std::string filter;      // the filter pairs, each text ended by '|'
    bool mustExist = false;  // OFN_FILEMUSTEXIST
  };
  FileBox fileBox;
};

// ---- The clipboard -----------------------------------------------------------
// The two text selections of a display: the clipboard (copy, cut, paste)
// and the primary selection (the text selected last, pasted with the
// middle button). The numbers are those of FLTK's copy and paste.
enum class ClipboardKind { kPrimary = 0, kClipboard = 1 };

// The text the model holds for `which`: what an edit last copied there (or
// SetClipboardText put there), 8-bit characters as edits hold them. With a
// display the display's own clipboard is what edits paste (the backend
// fetches it); without one, this is. Any thread.
std::string ClipboardText(ClipboardKind which);
// Puts `text` there as another program copying would; the backend is not
// told. Any thread.
void SetClipboardText(ClipboardKind which, std::string text);

// ---- Reading the model (any thread; takes the model lock briefly) ---------

// Copies a top-level window and its children. FALSE if `top` is not a
// live top-level window.
bool SnapshotTopLevel(HWND top, TopLevelSnapshot* out);

// Copies one window (top-level or child). FALSE if it does not exist.
bool SnapshotWindow(HWND hwnd, WindowSnapshot* out);

// All live top-level windows, oldest first.
std::vector<HWND> TopLevelWindows();

}  // namespace platform::ui
