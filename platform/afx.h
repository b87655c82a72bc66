// The dialog framework: everything that app/ uses of it (the
// framework classes, CString, threads, and the user32 calls).
#pragma once

#include "platform/afx/afxcore.h"
#include "platform/afx/afxstr.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/user32.h"
#include "platform/win32types.h"
