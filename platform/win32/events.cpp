#include "platform/win32/events.h"

#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/posix/deadline.h"
#include "platform/posix/fd.h"
#include "platform/win32/errors.h"
#include "platform/win32/handles.h"

namespace platform {
namespace {

// An event is an eventfd whose counter is the signalled state: non-zero is
// signalled. A wait polls the descriptors (level-triggered, blocking in the
// kernel); an auto-reset event is taken by the one waiter whose non-blocking
// read drains it, so two waiters never both consume one SetEvent.
//
// Beside the descriptor the event keeps its state in memory (set_), changed
// only under mutex_ together with the counter: Set writes the counter and
// then sets the flag, Reset and a taking waiter drain the counter and then
// clear it. Outside those two short sections flag and counter agree, so:
// - a Set that finds the flag set costs no system call (the event is
//   signalled at that instant; the set is a no-op there), and a Reset that
//   finds it clear under the lock none either;
// - a wait first looks at the flags, lowest index first, and polls only
//   when none is set.
// The flag is read outside the lock only by Set and by a wait. Such a reader
// may meet an operation in the middle of its section and then sees the
// state before or after it, both valid while the operation runs. Reset
// never skips on a flag read outside the lock: a waiter that saw the
// counter of a Set still in its section may reset the event at once, and
// the lock makes that Reset wait for the flag. The descriptor stays what
// poll() sees, so a blocked waiter wakes on the write itself.
// A hint to the processor inside a spin loop (no system call).
inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

class Event final : public KernelObject {
 public:
  Event(UniqueFd fd, bool manualReset) : fd_(std::move(fd)), manualReset_(manualReset) {}

  int fd() const { return fd_.get(); }

  void Set() {
    // The counter gives the happens-before edge from setter to waiter that
    // the thread checker cannot see through poll(); it is bumped by a set
    // that changes nothing too, as a waiter may read what was stored
    // before it.
    sets_.fetch_add(1, std::memory_order_release);
    if (set_.load(std::memory_order_acquire)) return;
    std::unique_lock<std::mutex> lock = Lock();
    if (set_.load(std::memory_order_relaxed)) return;
    const std::uint64_t one = 1;
    ssize_t n;
    do {
      n = ::write(fd_.get(), &one, sizeof one);
    } while (n < 0 && errno == EINTR);
    set_.store(true, std::memory_order_release);
  }

  void Reset() {
    // Always under the lock: a waiter may already have seen the counter of
    // a Set whose flag is not stored yet, and a Reset after that wake-up
    // must not miss it.
    std::unique_lock<std::mutex> lock = Lock();
    if (!set_.load(std::memory_order_relaxed)) return;
    Drain();
    set_.store(false, std::memory_order_release);
  }

  // Takes the event if it is signalled now, without a system call for a
  // manual-reset event: true when the wait may return for it.
  bool TryTakeSet() {
    if (!set_.load(std::memory_order_acquire)) return false;
    return TryAcquire();
  }

  // Called after poll() saw the descriptor readable, or with the flag seen
  // set. A manual-reset event is satisfied by that alone; an auto-reset one
  // must be taken.
  bool TryAcquire() {
    bool acquired = true;
    if (!manualReset_) {
      std::unique_lock<std::mutex> lock = Lock();
      acquired = set_.load(std::memory_order_relaxed) && Drain();
      if (acquired) set_.store(false, std::memory_order_release);
    }
    if (acquired) (void)sets_.load(std::memory_order_acquire);
    return acquired;
  }

 private:
  // The sections under the lock last one system call, and the usual
  // contender is a waiter that the setter's write has just woken and that
  // resets or takes the event at once: it spins briefly for the lock rather
  // than sleeping in the kernel and being woken again.
  std::unique_lock<std::mutex> Lock() {
    for (int i = 0; i < 100; ++i) {
      if (mutex_.try_lock()) return std::unique_lock<std::mutex>(mutex_, std::adopt_lock);
      CpuRelax();
    }
    return std::unique_lock<std::mutex>(mutex_);
  }

  // With mutex_ held. True when the counter held a set.
  bool Drain() {
    std::uint64_t value;
    ssize_t n;
    do {
      n = ::read(fd_.get(), &value, sizeof value);
    } while (n < 0 && errno == EINTR);
    return n == sizeof value;
  }

  UniqueFd fd_;
  const bool manualReset_;
  std::mutex mutex_;
  std::atomic<bool> set_{false};
  std::atomic<std::uint64_t> sets_{0};
};

DWORD WaitForEvents(DWORD count, const HANDLE* handles, DWORD ms) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  // The shared pointers keep the events alive through the wait even when
  // another thread closes their handles meanwhile. On the stack: a wait
  // allocates nothing.
  std::array<std::shared_ptr<Event>, MAXIMUM_WAIT_OBJECTS> events;
  std::array<pollfd, MAXIMUM_WAIT_OBJECTS> fds;
  for (DWORD i = 0; i < count; ++i) {
    events[i] = LookupAs<Event>(handles[i]);
    if (!events[i]) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    fds[i] = pollfd{events[i]->fd(), POLLIN, 0};
  }
  // An event already signalled ends the wait without a poll (lowest index
  // first, as the poll below would report it).
  for (DWORD i = 0; i < count; ++i) {
    if (events[i]->TryTakeSet()) return WAIT_OBJECT_0 + i;
  }
  if (ms == 0) return WAIT_TIMEOUT;
  const Deadline deadline = ms == INFINITE ? Deadline::Never() : Deadline::InMs(ms);
  for (;;) {
    // Rounded up, so that the wait never ends before its limit.
    const int ready = ::poll(fds.data(), count, deadline.MsLeft());
    if (ready < 0) {
      if (errno == EINTR) continue;
      SetLastError(Win32ErrorFromErrno(errno));
      return WAIT_FAILED;
    }
    if (ready > 0) {
      // Lowest index first; an auto-reset event another waiter took in the
      // meantime is skipped and the wait goes on.
      for (DWORD i = 0; i < count; ++i) {
        if ((fds[i].revents & POLLIN) && events[i]->TryAcquire()) return WAIT_OBJECT_0 + i;
      }
    }
    if (deadline.Passed()) return WAIT_TIMEOUT;
  }
}

}  // namespace
}  // namespace platform

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    LPCSTR lpName) {
  (void)lpEventAttributes;  // no security model: every handle is private
  if (lpName != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  platform::UniqueFd fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!fd.valid()) {
    SetLastError(platform::Win32ErrorFromErrno(errno));
    return nullptr;
  }
  auto event = std::make_shared<platform::Event>(std::move(fd), bManualReset != FALSE);
  if (bInitialState) event->Set();
  return platform::RegisterHandle(std::move(event));
}

BOOL SetEvent(HANDLE hEvent) {
  auto event = platform::LookupAs<platform::Event>(hEvent);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  event->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
  auto event = platform::LookupAs<platform::Event>(hEvent);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  event->Reset();
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  return platform::WaitForEvents(1, &hHandle, dwMilliseconds);
}

DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                             DWORD dwMilliseconds) {
  if (bWaitAll) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return WAIT_FAILED;
  }
  return platform::WaitForEvents(nCount, lpHandles, dwMilliseconds);
}

void Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0) {
    sched_yield();
    return;
  }
  if (dwMilliseconds == INFINITE) {
    for (;;) pause();
  }
  timespec ts{static_cast<time_t>(dwMilliseconds / 1000),
              static_cast<long>(dwMilliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) < 0 && errno == EINTR) {
  }
}
