// On Windows the system's own headers are the service: the open and save
// boxes of comdlg32 (<commdlg.h>, which WIN32_LEAN_AND_MEAN leaves out of
// <windows.h>).
#pragma once
#include <windows.h>
// After <windows.h>, which it needs.
#include <commdlg.h>
