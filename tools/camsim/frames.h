// The camera's side of the service dialogue: recognising the frames the
// tester sends in a raw byte stream, and building the camera's replies.
// Pure functions and a small value-type parser; no I/O, no threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace camsim {

using Bytes = std::vector<std::uint8_t>;

enum class FrameKind {
  kAnnounce,   // 05 80 7F
  kSetup,      // the fixed 24-byte setup frame
  kClose,      // 10 3B 04
  kCellRead,   // 01 80 0E 10 20 4D 40 0p aa 02 FF FF.. cs (19 bytes)
  kCellWrite,  // 01 80 0E 10 20 4D 10 0p aa 02 vv FF.. cs (19 bytes)
  kNoise,      // bytes that belong to no frame (skipped)
};

struct Frame {
  FrameKind kind;
  Bytes bytes;      // the frame (or the noise) exactly as received
  int page = 0;     // cell frames: 0 or 1
  int address = 0;  // cell frames: 0..255
  int code = 0;     // cell writes: the new code
};

// Length in bytes of every frame of the given kind.
std::size_t FrameLength(FrameKind kind);

// XOR of bytes[from..to] (inclusive). The tester's cell frames carry the
// XOR of bytes 2..17 as byte 18; the camera's 18-byte cell replies carry the
// XOR of bytes 2..16 as byte 17.
std::uint8_t XorRange(const Bytes& bytes, std::size_t from, std::size_t to);

// Builds the tester's 19-byte cell frames (with checksum), for tests and
// tools. page 0 or 1, address and code 0..255.
Bytes CellReadFrame(int page, int address);
Bytes CellWriteFrame(int page, int address, int code);

// The camera's reply to a frame, without any fault applied:
//   announce   -> 06 80 7F
//   setup      -> the fixed 26-byte setup reply
//   close      -> 06
//   cell read  -> 10 3B 01 80 0B 19 20 4D 40 vv FF x7 cs  (vv: code of the cell)
//   cell write -> 10 3B 01 80 0B 19 20 4D 10 vv FF x7 cs  (vv: the code stored)
// where cs is the XOR of bytes 2..16. `code` is used by the cell replies only.
Bytes ReplyFor(FrameKind kind, int code);

// The fixed frames and replies, as bytes.
const Bytes& AnnounceFrame();
const Bytes& SetupFrame();
const Bytes& CloseFrame();
const Bytes& SetupReply();

// A byte-stream parser. It matches the pending bytes against the known
// frame shapes byte by byte; as soon as they can no longer start any
// frame (or a complete cell frame has a bad checksum or a page other than
// 00/01), the first pending byte is dropped as noise and matching restarts
// at the next byte. Timing plays no part: a frame split over many writes is
// still one frame, and two frames in one write are two frames.
class FrameParser {
 public:
  // Feeds bytes; appends to *out, in stream order, every frame they complete
  // and every run of bytes they reveal to be noise (kind kNoise; a run that
  // follows a noise item already at the end of *out is merged into it).
  void Feed(const std::uint8_t* data, std::size_t size, std::vector<Frame>* out);
  void Feed(const Bytes& data, std::vector<Frame>* out) { Feed(data.data(), data.size(), out); }

  // Bytes held as the start of a possible frame.
  const Bytes& Pending() const { return pending_; }
  void Reset() { pending_.clear(); }

 private:
  void FeedByte(std::uint8_t byte, std::vector<Frame>* out);

  Bytes pending_;
};

}  // namespace camsim
