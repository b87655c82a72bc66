// The serial port object behind a COM handle (internal to the services).
//
// Each port owns its descriptor (opened non-blocking and locked with
// flock), its settings as the comm calls see them, and one waiter thread.
// Operations that cannot complete at once become pending operations held
// here, keyed by the caller's OVERLAPPED pointer (the record itself is only
// read on the calling thread, when the operation starts). The waiter
// thread blocks in poll() on the descriptor and a wake-up eventfd, with the
// nearest time-out as its limit; it never runs without a reason: the
// descriptor is polled only for what a pending operation needs, and not at
// all once the device is gone.
#pragma once

#include <termios.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/deadline.h"
#include "platform/posix/fd.h"
#include "platform/serial/low_latency.h"
#include "platform/serial/serial_trace.h"
#include "platform/win32/handles.h"
#include "platform/win32/win32types.h"

namespace platform {

class SerialPort final : public KernelObject {
 public:
  // Opens path for the given O_ access mode exclusively, as the port named
  // name ("COM1": the trace's name for it), and asks a tty for low latency
  // (low_latency.h). Returns 0 and the port in *out, or the Win32 error code
  // (with its detail already set as the calling thread's last error when
  // there is one).
  static DWORD Open(const std::string& name, const std::string& path, int accessMode,
                    std::shared_ptr<SerialPort>* out);

  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Cancels every pending operation (ERROR_OPERATION_ABORTED), stops and
  // joins the waiter, gives back low latency, releases the lock and closes
  // the descriptor.
  void OnClose() override;

  // Writes the failure of call (the calling thread's last error) to the
  // trace, unless it only says that an operation is pending or incomplete.
  void TraceFailure(const char* call);

  // The comm calls. Each returns TRUE, or FALSE with the last error set.
  BOOL SetTimeouts(const COMMTIMEOUTS& t);
  BOOL GetTimeouts(COMMTIMEOUTS* t);
  BOOL SetMask(DWORD mask);
  BOOL GetMask(DWORD* mask);
  BOOL GetState(DCB* dcb);
  BOOL SetState(const DCB& dcb);
  BOOL Purge(DWORD flags);
  BOOL ClearError(DWORD* errors, COMSTAT* stat);
  BOOL WaitEvent(DWORD* mask, OVERLAPPED* ov);
  BOOL Read(void* buffer, DWORD n, DWORD* done, OVERLAPPED* ov);
  BOOL Write(const void* buffer, DWORD n, DWORD* done, OVERLAPPED* ov);
  BOOL Result(OVERLAPPED* ov, DWORD* n, BOOL wait);

 private:
  enum class OpState { kIdle, kPending, kDone };
  struct Op {
    OpState state = OpState::kIdle;
    const OVERLAPPED* key = nullptr;
    std::uint64_t seq = 0;
    HANDLE event = nullptr;
    BOOL result = FALSE;
    DWORD error = 0;
    DWORD bytes = 0;
    DWORD want = 0;
    DWORD events = 0;             // event wait: what ended it
    DWORD* eventsTo = nullptr;    // event wait: the caller's event word
    char* readTo = nullptr;       // read: the caller's buffer
    std::vector<char> writeFrom;  // write: a copy of the caller's bytes
    Deadline total;               // the whole operation's time-out (Never: none)
    Deadline interval;            // read: the time-out since the last byte
    Nanos intervalNs = 0;
    bool returnOnAny = false;  // read: complete as soon as any byte is in
  };

  enum class Transfer { kMore, kDone, kGone, kFailed };

  SerialPort(UniqueFd fd, UniqueFd wake, std::string name, std::string path, bool tty);

  // All below with mutex_ held.
  // False (last error set) when closed or the device is gone. probe: poll
  // the line for a hang-up first; callers whose own system call reports a
  // hang-up (EIO, or a read of 0 on a hung-up line) pass false.
  bool Usable(bool probe = true);
  bool HungUp() const;
  void ProbeGone();
  void MarkGone();  // completes every pending operation with ERROR_DEVICE_REMOVED
  BOOL FailErrno(int err);
  void Begin(Op& op, const OVERLAPPED* key, HANDLE event);
  // signal: set the operation's event (not for an operation that completes
  // within the call that started it). A successful event wait writes its
  // events into the caller's word first.
  void Complete(Op& op, BOOL result, DWORD error, bool signal);
  BOOL Outcome(const Op& op, DWORD* done);
  BOOL Pend(Op& op, OVERLAPPED* ov, DWORD* done, std::unique_lock<std::mutex>& lock);
  // True when a pending operation was started with the record ov.
  bool Held(const OVERLAPPED* ov) const;
  void StartReadTimers(DWORD n);
  Transfer ReadSome();
  Transfer WriteSome();
  int InputQueued();  // 0 on failure; a device gone (EIO) is marked so
  void Wake();
  void WaiterLoop();
  void CheckDeadlines(Nanos now);
  int NextTimeoutMs(Nanos now) const;

  std::mutex mutex_;
  std::condition_variable changed_;  // an operation completed
  UniqueFd fd_;
  UniqueFd wake_;
  const std::string name_;
  const std::string path_;
  const bool tty_;
  SerialTrace* const trace_;  // null when tracing is off
  const Nanos openedAt_;
  LowLatency lowLatency_;
  const bool noOutQueue_;     // a pseudo-terminal's slave: no output queue to ask for
  bool lineCounters_ = true;  // false once TIOCGICOUNT is refused (ENOTTY)
  std::thread waiter_;
  bool closed_ = false;
  bool gone_ = false;
  bool stopping_ = false;
  COMMTIMEOUTS timeouts_{};
  DWORD mask_ = 0;
  DWORD dtrControl_ = DTR_CONTROL_ENABLE;
  DWORD rtsControl_ = RTS_CONTROL_ENABLE;
  int icount_[4] = {0, 0, 0, 0};  // frame, overrun, parity, break seen so far
  std::uint64_t nextSeq_ = 1;
  Op wait_;
  Op read_;
  Op write_;
};

}  // namespace platform
