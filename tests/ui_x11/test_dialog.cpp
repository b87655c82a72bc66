#include "tests/ui_x11/test_dialog.h"

#include <chrono>

#include "platform/ui/model/backend.h"
#include "platform/ui/model/resources.h"
#include "testing/wait.h"

namespace x11test {
namespace {

using namespace platform::ui;
using std::chrono::milliseconds;

constexpr milliseconds kWait(10000);
constexpr int kIconId = 901;

IconImage MakeImage(int size) {
  // A blue square with a yellow diagonal, opaque, so a task bar shows it.
  IconImage img;
  img.width = img.height = size;
  img.rgba.resize(static_cast<std::size_t>(size * size * 4));
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      std::uint8_t* p = &img.rgba[static_cast<std::size_t>((y * size + x) * 4)];
      bool diagonal = std::abs(x - y) <= size / 16;
      p[0] = diagonal ? 255 : 20;
      p[1] = diagonal ? 220 : 60;
      p[2] = diagonal ? 0 : 200;
      p[3] = 255;
    }
  }
  return img;
}

class CX11TestDlg : public CDialog {
 public:
  CX11TestDlg(Record* record, ReadAction action, std::atomic<HWND>* shown)
      : CDialog(kDialogId), record_(record), action_(action), shown_(shown) {}

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    CMenu* menu = GetSystemMenu(FALSE);
    menu->AppendMenuA(MF_SEPARATOR);
    menu->AppendMenuA(MF_STRING, kAboutCommand, "&About Corvane X11 test...");
    HICON icon = FindIcon(kIconId);
    SetIcon(icon, TRUE);
    SetIcon(icon, FALSE);
    SetDlgItemText(1003, "F8");
    SetDlgItemText(1008, "F7");
    SetDlgItemText(1012, "0");
    SetDlgItemText(1013, "0");
    GetDlgItem(1008)->SendMessageA(EM_LIMITTEXT, 2);
    GetDlgItem(1011)->SendMessageA(EM_LIMITTEXT, 2);
    GetDlgItem(1013)->SendMessageA(EM_LIMITTEXT, 1);
    if (shown_) shown_->store(m_hWnd);
    return TRUE;
  }

  afx_msg void OnSysCommand(UINT nID, LPARAM lParam) {
    record_->SysCommand(nID);
    if (nID != kAboutCommand) CDialog::OnSysCommand(nID, lParam);
  }
  afx_msg void OnReadClicked() {
    record_->Click(kRead.id, GetCurrentThreadId());
    if (action_ != ReadAction::kNothing) ShowBoxFromWorker();
    record_->HandlerReturned();
  }
  afx_msg void OnWriteClicked() { record_->Click(kWrite.id, GetCurrentThreadId()); }
  afx_msg void OnCom1Clicked() {
    record_->Click(kCom1.id, GetCurrentThreadId());
    GetDlgItem(kWrite.id)->EnableWindow(TRUE);
  }
  afx_msg void OnCom2Clicked() { record_->Click(kCom2.id, GetCurrentThreadId()); }

  // As a camera transaction does: the box comes from the worker thread while
  // this thread is blocked and handles no messages.
  void ShowBoxFromWorker() {
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> closed{false};
    std::thread worker([&] {
      MessageBoxA(nullptr, kBoxText, kBoxCaption, MB_ICONERROR);
      closed = true;
      SetEvent(done);
    });
    if (action_ == ReadAction::kBoxWhileWaiting) {
      WaitForSingleObject(done, 30000);
    } else {
      auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (!closed && std::chrono::steady_clock::now() < until) {
      }
    }
    worker.join();
    CloseHandle(done);
  }

 private:
  Record* record_;
  ReadAction action_;
  std::atomic<HWND>* shown_;
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CX11TestDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_BN_CLICKED(1000, &CX11TestDlg::OnReadClicked)
ON_BN_CLICKED(1001, &CX11TestDlg::OnWriteClicked)
ON_BN_CLICKED(1005, &CX11TestDlg::OnCom1Clicked)
ON_BN_CLICKED(1006, &CX11TestDlg::OnCom2Clicked)
END_MESSAGE_MAP()

WindowSnapshot ControlSnapshot(HWND dialog, int id) {
  WindowSnapshot s;
  SnapshotWindow(GetDlgItem(dialog, id), &s);
  return s;
}

}  // namespace

void Record::Click(int id, DWORD thread) {
  std::lock_guard<std::mutex> lock(mu_);
  clicks_.emplace_back(id, thread);
  cv_.notify_all();
}
void Record::SysCommand(UINT id) {
  std::lock_guard<std::mutex> lock(mu_);
  sysCommands_.push_back(id);
  cv_.notify_all();
}
void Record::HandlerReturned() {
  std::lock_guard<std::mutex> lock(mu_);
  ++returned_;
  cv_.notify_all();
}
int Record::Clicks(int id) {
  std::lock_guard<std::mutex> lock(mu_);
  int n = 0;
  for (auto& c : clicks_) n += c.first == id;
  return n;
}
DWORD Record::LastClickThread() {
  std::lock_guard<std::mutex> lock(mu_);
  return clicks_.empty() ? 0 : clicks_.back().second;
}
std::vector<UINT> Record::SysCommands() {
  std::lock_guard<std::mutex> lock(mu_);
  return sysCommands_;
}
int Record::HandlersReturned() {
  std::lock_guard<std::mutex> lock(mu_);
  return returned_;
}
bool Record::WaitClicks(int id, int n) {
  std::unique_lock<std::mutex> lock(mu_);
  return cv_.wait_for(lock, kWait, [&] {
    int count = 0;
    for (auto& c : clicks_) count += c.first == id;
    return count >= n;
  });
}
bool Record::WaitReturned(int n) {
  std::unique_lock<std::mutex> lock(mu_);
  return cv_.wait_for(lock, kWait, [&] { return returned_ >= n; });
}

void RegisterTestResources() {
  static bool once = [] {
    DialogTemplate t;
    t.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
    t.exStyle = WS_EX_APPWINDOW;
    t.extended = true;
    t.cx = 267;
    t.cy = 90;
    t.title = kDialogTitle;
    const DWORD edit = ES_CENTER | ES_AUTOHSCROLL | WS_BORDER;
    t.items = {
        PushButton("Read", 1000, 105, 70, 32, 15),
        PushButton("Write", 1001, 155, 70, 30, 15, WS_TABSTOP | WS_DISABLED),
        Auto3StateBox("Com1", 1005, 205, 10, 10, 10),
        Auto3StateBox("Com2", 1006, 205, 25, 8, 10),
        Auto3StateBox("Com3", 1007, 205, 40, 10, 10, WS_TABSTOP | WS_DISABLED),
        Auto3StateBox("Com4", 1004, 205, 55, 10, 10, WS_TABSTOP | WS_DISABLED),
        LText("COM 1", -1, 221, 10, 34, 10, WS_GROUP),
        LText("COM 2", -1, 221, 25, 34, 10, WS_GROUP),
        LText("COM 3", -1, 221, 40, 34, 10, WS_GROUP),
        LText("COM 4", -1, 221, 55, 34, 10, WS_GROUP),
        EditText(1003, 65, 25, 20, 12, edit | ES_READONLY),
        EditText(1008, 65, 45, 20, 12, edit | WS_TABSTOP),
        EditText(1009, 109, 25, 20, 12, edit | ES_READONLY),
        EditText(1010, 109, 45, 20, 12, edit | ES_READONLY),
        EditText(1011, 159, 45, 20, 12, edit),
        GroupBox("Address", -1, 55, 10, 40, 55),
        GroupBox("Code", -1, 99, 10, 90, 55),
        GroupBox("Page", -1, 10, 10, 40, 55),
        EditText(1012, 20, 25, 20, 12, edit | ES_READONLY),
        EditText(1013, 20, 45, 20, 12, edit | ES_NUMBER),
    };
    RegisterDialogTemplate(kDialogId, t);
    RegisterIcon(kIconId, MakeImage(32), MakeImage(16));
    return true;
  }();
  (void)once;
}

INT_PTR RunTestDialog(Record* record, ReadAction action, std::atomic<HWND>* shown) {
  RegisterTestResources();
  CX11TestDlg dlg(record, action, shown);
  return dlg.DoModal();
}

DialogThread::DialogThread(ReadAction action) : action_(action) {
  RegisterTestResources();
  thread_ = std::thread([this] {
    thread_id_ = GetCurrentThreadId();
    result_ = RunTestDialog(&record_, action_, &hwnd_);
    ended_ = true;
  });
}

DialogThread::~DialogThread() {
  // A test that failed half-way may leave a box open on a worker, with the
  // dialog's thread waiting for it: close the boxes, then the dialog.
  testsupport::WaitUntil(
      [&] {
        if (ended_) return true;
        for (HWND box : MessageBoxes()) PostCloseBox(box);
        if (HWND h = hwnd_.load()) PostCloseBox(h);
        return false;
      },
      kWait);
  thread_.join();
}

HWND DialogThread::WaitShown() {
  HWND h = nullptr;
  return testsupport::WaitUntil([&] { return (h = hwnd_.load()) && IsWindowVisible(h); }, kWait)
             ? h
             : nullptr;
}

bool DialogThread::WaitEnded() {
  return testsupport::WaitUntil([&] { return ended_.load(); }, kWait);
}

std::string ControlText(HWND dialog, int id) {
  return ControlSnapshot(dialog, id).text;
}
int ControlCheck(HWND dialog, int id) {
  return ControlSnapshot(dialog, id).check;
}
bool ControlFocused(HWND dialog, int id) {
  return ControlSnapshot(dialog, id).focused;
}
int ControlCaret(HWND dialog, int id) {
  return ControlSnapshot(dialog, id).caret;
}

int FocusedId(HWND dialog) {
  TopLevelSnapshot s;
  if (!SnapshotTopLevel(dialog, &s)) return 0;
  for (const WindowSnapshot& c : s.children) {
    if (c.focused) return c.id;
  }
  return 0;
}

std::vector<HWND> MessageBoxes() {
  std::vector<HWND> boxes;
  for (HWND h : TopLevelWindows()) {
    WindowSnapshot s;
    if (SnapshotWindow(h, &s) && s.kind == WindowKind::kMessageBox && s.visible) {
      boxes.push_back(h);
    }
  }
  return boxes;
}

}  // namespace x11test
