// Opening and closing COM ports: names, exclusivity across processes,
// missing and forbidden devices, and leaks over many cycles.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/devices/port_listing.h"
#include "platform/kernel32.h"
#include "tests/platform/serial_fixture.h"

namespace {

using corvane_test::ComPorts;
using corvane_test::ErrorText;
using corvane_test::OpenCom;
using corvane_test::Pty;
using testsupport::OpenFdCount;

// Runs body in a child process (a copy of this one, which has no other
// thread) and gives its exit status (0 to 255).
template <class F>
int InChild(F body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

TEST(SerialOpen, MissingDeviceIsFileNotFoundWithItsPath) {
  Pty pty;
  ComPorts com({pty.path()});
  EXPECT_EQ(OpenCom("COM2"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  const std::string text = ErrorText(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(text.rfind("The system cannot find the file specified.", 0), 0u) << text;
  EXPECT_NE(text.find("/nonexistent/com2"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST(SerialOpen, BadNamesAndArgumentsAreRefusedAsTheNativeCallWould) {
  Pty pty;
  ComPorts com({pty.path()});
  EXPECT_EQ(OpenCom("LPT1"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenCom("COM0"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenCom(nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // Shared, created or with unknown access bits: a comm device takes none.
  EXPECT_EQ(CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 1, NULL, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED, NULL),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, NULL, 2, 0, NULL),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(CreateFileA("COM1", 0x20000000u, 0, NULL, OPEN_EXISTING, 0, NULL),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // None of these left the device held.
  HANDLE h = OpenCom("com1");
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

TEST(SerialOpen, SecondOpenInTheSameProcessIsDeniedUntilClosed) {
  Pty pty;
  ComPorts com({pty.path()});
  HANDLE first = OpenCom("COM1");
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenCom("COM1"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ErrorText(ERROR_ACCESS_DENIED).rfind("Access is denied.", 0), 0u);
  ASSERT_TRUE(CloseHandle(first));
  HANDLE again = OpenCom("COM1");
  EXPECT_NE(again, INVALID_HANDLE_VALUE) << GetLastError();
  CloseHandle(again);
}

// Exclusive across processes, whoever runs the test (root included: the
// lock does not yield to privilege).
TEST(SerialOpen, HeldByAnotherProcessIsAccessDenied) {
  Pty pty;
  ComPorts com({pty.path()});
  {
    corvane_test::PortHolder holder(PORT_TOOL, "COM1", com.Env());
    EXPECT_EQ(OpenCom("COM1"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
  HANDLE h = OpenCom("COM1");  // released by the holder's close
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();

  // And the other way round: held here, denied to a child.
  const int child = InChild([] {
    HANDLE other = OpenCom("COM1");
    if (other != INVALID_HANDLE_VALUE) return 1;
    return GetLastError() == ERROR_ACCESS_DENIED ? 0 : 2;
  });
  EXPECT_EQ(child, 0);
  CloseHandle(h);
}

// The text names the device and says why in the words of the port
// listing: the advice to join the node's group, which may read and write it.
TEST(SerialOpen, NoPermissionIsAccessDeniedWithAdviceOnTheGroup) {
  // A node that only its group may use: as root, a child that drops to an
  // unprivileged user outside it; otherwise its owner, whose bits are none.
  char path[] = "/tmp/corvane-noperm-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  ASSERT_EQ(chmod(path, 0060), 0);
  ComPorts com({path});
  const std::string device = path;
  const int result = InChild([&device] {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 3;
    HANDLE h = OpenCom("COM1");
    if (h != INVALID_HANDLE_VALUE) return 1;
    if (GetLastError() != ERROR_ACCESS_DENIED) return 2;
    const auto failure = platform::LastOpenFailure();
    if (!failure || failure->state != platform::PortState::kNoPermission) return 4;
    if (failure->reason.rfind("permission denied; add your user to the ", 0) != 0) return 5;
    platform::PortRecord listed;
    platform::ProbePortState(device, &listed);
    if (listed.reason != failure->reason) return 6;
    const std::string text = ErrorText(ERROR_ACCESS_DENIED);
    return text == "Access is denied. " + device + ": " + failure->reason + "\r\n" ? 0 : 7;
  });
  EXPECT_EQ(result, 0);
  unlink(path);
}

TEST(SerialOpen, ThousandOpenCloseCyclesLeakNothing) {
  Pty pty;
  ComPorts com({pty.path()});
  const std::size_t handles = platform::OpenHandleCount();
  const std::size_t fds = OpenFdCount();
  for (int i = 0; i < 1000; ++i) {
    HANDLE h = OpenCom("COM1");
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cycle " << i << " error " << GetLastError();
    if (i % 100 == 0) {  // now and then with a pending wait to cancel
      OVERLAPPED ov{};
      ov.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
      SetCommMask(h, EV_RXCHAR);
      DWORD mask = 0;
      EXPECT_FALSE(WaitCommEvent(h, &mask, &ov));
      ASSERT_TRUE(CloseHandle(h));
      EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), WAIT_OBJECT_0);  // cancelled, signalled
      CloseHandle(ov.hEvent);
    } else {
      ASSERT_TRUE(CloseHandle(h));
    }
  }
  EXPECT_EQ(platform::OpenHandleCount(), handles);
  EXPECT_EQ(OpenFdCount(), fds);
}

}  // namespace
