// The dialog framework: everything that app/ uses of it (the
// framework classes, CString, threads, and the user32, gdi32 and comdlg32
// calls).
#pragma once

#include "platform/afx/afxcore.h"
#include "platform/afx/afxstr.h"
#include "platform/ui/framework/afxwin.h"
#include "platform/ui/model/comdlg32.h"
#include "platform/ui/model/gdi32.h"
#include "platform/ui/model/user32.h"
#include "platform/win32/win32types.h"
