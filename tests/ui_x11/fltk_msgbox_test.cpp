// Message boxes from a worker thread on the FLTK backend, while the thread
// that owns the dialog is blocked in a wait or spinning: the box appears on
// the display, and the user closes it with its OK button or Enter.
#include <gtest/gtest.h>

#include "platform/ui/model/backend.h"
#include "tests/ui_x11/fltk_fixture.h"
#include "tests/ui_x11/test_dialog.h"
#include "tests/ui_x11/x11_harness.h"

namespace x11test {
namespace {

using namespace platform::ui;

class FltkMessageBoxTest : public FltkTest {};

// The OK button's centre in root pixels, from the box's model layout.
bool OkButtonCentre(HWND box, unsigned long win, int* x, int* y) {
  TopLevelSnapshot s;
  if (!SnapshotTopLevel(box, &s)) return false;
  Geometry g = WindowGeometry(win);
  for (const WindowSnapshot& c : s.children) {
    if (c.kind != WindowKind::kPushButton) continue;
    *x = g.x + (c.rect.left + c.rect.right) / 2;
    *y = g.y + (c.rect.top + c.rect.bottom) / 2;
    return true;
  }
  return false;
}

TEST_F(FltkMessageBoxTest, BoxFromAWorkerAppearsWhileTheDialogWaitsAndClosesWithOk) {
  DialogThread dialog(ReadAction::kBoxWhileWaiting);
  ASSERT_NE(dialog.WaitShown(), nullptr);
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u);
  ClickDialogUnits(win, kRead.x, kRead.y, kRead.cx, kRead.cy);
  ASSERT_TRUE(dialog.record().WaitClicks(kRead.id, 1));

  unsigned long boxWin = WaitWindow(kBoxCaption);
  ASSERT_NE(boxWin, 0u) << "the box did not appear while the dialog's thread waits";
  std::vector<HWND> boxes;
  ASSERT_TRUE(WaitUntil([&] { return (boxes = MessageBoxes()).size() == 1; }));
  EXPECT_EQ(dialog.record().HandlersReturned(), 0) << "the dialog's thread must still wait";
  EXPECT_TRUE(WaitDrawn(boxWin));
  EXPECT_FALSE(Screenshot("message-box").empty());  // an artefact

  int x = 0, y = 0;
  ASSERT_TRUE(OkButtonCentre(boxes[0], boxWin, &x, &y));
  ClickAt(x, y);
  ASSERT_TRUE(dialog.record().WaitReturned(1)) << "OK did not close the box";
  EXPECT_TRUE(WaitNoWindow(kBoxCaption));
  EXPECT_TRUE(MessageBoxes().empty());

  // The dialog goes on handling clicks afterwards.
  ClickDialogUnits(win, kRead.x, kRead.y, kRead.cx, kRead.cy);
  EXPECT_TRUE(dialog.record().WaitClicks(kRead.id, 2));
}

TEST_F(FltkMessageBoxTest, BoxFromAWorkerAppearsWhileTheDialogSpinsAndClosesWithEnter) {
  DialogThread dialog(ReadAction::kBoxWhileSpinning);
  ASSERT_NE(dialog.WaitShown(), nullptr);
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u);
  ClickDialogUnits(win, kRead.x, kRead.y, kRead.cx, kRead.cy);
  unsigned long boxWin = WaitWindow(kBoxCaption);
  ASSERT_NE(boxWin, 0u) << "the box did not appear while the dialog's thread spins";
  // Title, icon and text as the program's error box shows them.
  std::vector<HWND> boxes;
  ASSERT_TRUE(WaitUntil([&] { return (boxes = MessageBoxes()).size() == 1; }));
  TopLevelSnapshot s;
  ASSERT_TRUE(SnapshotTopLevel(boxes[0], &s));
  EXPECT_EQ(s.self.text, kBoxCaption);
  EXPECT_EQ(s.messageBoxType & MB_ICONMASK, MB_ICONERROR);
  Keys(boxWin, "Return");
  ASSERT_TRUE(dialog.record().WaitReturned(1)) << "Enter did not close the box";
  EXPECT_TRUE(WaitNoWindow(kBoxCaption));
}

TEST_F(FltkMessageBoxTest, BoxesFromTwoThreadsAreOpenAtOnceAndCloseOneByOne) {
  // Two boxes with no owner, each on a thread of its own: neither blocks
  // the other (no process-wide modality).
  std::thread a([] { MessageBoxA(nullptr, "first", "Box A", MB_ICONERROR); });
  std::thread b([] { MessageBoxA(nullptr, "second", "Box B", MB_ICONINFORMATION); });
  struct CloseLeftovers {
    std::thread& a;
    std::thread& b;
    ~CloseLeftovers() {
      for (HWND box : MessageBoxes()) PostCloseBox(box);
      a.join();
      b.join();
    }
  } cleanup{a, b};
  unsigned long wa = WaitWindow("Box A"), wb = WaitWindow("Box B");
  ASSERT_NE(wa, 0u);
  ASSERT_NE(wb, 0u);
  Keys(wb, "Return");
  EXPECT_TRUE(WaitNoWindow("Box B"));
  EXPECT_NE(WaitWindow("Box A", std::chrono::milliseconds(500)), 0u) << "A must stay open";
  Keys(wa, "space");
  EXPECT_TRUE(WaitNoWindow("Box A"));
}

}  // namespace
}  // namespace x11test
