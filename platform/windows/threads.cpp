// Worker threads over the C runtime's _beginthreadex.
#include "platform/win32/threads.h"

#include <process.h>

namespace platform {
namespace {

struct Start {
  ThreadProc proc;
  LPVOID param;
};

unsigned __stdcall Entry(void* raw) {
  Start start = *static_cast<Start*>(raw);
  delete static_cast<Start*>(raw);
  return start.proc(start.param);
}

}  // namespace

BOOL StartThread(ThreadProc proc, LPVOID param) {
  auto* start = new Start{proc, param};
  uintptr_t handle = _beginthreadex(nullptr, 0, &Entry, start, 0, nullptr);
  if (handle == 0) {
    delete start;
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  // Detached: nobody waits for the thread by its handle.
  ::CloseHandle(reinterpret_cast<HANDLE>(handle));
  return TRUE;
}

void ExitThread(DWORD code) {
  _endthreadex(code);
  for (;;) {
  }  // not reached: _endthreadex does not return
}

}  // namespace platform
