// The bench library's files on the real Windows file system services: a
// replace whose move fails leaves the old file, and the journal's
// LockFileEx keeps another program's append out until it is released.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "backup/file_replacement.h"
#include "backup/journal.h"
#include "backup/windows_handle.h"
#include "testing/temp_dir.h"

namespace backup {
namespace {

// Another program holds the dump open without letting it be deleted (a
// viewer, a virus scanner): MoveFileExA cannot replace it.
TEST(WindowsFiles, AReplaceWhoseMoveFailsLeavesTheOldFile) {
  const testsupport::TempDir dir("backup");
  const std::string path = dir.File("dump.hex");
  testsupport::WriteFile(path, "old\n");
  std::string error;
  auto file = FileReplacement::Open(path, 4096, &error);
  ASSERT_NE(file, nullptr) << error;
  {
    const UniqueHandle held(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.valid());
    EXPECT_FALSE(file->Commit("new\n", &error));
    EXPECT_FALSE(file->committed());
    EXPECT_TRUE(error.starts_with("cannot rename the temporary file to " + path + ": ")) << error;
  }
  file.reset();
  EXPECT_EQ(testsupport::ReadFile(path), "old\n");
  // The temporary file went with the replacement.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// The other program checks that the lock is held against it, then waits in
// its append; it gets the next number once the lock is released.
TEST(WindowsFiles, AHeldLockKeepsAnotherProgramsAppendOut) {
  const testsupport::TempDir dir("backup");
  const std::string path = dir.File("journal");
  std::string error;
  auto journal = Journal::Open(path, &error);
  ASSERT_NE(journal, nullptr) << error;
  const std::string event = "corvane-journal-" + std::to_string(::GetCurrentProcessId());
  const UniqueHandle ready(::CreateEventA(nullptr, TRUE, FALSE, event.c_str()));
  ASSERT_TRUE(ready.valid());

  PROCESS_INFORMATION child{};
  {
    const Journal::Lock lock(*journal);
    ASSERT_TRUE(lock.ok()) << lock.error();
    std::string command = "\"" JOURNAL_APPEND "\" \"" + path + "\" " + event;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &child));
    const HANDLE waits[] = {ready.get(), child.hProcess};
    ASSERT_EQ(::WaitForMultipleObjects(2, waits, FALSE, 30000), WAIT_OBJECT_0);
    JournalRecord mine;
    mine.port = "COM1";
    ASSERT_TRUE(journal->Add(&mine, &error)) << error;
    EXPECT_EQ(mine.number, 1);
    EXPECT_EQ(::WaitForSingleObject(child.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  }
  const UniqueHandle process(child.hProcess), thread(child.hThread);
  ASSERT_EQ(::WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
  DWORD status = 1;
  ASSERT_TRUE(::GetExitCodeProcess(process.get(), &status));
  EXPECT_EQ(status, 0u);
  std::vector<JournalRecord> records;
  std::string warning;
  ASSERT_TRUE(journal->Read(&records, &warning, &error)) << error;
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].port, "COM1");
  EXPECT_EQ(records[1].port, "COM2");
  EXPECT_EQ(records[1].number, 2);
}

}  // namespace
}  // namespace backup
