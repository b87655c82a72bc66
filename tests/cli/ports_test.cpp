// ports: the COM map with the state of each port, free and held, and the
// same words when a command finds no port to open.
#include <gtest/gtest.h>

#include "tests/cli/cli_fixture.h"
#include "tests/platform/pty_fixture.h"

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

TEST_F(CliPorts, ListsTheMapWithEachStateAndAHeldPortIsNamedAlikeWhenNothingOpens) {
  StartCamera();
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
    corvane_test::PortHolder holder(PORT_TOOL, "COM1");
    const std::string held = "in use by process " + std::to_string(holder.pid()) + " (port_tool)";
    ran = Cli({"ports"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_TRUE(EndsWith(PortLine(ran, "COM1"), "  " + held)) << ran.out;

    ran = Cli({"read", "0:F7"});
    EXPECT_EQ(ran.status, 3);
    EXPECT_EQ(LinesWith(ran.err, "  COM1 (" + Path("com1") + "): " + held).size(), 1u) << ran.err;
  }
  ran = Cli({"ports"});
  EXPECT_TRUE(EndsWith(PortLine(ran, "COM1"), "free")) << ran.out;
  EXPECT_TRUE(Frames().empty());
}

}  // namespace
}  // namespace clitest
