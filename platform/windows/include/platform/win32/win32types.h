// On Windows the system's own headers are the service: <windows.h>, and
// <commctrl.h> for the progress bar that the Linux header also declares.
#pragma once
#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>
