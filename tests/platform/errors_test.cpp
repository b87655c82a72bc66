// Error codes and texts, and the handle table.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/kernel32.h"

namespace {

std::string SystemText(DWORD code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, NULL,
                                 code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                 reinterpret_cast<LPSTR>(&text), 0, NULL);
  if (n == 0) return "<none>";
  std::string s(text, n);
  EXPECT_EQ(s.size(), std::string(text).size());  // the length is the text's length
  EXPECT_EQ(LocalFree(text), nullptr);
  return s;
}

TEST(ErrorTexts, CodesInUseHaveTheSystemWording) {
  EXPECT_EQ(SystemText(0), "The operation completed successfully.\r\n");
  EXPECT_EQ(SystemText(1), "Incorrect function.\r\n");
  EXPECT_EQ(SystemText(2), "The system cannot find the file specified.\r\n");
  EXPECT_EQ(SystemText(3), "The system cannot find the path specified.\r\n");
  EXPECT_EQ(SystemText(5), "Access is denied.\r\n");
  EXPECT_EQ(SystemText(6), "The handle is invalid.\r\n");
  EXPECT_EQ(SystemText(8),
            "Not enough memory resources are available to process this command.\r\n");
  EXPECT_EQ(SystemText(31), "A device attached to the system is not functioning.\r\n");
  EXPECT_EQ(SystemText(32),
            "The process cannot access the file because it is being used by another "
            "process.\r\n");
  EXPECT_EQ(SystemText(50), "The request is not supported.\r\n");
  EXPECT_EQ(SystemText(87), "The parameter is incorrect.\r\n");
  EXPECT_EQ(SystemText(995),
            "The I/O operation has been aborted because of either a thread exit or an "
            "application request.\r\n");
  EXPECT_EQ(SystemText(996), "Overlapped I/O event is not in a signaled state.\r\n");
  EXPECT_EQ(SystemText(997), "Overlapped I/O operation is in progress.\r\n");
  EXPECT_EQ(SystemText(1117),
            "The request could not be performed because of an I/O device error.\r\n");
  EXPECT_EQ(SystemText(1167), "The device is not connected.\r\n");
  EXPECT_EQ(SystemText(1460), "This operation returned because the timeout period expired.\r\n");
  EXPECT_EQ(SystemText(1617), "The device has been removed.\r\n");
}

TEST(ErrorTexts, UnknownCodeHasNoTextAndSetsMessageNotFound) {
  SetLastError(5);
  EXPECT_EQ(SystemText(0xDEAD), "<none>");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
}

TEST(ErrorTexts, CallerBufferIsFilledOrRefusedWhenTooSmall) {
  char buf[64];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, NULL, 5, 0, buf, sizeof buf, NULL);
  EXPECT_EQ(std::string(buf, n), "Access is denied.\r\n");
  char tiny[8] = "keep";
  n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, NULL, 5, 0, tiny, sizeof tiny, NULL);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_STREQ(tiny, "keep");
  // Only texts from the system are supported.
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "x", 0, 0, buf, sizeof buf, NULL), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(ErrorTexts, DetailRidesWithItsCodeUntilTheLastErrorChanges) {
  platform::SetLastErrorDetail(ERROR_ACCESS_DENIED, "/dev/ttyS0: add the user to group dialout");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(SystemText(5), "Access is denied. /dev/ttyS0: add the user to group dialout\r\n");
  // Asking again still shows it (FormatMessageA does not change the error).
  EXPECT_EQ(SystemText(5), "Access is denied. /dev/ttyS0: add the user to group dialout\r\n");
  EXPECT_EQ(SystemText(2), "The system cannot find the file specified.\r\n");
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(SystemText(5), "Access is denied.\r\n");
}

TEST(ErrorTexts, LastErrorIsPerThread) {
  SetLastError(87);
  std::thread t([] {
    EXPECT_EQ(GetLastError(), 0u);
    platform::SetLastErrorDetail(5, "other thread");
  });
  t.join();
  EXPECT_EQ(GetLastError(), 87u);
  EXPECT_EQ(SystemText(5), "Access is denied.\r\n");
}

TEST(ErrorTexts, ErrnoMapsToNearestCode) {
  EXPECT_EQ(platform::Win32ErrorFromErrno(ENOENT), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(platform::Win32ErrorFromErrno(EACCES), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(platform::Win32ErrorFromErrno(EPERM), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(platform::Win32ErrorFromErrno(ENOTTY), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  EXPECT_EQ(platform::Win32ErrorFromErrno(EIO), static_cast<DWORD>(ERROR_IO_DEVICE));
  EXPECT_EQ(platform::Win32ErrorFromErrno(EINVAL), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(platform::Win32ErrorFromErrno(12345), static_cast<DWORD>(ERROR_GEN_FAILURE));
}

TEST(Handles, CountFollowsOpenAndCloseOfEveryKind) {
  const std::size_t start = platform::OpenHandleCount();
  HANDLE a = CreateEventA(NULL, TRUE, FALSE, NULL);
  HANDLE b = CreateEventA(NULL, FALSE, FALSE, NULL);
  EXPECT_NE(a, b);
  EXPECT_NE(a, INVALID_HANDLE_VALUE);
  EXPECT_EQ(platform::OpenHandleCount(), start + 2);
  EXPECT_TRUE(CloseHandle(a));
  EXPECT_FALSE(CloseHandle(a));
  EXPECT_TRUE(CloseHandle(b));
  EXPECT_EQ(platform::OpenHandleCount(), start);
  // A closed handle's value is not handed out again.
  HANDLE c = CreateEventA(NULL, TRUE, FALSE, NULL);
  EXPECT_NE(c, a);
  EXPECT_NE(c, b);
  CloseHandle(c);
}

}  // namespace
