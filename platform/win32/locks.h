// Critical sections: a lock that its owning thread may enter again.
#pragma once

#include "platform/win32/win32types.h"

typedef struct _CRITICAL_SECTION {
  void* impl;  // owned by the services; made by InitializeCriticalSection
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

void InitializeCriticalSection(LPCRITICAL_SECTION cs);
void EnterCriticalSection(LPCRITICAL_SECTION cs);
void LeaveCriticalSection(LPCRITICAL_SECTION cs);
// Frees what InitializeCriticalSection made; the section must not be held.
void DeleteCriticalSection(LPCRITICAL_SECTION cs);
