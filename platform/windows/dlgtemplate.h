// The in-memory dialog template that the real dialog manager reads
// (DialogBoxIndirectParamA), built from the template data that res/
// registers for both platforms. Keeping the data in one place, and not in
// a resource script made from it, means no generator step in the build and
// no second copy that could drift: on Linux the window model lays the data
// out, on Windows user32 does, at the dialog font the data names
// (DS_SETFONT, "MS Sans Serif" 8), as it lays out any dialog.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/ui/model/resources.h"

namespace platform::windows {

// The template as DLGTEMPLATE (or DLGTEMPLATEEX when t.extended) with its
// items, in WORD-sized storage whose start is DWORD-aligned as the dialog
// manager requires. Texts are converted from the ANSI code page; each item
// gets WS_CHILD | WS_VISIBLE besides its own styles; the classes are the
// predefined ones by ordinal (BUTTON, EDIT, STATIC); an icon control names
// its icon resource by ordinal. Any thread.
std::vector<WORD> BuildDialogTemplate(const platform::ui::DialogTemplate& t);

}  // namespace platform::windows
