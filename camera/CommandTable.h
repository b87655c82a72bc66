// The camera's service dialogue: six fixed frames (hexadecimal text, sent as
// listed after the cell substitutions of rows 5 and 6), the image of the reply
// that each one expects, and how a transaction recognises that reply.
#pragma once

#include <cstddef>

#include "platform/win32types.h"

namespace camera {

// How a transaction decides that a reply is complete.
enum class ReplyCheck {
  kText,   // the reply buffer, read as zero-terminated text, equals the image
  kCount,  // exactly replyLength bytes have arrived (the image is not compared)
};

struct CommandRow {
  const char* name;        // for logs and test messages only
  const char* frameText;   // upper-case hex, two characters per byte
  std::size_t frameBytes;  // length of the frame on the line
  BYTE replyImage[26];     // the camera's expected reply
  std::size_t replyImageBytes;
  ReplyCheck check;
  std::size_t replyLength;  // bytes that complete the reply
};

// Row indices (the table's rows 1 to 6).
enum Row : int {
  kAnnounce = 0,
  kSetup = 1,
  kClose = 2,
  kReferenceRead = 3,
  kCellRead = 4,   // template: page and address are substituted
  kCellWrite = 5,  // template: page, address and code are substituted
  kRowCount = 6,
};

extern const CommandRow kCommandTable[kRowCount];

// The stored reply lengths, one for each of rows 1 to 5. The write reply (row
// 6) has none of its own and uses the reference read's.
extern const std::size_t kReplyLengths[5];

// The reference cell that every read reports first: page 0, address F8.
inline constexpr char kReferenceCell[] = "F80";

}  // namespace camera
