#include "platform/serial/serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

#include "platform/devices/port_state.h"
#include "platform/posix/deadline.h"
#include "platform/serial/commstate.h"
#include "platform/win32/errors.h"
#include "platform/win32/events.h"

namespace platform {
namespace {

// A modem-line ioctl on a device without modem lines (a pseudo-terminal)
// is not a failure: there is simply nothing to switch.
void SetModemLine(int fd, int line, bool on) {
  (void)::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

// The slave side of a pseudo-terminal (majors 136 to 143) passes what is
// written straight into its master's input: it keeps no output queue, and
// asking for one always gives 0.
bool IsPtySlave(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  const unsigned m = major(st.st_rdev);
  return m >= 136 && m <= 143;
}

// The node that fd is open on ("/dev/ttyUSB1"), "" when /proc does not
// tell.
std::string OpenedNode(int fd) {
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  char node[PATH_MAX];
  const ssize_t n = ::readlink(link.c_str(), node, sizeof node);
  return n > 0 && static_cast<std::size_t>(n) < sizeof node ? std::string(node, n) : "";
}

bool IsGoneErrno(int err) {
  return err == EIO || err == ENXIO || err == ENODEV;
}

// A device that did not open with err: the thread's last error (the Win32
// code, with the detail "<path>: <reason>") and its LastOpenFailure, both in
// the describer's words. Returns the code.
DWORD Refused(int err, const std::string& path) {
  OpenFailure failure = DescribeOpenFailure(err, path);
  DWORD code = Win32ErrorFromErrno(err);
  if (failure.state == PortState::kNoPermission || failure.state == PortState::kInUse) {
    code = ERROR_ACCESS_DENIED;
  } else if (failure.state == PortState::kMissing) {
    code = ERROR_FILE_NOT_FOUND;
  }
  SetLastErrorDetail(code, (path + ": " + failure.reason).c_str());
  SetLastOpenFailure(std::move(failure));
  return code;
}

}  // namespace

DWORD SerialPort::Open(const std::string& name, const std::string& path, int accessMode,
                       std::shared_ptr<SerialPort>* out) {
  const int fd = ::open(path.c_str(), accessMode | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Refused(errno, path);
  UniqueFd owned(fd);
  const bool tty = ::isatty(fd) != 0;
  if (tty) {
    // flock holds across processes for every user, root included; TIOCEXCL
    // also keeps out programs that do not take the lock (except root's).
    if (::flock(fd, LOCK_EX | LOCK_NB) < 0) {
      return Refused(errno == EWOULDBLOCK ? EBUSY : errno, path);
    }
    (void)::ioctl(fd, TIOCEXCL);
  }
  UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake.valid()) {
    SetLastError(Win32ErrorFromErrno(errno));
    if (tty) (void)::ioctl(fd, TIOCNXCL);
    return GetLastError();
  }
  *out = std::shared_ptr<SerialPort>(
      new SerialPort(std::move(owned), std::move(wake), name, path, tty));
  return 0;
}

SerialPort::SerialPort(UniqueFd fd, UniqueFd wake, std::string name, std::string path, bool tty)
    : fd_(std::move(fd)),
      wake_(std::move(wake)),
      name_(std::move(name)),
      path_(std::move(path)),
      tty_(tty),
      trace_(SerialTrace::Current()),
      openedAt_(MonotonicNs()),
      noOutQueue_(tty && IsPtySlave(fd_.get())) {
  const bool lowLatency = tty_ && lowLatency_.Request(fd_.get());
  if (trace_ != nullptr) {
    // A path through a link (a by-id name, say) is followed by the node it
    // reached, which a technician knows the device by.
    const std::string node = OpenedNode(fd_.get());
    const std::string reached = node.empty() || node == path_ ? "" : " -> " + node;
    trace_->Event(name_, openedAt_, "OPEN " + path_ + reached + (lowLatency ? " low-latency" : ""));
  }
  int lines = 0;
  if (::ioctl(fd_.get(), TIOCMGET, &lines) == 0) {
    dtrControl_ = (lines & TIOCM_DTR) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    rtsControl_ = (lines & TIOCM_RTS) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  }
  serial_icounter_struct counts{};
  if (::ioctl(fd_.get(), TIOCGICOUNT, &counts) == 0) {
    icount_[0] = counts.frame;
    icount_[1] = counts.overrun + counts.buf_overrun;
    icount_[2] = counts.parity;
    icount_[3] = counts.brk;
  } else if (errno == ENOTTY || errno == EINVAL) {
    lineCounters_ = false;  // a device without them never grows them
  }
  waiter_ = std::thread([this] { WaiterLoop(); });
}

SerialPort::~SerialPort() {
  OnClose();
}

void SerialPort::OnClose() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    closed_ = true;
    stopping_ = true;
    for (Op* op : {&wait_, &read_, &write_}) {
      if (op->state == OpState::kPending) Complete(*op, FALSE, ERROR_OPERATION_ABORTED, true);
    }
    Wake();
  }
  if (waiter_.joinable()) waiter_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  if (tty_) {
    lowLatency_.Restore(fd_.get());
    // The exclusive flag outlives this descriptor on a pseudo-terminal
    // whose master stays open: clear it so the line can be opened again.
    (void)::ioctl(fd_.get(), TIOCNXCL);
    (void)::flock(fd_.get(), LOCK_UN);
  }
  fd_.Reset();
  if (trace_ != nullptr) trace_->Event(name_, openedAt_, "CLOSE");
}

void SerialPort::TraceFailure(const char* call) {
  const DWORD code = GetLastError();
  if (trace_ == nullptr || code == ERROR_IO_PENDING || code == ERROR_IO_INCOMPLETE) return;
  trace_->Failure(name_, openedAt_, call, code);
}

// ---- State shared by every call ------------------------------------------

bool SerialPort::Usable(bool probe) {
  if (closed_) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (probe && !gone_) ProbeGone();
  if (gone_) {
    SetLastError(ERROR_DEVICE_REMOVED);
    return false;
  }
  return true;
}

bool SerialPort::HungUp() const {
  pollfd p{fd_.get(), 0, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

void SerialPort::ProbeGone() {
  if (HungUp()) MarkGone();
}

void SerialPort::MarkGone() {
  if (gone_) return;
  gone_ = true;
  for (Op* op : {&wait_, &read_, &write_}) {
    if (op->state == OpState::kPending) Complete(*op, FALSE, ERROR_DEVICE_REMOVED, true);
  }
  Wake();
}

void SerialPort::Begin(Op& op, const OVERLAPPED* key, HANDLE event) {
  std::vector<char> buffer = std::move(op.writeFrom);  // its capacity serves the next write
  op = Op{};
  op.writeFrom = std::move(buffer);
  op.state = OpState::kPending;
  op.key = key;
  op.seq = nextSeq_++;
  op.event = event;
}

void SerialPort::Complete(Op& op, BOOL result, DWORD error, bool signal) {
  op.state = OpState::kDone;
  op.result = result;
  op.error = error;
  op.readTo = nullptr;
  op.writeFrom.clear();  // the capacity is kept for the next write
  // The word is written at completion, by whichever thread completes the
  // wait, as the system writes it: the caller must keep it until then. A
  // failed or aborted wait leaves it alone.
  if (result && op.eventsTo != nullptr) *op.eventsTo = op.events;
  op.eventsTo = nullptr;
  if (signal && op.event != nullptr) SetEvent(op.event);
  changed_.notify_all();
}

BOOL SerialPort::Outcome(const Op& op, DWORD* done) {
  if (done != nullptr) *done = op.bytes;
  if (!op.result) SetLastError(op.error);
  return op.result;
}

BOOL SerialPort::Pend(Op& op, OVERLAPPED* ov, DWORD* done, std::unique_lock<std::mutex>& lock) {
  Wake();
  if (ov != nullptr) {
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
  }
  // A call without an OVERLAPPED is synchronous: wait here for the waiter.
  const std::uint64_t seq = op.seq;
  changed_.wait(lock, [&] { return op.seq != seq || op.state != OpState::kPending; });
  if (op.seq != seq) {
    SetLastError(ERROR_OPERATION_ABORTED);
    return FALSE;
  }
  return Outcome(op, done);
}

int SerialPort::InputQueued() {
  int n = 0;
  if (::ioctl(fd_.get(), FIONREAD, &n) < 0) {
    if (IsGoneErrno(errno)) MarkGone();
    return 0;
  }
  return n;
}

void SerialPort::Wake() {
  const std::uint64_t one = 1;
  (void)!::write(wake_.get(), &one, sizeof one);
}

// ---- Settings --------------------------------------------------------------

BOOL SerialPort::SetTimeouts(const COMMTIMEOUTS& t) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Usable()) return FALSE;
  if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
      t.ReadTotalTimeoutConstant == MAXDWORD) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  timeouts_ = t;
  return TRUE;
}

BOOL SerialPort::GetTimeouts(COMMTIMEOUTS* t) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Usable()) return FALSE;
  *t = timeouts_;
  return TRUE;
}

BOOL SerialPort::SetMask(DWORD mask) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Usable()) return FALSE;
  mask_ = mask;
  // A new mask ends the pending event wait with no events.
  if (wait_.state == OpState::kPending) Complete(wait_, TRUE, 0, true);
  Wake();
  return TRUE;
}

BOOL SerialPort::GetMask(DWORD* mask) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Usable()) return FALSE;
  *mask = mask_;
  return TRUE;
}

BOOL SerialPort::GetState(DCB* dcb) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Usable()) return FALSE;
  termios tio;
  if (::tcgetattr(fd_.get(), &tio) < 0) return FailErrno(errno);
  DcbFromTermios(tio, dtrControl_, rtsControl_, dcb);
  return TRUE;
}

BOOL SerialPort::SetState(const DCB& dcb) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Usable()) return FALSE;
  termios tio;
  if (::tcgetattr(fd_.get(), &tio) < 0) return FailErrno(errno);
  if (const DWORD err = TermiosFromDcb(dcb, &tio); err != 0) {
    SetLastError(err);
    return FALSE;
  }
  if (::tcsetattr(fd_.get(), TCSANOW, &tio) < 0) return FailErrno(errno);
  const DWORD rts = dcb.fRtsControl;
  const DWORD dtr = dcb.fDtrControl;
  if (!(tio.c_cflag & CRTSCTS)) SetModemLine(fd_.get(), TIOCM_RTS, rts != RTS_CONTROL_DISABLE);
  SetModemLine(fd_.get(), TIOCM_DTR, dtr != DTR_CONTROL_DISABLE);
  rtsControl_ = rts;
  dtrControl_ = dtr;
  return TRUE;
}

BOOL SerialPort::FailErrno(int err) {
  if (IsGoneErrno(err)) {
    MarkGone();
    SetLastError(ERROR_DEVICE_REMOVED);
  } else {
    SetLastError(Win32ErrorFromErrno(err));
  }
  return FALSE;
}

// ---- Queues ----------------------------------------------------------------

BOOL SerialPort::Purge(DWORD flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (flags & ~DWORD{PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR}) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const bool rx = flags & PURGE_RXCLEAR;
  const bool tx = flags & PURGE_TXCLEAR;
  // The flush of a tty reports a hang-up itself (EIO), before anything is
  // aborted; with no flush the line is probed.
  if (!Usable(!(tty_ && (rx || tx)))) return FALSE;
  if (rx || tx) {
    if (::tcflush(fd_.get(), rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH) < 0) {
      return FailErrno(errno);
    }
  }
  bool aborted = false;
  if ((flags & PURGE_TXABORT) && write_.state == OpState::kPending) {
    Complete(write_, FALSE, ERROR_OPERATION_ABORTED, true);
    aborted = true;
  }
  if ((flags & PURGE_RXABORT) && read_.state == OpState::kPending) {
    Complete(read_, FALSE, ERROR_OPERATION_ABORTED, true);
    aborted = true;
  }
  // The waiter watches the line for what is pending: only an abort changes
  // that (emptied queues change only what poll() reports).
  if (aborted) Wake();
  return TRUE;
}

BOOL SerialPort::ClearError(DWORD* errors, COMSTAT* stat) {
  // Zeroed first, so that a caller looping on cbInQue stops on a failure.
  if (errors != nullptr) *errors = 0;
  if (stat != nullptr) std::memset(stat, 0, sizeof *stat);
  std::lock_guard<std::mutex> lock(mutex_);
  // On a tty the queue query itself reports a hang-up (EIO).
  if (!Usable(!tty_)) return FALSE;
  int in = 0;
  if (::ioctl(fd_.get(), FIONREAD, &in) < 0) return FailErrno(errno);
  int out = 0;
  if (!noOutQueue_ && ::ioctl(fd_.get(), TIOCOUTQ, &out) < 0) out = 0;
  // Line errors since the last call, from the driver's counters where the
  // device keeps them (a pseudo-terminal has none).
  serial_icounter_struct counts{};
  DWORD found = 0;
  if (lineCounters_ && ::ioctl(fd_.get(), TIOCGICOUNT, &counts) == 0) {
    const int now[4] = {counts.frame, counts.overrun + counts.buf_overrun, counts.parity,
                        counts.brk};
    static constexpr DWORD kFlags[4] = {CE_FRAME, CE_OVERRUN, CE_RXPARITY, CE_BREAK};
    for (int i = 0; i < 4; ++i) {
      if (now[i] != icount_[i]) found |= kFlags[i];
      icount_[i] = now[i];
    }
  }
  if (errors != nullptr) *errors = found;
  if (stat != nullptr) {
    stat->cbInQue = static_cast<DWORD>(in);
    stat->cbOutQue = static_cast<DWORD>(out);
  }
  return TRUE;
}

// ---- Overlapped operations ---------------------------------------------------

bool SerialPort::Held(const OVERLAPPED* ov) const {
  if (ov == nullptr) return false;  // a synchronous call brings its own record
  for (const Op* op : {&wait_, &read_, &write_}) {
    if (op->state == OpState::kPending && op->key == ov) return true;
  }
  return false;
}

BOOL SerialPort::WaitEvent(DWORD* mask, OVERLAPPED* ov) {
  std::unique_lock<std::mutex> lock(mutex_);
  HANDLE event = ov != nullptr ? ov->hEvent : nullptr;
  // A record that a pending read or write still holds: its status and event
  // belong to that operation. (A wait re-armed on its own pending record is
  // refused below as a second wait, with the same code.)
  if (Held(ov) && wait_.state != OpState::kPending) {
    SetLastError(ERROR_INVALID_PARAMETER);  // the event is not touched
    return FALSE;
  }
  // With EV_RXCHAR on a tty the input queue is queried anyway, and that
  // query reports a hang-up itself (EIO); otherwise the line is probed.
  const bool rxTty = tty_ && (mask_ & EV_RXCHAR);
  if (wait_.state == OpState::kPending && Usable(false)) {
    // The waiter watches the line for that wait and ends it with
    // ERROR_DEVICE_REMOVED if the line goes away.
    SetLastError(ERROR_INVALID_PARAMETER);  // the event is not touched
    return FALSE;
  }
  const int queued = rxTty && Usable(false) ? InputQueued() : 0;
  if (!Usable(!rxTty)) {
    // A failed wait leaves the event off, so a caller's loop that waits on
    // it blocks instead of spinning on a dead line.
    if (event != nullptr) ResetEvent(event);
    return FALSE;
  }
  if (wait_.state == OpState::kPending || mask_ == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);  // the event is not touched
    return FALSE;
  }
  if (event != nullptr) ResetEvent(event);
  OVERLAPPED sync{};
  Begin(wait_, ov != nullptr ? ov : &sync, event);
  wait_.eventsTo = mask;
  if ((mask_ & EV_RXCHAR) && (rxTty ? queued : InputQueued()) > 0) {
    wait_.events = EV_RXCHAR;
    Complete(wait_, TRUE, 0, true);
    return TRUE;
  }
  return Pend(wait_, ov, nullptr, lock);
}

void SerialPort::StartReadTimers(DWORD n) {
  const COMMTIMEOUTS& t = timeouts_;
  std::uint64_t totalMs;
  if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD) {
    // "Return as soon as anything is there, or after the constant."
    read_.returnOnAny = true;
    totalMs = t.ReadTotalTimeoutConstant;
  } else {
    totalMs = std::uint64_t{t.ReadTotalTimeoutMultiplier} * n + t.ReadTotalTimeoutConstant;
    if (t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != MAXDWORD) {
      read_.intervalNs = Nanos{t.ReadIntervalTimeout} * kNsPerMs;
    }
  }
  if (totalMs != 0) read_.total = Deadline::InMs(static_cast<std::int64_t>(totalMs));
}

BOOL SerialPort::Read(void* buffer, DWORD n, DWORD* done, OVERLAPPED* ov) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (done != nullptr) *done = 0;
  // On a tty the read itself reports a hang-up (0 and a hung-up line, or
  // EIO); a read of nothing probes the line.
  if (!Usable(!tty_ || n == 0)) return FALSE;
  // One read at a time, and never on a record that a pending operation
  // still holds (the event is not touched).
  if (read_.state == OpState::kPending || Held(ov)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  OVERLAPPED sync{};
  HANDLE event = ov != nullptr ? ov->hEvent : nullptr;
  Begin(read_, ov != nullptr ? ov : &sync, event);
  read_.readTo = static_cast<char*>(buffer);
  read_.want = n;
  StartReadTimers(n);
  const COMMTIMEOUTS& t = timeouts_;
  const bool noWait = t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
                      t.ReadTotalTimeoutConstant == 0;
  const Transfer got = ReadSome();
  if (got == Transfer::kGone) {
    MarkGone();  // completes the read with ERROR_DEVICE_REMOVED
    return Outcome(read_, done);
  }
  if (got == Transfer::kFailed) return Outcome(read_, done);
  if (got == Transfer::kDone || noWait || (read_.returnOnAny && read_.bytes > 0)) {
    Complete(read_, TRUE, 0, false);  // at once: the event is left alone
    return Outcome(read_, done);
  }
  if (event != nullptr) ResetEvent(event);
  return Pend(read_, ov, done, lock);
}

BOOL SerialPort::Write(const void* buffer, DWORD n, DWORD* done, OVERLAPPED* ov) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (done != nullptr) *done = 0;
  // On a tty the write itself reports a hang-up (EIO); a write of nothing
  // probes the line.
  if (!Usable(!tty_ || n == 0)) return FALSE;
  // One write at a time, and never on a record that a pending operation
  // still holds (the event is not touched).
  if (write_.state == OpState::kPending || Held(ov)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  OVERLAPPED sync{};
  HANDLE event = ov != nullptr ? ov->hEvent : nullptr;
  Begin(write_, ov != nullptr ? ov : &sync, event);
  write_.want = n;
  // The waiter works from a copy: the caller's buffer is only read here.
  const char* bytes = static_cast<const char*>(buffer);
  write_.writeFrom.assign(bytes, bytes + n);
  const std::uint64_t totalMs = std::uint64_t{timeouts_.WriteTotalTimeoutMultiplier} * n +
                                timeouts_.WriteTotalTimeoutConstant;
  if (totalMs != 0) write_.total = Deadline::InMs(static_cast<std::int64_t>(totalMs));
  const Transfer put = WriteSome();
  if (put == Transfer::kGone) {
    MarkGone();
    return Outcome(write_, done);
  }
  if (put == Transfer::kFailed) return Outcome(write_, done);
  if (put == Transfer::kDone) {
    Complete(write_, TRUE, 0, false);
    return Outcome(write_, done);
  }
  if (event != nullptr) ResetEvent(event);
  return Pend(write_, ov, done, lock);
}

BOOL SerialPort::Result(OVERLAPPED* ov, DWORD* n, BOOL wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  // The newest operation started with this record is the one it reports,
  // as the record itself would hold only the newest one's status.
  Op* op = nullptr;
  for (Op* candidate : {&wait_, &read_, &write_}) {
    if (candidate->state != OpState::kIdle && candidate->key == ov &&
        (op == nullptr || candidate->seq > op->seq)) {
      op = candidate;
    }
  }
  if (op == nullptr) {
    if (n != nullptr) *n = 0;
    SetLastError(closed_ ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (op->state == OpState::kPending) {
    if (!wait) {
      if (n != nullptr) *n = op->bytes;
      SetLastError(ERROR_IO_INCOMPLETE);
      return FALSE;
    }
    const std::uint64_t seq = op->seq;
    changed_.wait(lock, [&] { return op->seq != seq || op->state != OpState::kPending; });
    if (op->seq != seq) {
      if (n != nullptr) *n = 0;
      SetLastError(ERROR_OPERATION_ABORTED);
      return FALSE;
    }
  }
  return Outcome(*op, n);
}

// ---- Transfers (mutex held) ---------------------------------------------------

SerialPort::Transfer SerialPort::ReadSome() {
  while (read_.bytes < read_.want) {
    const ssize_t r = ::read(fd_.get(), read_.readTo + read_.bytes, read_.want - read_.bytes);
    if (r > 0) {
      if (trace_ != nullptr) trace_->Bytes(name_, openedAt_, "RX", read_.readTo + read_.bytes, r);
      read_.bytes += static_cast<DWORD>(r);
      if (read_.intervalNs != 0) read_.interval = Deadline::InNs(read_.intervalNs);
      continue;
    }
    if (r == 0) {
      // A tty in raw mode with VMIN 0 reads 0 for "nothing yet"; a hang-up
      // also shows in poll(). Any other device: end of its data.
      if (HungUp()) return Transfer::kGone;
      if (!tty_) return Transfer::kDone;
      return Transfer::kMore;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return Transfer::kMore;
    if (IsGoneErrno(errno)) return Transfer::kGone;
    read_.error = Win32ErrorFromErrno(errno);
    Complete(read_, FALSE, read_.error, false);
    return Transfer::kFailed;
  }
  return Transfer::kDone;
}

SerialPort::Transfer SerialPort::WriteSome() {
  while (write_.bytes < write_.want) {
    const char* from = write_.writeFrom.data() + write_.bytes;
    const ssize_t r = ::write(fd_.get(), from, write_.want - write_.bytes);
    if (r > 0) {
      if (trace_ != nullptr) trace_->Bytes(name_, openedAt_, "TX", from, r);
      write_.bytes += static_cast<DWORD>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r == 0 || errno == EAGAIN) return Transfer::kMore;
    if (IsGoneErrno(errno)) return Transfer::kGone;
    Complete(write_, FALSE, Win32ErrorFromErrno(errno), false);
    return Transfer::kFailed;
  }
  return Transfer::kDone;
}

// ---- The waiter thread ----------------------------------------------------------

int SerialPort::NextTimeoutMs(Nanos now) const {
  Deadline next;
  if (read_.state == OpState::kPending) {
    next = Deadline::Earliest(read_.total, read_.interval);
  }
  if (write_.state == OpState::kPending) next = Deadline::Earliest(next, write_.total);
  return next.MsLeft(now);  // never early; -1 without any
}

void SerialPort::CheckDeadlines(Nanos now) {
  // Time-outs end an operation successfully with what it has transferred,
  // as the native serial driver does.
  if (read_.state == OpState::kPending && (read_.total.Passed(now) || read_.interval.Passed(now))) {
    Complete(read_, TRUE, 0, true);
  }
  if (write_.state == OpState::kPending && write_.total.Passed(now)) {
    Complete(write_, TRUE, 0, true);
  }
}

void SerialPort::WaiterLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    pollfd fds[2] = {{wake_.get(), POLLIN, 0}, {fd_.get(), 0, 0}};
    nfds_t count = 1;
    const bool waiting = wait_.state == OpState::kPending;
    const bool reading = read_.state == OpState::kPending;
    const bool writing = write_.state == OpState::kPending;
    // The line is watched only while an operation needs it (hang-ups are
    // also reported with no events asked for), and never once it is gone:
    // a hung-up descriptor polls ready for ever.
    if (!gone_ && (waiting || reading || writing)) {
      if ((waiting && (mask_ & EV_RXCHAR) && tty_) || reading) fds[1].events |= POLLIN;
      if (writing) fds[1].events |= POLLOUT;
      count = 2;
    }
    const int timeout = NextTimeoutMs(MonotonicNs());
    lock.unlock();
    const int ready = ::poll(fds, count, timeout);
    const int pollErr = errno;
    lock.lock();
    if (ready < 0 && pollErr != EINTR) {
      changed_.wait_for(lock, std::chrono::milliseconds(10));  // never spin on a failing poll
      continue;
    }
    if (fds[0].revents & POLLIN) {
      std::uint64_t drained;
      (void)!::read(wake_.get(), &drained, sizeof drained);
    }
    if (count == 2 && !gone_ && !closed_) {
      const short revents = fds[1].revents;
      // A hung-up tty also polls readable: that is no character, and the
      // wait ends below with the device gone.
      const bool hangUp = revents & (POLLHUP | POLLERR | POLLNVAL);
      if ((revents & POLLIN) && !hangUp && tty_ && wait_.state == OpState::kPending &&
          (mask_ & EV_RXCHAR)) {
        wait_.events = EV_RXCHAR;
        Complete(wait_, TRUE, 0, true);
      }
      if ((revents & (POLLIN | POLLHUP | POLLERR)) && read_.state == OpState::kPending) {
        const Transfer got = ReadSome();
        if (got == Transfer::kGone) {
          MarkGone();
        } else if (got == Transfer::kDone || (read_.returnOnAny && read_.bytes > 0)) {
          Complete(read_, TRUE, 0, true);
        } else if (got == Transfer::kFailed && read_.event != nullptr) {
          SetEvent(read_.event);
        }
      }
      if ((revents & POLLOUT) && write_.state == OpState::kPending) {
        const Transfer put = WriteSome();
        if (put == Transfer::kGone) {
          MarkGone();
        } else if (put == Transfer::kDone) {
          Complete(write_, TRUE, 0, true);
        } else if (put == Transfer::kFailed && write_.event != nullptr) {
          SetEvent(write_.event);
        }
      }
      if (hangUp) MarkGone();
    }
    CheckDeadlines(MonotonicNs());
  }
}

}  // namespace platform
