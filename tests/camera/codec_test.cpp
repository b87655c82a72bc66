// The command table and the hex codec, without a device.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "camera/CommandTable.h"
#include "camera/HexCodec.h"
#include "camera/Outcome.h"

namespace {

using camera::kCommandTable;

std::vector<BYTE> Bytes(const char* text) {
  BYTE out[camera::kFrameByteRoom];
  const std::size_t n = camera::HexTextToBytes(text, std::strlen(text), out, camera::DigitValue);
  return std::vector<BYTE>(out, out + n);
}

std::string CellFrame(const char* cell, const char* value = nullptr) {
  char frame[camera::kCellFrameRoom];
  const int row = value ? camera::kCellWrite : camera::kCellRead;
  camera::BuildCellFrame(frame, kCommandTable[row].frameText, cell, value, camera::DigitValue);
  return frame;
}

// XOR of the bytes from index 2 up to the one before the checksum.
BYTE XorRule(const std::vector<BYTE>& frame) {
  BYTE x = 0;
  for (std::size_t i = 2; i + 1 < frame.size(); ++i) x ^= frame[i];
  return x;
}

TEST(HexDigits, DigitsAndNonDigits) {
  const std::string digits = "0123456789ABCDEF";
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    const auto pos = digits.find(ch);
    const BYTE expected = (ch != '\0' && pos != std::string::npos) ? BYTE(pos) : BYTE(16);
    EXPECT_EQ(camera::DigitValue(ch), expected) << "character " << c;
  }
}

TEST(HexDigits, NibbleCharTakesLowEightBits) {
  EXPECT_EQ(camera::NibbleChar(0), '0');
  EXPECT_EQ(camera::NibbleChar(9), '9');
  EXPECT_EQ(camera::NibbleChar(10), 'A');
  EXPECT_EQ(camera::NibbleChar(15), 'F');
  EXPECT_EQ(camera::NibbleChar(16), 'X');
  EXPECT_EQ(camera::NibbleChar(255), 'X');
  EXPECT_EQ(camera::NibbleChar(0x10A), 'A');  // only the low eight bits count
  EXPECT_EQ(camera::NibbleChar(0x110), 'X');
  EXPECT_EQ(camera::NibbleChar(0xFFFFFFFFu), 'X');
}

TEST(HexDigits, EveryByteRoundTrips) {
  for (unsigned b = 0; b < 256; ++b) {
    char text[3] = {};
    camera::ByteToHex(b, text);
    ASSERT_EQ(Bytes(text), std::vector<BYTE>{BYTE(b)}) << text;
  }
  char text[3] = {};
  camera::ByteToHex(0xFF, text);
  EXPECT_STREQ(text, "FF");
  camera::ByteToHex(0x0A, text);
  EXPECT_STREQ(text, "0A");
}

TEST(HexFrames, TableFramesConvertToTheirBytes) {
  EXPECT_EQ(Bytes("05807F"), (std::vector<BYTE>{0x05, 0x80, 0x7F}));
  const auto setup = Bytes(kCommandTable[camera::kSetup].frameText);
  ASSERT_EQ(setup.size(), 24u);
  EXPECT_EQ(setup.back(), 0xCF);
  for (const auto& row : kCommandTable) {
    EXPECT_EQ(std::strlen(row.frameText), 2 * row.frameBytes) << row.name;
    EXPECT_EQ(Bytes(row.frameText).size(), row.frameBytes) << row.name;
  }
  // The stored frames that carry a checksum carry the right one; the write
  // template's is a placeholder.
  for (int row : {camera::kSetup, camera::kReferenceRead, camera::kCellRead}) {
    const auto frame = Bytes(kCommandTable[row].frameText);
    EXPECT_EQ(XorRule(frame), frame.back()) << kCommandTable[row].name;
  }
}

TEST(HexFrames, OddTextEndsInAZeroByte) {
  EXPECT_EQ(Bytes("ABC"), (std::vector<BYTE>{0xAB, 0x00}));
  EXPECT_EQ(Bytes("A"), (std::vector<BYTE>{0x00}));
}

TEST(HexFrames, LowDigitConvertedFirstAndBadDigitsStillMakeAByte) {
  std::string seen;
  BYTE out[camera::kFrameByteRoom];
  auto digit = [&](char ch) {
    seen += ch;
    return camera::DigitValue(ch);
  };
  const std::size_t n = camera::HexTextToBytes("1g2H", 4, out, digit);
  EXPECT_EQ(seen, "g1H2");
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(out[0], BYTE(16 * 1 + 16));
  EXPECT_EQ(out[1], BYTE(16 * 2 + 16));
}

TEST(HexFrames, LongestTextFillsTheOutputArea) {
  const std::string text(camera::kFrameTextRoom, 'E');
  BYTE out[camera::kFrameByteRoom];
  const std::size_t n = camera::HexTextToBytes(text.c_str(), text.size(), out, camera::DigitValue);
  EXPECT_EQ(n, 99u);
  EXPECT_EQ(out[98], 0xEE);
  EXPECT_EQ(out[99], 0x00);
}

TEST(CellFrames, WorkedExamples) {
  EXPECT_EQ(CellFrame("120"), "01800E10204D40001202FFFFFFFFFFFFFFFF23");
  EXPECT_EQ(CellFrame("001"), "01800E10204D40010002FFFFFFFFFFFFFFFF30");
  EXPECT_EQ(CellFrame("F70", "5A"), "01800E10204D1000F7025AFFFFFFFFFFFFFF33");
}

TEST(CellFrames, StoredRowsAreTheirOwnCells) {
  EXPECT_EQ(CellFrame("F70"), kCommandTable[camera::kCellRead].frameText);
  EXPECT_EQ(CellFrame(camera::kReferenceCell), kCommandTable[camera::kReferenceRead].frameText);
  // The write template's stored checksum C6 is not what a write gets.
  EXPECT_EQ(CellFrame("F70", "FF").substr(36), "96");
}

TEST(CellFrames, ChecksumIsTheXorRuleForEveryCell) {
  const char* hex = "0123456789ABCDEF";
  for (int page = 0; page < 2; ++page) {
    for (int a = 0; a < 256; ++a) {
      const char cell[4] = {hex[a >> 4], hex[a & 15], char('0' + page), 0};
      const auto read = Bytes(CellFrame(cell).c_str());
      ASSERT_EQ(read.size(), 19u);
      ASSERT_EQ(read[6], 0x40);
      ASSERT_EQ(read[7], page);
      ASSERT_EQ(read[8], a);
      ASSERT_EQ(read[10], 0xFF);
      ASSERT_EQ(XorRule(read), read.back()) << cell;
      for (int v : {0x00, 0x3C, 0x5A, 0xA5, 0xFF}) {
        const char value[3] = {hex[v >> 4], hex[v & 15], 0};
        const auto write = Bytes(CellFrame(cell, value).c_str());
        ASSERT_EQ(write[6], 0x10);
        ASSERT_EQ(write[8], a);
        ASSERT_EQ(write[10], v);
        ASSERT_EQ(XorRule(write), write.back()) << cell << " " << value;
      }
    }
  }
}

TEST(CellFrames, AnyPageCharacterOtherThanZeroCountsAsPageOne) {
  // Callers validate the page; the frame still gets a defined checksum.
  EXPECT_EQ(CellFrame("F72").substr(36), CellFrame("F71").substr(36));
}

TEST(Outcomes, EachFailureTextHasItsOutcomeAndMeaning) {
  const std::pair<const char*, camera::Outcome> failures[] = {
      {"XXXX", camera::Outcome::kTimeOut},
      {"XXXXF", camera::Outcome::kWriteNotSent},
      {"FFFF", camera::Outcome::kReadBackFailed},
  };
  for (const auto& [text, outcome] : failures) {
    EXPECT_EQ(camera::OutcomeOfText(text), outcome) << text;
    EXPECT_STREQ(camera::FailureText(outcome), text);
    EXPECT_STRNE(camera::FailureMeaning(outcome), "") << text;
  }
  for (const char* code : {"1234", "FF", "5A", "xxxx", "XXXXX", "FFF"}) {
    EXPECT_EQ(camera::OutcomeOfText(code), camera::Outcome::kCodeRead) << code;
  }
}

TEST(CommandTable, RepliesAndRecognisers) {
  EXPECT_EQ(camera::kReplyLengths[0], 3u);
  EXPECT_EQ(camera::kReplyLengths[1], 26u);
  EXPECT_EQ(camera::kReplyLengths[2], 1u);
  EXPECT_EQ(camera::kReplyLengths[3], 18u);
  EXPECT_EQ(camera::kReplyLengths[4], 18u);
  for (const auto& row : kCommandTable) {
    EXPECT_LE(row.replyImageBytes, sizeof row.replyImage);
    if (row.check == camera::ReplyCheck::kCount) {
      EXPECT_EQ(row.replyLength, row.replyImageBytes) << row.name;
    } else {
      // A text image must hold no zero byte, or it would end early.
      EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(row.replyImage)), row.replyImageBytes)
          << row.name;
    }
  }
  EXPECT_EQ(kCommandTable[camera::kCellWrite].replyLength, camera::kReplyLengths[3]);
  // The code sits after 4D 40 (read) or 4D 10 (write) at index 9.
  EXPECT_EQ(kCommandTable[camera::kCellRead].replyImage[8], 0x40);
  EXPECT_EQ(kCommandTable[camera::kCellWrite].replyImage[8], 0x10);
}

}  // namespace
