// The memory and its file; the command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/camsim/tester_line.h"
#include "tools/camsim/args.h"
#include "tools/camsim/memory.h"

namespace {

using camsim::Memory;
using camsim_test::ReadFile;
using camsim_test::TempDir;

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

TEST(CamsimMemory, DefaultContent) {
  Memory m;
  EXPECT_EQ(m.Get(0, 0xF8), 0x12);
  EXPECT_EQ(m.Get(0, 0xF7), 0x34);
  EXPECT_EQ(m.Get(0, 0x00), 0x5A);
  EXPECT_EQ(m.Get(0, 0xF9), 0xF9 ^ 0x5A);
  EXPECT_EQ(m.Get(1, 0x00), 0x5B);
  EXPECT_EQ(m.Get(1, 0xF8), 0xF8 ^ 0x5A ^ 1);
  EXPECT_EQ(m.Get(1, 0xF7), 0xF7 ^ 0x5A ^ 1);
}

TEST(CamsimMemory, SaveThenLoadRoundTrip) {
  TempDir dir;
  const std::string path = dir.File("mem.txt");
  Memory a;
  a.Set(0, 0x00, 0xAB);
  a.Set(1, 0xFF, 0x01);
  std::string err;
  ASSERT_TRUE(a.Save(path, &err)) << err;

  const std::string text = ReadFile(path);
  ASSERT_EQ(text.size(), 2u * 513u);
  EXPECT_EQ(text.substr(0, 2), "AB");
  EXPECT_EQ(text[512], '\n');
  EXPECT_EQ(text.substr(513 + 510, 3), "01\n");
  EXPECT_EQ(text.substr(2 * 0xF7, 4), "3412");  // page 0, F7 then F8

  Memory b;
  b.Set(0, 0x05, 0x00);  // overwritten by the file's page line
  ASSERT_TRUE(b.Load(path, &err)) << err;
  for (int p = 0; p < 2; ++p) {
    for (int addr = 0; addr < 256; ++addr) ASSERT_EQ(a.Get(p, addr), b.Get(p, addr));
  }
  // No temporary file is left next to it.
  int files = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.File(""))) ++files;
  EXPECT_EQ(files, 1);
}

TEST(CamsimMemory, LoadsCellLinesOverTheDefaults) {
  TempDir dir;
  const std::string path = dir.File("cells.txt");
  WriteFile(path, "# a comment\n\n0 F8 99\n1 00 ff\r\n  0 10 0A  \n0 F8 98\n");
  Memory m;
  std::string err;
  ASSERT_TRUE(m.Load(path, &err)) << err;
  EXPECT_EQ(m.Get(0, 0xF8), 0x98);  // later lines win
  EXPECT_EQ(m.Get(1, 0x00), 0xFF);
  EXPECT_EQ(m.Get(0, 0x10), 0x0A);
  EXPECT_EQ(m.Get(0, 0xF7), 0x34);  // untouched cells keep the default
}

TEST(CamsimMemory, RejectsMalformedFilesAndKeepsItsContent) {
  TempDir dir;
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"0 F8 99\n2 00 11\n", ":2:"},  // page 2
      {"0 F8 9\n", ":1:"},            // one digit
      {"0 G8 99\n", ":1:"},           // not hex
      {"0 F8 99 77\n", ":1:"},        // extra field
      {std::string(512, '0') + "\n" + std::string(512, '1') + "\n" + std::string(512, '2') + "\n",
       ":3:"},                                 // three pages
      {std::string(511, '0') + "X\n", ":1:"},  // bad digit in a page line
  };
  for (const auto& [text, where] : bad) {
    SCOPED_TRACE(text.substr(0, 20));
    const std::string path = dir.File("bad.txt");
    WriteFile(path, text);
    Memory m;
    std::string err;
    EXPECT_FALSE(m.Load(path, &err));
    EXPECT_NE(err.find(where), std::string::npos) << err;
    EXPECT_EQ(m.Get(0, 0xF8), 0x12);
  }
  Memory m;
  std::string err;
  EXPECT_FALSE(m.Load(dir.File("missing.txt"), &err));
  EXPECT_FALSE(m.Save(dir.File("no/such/dir/mem.txt"), &err));
}

camsim::ParseResult Parse(std::vector<const char*> args, camsim::CamsimOptions* o,
                          std::string* err) {
  args.insert(args.begin(), "corvane-camsim");
  return camsim::ParseArgs(static_cast<int>(args.size()), args.data(), o, err);
}

TEST(CamsimArgs, EveryFlagSetsItsOption) {
  camsim::CamsimOptions o;
  std::string err;
  ASSERT_EQ(Parse({"--paced",
                   "--think",
                   "15",
                   "--link",
                   "/tmp/l",
                   "--log",
                   "/tmp/g",
                   "--memory",
                   "/tmp/m",
                   "--silent",
                   "--silent-after",
                   "4",
                   "--extra",
                   "2:0xAB@3",
                   "--burst",
                   "50@5",
                   "--burst-instead",
                   "--pause",
                   "300@2:4",
                   "--hangup-after",
                   "6",
                   "--return-after",
                   "0",
                   "--session-rounds",
                   "7"},
                  &o, &err),
            camsim::ParseResult::kRun)
      << err;
  EXPECT_TRUE(o.paced);
  EXPECT_EQ(o.thinkMs, 15);
  EXPECT_EQ(o.linkPath, "/tmp/l");
  EXPECT_EQ(o.logPath, "/tmp/g");
  EXPECT_EQ(o.memoryPath, "/tmp/m");
  const camsim::Faults& f = o.faults;
  EXPECT_TRUE(f.silent);
  EXPECT_EQ(f.silentAfter, 4);
  EXPECT_EQ(f.extraCount, 2);
  EXPECT_EQ(f.extraByte, 0xAB);
  EXPECT_EQ(f.extraAt, 3);
  EXPECT_EQ(f.burstCount, 50);
  EXPECT_EQ(f.burstByte, 0x55);
  EXPECT_EQ(f.burstAt, 5);
  EXPECT_TRUE(f.burstInstead);
  EXPECT_EQ(f.pauseMs, 300);
  EXPECT_EQ(f.pauseAt, 2);
  EXPECT_EQ(f.pauseAfterByte, 4);
  EXPECT_EQ(f.hangupAfter, 6);
  EXPECT_EQ(f.returnAfterMs, 0);
  EXPECT_EQ(f.sessionRounds, 7);
}

TEST(CamsimArgs, DefaultsAndShortForms) {
  camsim::CamsimOptions o;
  std::string err;
  ASSERT_EQ(Parse({"--extra", "3", "--burst", "45:FF", "--pause", "20@1"}, &o, &err),
            camsim::ParseResult::kRun)
      << err;
  EXPECT_FALSE(o.paced);
  EXPECT_EQ(o.faults.extraCount, 3);
  EXPECT_EQ(o.faults.extraByte, 0x00);
  EXPECT_EQ(o.faults.extraAt, 0);  // every reply
  EXPECT_EQ(o.faults.burstByte, 0xFF);
  EXPECT_EQ(o.faults.burstAt, 0);
  EXPECT_EQ(o.faults.pauseAfterByte, 1);
  EXPECT_EQ(o.faults.returnAfterMs, -1);
  camsim::CamsimOptions h;
  EXPECT_EQ(Parse({"--paced", "--help"}, &h, &err), camsim::ParseResult::kHelp);
  camsim::CamsimOptions l;
  ASSERT_EQ(Parse({"--line"}, &l, &err), camsim::ParseResult::kRun) << err;
  EXPECT_TRUE(l.line);
  EXPECT_FALSE(o.line);
}

TEST(CamsimArgs, RejectsBadCommandLines) {
  const std::vector<std::vector<const char*>> bad = {
      {"--bogus"},
      {"--think"},
      {"--think", "-1"},
      {"--think", "12x"},
      {"--silent-after", "0"},
      {"--extra", "0"},
      {"--extra", "2:GG"},
      {"--extra", "2:123"},
      {"--burst", "50@"},
      {"--pause", "300"},
      {"--pause", "300@0"},
      {"--pause", "@2"},
      {"--return-after", "100"},
      {"--burst-instead"},
      {"--link", ""},
      {"--session-rounds", "0"},
  };
  for (const auto& args : bad) {
    SCOPED_TRACE(std::string(args[0]) + (args.size() > 1 ? std::string(" ") + args[1] : ""));
    camsim::CamsimOptions o;
    std::string err;
    EXPECT_EQ(Parse(args, &o, &err), camsim::ParseResult::kError);
    EXPECT_FALSE(err.empty());
  }
}

}  // namespace
