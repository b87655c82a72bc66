// restore, undo, the journal of writes, and the stop signals.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>

#include "platform/process/stop_signals.h"
#include "testing/wait.h"
#include "tests/cli/cli_fixture.h"

namespace clitest {
namespace {

using CliUndo = CliTest;
using CliJournal = CliTest;

// SIGINT (Ctrl-C), SIGTERM and SIGHUP each stop a command after the
// transaction that runs; a second one stops it at once.
class CliStop : public CliTest, public ::testing::WithParamInterface<int> {};
INSTANTIATE_TEST_SUITE_P(Signals, CliStop, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& signal) {
                           return platform::StopSignalName(signal.param);
                         });

// Waits (at most 30 s) until `ready` holds.
template <class Condition>
bool WaitUntil(Condition ready) {
  return testsupport::WaitUntil(ready, std::chrono::seconds(30));
}

// Sixteen cells, 0:00 to 0:0F, all set to 00.
const std::string kZeros = ":10000000" + std::string(32, '0') + "F0\n:00000001FF\n";

// No temporary file of a dump is left in dir.
void ExpectNoTemporaryFile(const std::string& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
  }
}

TEST_P(CliStop, ARestoreLeavesAJournalOfWhatWasWrittenAndARerunCompletes) {
  StartCamera({}, /*paced=*/true);
  WriteFile(Path("zeros.hex"), kZeros);
  CliProcess restore({"restore", Path("zeros.hex")}, Env());
  ASSERT_TRUE(WaitUntil([&] { return WriteFrames().size() >= 3; }));
  restore.Signal(GetParam());
  const Ran ran = restore.Wait();
  EXPECT_EQ(ran.status, 128 + GetParam()) << ran.err;
  EXPECT_EQ(LinesWith(ran.err, "interrupted (" + platform::StopSignalName(GetParam()) +
                                   "); finishing the transaction that runs")
                .size(),
            1u)
      << ran.err;
  EXPECT_EQ(LinesWith(ran.err, "interrupted: ").size(), 1u) << ran.err;

  // The last write frame is followed by its read-back (close, announce,
  // the cell's read) and nothing else.
  const auto frames = Frames();
  const auto written = WriteFrames();
  ASSERT_LT(written.size(), 16u);
  ASSERT_GE(frames.size(), 4u);
  EXPECT_EQ(frames[frames.size() - 4], written.back());
  EXPECT_EQ(frames[frames.size() - 3], "103B04");
  EXPECT_EQ(frames[frames.size() - 2], "05807F");
  EXPECT_EQ(frames.back().substr(0, 16), "01800E10204D4000") << frames.back();
  // The journal's finished writes are exactly the cells the camera wrote,
  // and no write was cut off.
  const std::string journal = JournalText();
  EXPECT_EQ(LinesWith(journal, " -> 00 done, read back 00").size(), written.size()) << journal;
  EXPECT_EQ(LinesWith(journal, " sending").size(), written.size()) << journal;
  for (int a = 0; a < 16; ++a) {
    const bool done = a < static_cast<int>(written.size());
    EXPECT_EQ(Camera().Cell(0, a), done ? 0 : DefaultCode(0, a)) << a;
  }
  EXPECT_EQ(ran.out.size(), written.size() * std::string("0:00 5A -> 00\n").size());

  const Ran again = Cli({"restore", Path("zeros.hex")});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(LinesWith(again.out, " -> 00").size(), 16 - written.size());
  EXPECT_EQ(LinesWith(again.err, std::to_string(16 - written.size()) + " cells written, " +
                                     std::to_string(written.size()) + " unchanged")
                .size(),
            1u)
      << again.err;
  EXPECT_EQ(Cli({"verify", Path("zeros.hex")}).status, 0);
}

TEST_F(CliUndo, WritesBackTheOldCodesNewestFirstAndNeverTwice) {
  StartCamera();
  const std::string journal = Path("my-journal");
  ASSERT_EQ(Cli({"--journal", journal, "write", "0:F7=5A"}).status, 0);
  ASSERT_EQ(Cli({"write", "0:F7=6B", "0:10=01", "--journal", journal}).status, 0);

  Ran ran = Cli({"--journal", journal, "undo", "2"});
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(ran.out, "0:10 01 -> 4A\n0:F7 6B -> 5A\n");
  ran = Cli({"--journal", journal, "undo"});
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(ran.out, "0:F7 5A -> 34\n");
  EXPECT_EQ(Camera().Cell(0, 0xF7), 0x34);
  EXPECT_EQ(Camera().Cell(0, 0x10), 0x4A);

  // Every write is undone, and an undo is not undone in turn.
  const std::size_t frames = Frames().size();
  ran = Cli({"--journal", journal, "undo"});
  EXPECT_EQ(ran.status, 2);
  EXPECT_EQ(LinesWith(ran.err, "no journalled write left to undo").size(), 1u) << ran.err;
  EXPECT_EQ(Frames().size(), frames);
  const std::string text = ReadFile(journal);
  for (const char* line : {" #4 undo#3 COM1 ", " #5 undo#2 COM1 ", " #6 undo#1 COM1 "}) {
    EXPECT_EQ(LinesWith(text, line).size(), 2u) << text;
  }
}

// undo reads the cell first: a cell that holds another code than the write
// left (another camera, a later change) is not written, unless forced.
TEST_F(CliUndo, WritesNothingWhereTheCellHoldsAnotherCodeUnlessForced) {
  StartCamera();
  ASSERT_EQ(Cli({"write", "0:F7=5A"}).status, 0);
  Camera().SetCell(0, 0xF7, 0x7B);
  const std::string journal = JournalText();
  const std::size_t writes = WriteFrames().size();
  Ran ran = Cli({"undo"});
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.err,
            "corvane-cli: 0:F7 holds 7B, not 5A as write #1 left it; nothing was written (undo "
            "--force writes 34 anyway)\n");
  EXPECT_EQ(WriteFrames().size(), writes);
  EXPECT_EQ(Camera().Cell(0, 0xF7), 0x7B);
  EXPECT_EQ(JournalText(), journal);

  ran = Cli({"undo", "--force"});
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(ran.out, "0:F7 7B -> 34\n");
  EXPECT_EQ(LinesWith(JournalText(),
                      " #2 force-undo#1 COM1 " + Path("com1") + " 0:F7 7B -> 34 done, read back 34")
                .size(),
            1u)
      << JournalText();
  EXPECT_EQ(Cli({"undo"}).status, 2);
}

// A crash leaves a torn last line: undo passes over it with a warning, and
// the next append ends and marks it. A damaged line elsewhere is refused.
// Of two writes left at "sending", one reached its cell and is undone; the
// other did not (the cell holds its old code): it is marked undone, and
// nothing is sent.
TEST_F(CliJournal, ATornLastLineIsPassedOverAndADamagedOneElsewhereRefused) {
  StartCamera();
  const std::string journal = Path("state/corvane/journal");
  std::filesystem::create_directories(Path("state/corvane"));
  const std::string start = "2025-06-01T10:00:00.123Z #", port = " COM1 " + Path("com1");
  const std::string f7 = start + "1 write" + port + " 0:F7 34 -> 5A sending\n",
                    f8 = start + "2 write" + port + " 0:F8 12 -> 77 sending\n",
                    torn = start + "2 write" + port + " 0:F8 12 -> 77 done, read back 7";
  WriteFile(journal, f7 + "garbage\n" + f8);
  Ran ran = Cli({"undo"});
  EXPECT_EQ(ran.status, 2);
  EXPECT_EQ(
      LinesWith(ran.err, journal + ": line 2 is no journal record; nothing was undone").size(), 1u)
      << ran.err;

  WriteFile(journal, f7 + f8 + torn);
  Camera().SetCell(0, 0xF8, 0x77);
  ran = Cli({"undo", "2"});
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(ran.err, "corvane-cli: the journal " + journal +
                         ": line 3 is damaged (cut off?) and was skipped\n");
  EXPECT_EQ(ran.out, "0:F8 77 -> 12\n0:F7 holds 34 already; nothing sent\n");
  EXPECT_EQ(WriteFrames().size(), 1u);
  const std::string text = ReadFile(journal);
  EXPECT_EQ(text.rfind(f7 + f8 + torn + "\n# the line above was cut off", 0), 0u) << text;
  EXPECT_EQ(
      LinesWith(text, " #4 undo#1" + port + " 0:F7 34 -> 34 done, held 34 already; nothing sent")
          .size(),
      1u)
      << text;
  ran = Cli({"undo"});
  EXPECT_EQ(ran.status, 2);
  EXPECT_EQ(LinesWith(ran.err, "no journalled write left to undo").size(), 1u) << ran.err;
  EXPECT_EQ(LinesWith(ran.err, "damaged").size(), 0u) << ran.err;

  // A write after a cut-off line reads no records; its append says so.
  WriteFile(journal, f7 + torn);
  ran = Cli({"write", "0:F7=5A"});
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(LinesWith(ran.err, "its last line was cut off (a crash?)").size(), 1u) << ran.err;
}

// The journal's outcome line does not fit under a file size limit: the part
// written is taken out again, and the status says that the camera was used
// (5). The write left at "sending" is undone like any other.
TEST_F(CliJournal, AFailedAppendIsTakenOutAndTheStatusSaysTheCameraWasUsed) {
  StartCamera();
  std::filesystem::create_directories(Path("state/corvane"));
  const std::string kept = "# kept by hand\n";
  WriteFile(Path("state/corvane/journal"), kept);
  const std::string sending =
      " #1 write COM1 " + Path("com1") + " 0:F7 34 -> 5A sending\n";  // after the time
  const std::size_t limit = kept.size() + 24 + sending.size() + 10;
  const Ran ran = CliProcess({"write", "0:F7=5A"}, Env(),
                             {"/usr/bin/prlimit", "--fsize=" + std::to_string(limit)})
                      .Wait();
  EXPECT_EQ(ran.status, 5) << ran.err;
  EXPECT_EQ(Camera().Cell(0, 0xF7), 0x5A);
  EXPECT_EQ(LinesWith(ran.err,
                      "File too large; the line was taken out again; the journal keeps "
                      "the write of 0:F7 as \"sending\"")
                .size(),
            1u)
      << ran.err;
  const std::string text = JournalText();
  EXPECT_EQ(text.size(), limit - 10) << text;
  EXPECT_EQ(text.substr(text.size() - sending.size()), sending) << text;

  const Ran undo = Cli({"undo"});
  EXPECT_EQ(undo.status, 0) << undo.err;
  EXPECT_EQ(undo.out, "0:F7 5A -> 34\n");
}

// A write left at "sending" whose cell holds its old code is undone without
// a frame, by a journal line alone; when that line cannot be appended, the
// status says that the camera was used (5) and the message why.
TEST_F(CliJournal, AnUndoThatCannotJournalTheCellHeldAlreadyExitsFive) {
  StartCamera();
  std::filesystem::create_directories(Path("state/corvane"));
  const std::string journal =
      "2025-06-01T10:00:00.123Z #1 write COM1 " + Path("com1") + " 0:F7 34 -> 5A sending\n";
  WriteFile(Path("state/corvane/journal"), journal);
  const Ran ran =
      CliProcess({"undo"}, Env(), {"/usr/bin/prlimit", "--fsize=" + std::to_string(journal.size())})
          .Wait();
  EXPECT_EQ(ran.status, 5) << ran.err;
  EXPECT_EQ(LinesWith(ran.err,
                      "File too large; the line was taken out again; write #1 is not "
                      "marked undone")
                .size(),
            1u)
      << ran.err;
  EXPECT_EQ(WriteFrames().size(), 0u);
  EXPECT_EQ(JournalText(), journal);
}

TEST_F(CliJournal, AWriteWhoseReadBackGoesUnansweredShowsAsFailed) {
  camsim::Faults faults;
  faults.silentAfter = 8 + 7;  // the old code's Read, then the Write up to its read-back
  StartCamera(faults);
  const Ran ran = Cli({"write", "0:F7=5A"});
  EXPECT_EQ(ran.status, 4);
  EXPECT_EQ(Camera().Cell(0, 0xF7), 0x5A);
  EXPECT_EQ(LinesWith(ran.err, "writing 0:F7 failed (FFFF)").size(), 1u) << ran.err;
  EXPECT_EQ(LinesWith(ran.err, "").size(), 1u) << ran.err;
  EXPECT_EQ(LinesWith(JournalText(),
                      " #1 write COM1 " + Path("com1") +
                          " 0:F7 34 -> 5A FAILED FFFF: no answer to the read-back; the write "
                          "frame was answered, the cell is probably written")
                .size(),
            1u)
      << JournalText();
  // It is undone like any other.
  Camera().SetFaults({});
  EXPECT_EQ(Cli({"undo"}).out, "0:F7 5A -> 34\n");
}

TEST_P(CliStop, ADumpToAFileEndsWithItsSummaryAndLeavesTheFileAsItWas) {
  StartCamera({}, /*paced=*/true);
  WriteFile(Path("keep.hex"), "the older dump\n");
  CliProcess dump({"dump", "-o", Path("keep.hex")}, Env());
  ASSERT_TRUE(WaitUntil([&] { return Frames().size() >= 10; }));
  dump.Signal(GetParam());
  const Ran ran = dump.Wait();
  EXPECT_EQ(ran.status, 128 + GetParam()) << ran.err;
  EXPECT_EQ(LinesWith(ran.err, "interrupted: ").size(), 1u) << ran.err;
  EXPECT_EQ(LinesWith(ran.err, "the dump was not written").size(), 1u) << ran.err;
  EXPECT_EQ(ReadFile(Path("keep.hex")), "the older dump\n");
  ExpectNoTemporaryFile(Path(""));
}

TEST_P(CliStop, ASecondSignalEndsAtOnceAndLeavesNothingBehind) {
  camsim::Faults silent;
  silent.silent = true;
  StartCamera(silent);
  WriteFile(Path("keep.hex"), "the older dump\n");
  CliProcess dump({"dump", "-o", Path("keep.hex")}, Env());
  // The first signal comes while the first step waits for its reply, the
  // second while that wait goes on.
  ASSERT_TRUE(WaitUntil([&] { return Frames().size() >= 1; }));
  dump.Signal(GetParam());
  // The second once the first has been taken (it says so).
  ASSERT_TRUE(WaitUntil(
      [&] { return !dump.Running() || !LinesWith(dump.err(), "interrupted (").empty(); }));
  dump.Signal(GetParam());
  const Ran ran = dump.Wait();
  EXPECT_EQ(ran.status, 128 + GetParam());
  EXPECT_EQ(LinesWith(ran.err, "a second signal stops at once").size(), 1u) << ran.err;
  EXPECT_EQ(
      LinesWith(ran.err, "stopped at once (" + platform::StopSignalName(GetParam()) + ")").size(),
      1u)
      << ran.err;
  EXPECT_EQ(ReadFile(Path("keep.hex")), "the older dump\n");
  ExpectNoTemporaryFile(Path(""));
  // The port and its lock were released.
  Camera().SetFaults({});
  EXPECT_EQ(Cli({"read", "0:F7"}).out, "0:F7 34\n");
}

}  // namespace
}  // namespace clitest
