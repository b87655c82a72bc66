#include "tests/app/app_fixture.h"

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "platform/devicemap.h"

namespace apptest {

Ports::Ports() {
  char tmpl[] = "/tmp/corvane-app-test.XXXXXX";
  const char* made = ::mkdtemp(tmpl);
  EXPECT_NE(made, nullptr);
  dir_ = made ? made : "/nonexistent";
  // The program's map, and the environment of the programs it starts.
  for (int n = 1; n <= 4; ++n) {
    platform::SetComOverride(n, Path(n));
    std::string var = "CORVANE_COM" + std::to_string(n);
    ::setenv(var.c_str(), Path(n).c_str(), 1);
  }
}

Ports::~Ports() {
  for (auto& cam : cams_) cam.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string Ports::Path(int n) const {
  return dir_ + "/com" + std::to_string(n);
}

camsim::Camsim& Ports::Attach(int n, const camsim::Faults& faults, int thinkMs) {
  camsim::CamsimOptions options;
  options.linkPath = Path(n);
  options.logPath = Path(n) + ".log";
  options.faults = faults;
  options.thinkMs = thinkMs;
  std::string error;
  auto& slot = cams_[static_cast<std::size_t>(n - 1)];
  slot = camsim::Camsim::Start(options, &error);
  if (!slot) {
    ADD_FAILURE() << "camera for COM" << n << " did not start: " << error;
    std::abort();
  }
  return *slot;
}

void Ports::Detach(int n) {
  cams_[static_cast<std::size_t>(n - 1)].reset();
}

std::size_t Ports::Frames(int n) {
  std::size_t count = 0;
  for (const auto& e : Cam(n).Log()) count += e.kind == camsim::LogKind::kRx;
  return count;
}

ProgramRun::ProgramRun(Driver& driver) : d_(driver) {
  thread_ = std::thread([this] {
    thread_id_ = GetCurrentThreadId();
    result_ = theApp.InitInstance();
    ended_ = true;
  });
}

ProgramRun::~ProgramRun() {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  d_.SetAutoAcknowledge(true);
  while (!ended_ && std::chrono::steady_clock::now() < deadline) {
    for (const auto& box : d_.OpenBoxes()) d_.CloseBox(box);
    for (const char* title : {corvane::AboutTexts::kTitle, corvane::kTesterTitle}) {
      if (HWND h = d_.WaitTopLevel(title, Ms(0))) PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
    }
    std::this_thread::sleep_for(Ms(20));
  }
  thread_.join();
}

HWND ProgramRun::PastAbout() {
  HWND about = WaitAbout();
  if (!about) return nullptr;
  d_.Click(about, IDOK);
  return WaitMain();
}

bool ProgramRun::WaitEnded(Ms limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ended_) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(Ms(2));
  }
  return true;
}

CTesterDlg* ProgramRun::Dialog(HWND main) {
  return dynamic_cast<CTesterDlg*>(CWnd::FromHandlePermanent(main));
}

void SetField(Driver& d, HWND top, int id, const std::string& text) {
  d.Click(top, id);
  d.Type(top, "\b\b\b");
  if (!text.empty()) d.Type(top, text);
}

}  // namespace apptest
