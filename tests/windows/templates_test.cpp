// The program's dialog templates as the real dialog manager makes them from
// the in-memory templates: every control with its class, identifier, text
// and styles, in template (Tab) order, placed by dialog units at the
// template's font, and the About box's icon from the program's resources.
// The memory map's grids are a class of the program's own, registered here
// plainly; its progress bar is comctl32's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/model/resources.h"
#include "platform/windows/dlgtemplate.h"
#include "res/Resources.h"
#include "res/resource.h"

namespace {

using platform::ui::DialogItemTemplate;
using platform::ui::DialogTemplate;

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

std::string Text(HWND h) {
  char buffer[512] = "";
  ::GetWindowTextA(h, buffer, sizeof buffer);
  return buffer;
}

std::string ClassOf(HWND h) {
  char buffer[64] = "";
  ::GetClassNameA(h, buffer, sizeof buffer);
  return buffer;
}

class DialogFromTemplate : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    corvane::RegisterCorvaneResources();
    ::InitCommonControls();
    WNDCLASSA grid{};
    grid.lpfnWndProc = &::DefWindowProcA;
    grid.hInstance = ::GetModuleHandleA(nullptr);
    grid.lpszClassName = corvane::kCodeGridClass;
    ::RegisterClassA(&grid);  // fails, harmlessly, from the second test on
    data_ = platform::ui::FindDialogTemplate(GetParam());
    ASSERT_NE(data_, nullptr);
    bytes_ = platform::windows::BuildDialogTemplate(*data_);
    dialog_ = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr),
                                           reinterpret_cast<LPCDLGTEMPLATEA>(bytes_.data()),
                                           nullptr, &PlainDialogProc, 0);
    ASSERT_NE(dialog_, nullptr) << "error " << ::GetLastError();
  }
  void TearDown() override {
    if (dialog_) ::DestroyWindow(dialog_);
  }

  const DialogTemplate* data_ = nullptr;
  std::vector<WORD> bytes_;
  HWND dialog_ = nullptr;
};

TEST_P(DialogFromTemplate, HasTheTitleStylesAndEveryControlInTemplateOrder) {
  EXPECT_EQ(Text(dialog_), data_->title);
  const DWORD style = static_cast<DWORD>(::GetWindowLongA(dialog_, GWL_STYLE));
  EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);
  EXPECT_EQ(::GetSystemMenu(dialog_, FALSE) != nullptr, true);

  HWND child = ::GetWindow(dialog_, GW_CHILD);
  for (const DialogItemTemplate& item : data_->items) {
    ASSERT_NE(child, nullptr) << "fewer controls than the template's " << data_->items.size();
    SCOPED_TRACE("control " + std::to_string(item.id) + " \"" + item.text + "\"");
    EXPECT_EQ(ClassOf(child), item.className == "BUTTON"   ? "Button"
                              : item.className == "EDIT"   ? "Edit"
                              : item.className == "STATIC" ? "Static"
                                                           : item.className);
    if (item.id != -1) {
      EXPECT_EQ(::GetDlgCtrlID(child), item.id);
      EXPECT_EQ(::GetDlgItem(dialog_, item.id), child);
    }
    const DWORD childStyle = static_cast<DWORD>(::GetWindowLongA(child, GWL_STYLE));
    EXPECT_EQ(childStyle & (WS_CHILD | WS_VISIBLE), DWORD(WS_CHILD | WS_VISIBLE));
    // The kind bits (BS_, ES_, SS_ in the low word) and the window bits.
    DWORD wanted = item.style & ~static_cast<DWORD>(WS_TABSTOP | WS_GROUP);
    if (item.style & WS_BORDER) {
      // The dialog manager draws a control's border sunken (3-D look), an
      // edit's or a grid's; the progress bar draws its own edge, or none.
      wanted &= ~static_cast<DWORD>(WS_BORDER);
      if (item.className != PROGRESS_CLASSA) {
        EXPECT_TRUE(::GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
      }
    }
    EXPECT_EQ(childStyle & wanted, wanted);
    EXPECT_EQ(childStyle & WS_TABSTOP, item.style & WS_TABSTOP);
    if (item.iconId) {
      EXPECT_NE(::SendMessageA(child, STM_GETICON, 0, 0), 0) << "icon " << item.iconId;
    } else {
      EXPECT_EQ(Text(child), item.text);
    }
    // Placed in dialog units of the template's font, as the dialog
    // manager converts them (an icon control takes its icon's size).
    if (item.iconId) {
      child = ::GetWindow(child, GW_HWNDNEXT);
      continue;
    }
    // Position and size are converted each on its own, as the dialog
    // manager does.
    RECT at{item.x, item.y, item.cx, item.cy};
    ::MapDialogRect(dialog_, &at);
    RECT got{};
    ::GetWindowRect(child, &got);
    ::MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&got), 2);
    EXPECT_EQ(got.left, at.left);
    EXPECT_EQ(got.top, at.top);
    EXPECT_EQ(got.right - got.left, at.right);
    EXPECT_EQ(got.bottom - got.top, at.bottom);
    child = ::GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "more controls than the template's";
}

INSTANTIATE_TEST_SUITE_P(Program, DialogFromTemplate,
                         ::testing::Values(IDD_ABOUT, IDD_TESTER, IDD_MEMORYMAP));

}  // namespace
