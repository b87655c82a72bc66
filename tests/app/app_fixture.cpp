#include "tests/app/app_fixture.h"

#include <chrono>

#include "app/CodeGrid.h"
#include "testing/wait.h"

namespace apptest {

Ports::Ports() = default;

Ports::~Ports() {
  for (auto& cam : cams_) cam.reset();
}

std::string Ports::Path(int n) const {
  return dir_.File("com" + std::to_string(n));
}

camsim::Camsim& Ports::Attach(int n, const camsim::Faults& faults, int thinkMs, bool wholeLine) {
  camsim::CamsimOptions options;
  options.line = wholeLine;
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
        for (const char* title :
             {corvane::AboutTexts::kTitle, corvane::kMemoryMapTitle, corvane::kTesterTitle}) {
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

HWND OpenMemoryMap(Driver& d, HWND main) {
  if (d.OpenSystemMenu(main).empty()) return nullptr;
  d.PickSystemMenuItemNoWait(main, IDM_MEMORYMAP);
  return d.WaitTopLevel(corvane::kMemoryMapTitle);
}

GridView ViewGrid(Driver& d, HWND map, int id) {
  using platform::ui::PaintOp;
  GridView view;
  platform::ui::WindowSnapshot grid;
  if (!platform::ui::SnapshotWindow(d.Item(map, id), &grid)) return view;
  // The cells in address order, each a text after the 32 headings; a mark
  // is a fill in the mark's colour inside a cell, the cursor a frame.
  std::vector<RECT> rects;
  int headings = 32;
  for (const PaintOp& op : grid.drawing) {
    if (op.kind == PaintOp::Kind::kText && headings-- <= 0) {
      view.cells.push_back(op.text);
      rects.push_back(op.rect);
    }
  }
  const auto cellAt = [&](const RECT& r) {
    for (std::size_t a = 0; a < rects.size(); ++a) {
      if (r.left >= rects[a].left && r.right <= rects[a].right && r.top >= rects[a].top &&
          r.bottom <= rects[a].bottom) {
        return static_cast<int>(a);
      }
    }
    return -1;
  };
  for (const PaintOp& op : grid.drawing) {
    if (op.kind == PaintOp::Kind::kFill && op.colour == CCodeGrid::kMarkColour) {
      view.marked.push_back(cellAt(op.rect));
    } else if (op.kind == PaintOp::Kind::kFrame) {
      view.cursor = cellAt(op.rect);
    }
  }
  return view;
}

std::string ReadAll(Driver& d, HWND map) {
  d.ClickNoWait(map, IDC_MAP_READ);
  std::string status;
  testsupport::WaitUntil(
      [&] {
        status = d.Text(map, IDC_MAP_STATUS);
        return status.find(" cells read") != std::string::npos && d.Enabled(map, IDC_MAP_READ);
      },
      Ms(60000));
  return status;
}

}  // namespace apptest
