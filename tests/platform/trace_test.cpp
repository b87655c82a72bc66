// The byte trace: one line per open, burst, failure and close, to a file or
// standard error, and read from CORVANE_TRACE by a program.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/serial/serial_trace.h"
#include "testing/serial_faults.h"
#include "testing/temp_dir.h"
#include "tests/platform/serial_fixture.h"

namespace {

using corvane_test::ComPorts;
using corvane_test::Pty;
namespace hooks = testsupport;

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// "+0.012345 COM1 TX 05 80 7F" -> "COM1 TX 05 80 7F", checking the time.
std::string WithoutTime(const std::string& line) {
  const std::size_t dot = line.find('.');
  const std::size_t space = line.find(' ');
  const bool digits = dot != std::string::npos && dot > 1 &&
                      line.find_first_not_of("0123456789", 1) == dot && space == dot + 7 &&
                      line.find_first_not_of("0123456789", dot + 1) == space;
  if (line.empty() || line[0] != '+' || !digits) return "no time: " + line;
  return line.substr(space + 1);
}

HANDLE OpenSync(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
}

TEST(Trace, OneLinePerOpenBurstFailureAndClose) {
  Pty pty;
  ComPorts com({pty.path()});
  testsupport::TempDir dir("trace");
  const std::string file = dir.File("trace");
  hooks::TraceTo(file.c_str());
  HANDLE h = OpenSync("COM1");
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "\x05\x80\x7F", 3, &n, NULL));
  EXPECT_EQ(pty.Read(3), "\x05\x80\x7F");
  ASSERT_TRUE(pty.Write("\x06\x80\x7F"));
  char reply[3];
  COMMTIMEOUTS t{0, 0, 2000, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(h, &t));
  ASSERT_TRUE(ReadFile(h, reply, 3, &n, NULL));
  ASSERT_EQ(n, 3u);
  hooks::FailNext("SetCommMask", ERROR_GEN_FAILURE);
  EXPECT_FALSE(SetCommMask(h, EV_RXCHAR));
  EXPECT_EQ(OpenSync("COM2"), INVALID_HANDLE_VALUE);
  CloseHandle(h);
  hooks::TraceTo(nullptr);

  std::vector<std::string> lines = Lines(file);
  for (std::string& line : lines) line = WithoutTime(line);
  // The reply may come in over more than one read: join the RX lines.
  std::vector<std::string> joined;
  for (const std::string& line : lines) {
    if (line.rfind("COM1 RX", 0) == 0 && !joined.empty() &&
        joined.back().rfind("COM1 RX", 0) == 0) {
      joined.back() += line.substr(7);
    } else {
      joined.push_back(line);
    }
  }
  EXPECT_EQ(joined, (std::vector<std::string>{
                        "COM1 OPEN " + pty.path(),
                        "COM1 TX 05 80 7F",
                        "COM1 RX 06 80 7F",
                        "COM1 ERROR SetCommMask 31 A device attached to the system is not "
                        "functioning.",
                        "COM2 ERROR CreateFileA 2 The system cannot find the file specified. "
                        "/nonexistent/com2: does not exist",
                        "COM1 CLOSE",
                    }));
}

TEST(Trace, DashIsStandardErrorAndAFileThatCannotBeWrittenIsSaid) {
  Pty pty;
  ComPorts com({pty.path()});
  testing::internal::CaptureStderr();
  hooks::TraceTo("-");
  HANDLE h = OpenSync("COM1");
  CloseHandle(h);
  hooks::TraceTo("/nonexistent/dir/trace");
  h = OpenSync("COM1");  // no trace, and nothing goes wrong
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  hooks::TraceTo(nullptr);
  std::istringstream err(testing::internal::GetCapturedStderr());
  std::vector<std::string> lines;
  for (std::string line; std::getline(err, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(WithoutTime(lines[0]), "COM1 OPEN " + pty.path());
  EXPECT_EQ(WithoutTime(lines[1]), "COM1 CLOSE");
  EXPECT_NE(lines[2].find("CORVANE_TRACE: cannot open /nonexistent/dir/trace: No such file or "
                          "directory; no trace is written"),
            std::string::npos)
      << lines[2];
}

// The trace is switched on and off by a call; a file that cannot be
// opened is refused with its reason, and leaves the trace off.
TEST(Trace, SwitchedOnAndOffByTheCall) {
  Pty pty;
  ComPorts com({pty.path()});
  testsupport::TempDir dir("trace");
  const std::string file = dir.File("trace");
  std::string error;
  ASSERT_TRUE(platform::StartTrace(file, &error)) << error;
  CloseHandle(OpenSync("COM1"));
  platform::StopTrace();
  CloseHandle(OpenSync("COM1"));
  EXPECT_FALSE(platform::StartTrace("/nonexistent/dir/trace", &error));
  EXPECT_EQ(error, "cannot open /nonexistent/dir/trace: No such file or directory");
  EXPECT_EQ(platform::SerialTrace::Current(), nullptr);
  std::vector<std::string> lines = Lines(file);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(WithoutTime(lines[0]), "COM1 OPEN " + pty.path());
  EXPECT_EQ(WithoutTime(lines[1]), "COM1 CLOSE");
}

// A program reads CORVANE_TRACE itself, and appends to the file.
TEST(Trace, ProgramsTakeItFromTheEnvironment) {
  Pty pty;
  testsupport::TempDir dir("trace");
  const std::string file = dir.File("trace");
  std::ofstream(file) << "earlier\n";
  auto env = testsupport::ComPortEnv({pty.path()});
  env.emplace_back("CORVANE_TRACE", file);
  ASSERT_EQ(testsupport::Run({PORT_TOOL, "send", "COM1", "10", "3B", "04"}, env), 0);
  EXPECT_EQ(pty.Read(3), "\x10\x3B\x04");
  std::vector<std::string> lines = Lines(file);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "earlier");
  EXPECT_EQ(WithoutTime(lines[1]), "COM1 OPEN " + pty.path());
  EXPECT_EQ(WithoutTime(lines[2]), "COM1 TX 10 3B 04");
  EXPECT_EQ(WithoutTime(lines[3]), "COM1 CLOSE");
}

}  // namespace
