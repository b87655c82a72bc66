#include "platform/win32/locks.h"

#include <mutex>

// A critical section is a recursive mutex held behind the record's impl
// pointer, so the record itself stays a plain C struct.

namespace {
std::recursive_mutex* Impl(LPCRITICAL_SECTION cs) {
  return static_cast<std::recursive_mutex*>(cs->impl);
}
}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION cs) {
  cs->impl = new std::recursive_mutex;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs) {
  Impl(cs)->lock();
}

void LeaveCriticalSection(LPCRITICAL_SECTION cs) {
  Impl(cs)->unlock();
}

void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
  delete Impl(cs);
  cs->impl = nullptr;
}
