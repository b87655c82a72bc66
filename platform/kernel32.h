// The kernel32 services in one include: handles, events and waits, locks,
// threads, error texts and serial ports.
#pragma once

#include "platform/serial/serial.h"
#include "platform/win32/errors.h"
#include "platform/win32/events.h"
#include "platform/win32/handles.h"
#include "platform/win32/locks.h"
#include "platform/win32/threads.h"
#include "platform/win32/win32types.h"
