#include "camera/CommandTable.h"

#include <cstring>

namespace camera {

const std::size_t kReplyLengths[5] = {3, 26, 1, 18, 18};

const CommandRow kCommandTable[kRowCount] = {
    {"announce", "05807F", 3, {0x06, 0x80, 0x7F}, 3, ReplyCheck::kText, kReplyLengths[0]},
    {"setup",
     "01801320030001FF01011F0201190301FF8001078101FFCF",
     24,
     {0x10, 0x3B, 0x01, 0x80, 0x13, 0x28, 0x03, 0x00, 0x01, 0x02, 0x01, 0x01, 0x1F,
      0x02, 0x01, 0x19, 0x03, 0x01, 0x01, 0x80, 0x01, 0x01, 0x81, 0x01, 0x01, 0x3C},
     26,
     ReplyCheck::kCount,
     kReplyLengths[1]},
    {"close", "103B04", 3, {0x06}, 1, ReplyCheck::kText, kReplyLengths[2]},
    {"reference read",
     "01800E10204D4000F802FFFFFFFFFFFFFFFFC9",
     19,
     {0x10, 0x3B, 0x01, 0x80, 0x0B, 0x19, 0x20, 0x4D, 0x40, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
      0xFF, 0xFF, 0xD8},
     18,
     ReplyCheck::kCount,
     kReplyLengths[3]},
    {"cell read",
     "01800E10204D4000F702FFFFFFFFFFFFFFFFC6",
     19,
     {0x10, 0x3B, 0x01, 0x80, 0x0B, 0x19, 0x20, 0x4D, 0x40, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
      0xFF, 0xFF, 0xA2},
     18,
     ReplyCheck::kCount,
     kReplyLengths[4]},
    // The stored checksum "C6" of the write template is never sent: every
    // write frame gets its own.
    {"cell write",
     "01800E10204D1000F702FFFFFFFFFFFFFFFFC6",
     19,
     {0x10, 0x3B, 0x01, 0x80, 0x0B, 0x19, 0x20, 0x4D, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
      0xFF, 0xFF, 0xA2},
     18,
     ReplyCheck::kCount,
     kReplyLengths[3]},
};

bool ReplyComplete(const CommandRow& row, const BYTE* buffer, std::size_t capacity,
                   std::size_t count) {
  if (row.check == ReplyCheck::kCount) return count == row.replyLength;
  // 44 non-zero bytes have no terminator: the text ends at the capacity.
  const std::size_t n = strnlen(reinterpret_cast<const char*>(buffer), capacity);
  return n == row.replyImageBytes && std::memcmp(buffer, row.replyImage, n) == 0;
}

}  // namespace camera
