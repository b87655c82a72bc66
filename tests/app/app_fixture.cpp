#include "tests/app/app_fixture.h"

#include <chrono>

#include "testing/wait.h"

namespace apptest {

Ports::Ports() = default;

Ports::~Ports() {
  for (auto& cam : cams_) cam.reset();
}

std::string Ports::Path(int n) const {
  return dir_.File("com" + std::to_string(n));
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
  // What a user would do until the program has ended: acknowledge every
  // box and cancel every dialog, again as new ones come.
  d_.SetAutoAcknowledge(true);
  testsupport::WaitUntil(
      [&] {
        if (ended_) return true;
        for (const auto& box : d_.OpenBoxes()) d_.CloseBox(box);
        for (const char* title : {corvane::AboutTexts::kTitle, corvane::kTesterTitle}) {
          if (HWND h = d_.WaitTopLevel(title, Ms(0))) PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
        }
        return false;
      },
      Ms(30000));
  thread_.join();
}

HWND ProgramRun::PastAbout() {
  HWND about = WaitAbout();
  if (!about) return nullptr;
  d_.Click(about, IDOK);
  return WaitMain();
}

bool ProgramRun::WaitEnded(Ms limit) {
  return testsupport::WaitUntil([&] { return ended_.load(); }, limit);
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
