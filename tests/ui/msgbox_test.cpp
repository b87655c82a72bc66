// Message boxes: modal on the calling thread (any thread) with their own
// loop, listed and closed by the driver, recorded, auto-acknowledged, and
// written to standard error when no driver is attached.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/ui/model/textlines.h"
#include "platform/win32/events.h"
#include "platform/win32/handles.h"
#include "ui_fixture.h"

namespace {

using namespace uitest;
using std::chrono::milliseconds;
using testsupport::ui::Driver;

TEST(MessageBoxes, WithoutADriverGoesToStandardErrorAndReturnsOkAtOnce) {
  ::testing::internal::CaptureStderr();
  int r = MessageBoxA(NULL, "WARNING:  ReadFile() Failed", "Application Error", MB_ICONERROR);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(r, IDOK);
  EXPECT_NE(err.find("Application Error"), std::string::npos);
  EXPECT_NE(err.find("WARNING:  ReadFile() Failed"), std::string::npos);
  EXPECT_TRUE(platform::ui::TopLevelWindows().empty());
}

TEST(MessageBoxes, ABoxOnAWorkerThreadIsListedWithItsThreadAndClosedByTheDriver) {
  Driver driver;
  std::atomic<int> result{0};
  std::atomic<DWORD> worker{0};
  std::thread t([&] {
    worker = GetCurrentThreadId();
    result = MessageBoxA(NULL, "line one\nline two", "Application Error", MB_ICONERROR);
  });
  testsupport::ui::OpenBox box = driver.WaitBox();
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, "Application Error");
  EXPECT_EQ(box.text, "line one\nline two");
  EXPECT_EQ(box.type, MB_ICONERROR);
  EXPECT_EQ(box.thread, worker.load());
  EXPECT_EQ(driver.OpenBoxes().size(), 1u);
  // The box waits for the user: its thread is idle inside the box's loop.
  EXPECT_TRUE(driver.WaitIdle(box.thread));
  EXPECT_EQ(result.load(), 0);
  ASSERT_TRUE(driver.CloseBox(box));
  t.join();
  EXPECT_EQ(result.load(), IDOK);
  EXPECT_TRUE(driver.OpenBoxes().empty());
  auto rec = driver.Recorded();
  ASSERT_EQ(rec.size(), 1u);
  EXPECT_TRUE(rec[0].closed);
  EXPECT_EQ(rec[0].thread, worker.load());
  driver.ClearRecorded();
  EXPECT_TRUE(driver.Recorded().empty());
}

TEST(MessageBoxes, EnterEscapeAndTheCloseBoxEachCloseIt) {
  Driver driver;
  for (int how = 0; how < 3; ++how) {
    std::atomic<int> result{0};
    std::thread t([&] { result = MessageBoxA(NULL, "text", "Box", MB_OK); });
    testsupport::ui::OpenBox box = driver.WaitBox();
    ASSERT_NE(box.hwnd, nullptr);
    // OK has the focus.
    EXPECT_EQ(driver.FocusId(box.hwnd), IDOK);
    if (how == 0) driver.Enter(box.hwnd);
    if (how == 1) driver.Escape(box.hwnd);
    if (how == 2) driver.CloseBox(box.hwnd);
    t.join();
    EXPECT_EQ(result.load(), IDOK) << how;
  }
  EXPECT_EQ(driver.Recorded().size(), 3u);
}

TEST(MessageBoxes, AutoAcknowledgeRecordsEveryBoxAndReturnsAtOnce) {
  Driver driver(true);
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([i] {
      std::string text = "box " + std::to_string(i);
      EXPECT_EQ(MessageBoxA(NULL, text.c_str(), "Application Error", MB_ICONERROR), IDOK);
    });
  }
  for (auto& t : threads) t.join();
  auto rec = driver.Recorded();
  ASSERT_EQ(rec.size(), 4u);
  for (const auto& r : rec) {
    EXPECT_EQ(r.caption, "Application Error");
    EXPECT_EQ(r.type, MB_ICONERROR);
    EXPECT_TRUE(r.closed);
    EXPECT_NE(r.thread, 0u);
  }
  EXPECT_TRUE(driver.OpenBoxes().empty());
  EXPECT_TRUE(platform::ui::TopLevelWindows().empty());
}

// A box shown by a command handler runs its own loop: the dialog keeps
// handling clicks meanwhile (a selection box's handler runs in the middle
// of the command), and the command goes on when the box is closed.
TEST(MessageBoxes, NestedLoopLetsTheDialogHandleClicksMeanwhile) {
  Driver driver;
  DialogRunner run([](TestDlg* d) {
    d->onRead = [](TestDlg*) {
      MessageBoxA(NULL, "Not recognized symbol: f", "Application Error", MB_ICONERROR);
    };
  });
  HWND dlg = run.Wait(driver);
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(driver.Click(dlg, IDC_READ));
  testsupport::ui::OpenBox box = driver.WaitBox();
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.thread, run.thread());
  EXPECT_EQ(run.log().readClicks.load(), 1);
  EXPECT_EQ(run.log().readReturned.load(), 0);
  // The selection box of the dialog still works.
  ASSERT_TRUE(driver.Click(dlg, IDC_COM1));
  EXPECT_EQ(driver.Check(dlg, IDC_COM1), BST_CHECKED);
  {
    std::lock_guard<std::mutex> lock(run.log().mu);
    EXPECT_EQ(run.log().com1Checks.size(), 1u);
  }
  EXPECT_EQ(run.log().readReturned.load(), 0);
  ASSERT_TRUE(driver.CloseBox(box));
  ASSERT_TRUE(driver.WaitIdle(run.thread()));
  EXPECT_EQ(run.log().readReturned.load(), 1);
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(run.result(), IDCANCEL);
}

// The dialog's thread is stuck in a command (spinning, or blocked on an
// event) while a worker thread shows a box: the box appears and the driver
// closes it.
struct WorkerBox {
  HANDLE done;
  std::atomic<bool> closed{false};
};

UINT BoxWorker(LPVOID param) {
  auto* w = static_cast<WorkerBox*>(param);
  MessageBoxA(NULL, "WARNING:  WaitCommEvent() Failed", "Application Error", MB_ICONERROR);
  w->closed = true;
  SetEvent(w->done);
  AfxEndThread(100);
}

void WorkerBoxWhileDialogThreadIsStuck(bool spin) {
  Driver driver;
  WorkerBox w;
  w.done = CreateEventA(NULL, TRUE, FALSE, NULL);
  DialogRunner run([&](TestDlg* d) {
    d->onRead = [&, spin](TestDlg*) {
      AfxBeginThread(BoxWorker, &w);
      if (spin) {
        while (!w.closed) {
        }
      } else {
        WaitForSingleObject(w.done, INFINITE);
      }
    };
  });
  HWND dlg = run.Wait(driver);
  ASSERT_NE(dlg, nullptr);
  driver.ClickNoWait(dlg, IDC_READ);
  testsupport::ui::OpenBox box = driver.WaitBox();
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_NE(box.thread, run.thread());
  EXPECT_EQ(box.text, "WARNING:  WaitCommEvent() Failed");
  // The dialog thread is in its command, not in a message loop.
  EXPECT_FALSE(driver.WaitIdle(run.thread(), milliseconds(100)));
  ASSERT_TRUE(driver.CloseBox(box));
  ASSERT_TRUE(driver.WaitIdle(run.thread()));
  EXPECT_EQ(run.log().readReturned.load(), 1);
  ASSERT_TRUE(driver.CloseBox(dlg));
  ASSERT_TRUE(run.Finish());
  CloseHandle(w.done);
}

TEST(MessageBoxes, FromAWorkerWhileTheDialogThreadSpins) {
  WorkerBoxWhileDialogThreadIsStuck(true);
}

TEST(MessageBoxes, FromAWorkerWhileTheDialogThreadWaitsOnAnEvent) {
  WorkerBoxWhileDialogThreadIsStuck(false);
}

TEST(MessageBoxes, WithAnOwnerDisablesItWhileOpen) {
  Driver driver;
  DialogRunner run([](TestDlg* d) {
    d->onRead = [](TestDlg* self) { self->MessageBox("owned", "Owned box"); };
  });
  HWND dlg = run.Wait(driver);
  ASSERT_TRUE(driver.Click(dlg, IDC_READ));
  testsupport::ui::OpenBox box = driver.WaitBox();
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_FALSE(IsWindowEnabled(dlg));
  // Clicks on the disabled owner are dropped.
  ASSERT_TRUE(driver.Click(dlg, IDC_COM2));
  EXPECT_EQ(run.log().com2Clicks.load(), 0);
  ASSERT_TRUE(driver.CloseBox(box));
  ASSERT_TRUE(driver.WaitIdle(run.thread()));
  EXPECT_TRUE(IsWindowEnabled(dlg));
  ASSERT_TRUE(driver.Click(dlg, IDC_COM2));
  EXPECT_EQ(run.log().com2Clicks.load(), 1);
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(run.Finish());
}

}  // namespace

namespace {

using namespace uitest;
using testsupport::ui::Driver;

// The close box works while a command's box is open: the dialog goes away
// at once, but DoModal returns only after the command's handler has.
TEST(MessageBoxes, ADialogClosedDuringACommandEndsWhenTheHandlerReturns) {
  Driver driver;
  DialogRunner run([](TestDlg* d) {
    d->onRead = [](TestDlg*) { MessageBoxA(NULL, "TimeOut.", "Application Error", MB_ICONERROR); };
  });
  HWND dlg = run.Wait(driver);
  ASSERT_TRUE(driver.Click(dlg, IDC_READ));
  testsupport::ui::OpenBox box = driver.WaitBox();
  ASSERT_NE(box.hwnd, nullptr);
  ASSERT_TRUE(driver.CloseBox(dlg));
  EXPECT_FALSE(IsWindowVisible(dlg));
  EXPECT_FALSE(run.done());
  // Input for the hidden dialog is dropped.
  ASSERT_TRUE(driver.Click(GetDlgItem(dlg, IDC_COM2)));
  EXPECT_EQ(run.log().com2Clicks.load(), 0);
  ASSERT_TRUE(driver.CloseBox(box));
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(run.result(), IDCANCEL);
  EXPECT_EQ(run.log().readReturned.load(), 1);
}

}  // namespace

namespace {

using namespace uitest;
using testsupport::ui::Driver;

// A worker's SendMessageA to the dialog completes while the dialog's thread
// sits in a message box's loop (the nested loop retrieves sent messages),
// and the message gets the default processing.
TEST(MessageBoxes, AMessageSentToTheDialogIsHandledInsideTheBoxLoop) {
  Driver driver;
  DialogRunner run([](TestDlg* d) {
    d->onRead = [](TestDlg*) { MessageBoxA(NULL, "wait", "Application Error", MB_ICONERROR); };
  });
  HWND dlg = run.Wait(driver);
  ASSERT_TRUE(driver.Click(dlg, IDC_READ));
  testsupport::ui::OpenBox box = driver.WaitBox();
  ASSERT_NE(box.hwnd, nullptr);
  std::atomic<bool> sent{false};
  std::atomic<LRESULT> result{-1};
  std::thread worker([&] {
    result = SendMessageA(dlg, WM_USER + 5, 0, 3);
    sent = true;
  });
  worker.join();
  EXPECT_TRUE(sent.load());
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(run.log().readReturned.load(), 0);  // the box is still open
  ASSERT_TRUE(driver.CloseBox(box));
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(run.Finish());
}

// A system text ends with CR LF. Lines break at CR LF, LF and CR; no
// control character is drawn, and the box is measured by those lines while
// its text stays as given.
TEST(MessageBoxes, LinesBreakAtCrLfLfAndCrAndNoControlCharacterIsDrawn) {
  using platform::ui::DrawnText;
  using platform::ui::TextLines;
  using Lines = std::vector<std::string>;
  EXPECT_EQ(TextLines("Incorrect function.\r\n"), Lines{"Incorrect function."});
  EXPECT_EQ(TextLines("a\rb\nc\r\n\r\nd\te\x01\x7f"), (Lines{"a", "b", "c", "", "d e"}));
  EXPECT_TRUE(TextLines("").empty());
  EXPECT_EQ(DrawnText("error: \nIncorrect function.\r\n\nPort: 3\n"),
            "error: \nIncorrect function.\n\nPort: 3");

  Driver driver;
  const std::string text = "WARNING:\rIncorrect function.\r\nPort: 3\r\n";
  std::thread t([&] { MessageBoxA(NULL, text.c_str(), "Box", MB_ICONERROR); });
  testsupport::ui::OpenBox box = driver.WaitBox();
  for (const auto& c : driver.Snapshot(box.hwnd).children) {
    if (c.kind != platform::ui::WindowKind::kStatic) continue;
    EXPECT_EQ(c.text, text);
    EXPECT_EQ(c.rect.bottom - c.rect.top, 3 * 13);
  }
  driver.CloseBox(box);
  t.join();
}

}  // namespace
