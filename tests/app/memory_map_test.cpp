// The memory map against a simulated camera on COM1: Read all shows both
// pages, the window answers and Cancel ends after the cell in hand, a
// silent camera ends with what was read and the error box; Save, Compare,
// Restore differences and Undo restore with corvane-cli on the same files.
#include "backup/dumpfile.h"
#include "platform/process/state_variables.h"
#include "testing/process.h"
#include "testing/wait.h"
#include "tests/app/app_fixture.h"

namespace apptest {
namespace {

int Pattern(int cell) {
  return (cell * 7 + 3) & 0xFF;
}

class MemoryMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    camsim::Camsim& cam = ports_.Attach(1, {}, ThinkMs());
    for (int cell = 0; cell < 512; ++cell) cam.SetCell(cell / 256, cell % 256, Pattern(cell));
    run_ = std::make_unique<ProgramRun>(d_);
    main_ = run_->PastAbout();
    ASSERT_NE(main_, nullptr);
    map_ = OpenMemoryMap(d_, main_);
    ASSERT_NE(map_, nullptr);
  }
  void TearDown() override { run_.reset(); }
  virtual int ThinkMs() const { return 0; }
  // The codes as the grids show them, "--" for a cell not read.
  std::vector<std::string> Shown() {
    std::vector<std::string> all = ViewGrid(d_, map_, IDC_MAP_PAGE0).cells;
    for (const std::string& c : ViewGrid(d_, map_, IDC_MAP_PAGE1).cells) all.push_back(c);
    return all;
  }
  static std::string Hex(int code) {
    char t[3];
    std::snprintf(t, sizeof t, "%02X", code);
    return t;
  }

  Ports ports_;
  Driver d_;
  std::unique_ptr<ProgramRun> run_;
  HWND main_ = nullptr;
  HWND map_ = nullptr;
};

TEST_F(MemoryMapTest, ReadAllShowsBothPagesReadInOneSession) {
  ASSERT_TRUE(d_.WaitIdle(run_->thread()));
  EXPECT_FALSE(d_.Snapshot(main_).self.enabled);  // modal over the main dialog
  std::vector<std::string> before = Shown();
  ASSERT_EQ(before.size(), 512u);
  EXPECT_EQ(before[0], "--");
  EXPECT_EQ(before[511], "--");
  EXPECT_FALSE(d_.Enabled(map_, IDC_MAP_SAVE));

  const std::string status = ReadAll(d_, map_);
  EXPECT_EQ(status.rfind("512 cells read in ", 0), 0u) << status;
  ASSERT_TRUE(d_.WaitIdle(run_->thread()));
  std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 512u);
  for (int cell = 0; cell < 512; ++cell) ASSERT_EQ(shown[cell], Hex(Pattern(cell))) << cell;
  // One session: announce, setup, close, then three frames a cell.
  EXPECT_EQ(ports_.Frames(1), 3u + 3u * 512u);
  EXPECT_TRUE(d_.Enabled(map_, IDC_MAP_SAVE));
  EXPECT_EQ(SendDlgItemMessageA(map_, IDC_MAP_PROGRESS, PBM_GETPOS, 0, 0), 512);

  // The keyboard: Tab reaches the grids and the buttons, arrows move the
  // cursor, Escape closes the map and leaves the main dialog as it was.
  while (d_.FocusId(map_) != IDC_MAP_PAGE1) ASSERT_TRUE(d_.Tab(map_));
  ASSERT_TRUE(d_.Key(map_, VK_DOWN));
  ASSERT_TRUE(d_.Key(map_, VK_LEFT));
  EXPECT_EQ(ViewGrid(d_, map_, IDC_MAP_PAGE1).cursor, 0x1F);
  ASSERT_TRUE(d_.Tab(map_));
  EXPECT_EQ(d_.FocusId(map_), IDC_MAP_READ);
  ASSERT_TRUE(d_.Escape(map_));
  EXPECT_TRUE(d_.WaitGone(map_));
  EXPECT_TRUE(d_.Snapshot(main_).self.enabled);
  ASSERT_TRUE(d_.Click(main_, IDC_READ));
  EXPECT_EQ(d_.Text(main_, IDC_CODE), Hex(Pattern(0xF7)));
}

// A camera that thinks 5 ms before each reply: about 15 ms a cell.
class SlowCameraMapTest : public MemoryMapTest {
 protected:
  int ThinkMs() const override { return 5; }
};

TEST_F(SlowCameraMapTest, CancelEndsAfterTheCellInHandAndKeepsWhatWasRead) {
  ASSERT_TRUE(d_.WaitIdle(run_->thread()));
  d_.ClickNoWait(map_, IDC_MAP_READ);
  ASSERT_TRUE(testsupport::WaitUntil([&] { return ports_.Frames(1) > 3 + 3 * 40; }));
  EXPECT_TRUE(d_.Enabled(map_, IDC_MAP_STOP));
  d_.ClickNoWait(map_, IDC_MAP_STOP);
  ASSERT_TRUE(testsupport::WaitUntil([&] { return d_.Enabled(map_, IDC_MAP_READ); }));
  const std::string status = d_.Text(map_, IDC_MAP_STATUS);
  EXPECT_EQ(status.rfind("Cancelled: ", 0), 0u) << status;
  int read = 0;
  for (const std::string& c : Shown()) read += c != "--";
  EXPECT_GT(read, 40);
  EXPECT_LT(read, 512);
  EXPECT_EQ(ports_.Frames(1), 3u + 3u * static_cast<unsigned>(read));
  EXPECT_FALSE(d_.Enabled(map_, IDC_MAP_SAVE));
  EXPECT_TRUE(d_.Recorded().empty());
}

// Escape (as the close box and a signal) ends the read after the cell in
// hand, then closes the map; the main dialog goes on.
TEST_F(SlowCameraMapTest, EscapeDuringReadAllFinishesTheCellInHandAndClosesTheMap) {
  ASSERT_TRUE(d_.WaitIdle(run_->thread()));
  d_.ClickNoWait(map_, IDC_MAP_READ);
  ASSERT_TRUE(testsupport::WaitUntil([&] { return ports_.Frames(1) > 3 + 3 * 20; }));
  d_.KeyNoWait(map_, VK_ESCAPE);
  ASSERT_TRUE(d_.WaitGone(map_));
  ASSERT_TRUE(d_.WaitIdle(run_->thread()));
  // Whole rounds only: the opening, then announce, read and close a cell.
  EXPECT_EQ((ports_.Frames(1) - 3) % 3, 0u);
  EXPECT_TRUE(d_.Snapshot(main_).self.enabled);
  ASSERT_TRUE(d_.Click(main_, IDC_READ));
  EXPECT_EQ(d_.Text(main_, IDC_CODE), Hex(Pattern(0xF7)));
}

TEST_F(MemoryMapTest, ASilentCameraEndsWithWhatWasReadAndTheErrorBox) {
  ASSERT_TRUE(d_.WaitIdle(run_->thread()));
  camsim::Faults faults;
  faults.silentAfter = 3 + 3 * 100;  // the session, then 100 cells
  ports_.Cam(1).SetFaults(faults);
  d_.SetAutoAcknowledge(true);
  const std::string status = ReadAll(d_, map_);
  EXPECT_EQ(status.rfind("The camera did not answer at 0:64: 100 of 512 cells read.", 0), 0u)
      << status;
  ASSERT_EQ(d_.Recorded().size(), 1u);
  EXPECT_EQ(d_.Recorded()[0].caption, "Application Error");
  std::vector<std::string> shown = Shown();
  EXPECT_EQ(shown[99], Hex(Pattern(99)));
  EXPECT_EQ(shown[100], "--");
}

TEST(MemoryMapNoPort, SaysSoAndCannotRead) {
  Ports ports;
  Driver d;
  ProgramRun run(d);
  HWND main = run.PastAbout();
  ASSERT_NE(main, nullptr);
  HWND map = OpenMemoryMap(d, main);
  ASSERT_NE(map, nullptr);
  ASSERT_TRUE(d.WaitIdle(run.thread()));
  EXPECT_FALSE(d.Enabled(map, IDC_MAP_READ));
  EXPECT_EQ(d.Text(map, IDC_MAP_STATUS), "No port is selected: nothing can be read.");
}

}  // namespace
}  // namespace apptest

namespace apptest {
namespace {

// The writes among the frames the camera received: "0:F7=5A" each.
std::vector<std::string> WriteFrames(camsim::Camsim& cam) {
  std::vector<std::string> writes;
  for (const camsim::LogEntry& e : cam.Log()) {
    if (e.kind == camsim::LogKind::kRx && e.bytes.size() == 19 && e.bytes[6] == 0x10) {
      char text[16];
      std::snprintf(text, sizeof text, "%d:%02X=%02X", e.bytes[7], e.bytes[8], e.bytes[10]);
      writes.push_back(text);
    }
  }
  return writes;
}

int Cli(const Ports& ports, std::vector<std::string> args, std::string* err) {
  args.insert(args.begin(), CORVANE_CLI);
  return testsupport::Run(args, ports.Env(), nullptr, err);
}

// Save, Compare, Restore differences and Undo restore, with corvane-cli on
// the same files and the same journal.
TEST_F(MemoryMapTest, SaveCompareRestoreAndBothUndosShareTheDumpAndTheJournal) {
  testsupport::TempDir dir("map");
  platform::SetStateVariables({dir.path(), "", ""});
  const std::string journal = dir.File("corvane/journal");
  ASSERT_EQ(ReadAll(d_, map_).rfind("512 cells read", 0), 0u);

  // Save: an Intel HEX dump that corvane-cli verifies against a camera
  // that holds the same codes.
  d_.ClickNoWait(map_, IDC_MAP_SAVE);
  testsupport::ui::TopLevelSnapshot box = d_.WaitFileBox();
  ASSERT_NE(box.self.hwnd, nullptr);
  EXPECT_TRUE(box.fileBox.save);
  const std::string saved = dir.File("camera.hex");
  ASSERT_TRUE(d_.AnswerFileBox(box.self.hwnd, &saved));
  ASSERT_TRUE(d_.WaitIdle(run_->thread()));
  EXPECT_EQ(d_.Text(map_, IDC_MAP_STATUS), "Saved to " + saved + ".");
  camsim::Camsim& twin = ports_.Attach(2);
  for (int cell = 0; cell < 512; ++cell) twin.SetCell(cell / 256, cell % 256, Pattern(cell));
  std::string err;
  EXPECT_EQ(Cli(ports_, {"--port", "COM2", "verify", saved}, &err), 0) << err;

  // Compare with a dump in which three cells differ: three marks.
  backup::Image changed;
  ASSERT_TRUE(backup::LoadDump(saved, std::nullopt, {}, &changed, &err)) << err;
  for (int cell : {0x05, 0x1F7, 0x1FF}) changed.Set(backup::Cell{cell}, Pattern(cell) ^ 0x5A);
  const std::string other = dir.File("other.hex");
  testsupport::WriteFile(other, backup::DumpContent(changed, backup::Format::kIntelHex, {}));
  d_.ClickNoWait(map_, IDC_MAP_COMPARE);
  box = d_.WaitFileBox();
  ASSERT_FALSE(box.fileBox.save);
  ASSERT_TRUE(d_.AnswerFileBox(box.self.hwnd, &other));
  ASSERT_TRUE(d_.WaitIdle(run_->thread()));
  EXPECT_EQ(d_.Text(map_, IDC_MAP_STATUS).rfind("3 cells differ from " + other, 0), 0u);
  EXPECT_EQ(ViewGrid(d_, map_, IDC_MAP_PAGE0).marked, std::vector<int>{0x05});
  EXPECT_EQ(ViewGrid(d_, map_, IDC_MAP_PAGE1).marked, (std::vector<int>{0xF7, 0xFF}));

  // Restore: after the box that names the file and the count, exactly the
  // three writes; their marks go.
  camsim::Camsim& cam = ports_.Cam(1);
  cam.ClearLog();
  d_.ClickNoWait(map_, IDC_MAP_RESTORE);
  testsupport::ui::OpenBox ask = d_.WaitBox();
  EXPECT_NE(ask.text.find("Write 3 cells from " + other), std::string::npos) << ask.text;
  ASSERT_TRUE(d_.CloseBox(ask));
  ASSERT_TRUE(testsupport::WaitUntil([&] { return d_.Enabled(map_, IDC_MAP_UNDO); }));
  EXPECT_EQ(WriteFrames(cam), (std::vector<std::string>{"0:05=" + Hex(Pattern(0x05) ^ 0x5A),
                                                        "1:F7=" + Hex(Pattern(0x1F7) ^ 0x5A),
                                                        "1:FF=" + Hex(Pattern(0x1FF) ^ 0x5A)}));
  EXPECT_TRUE(ViewGrid(d_, map_, IDC_MAP_PAGE1).marked.empty());
  EXPECT_EQ(cam.Cell(1, 0xF7), Pattern(0x1F7) ^ 0x5A);

  // Undo restore: each cell read first, the old codes back.
  d_.ClickNoWait(map_, IDC_MAP_UNDO);
  ASSERT_TRUE(testsupport::WaitUntil(
      [&] { return !d_.Enabled(map_, IDC_MAP_UNDO) && d_.Enabled(map_, IDC_MAP_READ); }));
  EXPECT_EQ(d_.Text(map_, IDC_MAP_STATUS), "3 cells of the restore taken back.");
  for (int cell : {0x05, 0x1F7, 0x1FF}) EXPECT_EQ(cam.Cell(cell / 256, cell % 256), Pattern(cell));

  // Restore again, then close the program: corvane-cli undo takes it back
  // from the same journal.
  d_.ClickNoWait(map_, IDC_MAP_RESTORE);
  ASSERT_TRUE(d_.CloseBox(d_.WaitBox()));
  ASSERT_TRUE(testsupport::WaitUntil([&] { return d_.Enabled(map_, IDC_MAP_UNDO); }));
  EXPECT_EQ(cam.Cell(0, 0x05), Pattern(0x05) ^ 0x5A);
  run_.reset();
  EXPECT_EQ(Cli(ports_, {"--journal", journal, "--port", "COM1", "undo", "3"}, &err), 0) << err;
  for (int cell : {0x05, 0x1F7, 0x1FF}) EXPECT_EQ(cam.Cell(cell / 256, cell % 256), Pattern(cell));
}

}  // namespace
}  // namespace apptest
