// The byte-stream parser and the replies, without a line.
#include "tools/camsim/frames.h"

#include <gtest/gtest.h>

#include "tests/camsim/tester_line.h"

namespace {

using camsim::Frame;
using camsim::FrameKind;
using camsim::FrameParser;
using camsim_test::Hex;
using camsim_test::ToHex;

using testhex::kSetup;

std::vector<Frame> ParseAll(const std::string& hex) {
  FrameParser parser;
  std::vector<Frame> out;
  parser.Feed(Hex(hex), &out);
  return out;
}

// "A:05807F" for frames, "N:AA" for noise: easy to compare as a whole.
std::vector<std::string> Describe(const std::vector<Frame>& frames) {
  std::vector<std::string> d;
  for (const Frame& f : frames) {
    const char* k = "?";
    switch (f.kind) {
      case FrameKind::kAnnounce:
        k = "A";
        break;
      case FrameKind::kSetup:
        k = "S";
        break;
      case FrameKind::kClose:
        k = "C";
        break;
      case FrameKind::kCellRead:
        k = "R";
        break;
      case FrameKind::kCellWrite:
        k = "W";
        break;
      case FrameKind::kNoise:
        k = "N";
        break;
    }
    d.push_back(std::string(k) + ":" + ToHex(f.bytes));
  }
  return d;
}

TEST(CamsimFrames, CellFramesMatchTheTestersFrames) {
  // The frames the tester sends for these cells, checksum included.
  EXPECT_EQ(ToHex(camsim::CellReadFrame(0, 0x12)), "01800E10204D40001202FFFFFFFFFFFFFFFF23");
  EXPECT_EQ(ToHex(camsim::CellReadFrame(1, 0x00)), "01800E10204D40010002FFFFFFFFFFFFFFFF30");
  EXPECT_EQ(ToHex(camsim::CellReadFrame(0, 0xF8)), "01800E10204D4000F802FFFFFFFFFFFFFFFFC9");
  EXPECT_EQ(ToHex(camsim::CellReadFrame(0, 0xF7)), "01800E10204D4000F702FFFFFFFFFFFFFFFFC6");
  EXPECT_EQ(ToHex(camsim::CellWriteFrame(0, 0xF7, 0x5A)), "01800E10204D1000F7025AFFFFFFFFFFFFFF33");
  EXPECT_EQ(ToHex(camsim::CellWriteFrame(0, 0xF7, 0xFF)), "01800E10204D1000F702FFFFFFFFFFFFFFFF96");
}

TEST(CamsimFrames, RepliesAreTheDocumentedBytes) {
  EXPECT_EQ(ToHex(camsim::ReplyFor(FrameKind::kAnnounce, 0)), "06807F");
  EXPECT_EQ(ToHex(camsim::ReplyFor(FrameKind::kSetup, 0)),
            "103B018013280300010201011F0201190301018001018101013C");
  EXPECT_EQ(ToHex(camsim::ReplyFor(FrameKind::kClose, 0)), "06");
  // Code at index 9; last byte the XOR of bytes 2..16.
  EXPECT_EQ(ToHex(camsim::ReplyFor(FrameKind::kCellRead, 0x12)),
            "103B01800B19204D4012FFFFFFFFFFFFFF53");
  EXPECT_EQ(ToHex(camsim::ReplyFor(FrameKind::kCellRead, 0x34)),
            "103B01800B19204D4034FFFFFFFFFFFFFF75");
  EXPECT_EQ(ToHex(camsim::ReplyFor(FrameKind::kCellWrite, 0x5A)),
            "103B01800B19204D105AFFFFFFFFFFFFFF4B");
}

TEST(CamsimFrames, RecognisesEveryFrameInOneStreamAndByteByByte) {
  const std::string stream = std::string("05807F") + kSetup + "103B04" +
                             ToHex(camsim::CellReadFrame(1, 0xA0)) +
                             ToHex(camsim::CellWriteFrame(0, 0x07, 0xC3));
  const std::vector<std::string> expected = {
      "A:05807F",
      std::string("S:") + kSetup,
      "C:103B04",
      "R:" + ToHex(camsim::CellReadFrame(1, 0xA0)),
      "W:" + ToHex(camsim::CellWriteFrame(0, 0x07, 0xC3)),
  };
  const auto all = ParseAll(stream);
  EXPECT_EQ(Describe(all), expected);
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[3].page, 1);
  EXPECT_EQ(all[3].address, 0xA0);
  EXPECT_EQ(all[4].page, 0);
  EXPECT_EQ(all[4].address, 0x07);
  EXPECT_EQ(all[4].code, 0xC3);

  // Timing plays no part: the same bytes one at a time give the same frames.
  FrameParser parser;
  std::vector<Frame> one;
  for (std::uint8_t b : Hex(stream)) parser.Feed(&b, 1, &one);
  EXPECT_EQ(Describe(one), expected);
  EXPECT_TRUE(parser.Pending().empty());
}

TEST(CamsimFrames, SkipsNoiseAndResyncsOnTheNextFrameStart) {
  // Leading garbage, merged into one noise item.
  EXPECT_EQ(Describe(ParseAll("AABBCC05807F")), (std::vector<std::string>{"N:AABBCC", "A:05807F"}));
  // A broken frame start followed by a real frame: the first bytes are
  // noise, the frame inside is still found.
  EXPECT_EQ(Describe(ParseAll("058005807F")), (std::vector<std::string>{"N:0580", "A:05807F"}));
  EXPECT_EQ(Describe(ParseAll("0180103B04")), (std::vector<std::string>{"N:0180", "C:103B04"}));
  // A cell frame broken after many bytes, then a frame.
  const std::string cut = ToHex(camsim::CellReadFrame(0, 0x10)).substr(0, 24);
  EXPECT_EQ(Describe(ParseAll(cut + "05807F")), (std::vector<std::string>{"N:" + cut, "A:05807F"}));
  // Noise between frames.
  EXPECT_EQ(Describe(ParseAll("05807F00FF103B04")),
            (std::vector<std::string>{"A:05807F", "N:00FF", "C:103B04"}));
  // Pending bytes of a possible frame are held, not reported.
  FrameParser parser;
  std::vector<Frame> out;
  parser.Feed(Hex("0180130E"), &out);  // 01 80 13 starts the setup frame; 0E does not follow
  EXPECT_EQ(Describe(out), (std::vector<std::string>{"N:0180130E"}));
  out.clear();
  parser.Feed(Hex("0180"), &out);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(ToHex(parser.Pending()), "0180");
}

TEST(CamsimFrames, RejectsCellFramesWithBadChecksumPageOrFixedBytes) {
  auto mutate = [](camsim::Bytes b, std::size_t i, std::uint8_t v) {
    b[i] = v;
    return ToHex(b);
  };
  const camsim::Bytes read = camsim::CellReadFrame(0, 0x20);
  const camsim::Bytes write = camsim::CellWriteFrame(1, 0x20, 0x77);
  const std::vector<std::string> bad = {
      mutate(read, 18, read[18] ^ 1),  // checksum
      mutate(write, 18, write[18] ^ 0x80),
      ToHex(camsim::CellReadFrame(2, 0x20)),  // page 02, own checksum correct
      mutate(read, 9, 0x03),                  // fixed 02
      mutate(read, 10, 0x00),                 // a read carries FF where a write's code goes
      mutate(read, 6, 0x20),                  // unknown operation
      mutate(read, 14, 0xFE),                 // one of the FF bytes
  };
  for (const std::string& frame : bad) {
    SCOPED_TRACE(frame);
    const auto out = ParseAll(frame + "103B04");
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back().kind, FrameKind::kClose);
    for (std::size_t i = 0; i + 1 < out.size(); ++i) EXPECT_EQ(out[i].kind, FrameKind::kNoise);
  }
}

}  // namespace
