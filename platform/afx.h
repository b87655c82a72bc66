// The dialog framework: everything that app/ and port/ use of it (the
// framework classes, CString, threads, and the user32 calls).
#pragma once

#include "platform/ui/afxstr.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/user32.h"
#include "platform/win32types.h"
