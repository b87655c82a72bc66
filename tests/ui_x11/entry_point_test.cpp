// The program's entry point on the FLTK backend: without a display it says
// so and fails; with one it shows its dialog and ends cleanly when the
// dialog ends (the display thread stops, the process exits 0).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "platform/ui/backend.h"
#include "tests/ui_x11/test_dialog.h"
#include "tests/ui_x11/x11_harness.h"

namespace x11test {
namespace {

TEST(FltkEntryPoint, BackendStartFailsWithoutADisplayAndNamesIt) {
  std::string saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  ::unsetenv("DISPLAY");
  std::string error;
  EXPECT_FALSE(platform::ui::MakeFltkBackend()->Start(&error));
  EXPECT_NE(error.find("cannot open display"), std::string::npos) << error;

  // A display that no server serves: the message carries the name.
  ::setenv("DISPLAY", ":4711", 1);
  EXPECT_FALSE(platform::ui::MakeFltkBackend()->Start(&error));
  EXPECT_NE(error.find("cannot open display \":4711\""), std::string::npos) << error;
  if (saved.empty()) {
    ::unsetenv("DISPLAY");
  } else {
    ::setenv("DISPLAY", saved.c_str(), 1);
  }
}

TEST(FltkEntryPoint, ProgramWithoutADisplaySaysSoAndExitsNonZero) {
  std::string out;
  int rc = Shell("env -u DISPLAY " + Quote(CORVANE_X11_APP) + " 2>&1", &out);
  EXPECT_NE(rc, 0);
  EXPECT_NE(out.find("cannot open display"), std::string::npos) << out;
  rc = Shell("env DISPLAY=:4712 " + Quote(CORVANE_X11_APP) + " 2>&1", &out);
  EXPECT_NE(rc, 0);
  EXPECT_NE(out.find(":4712"), std::string::npos) << out;
}

TEST(FltkEntryPoint, ProgramShowsItsDialogAndExitsWhenItEnds) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (run through tools/with-xvfb.sh)";
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::execl(CORVANE_X11_APP, CORVANE_X11_APP, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  unsigned long win = WaitWindow(kDialogTitle);
  if (win == 0) ::kill(pid, SIGKILL);
  ASSERT_NE(win, 0u);
  Keys(win, "Escape");
  int status = 0;
  bool exited = WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; });
  if (!exited) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  ASSERT_TRUE(exited) << "the program did not end with its dialog";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace x11test
