// On Windows the system's own header is the service.
#pragma once
#include <windows.h>
