#include "platform/win32/threads.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <new>

#include "platform/win32/errors.h"

namespace platform {
namespace {

std::atomic<long> g_liveThreads{0};

struct Start {
  ThreadProc proc;
  LPVOID param;
};

// Counts the thread as ended however it ends: by returning, or by
// ExitThread, whose pthread_exit runs this destructor during its forced
// unwind of the thread's stack.
struct LiveGuard {
  ~LiveGuard() { g_liveThreads.fetch_sub(1, std::memory_order_acq_rel); }
};

void* Trampoline(void* arg) {
  Start start = *static_cast<Start*>(arg);
  delete static_cast<Start*>(arg);
  LiveGuard guard;
  start.proc(start.param);
  return nullptr;
}

}  // namespace

BOOL StartThread(ThreadProc proc, LPVOID param) {
  Start* start = new (std::nothrow) Start{proc, param};
  if (start == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  // Counted before the thread exists, so a caller never sees it as not yet
  // started and already ended.
  g_liveThreads.fetch_add(1, std::memory_order_acq_rel);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const int err = pthread_create(&thread, &attr, Trampoline, start);
  pthread_attr_destroy(&attr);
  if (err != 0) {
    g_liveThreads.fetch_sub(1, std::memory_order_acq_rel);
    delete start;
    SetLastError(err == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : Win32ErrorFromErrno(err));
    return FALSE;
  }
  return TRUE;
}

void ExitThread(DWORD code) {
  pthread_exit(reinterpret_cast<void*>(static_cast<std::uintptr_t>(code)));
}

long LiveThreadCount() {
  return g_liveThreads.load(std::memory_order_acquire);
}

}  // namespace platform

DWORD GetCurrentThreadId() {
  return static_cast<DWORD>(::syscall(SYS_gettid));
}
