// Events, waits, critical sections and threads of the kernel32 services.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/kernel32.h"
#include "testing/wait.h"

namespace {

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Closes the handles it holds at the end of a test.
struct Events {
  std::vector<HANDLE> h;
  HANDLE Add(BOOL manual, BOOL initial) {
    HANDLE e = CreateEventA(NULL, manual, initial, NULL);
    EXPECT_NE(e, nullptr);
    h.push_back(e);
    return e;
  }
  ~Events() {
    for (HANDLE e : h) CloseHandle(e);
  }
};

TEST(Events, ManualResetStaysSignalledUntilReset) {
  Events ev;
  HANDLE e = ev.Add(TRUE, FALSE);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  ASSERT_TRUE(SetEvent(e));
  ASSERT_TRUE(SetEvent(e));  // setting twice is still one state
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  ASSERT_TRUE(ResetEvent(e));
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  ASSERT_TRUE(ResetEvent(e));  // resetting a reset event is harmless
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
}

TEST(Events, AutoResetIsConsumedByOneWait) {
  Events ev;
  HANDLE e = ev.Add(FALSE, TRUE);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  SetEvent(e);
  SetEvent(e);  // two sets before a wait release one waiter
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
}

TEST(Events, AutoResetWakesExactlyOneOfTwoWaiters) {
  Events ev;
  HANDLE e = ev.Add(FALSE, FALSE);
  std::atomic<int> woken{0};
  auto waiter = [&] {
    if (WaitForSingleObject(e, 1500) == WAIT_OBJECT_0) woken++;
  };
  std::thread a(waiter), b(waiter);
  Sleep(100);
  SetEvent(e);
  a.join();
  b.join();
  EXPECT_EQ(woken.load(), 1);
}

TEST(Events, CreateRejectsNamedEvents) {
  SetLastError(0);
  EXPECT_EQ(CreateEventA(NULL, TRUE, FALSE, "Global\\x"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST(Events, CallsOnUnknownOrClosedHandlesFail) {
  HANDLE e = CreateEventA(NULL, TRUE, FALSE, NULL);
  ASSERT_TRUE(CloseHandle(e));
  EXPECT_FALSE(SetEvent(e));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(ResetEvent(e));
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseHandle(e));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseHandle(nullptr));
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST(Waits, LowestSignalledIndexWins) {
  Events ev;
  HANDLE set[3] = {ev.Add(TRUE, FALSE), ev.Add(TRUE, FALSE), ev.Add(TRUE, FALSE)};
  SetEvent(set[2]);
  SetEvent(set[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, set, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
  SetEvent(set[0]);
  EXPECT_EQ(WaitForMultipleObjects(3, set, FALSE, INFINITE), WAIT_OBJECT_0 + 0);
  ResetEvent(set[0]);
  ResetEvent(set[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, set, FALSE, 0), WAIT_OBJECT_0 + 2);
}

TEST(Waits, AutoResetTakenOnlyWhenItWins) {
  Events ev;
  HANDLE set[2] = {ev.Add(TRUE, TRUE), ev.Add(FALSE, TRUE)};
  // Index 0 wins; whether index 1 was consumed is the native system's
  // business too, but a wait for it alone must still find it (the wait did
  // not choose it).
  EXPECT_EQ(WaitForMultipleObjects(2, set, FALSE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(set[1], 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(set[1], 0), WAIT_TIMEOUT);
}

TEST(Waits, BadArgumentsFail) {
  Events ev;
  HANDLE set[2] = {ev.Add(TRUE, TRUE), ev.Add(TRUE, TRUE)};
  EXPECT_EQ(WaitForMultipleObjects(0, set, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, set, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForMultipleObjects(2, set, TRUE, 0), WAIT_FAILED);
  HANDLE withBad[2] = {set[0], reinterpret_cast<HANDLE>(0x7777)};
  EXPECT_EQ(WaitForMultipleObjects(2, withBad, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Waits, TimeoutIsNotEarly) {
  Events ev;
  HANDLE set[2] = {ev.Add(TRUE, FALSE), ev.Add(FALSE, FALSE)};
  auto t0 = Clock::now();
  EXPECT_EQ(WaitForSingleObject(set[0], 300), WAIT_TIMEOUT);
  EXPECT_GE(ElapsedMs(t0), 300);
  t0 = Clock::now();
  EXPECT_EQ(WaitForMultipleObjects(2, set, FALSE, 250), WAIT_TIMEOUT);
  EXPECT_GE(ElapsedMs(t0), 250);
}

TEST(Waits, InfiniteWaitWokenBySetEventFromAnotherThread) {
  Events ev;
  HANDLE set[3] = {ev.Add(TRUE, FALSE), ev.Add(TRUE, FALSE), ev.Add(TRUE, FALSE)};
  std::atomic<DWORD> result{WAIT_FAILED};
  int shared = 0;  // written before SetEvent, read after the wait: ordered by the event
  std::thread waiter([&] {
    result = WaitForMultipleObjects(3, set, FALSE, INFINITE);
    EXPECT_EQ(shared, 42);
  });
  Sleep(100);
  EXPECT_EQ(result.load(), WAIT_FAILED);  // still blocked
  shared = 42;
  SetEvent(set[2]);
  waiter.join();
  EXPECT_EQ(result.load(), WAIT_OBJECT_0 + 2);
}

TEST(Waits, SleepSleepsAtLeastItsTime) {
  auto t0 = Clock::now();
  Sleep(120);
  EXPECT_GE(ElapsedMs(t0), 120);
  Sleep(0);  // a yield, returns
}

TEST(CriticalSection, OwnerMayEnterAgainAndOthersWait) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);  // recursive for its owner
  std::atomic<bool> entered{false};
  int guarded = 0;
  std::thread other([&] {
    EnterCriticalSection(&cs);
    entered = true;
    guarded++;
    LeaveCriticalSection(&cs);
  });
  LeaveCriticalSection(&cs);
  Sleep(100);
  EXPECT_FALSE(entered.load());  // still held once
  guarded++;
  LeaveCriticalSection(&cs);
  other.join();
  EXPECT_TRUE(entered.load());
  EXPECT_EQ(guarded, 2);
  DeleteCriticalSection(&cs);
  EXPECT_EQ(cs.impl, nullptr);
}

struct ThreadProbe {
  HANDLE done;
  std::atomic<bool> afterExit{false};
  std::atomic<int> ran{0};
};

DWORD ReturningProc(LPVOID p) {
  auto* probe = static_cast<ThreadProbe*>(p);
  probe->ran++;
  SetEvent(probe->done);
  return 7;
}

DWORD ExitingProc(LPVOID p) {
  auto* probe = static_cast<ThreadProbe*>(p);
  probe->ran++;
  SetEvent(probe->done);
  platform::ExitThread(100);
  probe->afterExit = true;  // never reached
  return 0;
}

void WaitUntilLiveCount(long expected) {
  testsupport::WaitUntil([&] { return platform::LiveThreadCount() == expected; });
}

TEST(Threads, StartedThreadRunsAndIsCountedUntilItEnds) {
  const long before = platform::LiveThreadCount();
  ThreadProbe probe;
  probe.done = CreateEventA(NULL, TRUE, FALSE, NULL);
  ASSERT_TRUE(platform::StartThread(ReturningProc, &probe));
  ASSERT_EQ(WaitForSingleObject(probe.done, 10000), WAIT_OBJECT_0);
  WaitUntilLiveCount(before);
  EXPECT_EQ(platform::LiveThreadCount(), before);
  EXPECT_EQ(probe.ran.load(), 1);
  CloseHandle(probe.done);
}

TEST(Threads, ExitThreadEndsTheThreadWithoutReturning) {
  const long before = platform::LiveThreadCount();
  ThreadProbe probe;
  probe.done = CreateEventA(NULL, TRUE, FALSE, NULL);
  ASSERT_TRUE(platform::StartThread(ExitingProc, &probe));
  ASSERT_EQ(WaitForSingleObject(probe.done, 10000), WAIT_OBJECT_0);
  WaitUntilLiveCount(before);
  EXPECT_EQ(platform::LiveThreadCount(), before);
  EXPECT_FALSE(probe.afterExit.load());
  CloseHandle(probe.done);
}

TEST(Threads, ThreadIdsDifferBetweenThreads) {
  const DWORD mine = GetCurrentThreadId();
  DWORD other = 0;
  std::thread t([&] { other = GetCurrentThreadId(); });
  t.join();
  EXPECT_NE(mine, 0u);
  EXPECT_NE(other, mine);
  EXPECT_EQ(GetCurrentThreadId(), mine);
}

}  // namespace
