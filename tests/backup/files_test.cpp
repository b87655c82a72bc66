// The bench library's files on the platform's own file system: a dump
// replaced as one step, and the journal shared by two programs, with lines
// written on another platform. Only the library's interface, so that the
// same tests hold on Linux and on Windows (the Windows build runs them under
// Wine).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sstream>
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

// The lines of a journal text with each record's time left out.
std::vector<std::string> Untimed(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line.starts_with("#") ? line : line.substr(line.find(' ')));
  }
  return lines;
}

// The journals in CORVANE_JOURNALS were written by this sequence on Linux
// and on Windows (under Wine): each platform writes the same lines, times
// aside, and reads both.
TEST(JournalFile, WritesTheSameLinesAsTheOtherPlatformAndReadsItsJournal) {
  const testsupport::TempDir dir("backup");
  std::string error;
  auto journal = Journal::Open(dir.File("journal"), &error);
  ASSERT_NE(journal, nullptr) << error;
  auto write = [&](long undoOf, const char* port, const char* path, int cell, int oldCode,
                   int newCode) {
    JournalRecord r;
    r.undoOf = undoOf;
    r.port = port;
    r.path = path;
    r.cell = Cell{cell};
    r.oldCode = oldCode;
    r.newCode = newCode;
    EXPECT_TRUE(journal->Begin(&r, &error)) << error;
    return r;
  };
  JournalRecord r = write(0, "COM1", "/dev/ttyUSB0", 0x0F7, 0x34, 0x5A);
  r.state = JournalRecord::State::kDone;
  r.readBack = 0x5A;
  ASSERT_TRUE(journal->Finish(r, &error)) << error;
  r = write(0, "COM2", "\\\\.\\COM2", 0x100, 0x00, 0x01);
  r.state = JournalRecord::State::kDiffers;
  r.readBack = 0x03;
  ASSERT_TRUE(journal->Finish(r, &error)) << error;
  r = write(0, "", "/dev/serial/by-id/usb-FTDI 1%", 0x010, 0xFF, 0x00);
  r.state = JournalRecord::State::kFailed;
  r.failure = camera::Outcome::kWriteNotSent;
  ASSERT_TRUE(journal->Finish(r, &error)) << error;
  r = write(1, "COM1", "/dev/ttyUSB0", 0x0F7, 0x5A, 0x34);
  r.state = JournalRecord::State::kDone;
  r.readBack = 0x34;
  r.nothingSent = true;
  ASSERT_TRUE(journal->Finish(r, &error)) << error;
  journal.reset();
  const auto mine = Untimed(testsupport::ReadFile(dir.File("journal")));

  for (const char* name : {"journal-linux", "journal-windows"}) {
    SCOPED_TRACE(name);
    const std::string text = testsupport::ReadFile(std::string(CORVANE_JOURNALS) + "/" + name);
    EXPECT_EQ(Untimed(text), mine);
    testsupport::WriteFile(dir.File(name), text);  // a copy: the library opens it to append
    auto theirs = Journal::Open(dir.File(name), &error);
    ASSERT_NE(theirs, nullptr) << error;
    std::vector<JournalRecord> records;
    std::string warning;
    ASSERT_TRUE(theirs->Read(&records, &warning, &error)) << error;
    EXPECT_EQ(warning, "");
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].path, "\\\\.\\COM2");
    EXPECT_EQ(records[1].readBack, 0x03);
    EXPECT_EQ(records[2].path, "/dev/serial/by-id/usb-FTDI 1%");
    EXPECT_EQ(records[2].failure, camera::Outcome::kWriteNotSent);
    EXPECT_EQ(records[3].undoOf, 1);
    EXPECT_TRUE(records[3].nothingSent);
    EXPECT_EQ(UndoCandidates(records, 10).size(), 1u);  // #2 only
  }
}

}  // namespace
}  // namespace backup
