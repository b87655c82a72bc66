// The camera's service dialogue: six fixed frames (hexadecimal text, sent as
// listed after the cell substitutions of rows 5 and 6), the image of the reply
// that each one expects, and how a transaction recognises that reply.
#pragma once

#include <cstddef>

#include "platform/win32/win32types.h"

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

// The recogniser of a reply: whether the reply to `row` is complete, given
// the reply buffer (its first min(count, capacity) bytes are the bytes
// received, the rest zero) and count, the number of bytes received (which
// goes on counting past the buffer's capacity). Text rows: the buffer read
// as zero-terminated text, never past capacity, equals the image. Count
// rows: exactly replyLength bytes have arrived, so a reply that overshoots
// never completes. Pure; the transactions test it after every received
// byte.
bool ReplyComplete(const CommandRow& row, const BYTE* buffer, std::size_t capacity,
                   std::size_t count);

// Index of the code in an 18-byte cell reply (rows 4 to 6).
inline constexpr std::size_t kReplyCodeIndex = 9;

// The reference cell that every read reports first: page 0, address F8.
inline constexpr char kReferenceCell[] = "F80";

// The failure texts that a transaction returns in place of its codes, after
// the time-out's error box. Compared as a whole, case-sensitive.
inline constexpr char kTimedOut[] = "XXXX";          // nothing usable came back
inline constexpr char kCloseTimedOut[] = "XXXXF";    // a write's first close went unanswered
inline constexpr char kReadBackTimedOut[] = "FFFF";  // a write's read-back went unanswered

}  // namespace camera
