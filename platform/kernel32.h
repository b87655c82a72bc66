// The kernel32 services in one include: handles, events and waits, locks,
// threads, error texts and serial ports.
#pragma once

#include "platform/errors.h"
#include "platform/events.h"
#include "platform/handles.h"
#include "platform/locks.h"
#include "platform/serial.h"
#include "platform/threads.h"
#include "platform/win32types.h"
