// The simulated camera: a peer that answers the camera's service dialogue on
// a pseudo-terminal, for tests and for running the program without a
// camera. It runs on its own thread from Start until it is destroyed.
//
// The line. Start opens a pseudo-terminal in raw mode; the tester opens
// SlavePath() (or the symbolic link CamsimOptions::linkPath, which points to
// it). The camera keeps its own descriptor of the slave open, so the tester
// may close and re-open the line without the camera seeing a hang-up.
//
// The dialogue. Frames are recognised by their bytes alone (see
// camsim_frames.h): announce 05 80 7F gets 06 80 7F, the setup frame gets
// the 26-byte setup reply, close 10 3B 04 gets 06, a cell read gets the
// 18-byte reply with the cell's code at index 9, a cell write stores the
// code and gets the 18-byte reply with 4D 10 and that code at index 9. The
// 18-byte replies end with the XOR of their bytes 2..16. Anything else is
// noise: skipped (and logged), never answered. The camera keeps no dialogue
// state: it answers every frame it recognises, in any order.
//
// Sessions. A setup frame opens a session; the camera counts the cell frames
// of each (see Faults::sessionRounds).
//
// Exchanges. Every recognised frame is one exchange, numbered from 1 since
// Start or since the last SetFaults(..., true). Faults name exchanges by
// that number; "reply k" below is the reply to exchange k.
//
// Thread-safety: every public member may be called from any thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/deadline.h"
#include "tools/camsim/frames.h"
#include "tools/camsim/memory.h"
#include "tools/camsim/pty.h"

namespace camsim {

// Faulty behaviour. All off by default; fields named ...At select one
// exchange k (1-based), where 0 means every exchange.
struct Faults {
  // Receive and log every frame but never reply (cell writes are still
  // stored: the camera acted, its answer is what is lost).
  bool silent = false;
  // > 0: reply to exchanges 1..silentAfter only, then stay silent.
  int silentAfter = 0;
  // extraCount bytes of value extraByte sent after reply extraAt.
  int extraCount = 0;
  std::uint8_t extraByte = 0x00;
  int extraAt = 0;
  // burstCount bytes of value burstByte sent after reply burstAt, or instead
  // of it when burstInstead. (The tester's reply buffer holds 44 bytes.)
  int burstCount = 0;
  std::uint8_t burstByte = 0x55;
  int burstAt = 0;
  bool burstInstead = false;
  // A pause of pauseMs between byte pauseAfterByte-1 and byte pauseAfterByte
  // (0-based) of reply pauseAt (pauseAt must name one exchange, >= 1). A
  // pauseAfterByte at or past the reply's end delays only the fault bytes.
  int pauseMs = 0;
  int pauseAt = 0;
  int pauseAfterByte = 1;
  // > 0: after exchange hangupAfter has been handled, close the line (the
  // master and the camera's own slave descriptor): the tester's side sees a
  // hang-up. A pseudo-terminal discards unread input when it hangs up, so
  // the camera first waits (at most 1 s) until the tester has read the
  // last reply. With returnAfterMs >= 0 the camera comes back that many ms
  // later on a new pseudo-terminal, and linkPath is re-pointed to it.
  int hangupAfter = 0;
  int returnAfterMs = -1;
  // > 0: the camera takes sessionRounds cell frames (reads or writes) in
  // one session, which runs from a setup frame to the next, and then falls
  // silent on the session: it neither answers nor acts on a cell frame or
  // a close until a setup frame opens a new session. Announce and setup
  // frames are always answered.
  int sessionRounds = 0;
};

struct CamsimOptions {
  // Send replies at the byte time of 9600 baud, 10 bits a byte (1.0417 ms a
  // byte), rather than all at once.
  bool paced = false;
  // Model the whole line: as paced, and the tester's bytes reach the camera
  // at 9600 baud too. Each byte takes one byte time from when it could start
  // (when the camera saw it, or when the byte before it was through); a
  // frame is handled, and its reply timed, from when its last byte is in.
  bool line = false;
  // Wait this long (ms) after a frame before its reply.
  int thinkMs = 0;
  // When not empty: a symbolic link made to point to the slave (an existing
  // link is replaced; an existing other file is an error), removed at the end.
  std::string linkPath;
  // When not empty: the log file (truncated at Start), one line per entry.
  std::string logPath;
  // When not empty: the memory file (format in camsim_memory.h), read at
  // Start (created with the default content when missing) and saved after
  // every cell write.
  std::string memoryPath;
  Faults faults;
  // Called on the camera's thread with the new slave path each time the
  // camera comes back on a new line after a hang-up. Must not call back into
  // the Camsim.
  std::function<void(const std::string&)> onNewLine;
};

enum class LogKind {
  kRx,      // a recognised frame ("RX <hex>")
  kTx,      // a reply, logged once fully sent ("TX <hex>")
  kNoise,   // bytes skipped as noise ("NOISE <hex>")
  kFault,   // extra or burst bytes sent by a fault ("FAULT <hex>")
  kHangup,  // the line was closed ("HANGUP <slave path>")
  kReturn,  // the camera came back ("RETURN <new slave path>")
};

struct LogEntry {
  double seconds = 0;  // since Start, monotonic clock
  LogKind kind = LogKind::kRx;
  Bytes bytes;       // RX, TX, NOISE, FAULT
  std::string path;  // HANGUP, RETURN
};

// "12.345678 RX 05807F": seconds with six decimals, the kind, upper-case hex
// (or the path).
std::string FormatLogLine(const LogEntry& e);

class Camsim {
 public:
  // Opens the line and starts the camera's thread. On failure returns null
  // and sets *error (when error is not null).
  static std::unique_ptr<Camsim> Start(const CamsimOptions& options, std::string* error = nullptr);

  // Stops the thread, closes the line, removes the link.
  ~Camsim();
  Camsim(const Camsim&) = delete;
  Camsim& operator=(const Camsim&) = delete;

  // The slave of the current line (after a come-back: the new one).
  std::string SlavePath() const;
  // How many lines have been opened: 1 after Start, one more per come-back.
  int Lines() const;
  bool WaitForLines(int n, int timeoutMs) const;

  // The in-memory log, in order.
  std::vector<LogEntry> Log() const;
  void ClearLog();
  // Waits until the in-memory log holds at least n entries of the kind;
  // false on time-out.
  bool WaitFor(LogKind kind, std::size_t n, int timeoutMs) const;
  bool WaitForFrames(std::size_t n, int timeoutMs) const {
    return WaitFor(LogKind::kRx, n, timeoutMs);
  }

  // The camera's memory. SetCell also saves the memory file when there is one.
  std::uint8_t Cell(int page, int address) const;
  void SetCell(int page, int address, std::uint8_t code);

  // Replaces the fault set; exchanges that start after the call use it. With
  // restartCount the next frame is exchange 1 again.
  void SetFaults(const Faults& faults, bool restartCount = true);
  // Exchanges counted so far (since Start or the last restart).
  int Exchanges() const;

 private:
  explicit Camsim(const CamsimOptions& options);
  bool Open(std::string* error);
  // The camera's thread. Members from here to mu_ belong to it once Start
  // has returned; the functions return false when a stop was requested.
  void Run();
  // receivedAt: when the frame's last byte was in on the modelled line
  // (--line), else Never.
  bool HandleFrame(const Frame& frame, platform::Deadline receivedAt);
  // from: the time the first byte may start (Never: now).
  bool Transmit(const Bytes& bytes, int pauseAfterByte, int pauseMs,
                platform::Deadline from = platform::Deadline::Never());
  bool WriteAll(const std::uint8_t* data, std::size_t size);
  bool WaitUntil(platform::Deadline deadline) const;
  bool WaitForStop() const;
  void HangUp();
  bool ComeBack();
  void AddLog(LogKind kind, Bytes bytes, std::string path = {});

  const CamsimOptions options_;
  const platform::Nanos start_;
  UniqueFd stopRead_, stopWrite_;
  Pty pty_;
  FrameParser parser_;
  platform::Deadline returnAt_;     // when a hung-up line comes back; Never: it does not
  platform::Nanos lineFreeAt_ = 0;  // --line: when the tester's last byte is through
  bool linkMade_ = false;

  mutable std::mutex mu_;  // guards everything below
  mutable std::condition_variable cv_;
  std::FILE* logFile_ = nullptr;
  std::vector<LogEntry> log_;
  Memory memory_;
  Faults faults_;
  int exchanges_ = 0;
  int sessionCellFrames_ = 0;  // cell frames since the last setup frame
  std::string slavePath_;
  int lines_ = 0;

  std::thread thread_;
};

}  // namespace camsim
