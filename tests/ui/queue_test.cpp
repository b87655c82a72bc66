// Message queues: SendMessage across threads runs on the owning thread and
// waits for it; posted messages keep their order; worker threads through
// AfxBeginThread/AfxEndThread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "platform/afx.h"
#include "platform/ui/model/windows.h"
#include "platform/win32/threads.h"
#include "testing/ui_driver.h"
#include "testing/wait.h"

namespace {

using std::chrono::milliseconds;
using testsupport::ui::Driver;
using testsupport::ui::PumpThread;
constexpr UINT kMsg = WM_USER + 1;

TEST(CrossThreadSend, RunsOnTheOwningThreadAndReturnsItsResult) {
  std::atomic<bool> handled{false};
  PumpThread pump([&](UINT msg, WPARAM w, LPARAM) -> LRESULT {
    if (msg != kMsg) return 0;
    std::this_thread::sleep_for(milliseconds(50));
    handled = true;
    return static_cast<LRESULT>(w * 2);
  });
  EXPECT_EQ(SendMessageA(pump.hwnd(), kMsg, 21, 0), 42);
  // It returned only after the handler had finished.
  EXPECT_TRUE(handled.load());
  auto got = pump.received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].senderThread, pump.thread());
  EXPECT_NE(pump.thread(), GetCurrentThreadId());
  // CWnd::SendMessage on the pump's window object goes the same way.
  EXPECT_EQ(pump.wnd()->SendMessage(kMsg, 5, 0), 10);
}

TEST(CrossThreadSend, WaitsUntilTheTargetThreadRetrievesMessages) {
  std::promise<HWND> made;
  std::promise<void> startPumping;
  std::shared_future<void> go = startPumping.get_future().share();
  std::atomic<int> seen{0};
  std::thread owner([&] {
    platform::ui::CreateParams p;
    p.text = "busy owner";
    p.proc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == kMsg) return 7;
      return DefWindowProcA(h, m, w, l);
    };
    HWND h = platform::ui::CreateModelWindow(p);
    made.set_value(h);
    go.wait();  // busy, as a thread in a transaction: no messages handled
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    DestroyWindow(h);
    seen = 1;
  });
  HWND h = made.get_future().get();
  std::atomic<bool> returned{false};
  std::atomic<LRESULT> result{0};
  std::thread sender([&] {
    result = SendMessageA(h, kMsg, 0, 0);
    returned = true;
  });
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_FALSE(returned.load());
  startPumping.set_value();
  sender.join();
  EXPECT_TRUE(returned.load());
  EXPECT_EQ(result.load(), 7);
  PostMessageA(h, WM_QUIT, 0, 0);
  owner.join();
  EXPECT_EQ(seen.load(), 1);
}

// Two threads sending to each other: while thread X waits in SendMessage
// to the pump, the pump's handler sends to a window of X; X handles that
// nested message inside its wait, so neither deadlocks.
TEST(CrossThreadSend, NestedSendBackToTheWaitingSenderIsHandledByIt) {
  std::atomic<HWND> xWnd{nullptr};
  PumpThread pump([&](UINT msg, WPARAM, LPARAM) -> LRESULT {
    if (msg != kMsg) return 0;
    return SendMessageA(xWnd.load(), kMsg + 1, 0, 0);
  });
  DWORD xThread = 0;
  LRESULT outer = 0;
  std::thread x([&] {
    xThread = GetCurrentThreadId();
    platform::ui::CreateParams p;
    p.text = "x";
    p.proc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == kMsg + 1) return static_cast<LRESULT>(GetCurrentThreadId());
      return DefWindowProcA(h, m, w, l);
    };
    xWnd = platform::ui::CreateModelWindow(p);
    outer = SendMessageA(pump.hwnd(), kMsg, 0, 0);
    DestroyWindow(xWnd.load());
  });
  x.join();
  EXPECT_EQ(outer, static_cast<LRESULT>(xThread));
}

TEST(CrossThreadSend, ToAWindowWhoseThreadEndedGivesZero) {
  HWND h = nullptr;
  std::thread t([&] {
    platform::ui::CreateParams p;
    p.text = "orphan";
    p.proc = [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 99; };
    h = platform::ui::CreateModelWindow(p);
    EXPECT_EQ(SendMessageA(h, kMsg, 0, 0), 99);  // same thread: direct call
  });
  t.join();
  EXPECT_EQ(SendMessageA(h, kMsg, 0, 0), 0);
  EXPECT_FALSE(PostMessageA(h, kMsg, 0, 0));
  EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(0x1234), kMsg, 0, 0), 0);
}

TEST(Posting, KeepsOrderAndDoesNotWait) {
  PumpThread pump;
  for (int i = 0; i < 200; ++i) EXPECT_TRUE(PostMessageA(pump.hwnd(), kMsg, i, -i));
  ASSERT_TRUE(pump.WaitReceived(kMsg, 200, milliseconds(10000)));
  auto got = pump.received();
  int expected = 0;
  for (const auto& r : got) {
    if (r.msg != kMsg) continue;
    EXPECT_EQ(r.wParam, static_cast<WPARAM>(expected));
    EXPECT_EQ(r.lParam, -expected);
    ++expected;
  }
  Driver driver;
  EXPECT_TRUE(driver.WaitIdle(pump.thread()));
}

// ---- Worker threads ------------------------------------------------------------------

struct WorkerState {
  std::atomic<int> ran{0};
  std::atomic<DWORD> thread{0};
  HWND notify = nullptr;
};

UINT EndingWorker(LPVOID param) {
  auto* s = static_cast<WorkerState*>(param);
  s->thread = GetCurrentThreadId();
  s->ran = 1;
  if (s->notify) SendMessageA(s->notify, kMsg, 0, 4);
  AfxEndThread(100);
}

UINT ReturningWorker(LPVOID param) {
  static_cast<WorkerState*>(param)->ran = 2;
  return 5;
}

TEST(AfxBeginThread, RunsAtOnceAndAfxEndThreadDeletesTheThreadObject) {
  long objects = platform::ui::LiveWinThreadObjects();
  long threads = platform::LiveThreadCount();
  PumpThread owner;
  WorkerState s;
  s.notify = owner.hwnd();
  CWinThread* t = AfxBeginThread(EndingWorker, &s, THREAD_PRIORITY_NORMAL, 0, 0, NULL);
  ASSERT_NE(t, nullptr);
  // The worker's notification reaches the owner's thread while the worker
  // waits in SendMessageA.
  ASSERT_TRUE(owner.WaitReceived(kMsg, 1, milliseconds(10000)));
  EXPECT_EQ(owner.received().back().lParam, 4);
  EXPECT_TRUE(testsupport::WaitUntil([&] { return platform::LiveThreadCount() == threads; }));
  EXPECT_EQ(platform::ui::LiveWinThreadObjects(), objects);
  EXPECT_EQ(s.ran.load(), 1);
  EXPECT_NE(s.thread.load(), GetCurrentThreadId());
}

TEST(AfxBeginThread, AWorkerThatReturnsAlsoEndsAndIsDeleted) {
  long objects = platform::ui::LiveWinThreadObjects();
  long threads = platform::LiveThreadCount();
  WorkerState s;
  for (int i = 0; i < 20; ++i) ASSERT_NE(AfxBeginThread(ReturningWorker, &s), nullptr);
  EXPECT_TRUE(testsupport::WaitUntil([&] { return platform::LiveThreadCount() == threads; }));
  EXPECT_EQ(platform::ui::LiveWinThreadObjects(), objects);
  EXPECT_EQ(s.ran.load(), 2);
  EXPECT_EQ(AfxBeginThread(nullptr, &s), nullptr);
}

}  // namespace
