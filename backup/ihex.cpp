#include "backup/ihex.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace backup {
namespace {

constexpr int kBlock = 16;

enum RecordType : int {
  kData = 0x00,
  kEndOfFile = 0x01,
  kSegmentAddress = 0x02,
  kStartSegment = 0x03,
  kLinearAddress = 0x04,
  kStartLinear = 0x05,
};

void AppendRecord(std::string* out, int address, int type, const std::vector<int>& data) {
  int sum = static_cast<int>(data.size()) + (address >> 8) + (address & 0xFF) + type;
  *out += ':' + CodeText(static_cast<int>(data.size())) + CodeText(address >> 8) +
          CodeText(address & 0xFF) + CodeText(type);
  for (int b : data) {
    *out += CodeText(b);
    sum += b;
  }
  *out += CodeText((0x100 - (sum & 0xFF)) & 0xFF) + "\n";
}

std::string HexAddress(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%04llX", static_cast<unsigned long long>(value));
  return text;
}

bool IsBlank(std::string_view line) {
  for (char c : line) {
    if (c != ' ' && c != '\t') return false;
  }
  return true;
}

}  // namespace

std::string WriteIntelHex(const Image& image) {
  std::string out;
  for (int block = 0; block < kCells; block += kBlock) {
    std::vector<int> run;
    int start = block;
    for (int index = block; index <= block + kBlock; ++index) {
      const bool present = index < block + kBlock && image.Has(Cell{index});
      if (present) {
        if (run.empty()) start = index;
        run.push_back(image.Code(Cell{index}));
      } else if (!run.empty()) {
        AppendRecord(&out, start, kData, run);
        run.clear();
      }
    }
  }
  AppendRecord(&out, 0, kEndOfFile, {});
  return out;
}

bool ReadIntelHex(std::string_view text, Image* image, std::string* error) {
  std::uint64_t base = 0;
  bool ended = false;
  std::size_t lineNumber = 0;
  std::size_t pos = 0;
  auto fail = [&](const std::string& what) {
    *error = "line " + std::to_string(lineNumber) + ": " + what;
    return false;
  };
  while (pos < text.size()) {
    ++lineNumber;
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (IsBlank(line)) continue;
    if (ended) return fail("a record after the end-of-file record");
    if (line[0] != ':') return fail("not an Intel HEX record (a record starts with ':')");
    line.remove_prefix(1);
    if (line.size() % 2 != 0) return fail("bad record: an odd number of hex digits");
    std::vector<int> bytes;
    bytes.reserve(line.size() / 2);
    for (std::size_t i = 0; i < line.size(); i += 2) {
      const int high = HexDigit(line[i]), low = HexDigit(line[i + 1]);
      if (high < 0 || low < 0) return fail("bad record: a character that is no hex digit");
      bytes.push_back(high * 16 + low);
    }
    if (bytes.size() < 5) return fail("bad record: too short");
    const std::size_t count = static_cast<std::size_t>(bytes[0]);
    if (bytes.size() != count + 5) {
      return fail("bad record: its length byte says " + std::to_string(count) +
                  " data bytes, it holds " + std::to_string(bytes.size() - 5));
    }
    int sum = 0;
    for (int b : bytes) sum += b;
    if ((sum & 0xFF) != 0) {
      const int stated = bytes.back();
      const int expected = (stated - sum) & 0xFF;
      return fail("bad checksum: the record says " + CodeText(stated) + ", its bytes give " +
                  CodeText(expected));
    }
    const std::uint64_t offset = static_cast<std::uint64_t>(bytes[1]) * 256 + bytes[2];
    const int type = bytes[3];
    switch (type) {
      case kData:
        for (std::size_t i = 0; i < count; ++i) {
          const std::uint64_t address = base + offset + i;
          if (address >= static_cast<std::uint64_t>(kCells)) {
            return fail("address " + HexAddress(address) +
                        " is beyond page 1 (the last cell is 0x01FF)");
          }
          const Cell cell{static_cast<int>(address)};
          const int code = bytes[4 + i];
          if (image->Has(cell) && image->Code(cell) != code) {
            return fail("cell " + CellName(cell) + " is given twice, with different codes");
          }
          image->Set(cell, code);
        }
        break;
      case kEndOfFile:
        if (count != 0) return fail("bad record: an end-of-file record with data");
        ended = true;
        break;
      case kSegmentAddress:
      case kLinearAddress:
        if (count != 2) return fail("bad record: an address record needs 2 data bytes");
        base = (static_cast<std::uint64_t>(bytes[4]) * 256 + bytes[5]) *
               (type == kSegmentAddress ? 16u : 65536u);
        break;
      case kStartSegment:
      case kStartLinear:
        if (count != 4) return fail("bad record: a start address record needs 4 data bytes");
        break;
      default:
        return fail("unknown record type " + CodeText(type));
    }
  }
  if (!ended) {
    lineNumber += 1;
    return fail("the file ends without an end-of-file record (:00000001FF)");
  }
  return true;
}

}  // namespace backup
