// The program's resources: dialog templates, the string table and icons,
// registered by number. res/ registers the program's own resources through
// a function the program calls before its dialogs run (a registration
// object in a static library is only linked if something refers to it).
// Registration is thread-safe; a number registered again replaces the
// earlier entry.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/model/model.h"
#include "platform/win32/win32types.h"

namespace platform::ui {

// One control of a template. Coordinates in dialog units from the dialog's
// client-area origin. `style` holds exactly the control's styles (BS_, ES_,
// SS_, WS_TABSTOP, WS_GROUP, WS_DISABLED); WS_CHILD | WS_VISIBLE are added
// when the control is made.
struct DialogItemTemplate {
  std::string className;  // "BUTTON", "EDIT" or "STATIC"
  std::string text;
  int id = -1;
  int x = 0, y = 0, cx = 0, cy = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  int iconId = 0;  // STATIC with SS_ICON: the icon resource shown
};

struct DialogTemplate {
  DWORD style = 0;  // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME ...
  DWORD exStyle = 0;
  bool extended = false;  // an extended template
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string title;
  std::string fontName = "MS Sans Serif";
  int fontPoints = 8;
  std::vector<DialogItemTemplate> items;  // template order = tab order
};

// Helpers that read like the lines of a resource script; `style` is added
// to each kind's own bits.
DialogItemTemplate PushButton(std::string text, int id, int x, int y, int cx, int cy,
                              DWORD style = WS_TABSTOP);
DialogItemTemplate DefPushButton(std::string text, int id, int x, int y, int cx, int cy,
                                 DWORD style = WS_TABSTOP);
DialogItemTemplate Auto3StateBox(std::string text, int id, int x, int y, int cx, int cy,
                                 DWORD style = WS_TABSTOP);
DialogItemTemplate EditText(int id, int x, int y, int cx, int cy, DWORD style = 0);
DialogItemTemplate LText(std::string text, int id, int x, int y, int cx, int cy, DWORD style = 0);
DialogItemTemplate GroupBox(std::string text, int id, int x, int y, int cx, int cy,
                            DWORD style = 0);
DialogItemTemplate IconControl(int iconId, int id, int x, int y, int cx, int cy, DWORD style = 0);

void RegisterDialogTemplate(int id, DialogTemplate t);
// Null if none; the template lives until it is registered again.
const DialogTemplate* FindDialogTemplate(int id);

void RegisterString(UINT id, std::string text);
// FALSE (and *out emptied) if the string does not exist.
bool FindString(UINT id, std::string* out);

// Registers an icon of two images (32 x 32 and 16 x 16, RGBA); gives its
// handle, valid until the process ends.
HICON RegisterIcon(int id, IconImage large, IconImage small);
HICON FindIcon(int id);  // null if none

}  // namespace platform::ui
