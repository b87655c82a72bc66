#include "tools/camsim/memory.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace camsim {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Parses exactly two hex digits.
bool ParseByte(const std::string& s, int* value) {
  if (s.size() != 2) return false;
  const int hi = HexValue(s[0]), lo = HexValue(s[1]);
  if (hi < 0 || lo < 0) return false;
  *value = hi * 16 + lo;
  return true;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

}  // namespace

Memory::Memory() {
  for (int p = 0; p < kPages; ++p) {
    for (int a = 0; a < kCells; ++a) cells_[p][a] = DefaultCode(p, a);
  }
}

std::uint8_t Memory::DefaultCode(int page, int address) {
  if (page == 0 && address == 0xF8) return 0x12;
  if (page == 0 && address == 0xF7) return 0x34;
  return static_cast<std::uint8_t>(address ^ 0x5A ^ page);
}

bool Memory::Load(const std::string& path, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot read memory file " + path;
    return false;
  }
  auto cells = cells_;
  int nextPage = 0;
  int lineNo = 0;
  std::string raw;
  while (std::getline(in, raw)) {
    ++lineNo;
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const std::string where = path + ":" + std::to_string(lineNo) + ": ";
    if (line.size() == 2 * kCells) {
      if (nextPage >= kPages) {
        *error = where + "more than two page lines";
        return false;
      }
      for (int a = 0; a < kCells; ++a) {
        int v = 0;
        if (!ParseByte(line.substr(2 * a, 2), &v)) {
          *error = where + "bad hex digit in page line";
          return false;
        }
        cells[nextPage][a] = static_cast<std::uint8_t>(v);
      }
      ++nextPage;
      continue;
    }
    std::istringstream fields(line);
    std::string p, a, v, more;
    int addr = 0, code = 0;
    if (!(fields >> p >> a >> v) || (fields >> more) || (p != "0" && p != "1") ||
        !ParseByte(a, &addr) || !ParseByte(v, &code)) {
      *error = where + "expected \"p aa vv\" or a page line of 512 hex digits";
      return false;
    }
    cells[p[0] - '0'][addr] = static_cast<std::uint8_t>(code);
  }
  cells_ = cells;
  return true;
}

bool Memory::Save(const std::string& path, std::string* error) const {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(kPages * (2 * kCells + 1));
  for (int p = 0; p < kPages; ++p) {
    for (int a = 0; a < kCells; ++a) {
      text.push_back(kDigits[cells_[p][a] >> 4]);
      text.push_back(kDigits[cells_[p][a] & 15]);
    }
    text.push_back('\n');
  }
  // A reader sees either the old file or the new one, never a torn one.
  const std::string tmp = path + ".tmp." + std::to_string(::getpid());
  {
    std::ofstream out(tmp, std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      *error = "cannot write " + tmp;
      out.close();
      std::remove(tmp.c_str());
      return false;
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    *error = "cannot rename " + tmp + " to " + path;
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace camsim
