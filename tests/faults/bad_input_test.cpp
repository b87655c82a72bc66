// Every byte value in every position of the address, page and new-code
// fields, through the dialog's Read and Write commands (headless, with the
// simulated camera on COM1). A value the commands refuse sends nothing,
// shows the digit check's box unless the character is a digit that is no
// page (2-9, A-F in the page field), leaves both code fields alone, Read
// enabled and Write disabled. An accepted value runs the transaction with
// the frames for that cell and code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/hex.h"
#include "tests/app/app_fixture.h"
#include "tools/camsim/frames.h"

namespace {

using apptest::Driver;
using apptest::Ports;
using apptest::ProgramRun;
using testhex::ToHex;

enum class Field { kAddressHigh, kAddressLow, kPage, kCodeHigh, kCodeLow };

bool IsHexDigit(int v) {
  return (v >= '0' && v <= '9') || (v >= 'A' && v <= 'F');
}
int DigitOf(int v) {
  return v <= '9' ? v - '0' : v - 'A' + 10;
}

std::string HexByte(int b) {
  return ToHex(camsim::Bytes{static_cast<std::uint8_t>(b)});
}

class BadInputSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    ports_.Attach(1);
    run_ = std::make_unique<ProgramRun>(d_);
    main_ = run_->PastAbout();
    ASSERT_NE(main_, nullptr);
  }
  void TearDown() override { run_.reset(); }

  // A field's text as a user could leave it: the valid text with the byte
  // v in position pos (a zero byte ends the text there).
  static std::string WithByte(const char* valid, int pos, int v) {
    std::string text = valid;
    text[static_cast<std::size_t>(pos)] = static_cast<char>(v);
    return std::string(text.c_str());
  }

  void SetFields(const std::string& address, const std::string& page, const std::string& code) {
    ASSERT_TRUE(SetDlgItemTextA(main_, IDC_ADDRESS, address.c_str()));
    ASSERT_TRUE(SetDlgItemTextA(main_, IDC_PAGE, page.c_str()));
    ASSERT_TRUE(SetDlgItemTextA(main_, IDC_NEW_CODE, code.c_str()));
  }

  std::vector<std::string> Frames() {
    std::vector<std::string> frames;
    for (const auto& e : ports_.Cam(1).Log()) {
      if (e.kind == camsim::LogKind::kRx || e.kind == camsim::LogKind::kNoise)
        frames.push_back(ToHex(e.bytes));
    }
    return frames;
  }

  // Runs the command with byte v in `field`, every other field valid, and
  // checks the outcome against the input rules.
  void Sweep(int command, Field field) {
    for (int v = 0; v < 256; ++v) {
      SCOPED_TRACE("byte " + std::to_string(v));
      if (command == IDC_WRITE && !d_.Enabled(main_, IDC_WRITE)) {
        // Write needs a successful Read first.
        SetFields("00", "0", "00");
        ASSERT_TRUE(d_.Click(main_, IDC_READ));
        ASSERT_TRUE(d_.Enabled(main_, IDC_WRITE));
      }
      std::string address = "5A", page = "1", code = "C3";
      bool accepted = IsHexDigit(v);
      bool box = !accepted;
      switch (field) {
        case Field::kAddressHigh:
          address = WithByte("5A", 0, v);
          break;
        case Field::kAddressLow:
          address = WithByte("5A", 1, v);
          break;
        case Field::kPage:
          page = WithByte("1", 0, v);
          accepted = v == '0' || v == '1';
          break;
        case Field::kCodeHigh:
          code = WithByte("C3", 0, v);
          break;
        case Field::kCodeLow:
          code = WithByte("C3", 1, v);
          break;
      }
      const int pageValue = accepted && field == Field::kPage ? v - '0' : 1;
      int addressValue = 0x5A, codeValue = 0xC3;
      if (accepted && field == Field::kAddressHigh) addressValue = DigitOf(v) * 16 + 0xA;
      if (accepted && field == Field::kAddressLow) addressValue = 0x50 + DigitOf(v);
      if (accepted && field == Field::kCodeHigh) codeValue = DigitOf(v) * 16 + 3;
      if (accepted && field == Field::kCodeLow) codeValue = 0xC0 + DigitOf(v);

      SetFields(address, page, code);
      ports_.Cam(1).ClearLog();
      d_.ClearRecorded();
      ports_.Cam(1).SetCell(0, 0xF8, static_cast<std::uint8_t>(v));
      ports_.Cam(1).SetCell(pageValue, addressValue, static_cast<std::uint8_t>(255 - v));
      const std::string refBefore = d_.Text(main_, IDC_REF_CODE);
      const std::string codeBefore = d_.Text(main_, IDC_CODE);
      ASSERT_TRUE(d_.Click(main_, command));

      const auto boxes = d_.Recorded();
      EXPECT_TRUE(d_.Enabled(main_, IDC_READ));
      if (!accepted) {
        EXPECT_TRUE(Frames().empty());
        ASSERT_EQ(boxes.size(), box ? 1u : 0u);
        if (box) {
          const std::string symbol = v == 0 ? std::string() : std::string(1, static_cast<char>(v));
          EXPECT_EQ(boxes[0].caption, "Application Error");
          EXPECT_EQ(boxes[0].text,
                    "WARNING:  Enter new value.  Failed with the following error: \n"
                    "Not recognized symbol: " +
                        symbol + "\nPort: 1\n");
          EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONERROR));
        }
        EXPECT_FALSE(d_.Enabled(main_, IDC_WRITE));
        EXPECT_EQ(d_.Text(main_, IDC_REF_CODE), refBefore);
        EXPECT_EQ(d_.Text(main_, IDC_CODE), codeBefore);
        continue;
      }
      EXPECT_TRUE(boxes.empty());
      const std::string announce = ToHex(camsim::AnnounceFrame());
      const std::string close = ToHex(camsim::CloseFrame());
      const std::string middle =
          command == IDC_WRITE ? ToHex(camsim::CellWriteFrame(pageValue, addressValue, codeValue))
                               : ToHex(camsim::CellReadFrame(0, 0xF8));
      const std::vector<std::string> expected = {
          announce, ToHex(camsim::SetupFrame()),
          close,    announce,
          middle,   close,
          announce, ToHex(camsim::CellReadFrame(pageValue, addressValue))};
      EXPECT_EQ(Frames(), expected);
      EXPECT_TRUE(d_.Enabled(main_, IDC_WRITE));
      if (command == IDC_READ) {
        EXPECT_EQ(d_.Text(main_, IDC_REF_CODE), HexByte(v));
        EXPECT_EQ(d_.Text(main_, IDC_CODE), HexByte(255 - v));
      } else {
        EXPECT_EQ(d_.Text(main_, IDC_REF_CODE), refBefore);
        EXPECT_EQ(d_.Text(main_, IDC_CODE), HexByte(codeValue));
        EXPECT_EQ(ports_.Cam(1).Cell(pageValue, addressValue), codeValue);
      }
      if (HasFailure()) return;  // one broken value is enough to show
    }
  }

  Ports ports_;
  Driver d_{/*autoAcknowledge=*/true};
  std::unique_ptr<ProgramRun> run_;
  HWND main_ = nullptr;
};

TEST_F(BadInputSweep, ReadEveryByteInTheAddressHighDigit) {
  Sweep(IDC_READ, Field::kAddressHigh);
}
TEST_F(BadInputSweep, ReadEveryByteInTheAddressLowDigit) {
  Sweep(IDC_READ, Field::kAddressLow);
}
TEST_F(BadInputSweep, ReadEveryByteInThePage) {
  Sweep(IDC_READ, Field::kPage);
}
TEST_F(BadInputSweep, WriteEveryByteInTheAddressHighDigit) {
  Sweep(IDC_WRITE, Field::kAddressHigh);
}
TEST_F(BadInputSweep, WriteEveryByteInTheAddressLowDigit) {
  Sweep(IDC_WRITE, Field::kAddressLow);
}
TEST_F(BadInputSweep, WriteEveryByteInThePage) {
  Sweep(IDC_WRITE, Field::kPage);
}
TEST_F(BadInputSweep, WriteEveryByteInTheNewCodeHighDigit) {
  Sweep(IDC_WRITE, Field::kCodeHigh);
}
TEST_F(BadInputSweep, WriteEveryByteInTheNewCodeLowDigit) {
  Sweep(IDC_WRITE, Field::kCodeLow);
}

}  // namespace
