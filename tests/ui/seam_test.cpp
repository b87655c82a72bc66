// The seam as a backend sees it: a backend that records the model's calls
// and reads a snapshot inside each one (which would deadlock if the model
// called it holding its lock). Also the ends of message loops.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/model/backend.h"
#include "platform/ui/model/windows.h"
#include "ui_fixture.h"

namespace {

using namespace uitest;
using testsupport::ui::Driver;

struct Call {
  std::string what;
  HWND top;
  std::string addressText;  // IDC_ADDRESS in the snapshot taken during the call
  bool snapshotOk;
};

class RecordingBackend : public platform::ui::Backend {
 public:
  bool Start(std::string*) override { return true; }
  void Stop() override {}
  void ShowTopLevel(HWND top) override { Record("show", top); }
  void HideTopLevel(HWND top) override { Record("hide", top); }
  void WindowChanged(HWND top, HWND, unsigned changes) override {
    if (changes & platform::ui::kChangeState) Record("state", top);
  }
  void DestroyTopLevel(HWND top) override { Record("destroy", top); }
  void PopupSystemMenu(HWND top, int, int) override { Record("menu", top); }

  std::vector<Call> calls() {
    std::lock_guard<std::mutex> lock(mu_);
    return calls_;
  }

 private:
  void Record(const char* what, HWND top) {
    platform::ui::TopLevelSnapshot s;
    bool ok = platform::ui::SnapshotTopLevel(top, &s);
    std::string address;
    for (const auto& c : s.children) {
      if (c.id == IDC_ADDRESS) address = c.text;
    }
    std::lock_guard<std::mutex> lock(mu_);
    calls_.push_back(Call{what, top, address, ok});
  }
  std::mutex mu_;
  std::vector<Call> calls_;
};

TEST(Seam, TheModelCallsTheBackendInOrderAndWithoutItsLock) {
  auto owned = std::make_unique<RecordingBackend>();
  RecordingBackend* backend = owned.get();
  ASSERT_TRUE(platform::ui::UseBackend(std::move(owned), nullptr));
  {
    Driver driver;
    DialogRunner run;
    HWND dlg = run.Wait(driver);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(driver.Click(dlg, IDC_COM1));
    ASSERT_FALSE(driver.OpenSystemMenu(dlg).empty());
    platform::ui::PostSystemMenuDismissed(dlg);
    EXPECT_FALSE(driver.SystemMenuOpen(dlg));
    ASSERT_TRUE(driver.Escape(dlg));
    ASSERT_TRUE(run.Finish());
    std::vector<Call> calls = backend->calls();
    std::vector<std::string> seq;
    for (const Call& c : calls) {
      if (c.top == dlg) seq.push_back(c.what);
    }
    EXPECT_EQ(seq, (std::vector<std::string>{"show", "state", "menu", "hide", "destroy"}));
    // Shown only after OnInitDialog had set the texts.
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].addressText, "F7");
    EXPECT_TRUE(calls[0].snapshotOk);
    // The window is gone from the model when the backend hears of it.
    EXPECT_FALSE(calls.back().snapshotOk);
  }
  platform::ui::UseHeadlessBackend();
  EXPECT_TRUE(platform::ui::CurrentBackend()->IsHeadless());
}

TEST(Seam, AMessageBoxOnANonHeadlessBackendIsAWindowEvenWithoutADriver) {
  auto owned = std::make_unique<RecordingBackend>();
  RecordingBackend* backend = owned.get();
  ASSERT_TRUE(platform::ui::UseBackend(std::move(owned), nullptr));
  std::atomic<int> result{0};
  std::thread t([&] { result = MessageBoxA(NULL, "text", "On screen", MB_OK); });
  HWND box = nullptr;
  for (int i = 0; i < 10000 && !box; ++i) {
    for (const Call& c : backend->calls()) {
      if (c.what == "show") box = c.top;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(platform::ui::PostKey(box, VK_RETURN, false, false));
  t.join();
  EXPECT_EQ(result.load(), IDOK);
  platform::ui::UseHeadlessBackend();
}

// ---- Ends of message loops -------------------------------------------------------------

TEST(MessageLoops, WmQuitEndsAModalLoopAndIsPostedAgainForTheOuterLoop) {
  Driver driver;
  DialogRunner run([](TestDlg* d) { d->onRead = [](TestDlg*) { PostQuitMessage(5); }; });
  HWND dlg = run.Wait(driver);
  driver.ClickNoWait(dlg, IDC_READ);
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(run.result(), -1);
  EXPECT_FALSE(IsWindow(dlg));
}

class QuitApp : public CWinApp {
 public:
  BOOL InitInstance() override { return TRUE; }
  int ExitInstance() override {
    ++exits;
    return 0;
  }
  int exits = 0;
};

TEST(MessageLoops, RunHandlesSentMessagesAndEndsOnQuitWithItsCode) {
  QuitApp app;
  int code = -1;
  std::atomic<HWND> wnd{nullptr};
  std::thread t([&] {
    platform::ui::CreateParams p;
    p.proc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == WM_USER) {
        PostQuitMessage(static_cast<int>(w));
        return 11;
      }
      return DefWindowProcA(h, m, w, l);
    };
    wnd = platform::ui::CreateModelWindow(p);
    code = app.Run();
  });
  while (!wnd.load()) std::this_thread::yield();
  EXPECT_EQ(SendMessageA(wnd.load(), WM_USER, 9, 0), 11);
  t.join();
  EXPECT_EQ(code, 9);
  EXPECT_EQ(app.exits, 1);
}

TEST(MessageLoops, PeekMessageHandlesSentMessagesAndDoesNotWait) {
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  platform::ui::CreateParams p;
  p.proc = [](HWND, UINT m, WPARAM, LPARAM) -> LRESULT { return m == WM_USER ? 3 : 0; };
  HWND h = platform::ui::CreateModelWindow(p);
  std::atomic<LRESULT> got{0};
  std::thread sender([&] { got = SendMessageA(h, WM_USER, 0, 0); });
  while (got.load() == 0) {
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    std::this_thread::yield();
  }
  sender.join();
  EXPECT_EQ(got.load(), 3);
  PostMessageA(h, WM_USER + 7, 1, 2);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 7));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  DestroyWindow(h);
}

}  // namespace
