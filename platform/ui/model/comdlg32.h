// The open and save boxes of comdlg32, under their Win32 names. Each is
// modal on the calling thread (the owner, ofn->hwndOwner, is disabled
// meanwhile; the thread's other windows keep handling their messages) and
// gives TRUE with the chosen path in ofn->lpstrFile, or FALSE when the user
// cancelled or the path does not fit nMaxFile (CommDlgExtendedError then
// gives FNERR_BUFFERTOOSMALL). The box is a top-level window of kind
// kFileBox (model.h) whose text is the initial name; a backend draws it and
// answers with PostFileBoxAnswer (backend.h), as a test driver does.
#pragma once

#include "platform/win32/win32types.h"

#define FNERR_BUFFERTOOSMALL 0x3003

BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn);
BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn);
DWORD CommDlgExtendedError();
#define GetOpenFileName GetOpenFileNameA
#define GetSaveFileName GetSaveFileNameA
