// Why a port that exists cannot be used: who holds it, and what a user who
// may not open it is told, tried for real as an unprivileged user.
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/devices/port_listing.h"
#include "testing/temp_dir.h"
#include "tests/platform/serial_fixture.h"

namespace {

using corvane_test::ComPorts;
using corvane_test::OpenCom;
using corvane_test::Pty;
using platform::PortState;

std::string OwnCommand() {
  std::ifstream in("/proc/self/comm");
  std::string line;
  std::getline(in, line);
  return line;
}

TEST(PortState, HeldByAnotherProcessNamesItsPidAndCommand) {
  Pty pty;
  ComPorts com({pty.path()});
  platform::PortRecord r;
  {
    corvane_test::PortHolder holder(PORT_TOOL, "COM1", com.Env());
    platform::ProbePortState(pty.path(), &r);
    EXPECT_EQ(r.state, PortState::kInUse);
    ASSERT_TRUE(r.holder.has_value());
    EXPECT_EQ(r.holder->pid, holder.pid());
    EXPECT_EQ(r.reason, "in use by process " + std::to_string(holder.pid()) + " (port_tool)");
  }
  platform::ProbePortState(pty.path(), &r);
  EXPECT_EQ(r.state, PortState::kFree);
  EXPECT_FALSE(r.holder.has_value());
}

// One describer: for each way an open fails, the serial services' open
// (its error text and LastOpenFailure) and the listing (by opening, and
// where the node tells it, by looking) give the same state and reason.
TEST(PortState, TheSerialOpenAndTheListingSayWhyInTheSameWords) {
  testsupport::TempDir temp("why");
  const std::string& dir = temp.path();
  Pty held;
  HANDLE holder = OpenCom(held.path().c_str());
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);  // opens with ENXIO
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s/socket", dir.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  std::filesystem::create_symlink(dir + "/loop", dir + "/loop");
  struct Row {
    std::string path;
    PortState state;
    std::string reason;
    bool looks;  // learnt from the node alone as well
  };
  const std::vector<Row> rows = {
      {dir + "/none", PortState::kMissing, "does not exist", true},
      {held.path(), PortState::kInUse,
       "in use by process " + std::to_string(getpid()) + " (" + OwnCommand() + ")", true},
      {address.sun_path, PortState::kMissing,
       "no device answers (a port without hardware behind it)", false},
      {dir + "/loop", PortState::kFailed, "cannot be opened: Too many levels of symbolic links",
       true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(OpenCom(row.path.c_str()), INVALID_HANDLE_VALUE) << row.path;
    const std::string text = corvane_test::ErrorText(GetLastError());
    EXPECT_NE(text.find(" " + row.path + ": " + row.reason + "\r\n"), std::string::npos) << text;
    const auto failure = platform::LastOpenFailure();
    ASSERT_TRUE(failure.has_value()) << row.path;
    EXPECT_EQ(failure->state, row.state) << row.path;
    EXPECT_EQ(failure->reason, row.reason);
    platform::PortRecord probed, looked;
    platform::ProbePortState(row.path, &probed);
    EXPECT_EQ(probed.state, row.state) << row.path;
    EXPECT_EQ(probed.reason, row.reason);
    if (!row.looks) continue;
    platform::LookPortState(row.path, &looked);
    EXPECT_EQ(looked.reason, row.reason);
  }
  CloseHandle(holder);
  ::close(sock);
}

// Programs that take no flock leave a lock file with their pid; a stale
// one (its process gone) names nobody.
TEST(PortState, ALockFileNamesALiveHolder) {
  testsupport::TempDir dir("lock");
  const std::string& root = dir.path();
  std::filesystem::create_directories(root + "/run/lock");
  std::filesystem::create_directories(root + "/dev");
  std::ofstream(root + "/dev/ttyUSB0") << "";
  char pid[16];
  std::snprintf(pid, sizeof pid, "%10d\n", static_cast<int>(getpid()));
  std::ofstream(root + "/run/lock/LCK..ttyUSB0") << pid;
  const auto holder = platform::FindPortHolder(root + "/dev/ttyUSB0", root);
  ASSERT_TRUE(holder.has_value());
  EXPECT_EQ(holder->pid, getpid());
  EXPECT_EQ(holder->command, OwnCommand());

  std::ofstream(root + "/run/lock/LCK..ttyUSB0") << "2147483647\n";
  EXPECT_FALSE(platform::FindPortHolder(root + "/dev/ttyUSB0", root).has_value());
}

// The start-up lines as an unprivileged user sees them (port_tool report
// run by setpriv as nobody): COM1 is a serial device of the dialout group,
// COM2 is missing, COM3 opens, COM4 is held by this process. Only the two
// that exist and cannot be used get a line, and the same two when the
// states are learnt without opening the ports (port_tool look).
TEST(PortState, StartUpLinesForAUserWhoMayNotOpenAPort) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run a program as nobody";
  if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "no setpriv";
  const group* dialout = getgrnam("dialout");
  if (dialout == nullptr) GTEST_SKIP() << "no dialout group";
  Pty forbidden, usable, held;
  ASSERT_EQ(chown(forbidden.path().c_str(), 0, dialout->gr_gid), 0);
  ASSERT_EQ(chmod(forbidden.path().c_str(), 0660), 0);
  ASSERT_EQ(chmod(usable.path().c_str(), 0666), 0);
  ASSERT_EQ(chmod(held.path().c_str(), 0666), 0);
  ComPorts com({forbidden.path(), "", usable.path(), held.path()});
  HANDLE mine = OpenCom("COM4");
  ASSERT_NE(mine, INVALID_HANDLE_VALUE);

  // Its lines go to standard error; nothing comes on standard output.
  auto asNobody = [&com](const char* what) {
    std::string out, err;
    EXPECT_EQ(testsupport::Run({"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                                "--clear-groups", PORT_TOOL, what},
                               com.Env(), &out, &err),
              0)
        << err;
    return out + err;
  };
  const std::string out = asNobody("report"), looked = asNobody("look");
  CloseHandle(mine);
  EXPECT_EQ(out, "port_tool: COM1 (" + forbidden.path() +
                     "): permission denied; add your user to the dialout group (sudo adduser "
                     "$USER dialout) and log in again\n"
                     "port_tool: COM4 (" +
                     held.path() + "): in use by process " + std::to_string(getpid()) + " (" +
                     OwnCommand() + ")\n");
  EXPECT_EQ(looked, out);
}

}  // namespace
