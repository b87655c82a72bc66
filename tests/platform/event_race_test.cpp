// Events under races between SetEvent, ResetEvent and waits on other
// threads. An event keeps its state both in memory and in its descriptor;
// these cases hunt for the two disagreeing after the calls have returned
// (a set that is lost, a reset that does not hold, a wait that returns for
// an event nobody set).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/kernel32.h"

namespace {

constexpr int kRounds = 20000;

struct Events {
  std::vector<HANDLE> handles;
  explicit Events(std::initializer_list<BOOL> manual) {
    for (BOOL m : manual) handles.push_back(CreateEventA(nullptr, m, FALSE, nullptr));
  }
  ~Events() {
    for (HANDLE h : handles) CloseHandle(h);
  }
  HANDLE operator[](std::size_t i) const { return handles[i]; }
};

// The monitor's pattern: one thread sets, the woken thread resets at once
// and must then find the event off, and the next set must wake it again.
TEST(EventRaces, ResetRightAfterTheWakeHoldsAndTheNextSetIsNotLost) {
  Events e({TRUE, FALSE});  // work (manual reset), done (auto reset)
  std::atomic<int> stale{0};
  std::thread worker([&] {
    for (int i = 0; i < kRounds; ++i) {
      if (WaitForSingleObject(e[0], 10000) != WAIT_OBJECT_0) return;
      ResetEvent(e[0]);
      if (WaitForSingleObject(e[0], 0) != WAIT_TIMEOUT) ++stale;
      SetEvent(e[1]);
    }
  });
  int completed = 0;
  for (int i = 0; i < kRounds; ++i) {
    SetEvent(e[0]);
    if (WaitForSingleObject(e[1], 10000) != WAIT_OBJECT_0) break;
    ++completed;
  }
  worker.join();
  EXPECT_EQ(completed, kRounds);
  EXPECT_EQ(stale.load(), 0);
}

// Sets that meet a set event (skipped) and resets on another thread: after
// both threads are done with a round and the last call was a set, the
// event is on; when it was a reset, it is off.
TEST(EventRaces, LastCallDecidesAfterConcurrentSetsAndResets) {
  for (BOOL manual : {TRUE, FALSE}) {
    Events e({manual});
    for (int round = 0; round < 2000; ++round) {
      std::thread setter([&] {
        for (int i = 0; i < 20; ++i) SetEvent(e[0]);
      });
      std::thread resetter([&] {
        for (int i = 0; i < 20; ++i) ResetEvent(e[0]);
      });
      setter.join();
      resetter.join();
      const bool lastIsSet = round % 2 == 0;
      if (lastIsSet) {
        SetEvent(e[0]);
      } else {
        ResetEvent(e[0]);
      }
      HANDLE both[2] = {e[0], e[0]};
      const DWORD r = WaitForMultipleObjects(2, both, FALSE, 0);
      ASSERT_EQ(r, lastIsSet ? WAIT_OBJECT_0 : WAIT_TIMEOUT)
          << "manual " << manual << " round " << round;
      // A wait on a manual-reset event leaves it on; an auto-reset one was
      // taken by that wait.
      ASSERT_EQ(WaitForSingleObject(e[0], 0), lastIsSet && manual ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
      ResetEvent(e[0]);
    }
  }
}

// Each set of an auto-reset event is taken by exactly one of two waiters,
// whichever way the wait finds it (already set, or woken from poll).
TEST(EventRaces, AutoResetSetIsTakenExactlyOnceByCompetingWaiters) {
  Events e({FALSE, FALSE});  // item (auto reset), taken (auto reset)
  std::atomic<int> taken{0};
  std::atomic<bool> stop{false};
  auto waiter = [&] {
    while (!stop.load()) {
      if (WaitForSingleObject(e[0], 50) == WAIT_OBJECT_0) {
        ++taken;
        SetEvent(e[1]);
      }
    }
  };
  std::thread a(waiter), b(waiter);
  int given = 0;
  for (int i = 0; i < kRounds / 4; ++i) {
    SetEvent(e[0]);
    ++given;
    if (WaitForSingleObject(e[1], 10000) != WAIT_OBJECT_0) break;
  }
  stop = true;
  a.join();
  b.join();
  EXPECT_EQ(taken.load(), given);
  EXPECT_EQ(WaitForSingleObject(e[0], 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

}  // namespace
