// A test dialog shaped like the program's main dialog (buttons, three-state
// boxes, edits with limits, a digits-only edit, a read-only edit, a group
// box), run modally on its own thread and driven from the test's thread.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/afx.h"
#include "platform/ui/model/resources.h"
#include "testing/ui_driver.h"

namespace uitest {

constexpr int IDD_TEST = 9001;
constexpr int IDD_TEST_ABOUT = 9002;
constexpr int IDC_READ = 1000;
constexpr int IDC_WRITE = 1001;
constexpr int IDC_REF_ADDRESS = 1003;
constexpr int IDC_COM1 = 1005;
constexpr int IDC_COM2 = 1006;
constexpr int IDC_ADDRESS = 1008;
constexpr int IDC_NEW_CODE = 1011;
constexpr int IDC_PAGE = 1013;
constexpr UINT IDM_ABOUT = 16;
constexpr int IDI_TEST = 9128;
constexpr UINT IDS_ABOUT = 9101;
inline const char* kTitle = "Test dialog";
inline const char* kAboutTitle = "About test";

inline platform::ui::IconImage Solid(int size, std::uint8_t r) {
  platform::ui::IconImage img;
  img.width = img.height = size;
  img.rgba.assign(static_cast<std::size_t>(size * size * 4), 255);
  for (std::size_t i = 0; i < img.rgba.size(); i += 4) img.rgba[i] = r;
  return img;
}

inline void RegisterTestResources() {
  using namespace platform::ui;
  DWORD edit = ES_CENTER | ES_AUTOHSCROLL | WS_BORDER;
  DialogTemplate t;
  t.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
  t.exStyle = WS_EX_APPWINDOW;
  t.extended = true;
  t.cx = 267;
  t.cy = 90;
  t.title = kTitle;
  t.items = {
      PushButton("Read", IDC_READ, 105, 70, 32, 15),
      PushButton("Write", IDC_WRITE, 155, 70, 30, 15, WS_TABSTOP | WS_DISABLED),
      Auto3StateBox("Com1", IDC_COM1, 205, 10, 10, 10),
      Auto3StateBox("Com2", IDC_COM2, 205, 25, 8, 10),
      LText("COM 1", -1, 221, 10, 34, 10, WS_GROUP),
      EditText(IDC_REF_ADDRESS, 65, 25, 20, 12, edit | ES_READONLY),
      EditText(IDC_ADDRESS, 65, 45, 20, 12, edit | WS_TABSTOP),
      EditText(IDC_NEW_CODE, 159, 45, 20, 12, edit),
      GroupBox("Address", -1, 55, 10, 40, 55),
      EditText(IDC_PAGE, 20, 45, 20, 12, edit | ES_NUMBER),
  };
  RegisterDialogTemplate(IDD_TEST, t);

  DialogTemplate a;
  a.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  a.cx = 282;
  a.cy = 186;
  a.title = kAboutTitle;
  a.items = {
      LText("Test v. 2.0", -1, 40, 5, 119, 8, SS_NOPREFIX | WS_GROUP),
      DefPushButton("OK", IDOK, 235, 10, 32, 14, WS_TABSTOP | WS_GROUP),
      IconControl(IDI_TEST, -1, 11, 17, 20, 20),
  };
  RegisterDialogTemplate(IDD_TEST_ABOUT, a);
  RegisterIcon(IDI_TEST, Solid(32, 200), Solid(16, 100));
  RegisterString(IDS_ABOUT, "&About test...");
}

class AboutDlg : public CDialog {
 public:
  AboutDlg() : CDialog(IDD_TEST_ABOUT) {}
  DECLARE_MESSAGE_MAP()
};

// Everything the test dialog saw, for the test's thread to read.
struct Log {
  std::mutex mu;
  std::vector<int> com1Checks;  // check state seen by each BN_CLICKED of COM1
  std::vector<UINT> sysCommands;
  std::vector<std::pair<int, int>> commands;  // (id, notification) of every WM_COMMAND
  std::atomic<int> readClicks{0};
  std::atomic<int> readReturned{0};
  std::atomic<int> com2Clicks{0};
  std::atomic<int> paints{0};
  std::atomic<bool> visibleInInit{true};
  std::atomic<bool> initDone{false};
};

class TestDlg : public CDialog {
 public:
  explicit TestDlg(Log* log) : CDialog(IDD_TEST), log_(log) {}

  CButton m_btnRead, m_btnWrite, m_btnCom1, m_btnCom2;
  CEdit m_editAddress, m_editRefAddress, m_editNewCode, m_editPage;
  HICON m_hIcon = nullptr;
  bool cancelEnds = true;
  std::function<void(TestDlg*)> onRead;  // runs inside the Read handler
  std::function<void(TestDlg*)> onAbout;

  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    log_->visibleInInit = IsWindowVisible() != FALSE;
    if (CMenu* menu = GetSystemMenu(FALSE)) {
      CString about;
      about.LoadString(IDS_ABOUT);
      if (!about.IsEmpty()) {
        menu->AppendMenu(MF_SEPARATOR);
        menu->AppendMenu(MF_STRING, IDM_ABOUT, about);
      }
    }
    m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDI_TEST) : platform::ui::FindIcon(IDI_TEST);
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    SetDlgItemText(IDC_REF_ADDRESS, "F8");
    SetDlgItemText(IDC_ADDRESS, "F7");
    SetDlgItemText(IDC_PAGE, "0");
    m_editAddress.LimitText(2);
    m_editNewCode.LimitText(2);
    m_editPage.LimitText(1);
    log_->initDone = true;
    return TRUE;
  }

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PAGE, m_editPage);
    DDX_Control(pDX, IDC_NEW_CODE, m_editNewCode);
    DDX_Control(pDX, IDC_ADDRESS, m_editAddress);
    DDX_Control(pDX, IDC_REF_ADDRESS, m_editRefAddress);
    DDX_Control(pDX, IDC_WRITE, m_btnWrite);
    DDX_Control(pDX, IDC_READ, m_btnRead);
    DDX_Control(pDX, IDC_COM2, m_btnCom2);
    DDX_Control(pDX, IDC_COM1, m_btnCom1);
  }
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    {
      std::lock_guard<std::mutex> lock(log_->mu);
      log_->commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
    }
    return CDialog::OnCommand(wParam, lParam);
  }
  void OnCancel() override {
    if (cancelEnds) CDialog::OnCancel();
  }
  afx_msg void OnReadClicked() {
    ++log_->readClicks;
    if (onRead) onRead(this);
    ++log_->readReturned;
  }
  afx_msg void OnCom1Clicked() {
    std::lock_guard<std::mutex> lock(log_->mu);
    log_->com1Checks.push_back(m_btnCom1.GetCheck());
  }
  afx_msg void OnCom2Clicked() { ++log_->com2Clicks; }
  afx_msg void OnSysCommand(UINT nID, LPARAM lParam) {
    {
      std::lock_guard<std::mutex> lock(log_->mu);
      log_->sysCommands.push_back(nID);
    }
    if ((nID & 0xFFF0) == IDM_ABOUT) {
      if (onAbout) onAbout(this);
    } else {
      CDialog::OnSysCommand(nID, lParam);
    }
  }
  afx_msg void OnPaint() {
    ++log_->paints;
    if (IsIconic()) {
      CPaintDC dc(this);
      SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
      int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
      CRect rect;
      GetClientRect(&rect);
      dc.DrawIcon((rect.Width() - cx + 1) / 2, (rect.Height() - cy + 1) / 2, m_hIcon);
    } else {
      CDialog::OnPaint();
    }
  }
  afx_msg HCURSOR OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

 private:
  Log* log_;
  DECLARE_MESSAGE_MAP()
};

// Runs a TestDlg modally on its own thread.
class DialogRunner {
 public:
  explicit DialogRunner(std::function<void(TestDlg*)> setup = nullptr) {
    RegisterTestResources();
    dlg_ = std::make_unique<TestDlg>(&log_);
    if (setup) setup(dlg_.get());
    thread_ = std::thread([this] {
      threadId_ = GetCurrentThreadId();
      result_ = dlg_->DoModal();
      done_ = true;
    });
  }
  ~DialogRunner() {
    if (!done_ && dlg_->m_hWnd) PostMessageA(dlg_->m_hWnd, WM_COMMAND, IDCANCEL, 0);
    thread_.join();
  }
  // Waits for the dialog's window to be on screen.
  HWND Wait(testsupport::ui::Driver& d) { return d.WaitTopLevel(kTitle); }
  bool Finish(std::chrono::milliseconds limit = std::chrono::milliseconds(10000)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done_) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  INT_PTR result() const { return result_; }
  bool done() const { return done_; }
  TestDlg* dlg() { return dlg_.get(); }
  Log& log() { return log_; }
  DWORD thread() const { return threadId_; }

 private:
  Log log_;
  std::unique_ptr<TestDlg> dlg_;
  std::atomic<INT_PTR> result_{0};
  std::atomic<bool> done_{false};
  std::atomic<DWORD> threadId_{0};
  std::thread thread_;
};

}  // namespace uitest
