#include "tools/camsim/camsim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstring>

namespace camsim {
namespace {

using platform::Deadline;
using platform::kNsPerMs;
using platform::MonotonicNs;
using platform::Nanos;

// 9600 baud, 10 bits a byte (start, 8 data, stop).
constexpr Nanos kByteNs = 10'000'000'000 / 9600;

const char* KindName(LogKind k) {
  switch (k) {
    case LogKind::kRx:
      return "RX";
    case LogKind::kTx:
      return "TX";
    case LogKind::kNoise:
      return "NOISE";
    case LogKind::kFault:
      return "FAULT";
    case LogKind::kHangup:
      return "HANGUP";
    case LogKind::kReturn:
      return "RETURN";
  }
  return "?";
}

void Warn(const std::string& message) {
  std::fprintf(stderr, "corvane-camsim: %s\n", message.c_str());
}

}  // namespace

std::string FormatLogLine(const LogEntry& e) {
  static const char kDigits[] = "0123456789ABCDEF";
  char head[64];
  std::snprintf(head, sizeof head, "%.6f %s ", e.seconds, KindName(e.kind));
  std::string line = head;
  if (e.kind == LogKind::kHangup || e.kind == LogKind::kReturn) {
    line += e.path;
  } else {
    for (std::uint8_t b : e.bytes) {
      line.push_back(kDigits[b >> 4]);
      line.push_back(kDigits[b & 15]);
    }
  }
  return line;
}

Camsim::Camsim(const CamsimOptions& options)
    : options_(options), start_(MonotonicNs()), faults_(options.faults) {}

std::unique_ptr<Camsim> Camsim::Start(const CamsimOptions& options, std::string* error) {
  std::unique_ptr<Camsim> cam(new Camsim(options));
  std::string err;
  if (!cam->Open(&err)) {
    if (error) *error = err;
    return nullptr;
  }
  cam->thread_ = std::thread([c = cam.get()] { c->Run(); });
  return cam;
}

Camsim::~Camsim() {
  if (thread_.joinable()) {
    const char stop = 1;
    // The pipe is empty and never read, so this write cannot block.
    [[maybe_unused]] const ssize_t n = ::write(stopWrite_.get(), &stop, 1);
    thread_.join();
  }
  std::lock_guard<std::mutex> lock(mu_);
  if (linkMade_) RemoveLink(options_.linkPath, slavePath_);
  if (logFile_) std::fclose(logFile_);
}

bool Camsim::Open(std::string* error) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    *error = std::string("pipe2: ") + std::strerror(errno);
    return false;
  }
  stopRead_.Reset(fds[0]);
  stopWrite_.Reset(fds[1]);

  std::lock_guard<std::mutex> lock(mu_);
  if (!options_.memoryPath.empty()) {
    struct stat st {};
    const bool exists = ::stat(options_.memoryPath.c_str(), &st) == 0;
    if (exists ? !memory_.Load(options_.memoryPath, error)
               : !memory_.Save(options_.memoryPath, error)) {
      return false;
    }
  }
  if (!options_.logPath.empty()) {
    logFile_ = std::fopen(options_.logPath.c_str(), "w");
    if (!logFile_) {
      *error = "cannot write log file " + options_.logPath + ": " + std::strerror(errno);
      return false;
    }
  }
  if (!OpenPty(&pty_, error)) return false;
  slavePath_ = pty_.slavePath;
  lines_ = 1;
  if (!options_.linkPath.empty()) {
    if (!PointLink(options_.linkPath, slavePath_, error)) return false;
    linkMade_ = true;
  }
  return true;
}

void Camsim::Run() {
  std::uint8_t buf[4096];
  std::vector<Frame> items;
  std::vector<Deadline> receivedAt;  // per item: when its last byte was in (--line), else Never
  for (;;) {
    if (!pty_.master.valid()) {
      if (returnAt_.IsNever()) {
        WaitForStop();
        return;
      }
      if (!WaitUntil(returnAt_)) return;
      returnAt_ = Deadline::Never();
      if (!ComeBack()) {
        WaitForStop();
        return;
      }
      continue;
    }
    pollfd fds[2] = {{stopRead_.get(), POLLIN, 0}, {pty_.master.get(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      Warn(std::string("poll: ") + std::strerror(errno));
      return;
    }
    if (fds[0].revents != 0) return;
    if ((fds[1].revents & POLLIN) == 0) {
      // Hang-up or error without data: not expected while the camera holds
      // the slave open; back off instead of spinning.
      if (!WaitUntil(Deadline::InMs(10))) return;
      continue;
    }
    const ssize_t n = ::read(pty_.master.get(), buf, sizeof buf);
    if (n <= 0) continue;
    items.clear();
    receivedAt.clear();
    if (options_.line) {
      // Each byte takes one byte time on the line, from when it could start
      // (now, or when the byte before it was through): a frame is received
      // when its last byte is.
      const Nanos now = MonotonicNs();
      for (ssize_t i = 0; i < n; ++i) {
        lineFreeAt_ = std::max(lineFreeAt_, now) + kByteNs;
        parser_.Feed(buf + i, 1, &items);
        receivedAt.resize(items.size(), Deadline::At(lineFreeAt_));
      }
    } else {
      parser_.Feed(buf, static_cast<std::size_t>(n), &items);
      receivedAt.resize(items.size(), Deadline::Never());
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
      const Frame& item = items[i];
      if (item.kind == FrameKind::kNoise) {
        AddLog(LogKind::kNoise, item.bytes);
      } else if (!HandleFrame(item, receivedAt[i])) {
        return;
      }
      // After a hang-up the rest of what was read died with the line.
      if (!pty_.master.valid()) break;
    }
  }
}

bool Camsim::HandleFrame(const Frame& frame, Deadline receivedAt) {
  if (!receivedAt.IsNever() && !WaitUntil(receivedAt)) return false;
  Faults f;
  int k = 0;
  int code = 0;
  bool refused = false;
  {
    std::lock_guard<std::mutex> lock(mu_);
    k = ++exchanges_;
    f = faults_;
    const bool cellFrame =
        frame.kind == FrameKind::kCellRead || frame.kind == FrameKind::kCellWrite;
    if (frame.kind == FrameKind::kSetup) sessionCellFrames_ = 0;
    if (cellFrame) ++sessionCellFrames_;
    refused = f.sessionRounds > 0 && sessionCellFrames_ > f.sessionRounds &&
              (cellFrame || frame.kind == FrameKind::kClose);
    if (frame.kind == FrameKind::kCellWrite && !refused) {
      memory_.Set(frame.page, frame.address, static_cast<std::uint8_t>(frame.code));
      std::string err;
      if (!options_.memoryPath.empty() && !memory_.Save(options_.memoryPath, &err)) Warn(err);
    }
    if (frame.kind == FrameKind::kCellRead || frame.kind == FrameKind::kCellWrite) {
      code = memory_.Get(frame.page, frame.address);
    }
  }
  AddLog(LogKind::kRx, frame.bytes);

  // On the modelled line the reply is timed from the frame's end, however
  // late this thread woke.
  const Deadline replyFrom =
      (receivedAt.IsNever() ? Deadline::Now() : receivedAt).After(options_.thinkMs * kNsPerMs);
  if (options_.thinkMs > 0 && !WaitUntil(replyFrom)) return false;

  const bool answer = !f.silent && !(f.silentAfter > 0 && k > f.silentAfter) && !refused;
  const bool burst = f.burstCount > 0 && (f.burstAt == 0 || f.burstAt == k);
  const bool extra = f.extraCount > 0 && (f.extraAt == 0 || f.extraAt == k);
  int pauseMs = f.pauseMs > 0 && f.pauseAt == k ? f.pauseMs : 0;
  if (answer) {
    if (!(burst && f.burstInstead)) {
      const Bytes reply = ReplyFor(frame.kind, code);
      if (!Transmit(reply, f.pauseAfterByte, pauseMs, replyFrom)) return false;
      AddLog(LogKind::kTx, reply);
      pauseMs = 0;
    }
    if (extra) {
      const Bytes bytes(static_cast<std::size_t>(f.extraCount), f.extraByte);
      if (!Transmit(bytes, 0, 0)) return false;
      AddLog(LogKind::kFault, bytes);
    }
    if (burst) {
      const Bytes bytes(static_cast<std::size_t>(f.burstCount), f.burstByte);
      if (!Transmit(bytes, f.pauseAfterByte, pauseMs)) return false;
      AddLog(LogKind::kFault, bytes);
    }
  }
  if (f.hangupAfter > 0 && k == f.hangupAfter) {
    HangUp();
    if (f.returnAfterMs >= 0) {
      returnAt_ = Deadline::InMs(f.returnAfterMs);
    }
  }
  return true;
}

bool Camsim::Transmit(const Bytes& bytes, int pauseAfterByte, int pauseMs, Deadline from) {
  const bool paced = options_.paced || options_.line;
  if (!paced && pauseMs <= 0) return WriteAll(bytes.data(), bytes.size());
  // Absolute deadlines: byte i is on the wire (i + 1) byte times after the
  // start, plus any pause before it, however late each wake-up is.
  const std::size_t pauseAt =
      std::min(bytes.size(), static_cast<std::size_t>(std::max(pauseAfterByte, 0)));
  Deadline t = from.IsNever() ? Deadline::Now() : from;
  for (std::size_t i = 0; i <= bytes.size(); ++i) {
    if (pauseMs > 0 && i == pauseAt) {
      t = t.After(pauseMs * kNsPerMs);
      if (!WaitUntil(t)) return false;
    }
    if (i == bytes.size()) break;
    if (paced) {
      t = t.After(kByteNs);
      if (!WaitUntil(t)) return false;
    }
    if (!WriteAll(&bytes[i], 1)) return false;
  }
  return true;
}

bool Camsim::WriteAll(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(pty_.master.get(), data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return true;  // the line is gone: bytes are lost
    // The tester's input queue is full. Wait a while for it to drain; a line
    // nobody reads loses the bytes, as a real line would.
    pollfd fds[2] = {{stopRead_.get(), POLLIN, 0}, {pty_.master.get(), POLLOUT, 0}};
    const int r = ::poll(fds, 2, 1000);
    if (r < 0 && errno == EINTR) continue;
    if (r > 0 && fds[0].revents != 0) return false;
    if (r <= 0 || (fds[1].revents & POLLOUT) == 0) return true;
  }
  return true;
}

bool Camsim::WaitUntil(Deadline deadline) const {
  for (;;) {
    const Nanos left = deadline.NsLeft();
    if (left > 2 * kNsPerMs) {
      // Long waits watch for a stop; the last stretch is slept exactly.
      pollfd p{stopRead_.get(), POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left / kNsPerMs) - 1) > 0) return false;
      continue;
    }
    if (left > 0) {
      const timespec ts = deadline.ToTimespec();
      while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
      }
    }
    pollfd p{stopRead_.get(), POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
  }
}

bool Camsim::WaitForStop() const {
  pollfd p{stopRead_.get(), POLLIN, 0};
  while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
  }
  return false;
}

void Camsim::HangUp() {
  // Closing the master flushes whatever the tester has not read yet, so
  // first give it the chance to take the last reply off the line: wait
  // until the slave's input queue (seen through the camera's own slave
  // descriptor) has held the reply and then stayed empty for a few ms, at
  // most 1 s. The kernel moves written bytes to the slave a little later,
  // so an empty queue right after the write proves nothing: only after
  // 100 ms without ever seeing the bytes is the reply taken as read (the
  // tester took it between two looks).
  const Deadline giveUp = Deadline::InMs(1000);
  constexpr int kEmptyAfterSeen = 5;
  constexpr int kEmptyNeverSeen = 100;
  bool seen = false;
  int emptyChecks = 0;
  while (emptyChecks < (seen ? kEmptyAfterSeen : kEmptyNeverSeen) && !giveUp.Passed()) {
    int queued = 0;
    if (::ioctl(pty_.slave.get(), TIOCINQ, &queued) != 0) break;
    if (queued > 0) {
      seen = true;
      emptyChecks = 0;
    } else {
      ++emptyChecks;
    }
    if (!WaitUntil(Deadline::InMs(1))) break;
  }
  pty_.master.Reset();
  pty_.slave.Reset();
  parser_.Reset();
  AddLog(LogKind::kHangup, {}, pty_.slavePath);
}

bool Camsim::ComeBack() {
  Pty pty;
  std::string err;
  if (!OpenPty(&pty, &err)) {
    Warn("cannot come back: " + err);
    return false;
  }
  if (!options_.linkPath.empty() && !PointLink(options_.linkPath, pty.slavePath, &err)) Warn(err);
  pty_ = std::move(pty);
  {
    std::lock_guard<std::mutex> lock(mu_);
    slavePath_ = pty_.slavePath;
    ++lines_;
  }
  cv_.notify_all();
  AddLog(LogKind::kReturn, {}, pty_.slavePath);
  if (options_.onNewLine) options_.onNewLine(pty_.slavePath);
  return true;
}

void Camsim::AddLog(LogKind kind, Bytes bytes, std::string path) {
  LogEntry e;
  e.seconds = static_cast<double>(MonotonicNs() - start_) / 1e9;
  e.kind = kind;
  e.bytes = std::move(bytes);
  e.path = std::move(path);
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (logFile_) {
      std::fprintf(logFile_, "%s\n", FormatLogLine(e).c_str());
      std::fflush(logFile_);
    }
    log_.push_back(std::move(e));
  }
  cv_.notify_all();
}

std::string Camsim::SlavePath() const {
  std::lock_guard<std::mutex> lock(mu_);
  return slavePath_;
}

int Camsim::Lines() const {
  std::lock_guard<std::mutex> lock(mu_);
  return lines_;
}

bool Camsim::WaitForLines(int n, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mu_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return lines_ >= n; });
}

std::vector<LogEntry> Camsim::Log() const {
  std::lock_guard<std::mutex> lock(mu_);
  return log_;
}

void Camsim::ClearLog() {
  std::lock_guard<std::mutex> lock(mu_);
  log_.clear();
}

bool Camsim::WaitFor(LogKind kind, std::size_t n, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mu_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    std::size_t count = 0;
    for (const LogEntry& e : log_) count += e.kind == kind ? 1 : 0;
    return count >= n;
  });
}

std::uint8_t Camsim::Cell(int page, int address) const {
  std::lock_guard<std::mutex> lock(mu_);
  return memory_.Get(page, address);
}

void Camsim::SetCell(int page, int address, std::uint8_t code) {
  std::lock_guard<std::mutex> lock(mu_);
  memory_.Set(page, address, code);
  std::string err;
  if (!options_.memoryPath.empty() && !memory_.Save(options_.memoryPath, &err)) Warn(err);
}

void Camsim::SetFaults(const Faults& faults, bool restartCount) {
  std::lock_guard<std::mutex> lock(mu_);
  faults_ = faults;
  if (restartCount) exchanges_ = 0;
}

int Camsim::Exchanges() const {
  std::lock_guard<std::mutex> lock(mu_);
  return exchanges_;
}

}  // namespace camsim
