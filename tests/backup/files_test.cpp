// The bench library's files on the platform's own file system: a dump
// replaced as one step, and the journal shared by two programs, with lines
// written on another platform. Only the library's interface, so that the
// same tests hold on Linux and on Windows.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "backup/dumpfile.h"
#include "backup/journal.h"
#include "testing/temp_dir.h"
#include "testing/wait.h"

namespace backup {
namespace {

// The names of the files in dir.
std::vector<std::string> Files(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileReplacement, ReplacesOnCommitOnlyAndLeavesNoTemporaryFile) {
  const testsupport::TempDir dir("backup");
  const std::string path = dir.File("dump.hex");
  testsupport::WriteFile(path, "old\n");
  std::string error;
  // Dropped without a Commit: the old file stays, the temporary file goes.
  ASSERT_NE(FileReplacement::Open(path, 4096, &error), nullptr) << error;
  EXPECT_EQ(testsupport::ReadFile(path), "old\n");
  EXPECT_EQ(Files(dir.path()), std::vector<std::string>{"dump.hex"});

  auto file = FileReplacement::Open(path, 4096, &error);
  ASSERT_NE(file, nullptr) << error;
  ASSERT_TRUE(file->Commit("new\n", &error)) << error;
  EXPECT_TRUE(file->committed());
  file.reset();
  // The content, without the room reserved for it.
  EXPECT_EQ(testsupport::ReadFile(path), "new\n");
  EXPECT_EQ(Files(dir.path()), std::vector<std::string>{"dump.hex"});

  EXPECT_EQ(FileReplacement::Open(dir.path(), 10, &error), nullptr);
  EXPECT_NE(error.find("it is a directory"), std::string::npos) << error;
}

TEST(JournalFile, ReadsLinesOfEitherEndAndEndsACutOffLineBeforeItsOwn) {
  const testsupport::TempDir dir("backup");
  const std::string path = dir.File("state/corvane/journal");
  std::string error;
  ASSERT_NE(Journal::Open(path, &error), nullptr) << error;  // makes the folders
  // As another platform's program left it: "\r\n", and a last line cut off.
  testsupport::WriteFile(
      path,
      "# corvane journal\r\n"
      "2025-06-01T10:00:00.123Z #1 write COM1 /dev/ttyUSB0 0:F7 34 -> 5A sending\r\n"
      "2025-06-01T10:00:00.450Z #1 write COM1 /dev/ttyUSB0 0:F7 34 -> 5A done, read back 5A\r\n"
      "2025-06-01T10:00:01.000Z #2 write COM1 - 1:00 00 -> 01 sen");
  auto journal = Journal::Open(path, &error);
  ASSERT_NE(journal, nullptr) << error;
  std::vector<JournalRecord> records;
  std::string warning;
  ASSERT_TRUE(journal->Read(&records, &warning, &error)) << error;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].state, JournalRecord::State::kDone);
  EXPECT_EQ(records[0].readBack, 0x5A);
  EXPECT_NE(warning.find("line 4 is damaged"), std::string::npos) << warning;

  // Numbered past the cut-off line, which is ended and marked first.
  JournalRecord r;
  r.cell = Cell{0x1F7};
  ASSERT_TRUE(journal->Begin(&r, &error)) << error;
  EXPECT_EQ(r.number, 3);
  const std::string text = testsupport::ReadFile(path);
  EXPECT_NE(text.find(" sen\n" + std::string(kCutOffNote) + "20"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with(" #3 write - - 1:F7 00 -> 00 sending\n")) << text;
  ASSERT_TRUE(journal->Read(&records, &warning, &error)) << error;
  EXPECT_EQ(records.size(), 2u);
  EXPECT_EQ(warning, "");
}

// A Lock keeps another program's append out until it ends, so that what
// it read and chose is still the journal's last word.
TEST(JournalFile, ALockHoldsOffAnotherProgramsAppend) {
  const testsupport::TempDir dir("backup");
  const std::string path = dir.File("journal");
  std::string error;
  auto mine = Journal::Open(path, &error), theirs = Journal::Open(path, &error);
  ASSERT_TRUE(mine && theirs) << error;
  JournalRecord first, second;
  std::atomic<bool> started = false, added = false;
  std::thread other;
  {
    const Journal::Lock lock(*mine);
    ASSERT_TRUE(lock.ok()) << lock.error();
    other = std::thread([&] {
      started = true;
      std::string why;
      added = theirs->Add(&second, &why);
    });
    ASSERT_TRUE(testsupport::WaitUntil([&] { return started.load(); }));
    ASSERT_TRUE(mine->Add(&first, &error)) << error;
    EXPECT_FALSE(added);
  }
  other.join();
  EXPECT_TRUE(added);
  EXPECT_EQ(first.number, 1);
  EXPECT_EQ(second.number, 2);
}

}  // namespace
}  // namespace backup
