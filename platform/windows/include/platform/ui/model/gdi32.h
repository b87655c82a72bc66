// On Windows the system's own header is the service (gdi32 and user32's
// text and rectangle calls).
#pragma once
#include <windows.h>
