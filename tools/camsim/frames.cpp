#include "tools/camsim/frames.h"

#include <algorithm>
#include <iterator>

namespace camsim {
namespace {

const Bytes kAnnounce = {0x05, 0x80, 0x7F};
const Bytes kAnnounceReply = {0x06, 0x80, 0x7F};
const Bytes kSetup = {0x01, 0x80, 0x13, 0x20, 0x03, 0x00, 0x01, 0xFF, 0x01, 0x01, 0x1F, 0x02,
                      0x01, 0x19, 0x03, 0x01, 0xFF, 0x80, 0x01, 0x07, 0x81, 0x01, 0xFF, 0xCF};
const Bytes kSetupReply = {0x10, 0x3B, 0x01, 0x80, 0x13, 0x28, 0x03, 0x00, 0x01,
                           0x02, 0x01, 0x01, 0x1F, 0x02, 0x01, 0x19, 0x03, 0x01,
                           0x01, 0x80, 0x01, 0x01, 0x81, 0x01, 0x01, 0x3C};
const Bytes kClose = {0x10, 0x3B, 0x04};
const Bytes kCloseReply = {0x06};

constexpr std::size_t kCellFrameLength = 19;
constexpr std::size_t kCellReplyLength = 18;
constexpr std::uint8_t kOpRead = 0x40;
constexpr std::uint8_t kOpWrite = 0x10;

enum class Match { kNone, kPrefix, kComplete };

Match MatchFixed(const Bytes& pending, const Bytes& frame) {
  if (pending.size() > frame.size()) return Match::kNone;
  for (std::size_t i = 0; i < pending.size(); ++i) {
    if (pending[i] != frame[i]) return Match::kNone;
  }
  return pending.size() == frame.size() ? Match::kComplete : Match::kPrefix;
}

// The cell frames: fixed bytes, an operation, a page of 00 or 01, any
// address, 02, the code (a write) or FF (a read), seven FF and the checksum.
Match MatchCell(const Bytes& pending) {
  static const std::uint8_t kHead[] = {0x01, 0x80, 0x0E, 0x10, 0x20, 0x4D};
  if (pending.size() > kCellFrameLength) return Match::kNone;
  for (std::size_t i = 0; i < pending.size(); ++i) {
    const std::uint8_t b = pending[i];
    bool ok = true;
    if (i < sizeof kHead) {
      ok = b == kHead[i];
    } else if (i == 6) {
      ok = b == kOpRead || b == kOpWrite;
    } else if (i == 7) {
      ok = b <= 0x01;
    } else if (i == 9) {
      ok = b == 0x02;
    } else if (i == 10) {
      ok = pending[6] == kOpWrite || b == 0xFF;
    } else if (i >= 11 && i <= 17) {
      ok = b == 0xFF;
    } else if (i == 18) {
      ok = b == XorRange(pending, 2, 17);
    }
    if (!ok) return Match::kNone;
  }
  return pending.size() == kCellFrameLength ? Match::kComplete : Match::kPrefix;
}

Frame MakeFrame(const Bytes& bytes) {
  Frame f{FrameKind::kNoise, bytes};
  if (bytes == kAnnounce) {
    f.kind = FrameKind::kAnnounce;
  } else if (bytes == kSetup) {
    f.kind = FrameKind::kSetup;
  } else if (bytes == kClose) {
    f.kind = FrameKind::kClose;
  } else {
    f.kind = bytes[6] == kOpRead ? FrameKind::kCellRead : FrameKind::kCellWrite;
    f.page = bytes[7];
    f.address = bytes[8];
    f.code = f.kind == FrameKind::kCellWrite ? bytes[10] : 0;
  }
  return f;
}

void AppendNoise(std::uint8_t byte, std::vector<Frame>* out) {
  if (out->empty() || out->back().kind != FrameKind::kNoise) {
    out->push_back(Frame{FrameKind::kNoise, {}});
  }
  out->back().bytes.push_back(byte);
}

Bytes CellFrame(std::uint8_t op, int page, int address, int code) {
  // Filled in place: growing a short vector with resize() trips GCC 12's
  // -Warray-bounds at -O3 (a false positive that breaks Release builds).
  const std::uint8_t head[] = {0x01,
                               0x80,
                               0x0E,
                               0x10,
                               0x20,
                               0x4D,
                               op,
                               static_cast<std::uint8_t>(page),
                               static_cast<std::uint8_t>(address),
                               0x02,
                               static_cast<std::uint8_t>(code)};
  Bytes b(kCellFrameLength - 1, 0xFF);
  std::copy(std::begin(head), std::end(head), b.begin());
  b.push_back(XorRange(b, 2, kCellFrameLength - 2));
  return b;
}

}  // namespace

std::size_t FrameLength(FrameKind kind) {
  switch (kind) {
    case FrameKind::kAnnounce:
      return kAnnounce.size();
    case FrameKind::kSetup:
      return kSetup.size();
    case FrameKind::kClose:
      return kClose.size();
    case FrameKind::kCellRead:
    case FrameKind::kCellWrite:
      return kCellFrameLength;
    case FrameKind::kNoise:
      break;
  }
  return 0;
}

std::uint8_t XorRange(const Bytes& bytes, std::size_t from, std::size_t to) {
  std::uint8_t x = 0;
  for (std::size_t i = from; i <= to && i < bytes.size(); ++i) x ^= bytes[i];
  return x;
}

Bytes CellReadFrame(int page, int address) {
  return CellFrame(kOpRead, page, address, 0xFF);
}

Bytes CellWriteFrame(int page, int address, int code) {
  return CellFrame(kOpWrite, page, address, code);
}

Bytes ReplyFor(FrameKind kind, int code) {
  switch (kind) {
    case FrameKind::kAnnounce:
      return kAnnounceReply;
    case FrameKind::kSetup:
      return kSetupReply;
    case FrameKind::kClose:
      return kCloseReply;
    case FrameKind::kCellRead:
    case FrameKind::kCellWrite: {
      // Made at its full length and filled in: growing a short vector to
      // it trips GCC 12's bounds check at -O3 with fortified functions.
      const std::uint8_t head[] = {0x10,
                                   0x3B,
                                   0x01,
                                   0x80,
                                   0x0B,
                                   0x19,
                                   0x20,
                                   0x4D,
                                   kind == FrameKind::kCellRead ? kOpRead : kOpWrite,
                                   static_cast<std::uint8_t>(code)};
      Bytes b(kCellReplyLength, 0xFF);
      std::copy(std::begin(head), std::end(head), b.begin());
      b.back() = XorRange(b, 2, kCellReplyLength - 2);
      return b;
    }
    case FrameKind::kNoise:
      break;
  }
  return {};
}

const Bytes& AnnounceFrame() {
  return kAnnounce;
}
const Bytes& SetupFrame() {
  return kSetup;
}
const Bytes& CloseFrame() {
  return kClose;
}
const Bytes& SetupReply() {
  return kSetupReply;
}

void FrameParser::Feed(const std::uint8_t* data, std::size_t size, std::vector<Frame>* out) {
  for (std::size_t i = 0; i < size; ++i) FeedByte(data[i], out);
}

void FrameParser::FeedByte(std::uint8_t byte, std::vector<Frame>* out) {
  pending_.push_back(byte);
  Match best = Match::kNone;
  for (Match m : {MatchFixed(pending_, kAnnounce), MatchFixed(pending_, kSetup),
                  MatchFixed(pending_, kClose), MatchCell(pending_)}) {
    if (m == Match::kComplete) {
      best = m;
      break;
    }
    if (m == Match::kPrefix) best = m;
  }
  if (best == Match::kPrefix) return;
  if (best == Match::kComplete) {
    out->push_back(MakeFrame(pending_));
    pending_.clear();
    return;
  }
  // No frame starts at the first pending byte: drop it and look for a frame
  // start among the rest, byte by byte, exactly as if they arrived now.
  Bytes rest(pending_.begin() + 1, pending_.end());
  AppendNoise(pending_.front(), out);
  pending_.clear();
  for (std::uint8_t b : rest) FeedByte(b, out);
}

}  // namespace camsim
