// ports: the COM map with the state of each port, free and held, and the
// same words when a command finds no port to open.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "tests/cli/cli_fixture.h"
#include "tests/platform/serial_fixture.h"

namespace clitest {
namespace {

using CliPorts = CliTest;

// The one line of `ports` for a COM name ("" when there is not one).
std::string PortLine(const Ran& ran, const std::string& com) {
  const auto lines = LinesWith(ran.out, com + " ");
  return lines.size() == 1 ? lines[0] : std::string();
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// How many times the file was opened since the last call (an open raises
// a serial line's DTR and RTS).
int Opens(int watch) {
  int opens = 0;
  inotify_event events[64];
  for (ssize_t n; (n = read(watch, events, sizeof events)) > 0;) {
    opens += static_cast<int>(static_cast<std::size_t>(n) / sizeof(inotify_event));
  }
  return opens;
}

TEST_F(CliPorts, ListsTheMapWithEachStateAndAHeldPortIsNamedAlikeWhenNothingOpens) {
  StartCamera();
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(inotify_add_watch(watch, Camera().SlavePath().c_str(), IN_OPEN), 0);
  Ran ran = Cli({"ports"});
  ASSERT_EQ(ran.status, 0) << ran.err;
  const std::string header = ran.out.substr(0, ran.out.find('\n'));
  ASSERT_EQ(header.rfind("PORT ", 0), 0u) << ran.out;
  ASSERT_TRUE(EndsWith(header, "STATE")) << ran.out;
  const std::string com1 = PortLine(ran, "COM1");
  EXPECT_EQ(com1.rfind("COM1  " + Path("com1") + " ", 0), 0u) << ran.out;
  EXPECT_TRUE(EndsWith(com1, "free")) << ran.out;
  // The state stands in its column.
  EXPECT_EQ(com1.rfind("free"), header.rfind("STATE")) << ran.out;
  for (int n = 2; n <= 4; ++n) {
    const std::string line = PortLine(ran, "COM" + std::to_string(n));
    EXPECT_NE(line.find(Path("absent" + std::to_string(n))), std::string::npos) << ran.out;
    EXPECT_TRUE(EndsWith(line, "missing: does not exist")) << ran.out;
  }

  {
    corvane_test::PortHolder holder(PORT_TOOL, "COM1", Env());
    const std::string held = "in use by process " + std::to_string(holder.pid()) + " (port_tool)";
    Opens(watch);
    ran = Cli({"ports"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_TRUE(EndsWith(PortLine(ran, "COM1"), "  " + held)) << ran.out;
    EXPECT_EQ(Opens(watch), 0);
    // --probe opens the device, and so learns the same.
    ran = Cli({"ports", "--probe"});
    EXPECT_TRUE(EndsWith(PortLine(ran, "COM1"), "  " + held)) << ran.out;
    EXPECT_EQ(Opens(watch), 1);

    ran = Cli({"read", "0:F7"});
    EXPECT_EQ(ran.status, 3);
    EXPECT_EQ(LinesWith(ran.err, "  COM1 (" + Path("com1") + "): " + held).size(), 1u) << ran.err;
  }
  Opens(watch);
  ran = Cli({"ports"});
  EXPECT_TRUE(EndsWith(PortLine(ran, "COM1"), "free")) << ran.out;
  EXPECT_EQ(Opens(watch), 0);
  EXPECT_TRUE(Frames().empty());
  close(watch);
}

}  // namespace
}  // namespace clitest
