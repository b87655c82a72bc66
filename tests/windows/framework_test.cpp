// The framework over the real user32: a dialog made by DoModal gets
// WM_INITDIALOG from user32 with its controls bound by DDX_Control, a
// button's BN_CLICKED reaches its handler, WM_CLOSE and the system menu's
// Close become IDCANCEL through the dialog manager, the controls' objects
// are unbound when the dialog goes, and worker threads end and free their
// objects.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/afx.h"
#include "platform/ui/model/resources.h"
#include "testing/wait.h"

namespace {

constexpr int kTemplate = 31200;
constexpr int kButton = 31201;
constexpr int kEdit = 31202;

void RegisterProbeTemplate() {
  using namespace platform::ui;
  DialogTemplate t;
  t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  t.cx = 120;
  t.cy = 60;
  t.title = "Probe";
  t.items = {PushButton("Press", kButton, 10, 10, 40, 14), EditText(kEdit, 10, 30, 40, 12)};
  RegisterDialogTemplate(kTemplate, t);
}

class ProbeDlg : public CDialog {
 public:
  // What OnInitDialog posts to the dialog, once it is set up.
  enum class Then { kClose, kClickButton, kSystemClose };
  explicit ProbeDlg(Then then) : CDialog(kTemplate), then_(then) {}

  CButton m_button;
  CEdit m_edit;
  int initCalls = 0;
  int clicks = 0;
  bool boundAtInit = false;
  bool editObjectFound = false;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kButton, m_button);
    DDX_Control(pDX, kEdit, m_edit);
  }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    ++initCalls;
    boundAtInit = m_button.m_hWnd == ::GetDlgItem(m_hWnd, kButton) && m_edit.m_hWnd != nullptr;
    editObjectFound = CWnd::FromHandle(::GetDlgItem(m_hWnd, kEdit)) == &m_edit;
    m_edit.SetWindowTextA("1F");
    switch (then_) {
      case Then::kClose:
        PostMessageA(WM_CLOSE);
        break;
      case Then::kClickButton:
        m_button.PostMessageA(BM_CLICK);
        break;
      case Then::kSystemClose:
        PostMessageA(WM_SYSCOMMAND, SC_CLOSE);
        break;
    }
    return TRUE;
  }
  afx_msg void OnButton() {
    ++clicks;
    CString text;
    m_edit.GetWindowTextA(text);
    EndDialog(text == "1F" ? 77 : 78);
  }
  DECLARE_MESSAGE_MAP()

 private:
  Then then_;
};

BEGIN_MESSAGE_MAP(ProbeDlg, CDialog)
ON_BN_CLICKED(kButton, &ProbeDlg::OnButton)
END_MESSAGE_MAP()

class Framework : public ::testing::Test {
 protected:
  void SetUp() override { RegisterProbeTemplate(); }
};

TEST_F(Framework, WmCloseBecomesCancelThroughTheDialogManager) {
  ProbeDlg dlg(ProbeDlg::Then::kClose);
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.initCalls, 1);
  EXPECT_TRUE(dlg.boundAtInit);
  EXPECT_TRUE(dlg.editObjectFound);
  // The window and its controls are gone, and so are the bindings.
  EXPECT_EQ(dlg.m_hWnd, nullptr);
  EXPECT_EQ(dlg.m_button.m_hWnd, nullptr);
  EXPECT_EQ(dlg.m_edit.m_hWnd, nullptr);
}

TEST_F(Framework, ClickReachesItsHandlerAndSystemMenuCloseCancels) {
  ProbeDlg click(ProbeDlg::Then::kClickButton);
  EXPECT_EQ(click.DoModal(), 77);
  EXPECT_EQ(click.clicks, 1);
  ProbeDlg systemClose(ProbeDlg::Then::kSystemClose);
  EXPECT_EQ(systemClose.DoModal(), IDCANCEL);
  EXPECT_EQ(systemClose.clicks, 0);
}

TEST_F(Framework, DoModalWithoutTemplateGivesMinusOne) {
  CDialog dlg(31299);
  EXPECT_EQ(dlg.DoModal(), -1);
}

std::atomic<int> g_ran{0};

unsigned Worker(LPVOID param) {
  g_ran.fetch_add(*static_cast<int*>(param));
  return 0;
}

TEST(WorkerThreads, RunTheirProcedureAndFreeTheirObject) {
  const long before = platform::afx::LiveWinThreadObjects();
  static int three = 3;
  ASSERT_NE(AfxBeginThread(&Worker, &three), nullptr);
  EXPECT_TRUE(testsupport::WaitUntil([] { return g_ran.load() == 3; }));
  EXPECT_TRUE(
      testsupport::WaitUntil([before] { return platform::afx::LiveWinThreadObjects() == before; }));
}

}  // namespace
