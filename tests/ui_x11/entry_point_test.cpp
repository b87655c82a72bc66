// The program's entry point on the FLTK backend: without a display it says
// so and fails; with one it shows its dialog and ends cleanly when the
// dialog ends (the display thread stops, the process exits 0).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/ui/model/backend.h"
#include "testing/env.h"
#include "testing/process.h"
#include "tests/ui_x11/test_dialog.h"
#include "tests/ui_x11/x11_harness.h"

namespace x11test {
namespace {

TEST(FltkEntryPoint, BackendStartFailsWithoutADisplayAndNamesIt) {
  testsupport::ScopedEnv display("DISPLAY", std::nullopt);
  std::string error;
  EXPECT_FALSE(platform::ui::MakeFltkBackend()->Start(&error));
  EXPECT_NE(error.find("cannot open display"), std::string::npos) << error;

  // A display that no server serves: the message carries the name.
  display.Set(":4711");
  EXPECT_FALSE(platform::ui::MakeFltkBackend()->Start(&error));
  EXPECT_NE(error.find("cannot open display \":4711\""), std::string::npos) << error;
}

TEST(FltkEntryPoint, ProgramWithoutADisplaySaysSoAndExitsNonZero) {
  std::string out, err;
  EXPECT_NE(testsupport::Run({CORVANE_X11_APP}, {{"DISPLAY", std::nullopt}}, &out, &err), 0);
  EXPECT_NE((out + err).find("cannot open display"), std::string::npos) << out << err;
  EXPECT_NE(testsupport::Run({CORVANE_X11_APP}, {{"DISPLAY", ":4712"}}, &out, &err), 0);
  EXPECT_NE((out + err).find(":4712"), std::string::npos) << out << err;
}

TEST(FltkEntryPoint, ProgramShowsItsDialogAndExitsWhenItEnds) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (run through scripts/with-xvfb.sh)";
  testsupport::Process program({CORVANE_X11_APP});
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u);
  Keys(win, "Escape");
  EXPECT_EQ(program.Wait(10s), 0) << "the program did not end with its dialog";
}

}  // namespace
}  // namespace x11test
