// Overlapped event waits, reads and writes on a pseudo-terminal: the rules
// that the program's monitor thread relies on.
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "tests/platform/serial_fixture.h"

namespace {

using corvane_test::ElapsedMs;
using corvane_test::PortTest;
using Clock = std::chrono::steady_clock;

constexpr DWORD kUntouched = 0xCAFEF00D;

class Overlapped : public PortTest {
 protected:
  HANDLE NewEvent() {
    HANDLE e = CreateEventA(NULL, TRUE, FALSE, NULL);
    extra_.push_back(e);
    return e;
  }
  void TearDown() override {
    PortTest::TearDown();
    for (HANDLE e : extra_) CloseHandle(e);
  }
  std::vector<HANDLE> extra_;
};

// ---- R1: the event wait -----------------------------------------------------

TEST_F(Overlapped, EventWaitWithInputQueuedCompletesAtOnceAndSetsTheEvent) {
  ASSERT_TRUE(pty_.Write("x"));
  AwaitQueued(1);
  DWORD mask = kUntouched;
  ASSERT_TRUE(WaitCommEvent(port_, &mask, &ov_));
  EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
  EXPECT_TRUE(Signalled(ov_.hEvent));
  DWORD n = 77;
  EXPECT_TRUE(GetOverlappedResult(port_, &ov_, &n, FALSE));
  EXPECT_EQ(n, 0u);
}

TEST_F(Overlapped, EventWaitPendsResetsTheEventAndIsSetByAByte) {
  SetEvent(ov_.hEvent);  // left over from an earlier operation
  DWORD mask = kUntouched;
  ASSERT_FALSE(WaitCommEvent(port_, &mask, &ov_));
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  EXPECT_FALSE(Signalled(ov_.hEvent));
  DWORD n = 0;
  EXPECT_FALSE(GetOverlappedResult(port_, &ov_, &n, FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
  ASSERT_TRUE(pty_.Write("y"));
  ASSERT_TRUE(Signalled(ov_.hEvent, 10000));
  EXPECT_TRUE(GetOverlappedResult(port_, &ov_, &n, TRUE));
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));  // written as the wait completed
  // The byte is still there to be read.
  char c = 0;
  ASSERT_TRUE(ReadFile(port_, &c, 1, &n, &ov_));
  EXPECT_EQ(c, 'y');
}

// ---- R2: a second wait is refused without touching the event ----------------

TEST_F(Overlapped, SecondEventWaitIsRefusedAndLeavesTheEventAlone) {
  DWORD mask = 0;
  ASSERT_FALSE(WaitCommEvent(port_, &mask, &ov_));
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  EXPECT_FALSE(WaitCommEvent(port_, &mask, &ov_));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(Signalled(ov_.hEvent));  // not signalled by the refusal
  SetEvent(ov_.hEvent);
  EXPECT_FALSE(WaitCommEvent(port_, &mask, &ov_));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(Signalled(ov_.hEvent));  // nor reset by it
  // Even with input queued now, the refusal stays a refusal.
  ResetEvent(ov_.hEvent);
  ASSERT_TRUE(pty_.Write("z"));
  ASSERT_TRUE(Signalled(ov_.hEvent, 10000));  // the first wait completed
  DWORD n;
  EXPECT_TRUE(GetOverlappedResult(port_, &ov_, &n, FALSE));
}

// ---- R3: reads and writes ---------------------------------------------------

TEST_F(Overlapped, ReadOfQueuedBytesCompletesAtOnceWithoutTouchingTheEvent) {
  ASSERT_TRUE(pty_.Write("hello"));
  AwaitQueued(5);
  char buf[8] = {};
  DWORD n = 0;
  SetEvent(ov_.hEvent);
  ASSERT_TRUE(ReadFile(port_, buf, 5, &n, &ov_));
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(std::string(buf, 5), "hello");
  EXPECT_TRUE(Signalled(ov_.hEvent));  // left set
  ASSERT_TRUE(pty_.Write("!"));
  AwaitQueued(1);
  ResetEvent(ov_.hEvent);
  ASSERT_TRUE(ReadFile(port_, buf, 1, &n, &ov_));
  EXPECT_FALSE(Signalled(ov_.hEvent));  // left reset
  EXPECT_TRUE(GetOverlappedResult(port_, &ov_, &n, FALSE));
  EXPECT_EQ(n, 1u);
}

TEST_F(Overlapped, PendingReadCompletesWhenItsBytesArrive) {
  char buf[4] = {};
  DWORD n = kUntouched;
  SetEvent(ov_.hEvent);
  ASSERT_FALSE(ReadFile(port_, buf, 3, &n, &ov_));
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  EXPECT_FALSE(Signalled(ov_.hEvent));
  ASSERT_TRUE(pty_.Write("ab"));
  Sleep(50);
  ASSERT_TRUE(pty_.Write("c"));
  ASSERT_TRUE(GetOverlappedResult(port_, &ov_, &n, TRUE));
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(std::string(buf, 3), "abc");
  EXPECT_TRUE(Signalled(ov_.hEvent));
}

TEST_F(Overlapped, WriteGoesOutAtOnce) {
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(port_, "\x02ping\x03", 6, &n, &ov_));
  EXPECT_EQ(n, 6u);
  EXPECT_FALSE(Signalled(ov_.hEvent));
  EXPECT_EQ(pty_.Read(6), "\x02ping\x03");
}

TEST_F(Overlapped, BlockedWriteFinishesWhenThePeerReads) {
  COMMTIMEOUTS none{};  // no time-outs: the write waits as long as it takes
  ASSERT_TRUE(SetCommTimeouts(port_, &none));
  std::string data(256 * 1024, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  DWORD n = 0;
  ASSERT_FALSE(WriteFile(port_, data.data(), static_cast<DWORD>(data.size()), &n, &ov_));
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  data.assign(data.size(), '?');  // the port works from its own copy
  std::string got = pty_.Read(256 * 1024);
  ASSERT_TRUE(GetOverlappedResult(port_, &ov_, &n, TRUE));
  EXPECT_EQ(n, 256u * 1024);
  ASSERT_EQ(got.size(), 256u * 1024);
  for (std::size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i], static_cast<char>(i * 7)) << i;
  }
  EXPECT_TRUE(Signalled(ov_.hEvent));
}

TEST_F(Overlapped, OneByteReadTimesOutAfterIntervalPlusTotal) {
  char c;
  DWORD n = kUntouched;
  const auto t0 = Clock::now();
  ASSERT_FALSE(ReadFile(port_, &c, 1, &n, &ov_));
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  // Completes as the native driver does: success, nothing read.
  ASSERT_TRUE(GetOverlappedResult(port_, &ov_, &n, TRUE));
  const long ms = ElapsedMs(t0);
  EXPECT_EQ(n, 0u);
  EXPECT_GE(ms, 2000);  // 1000 per byte + 1000: never early
  EXPECT_LT(ms, 10000);
  EXPECT_TRUE(Signalled(ov_.hEvent));
}

TEST_F(Overlapped, IntervalTimeoutEndsAReadAfterItsLastByte) {
  COMMTIMEOUTS t{150, 0, 0, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port_, &t));
  char buf[10];
  DWORD n = 0;
  ASSERT_FALSE(ReadFile(port_, buf, 10, &n, &ov_));
  Sleep(300);  // no byte yet: the interval has not started
  DWORD partial = 0;
  EXPECT_FALSE(GetOverlappedResult(port_, &ov_, &partial, FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
  ASSERT_TRUE(pty_.Write("abc"));
  ASSERT_TRUE(GetOverlappedResult(port_, &ov_, &n, TRUE));
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(std::string(buf, 3), "abc");
}

TEST_F(Overlapped, ReadTimeoutModesOfTheNativeDriver) {
  // MAXDWORD/0/0: whatever is there, at once, even nothing.
  COMMTIMEOUTS now{MAXDWORD, 0, 0, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port_, &now));
  char buf[8];
  DWORD n = kUntouched;
  ASSERT_TRUE(ReadFile(port_, buf, 8, &n, &ov_));
  EXPECT_EQ(n, 0u);
  // MAXDWORD/MAXDWORD/c: the first bytes end the read.
  COMMTIMEOUTS any{MAXDWORD, MAXDWORD, 5000, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port_, &any));
  ASSERT_FALSE(ReadFile(port_, buf, 8, &n, &ov_));
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  ASSERT_TRUE(pty_.Write("q"));
  ASSERT_TRUE(GetOverlappedResult(port_, &ov_, &n, TRUE));
  EXPECT_EQ(n, 1u);
  EXPECT_EQ(buf[0], 'q');
}

// Timed-out writes complete with success and the count written so far.
TEST_F(Overlapped, WriteTimesOutWithTheBytesItGotOut) {
  COMMTIMEOUTS t{0, 0, 0, 0, 300};
  ASSERT_TRUE(SetCommTimeouts(port_, &t));
  const std::string data(1024 * 1024, 'w');  // more than the line can buffer
  DWORD n = kUntouched;
  const auto t0 = Clock::now();
  ASSERT_FALSE(WriteFile(port_, data.data(), static_cast<DWORD>(data.size()), &n, &ov_));
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  ASSERT_TRUE(GetOverlappedResult(port_, &ov_, &n, TRUE));
  EXPECT_GE(ElapsedMs(t0), 300);
  EXPECT_GT(n, 0u);
  EXPECT_LT(n, data.size());
}

TEST_F(Overlapped, CallsWithoutOverlappedWaitForTheirResult) {
  std::thread peer([&] {
    Sleep(100);
    ASSERT_TRUE(pty_.Write("sync"));
  });
  char buf[4];
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(port_, buf, 4, &n, NULL));
  EXPECT_EQ(std::string(buf, n), "sync");
  peer.join();
  EXPECT_TRUE(WriteFile(port_, "back", 4, &n, NULL));
  EXPECT_EQ(pty_.Read(4), "back");
}

// ---- A record belongs to its operation until that completes ----------------

// Starting an operation on a record that a pending one still holds is
// refused with ERROR_INVALID_PARAMETER; the record's event and the pending
// operation are left as they were.
TEST_F(Overlapped, RecordHeldByAPendingOperationStartsNoOther) {
  auto refused = [&](BOOL ok, OVERLAPPED& held) {
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(Signalled(held.hEvent));  // set by the test, not reset by the refusal
    ResetEvent(held.hEvent);
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(port_, &held, &n, FALSE));  // still the first one's
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    SetEvent(held.hEvent);
  };
  char c = 0;
  DWORD n = 0, mask = 0;
  ASSERT_FALSE(WaitCommEvent(port_, &mask, &ov_));  // the event wait holds ov_
  SetEvent(ov_.hEvent);
  refused(ReadFile(port_, &c, 1, &n, &ov_), ov_);
  refused(WriteFile(port_, "w", 1, &n, &ov_), ov_);
  EXPECT_EQ(pty_.Read(1, 100), "");  // nothing went out
  ResetEvent(ov_.hEvent);
  ASSERT_TRUE(pty_.Write("a"));  // the wait ends on a byte; the record is free again
  ASSERT_TRUE(Signalled(ov_.hEvent, 10000));
  ASSERT_TRUE(ReadFile(port_, &c, 1, &n, &ov_));
  EXPECT_EQ(c, 'a');

  OVERLAPPED read{};  // a pending read holds its record
  read.hEvent = NewEvent();
  ASSERT_FALSE(ReadFile(port_, &c, 1, &n, &read));
  SetEvent(read.hEvent);
  refused(WaitCommEvent(port_, &mask, &read), read);
  refused(WriteFile(port_, "w", 1, &n, &read), read);
  ASSERT_TRUE(pty_.Write("b"));
  ASSERT_TRUE(GetOverlappedResult(port_, &read, &n, TRUE));
  EXPECT_EQ(c, 'b');
}

// ---- R4: aborts and the mask ------------------------------------------------

TEST_F(Overlapped, PurgeAbortsPendingReadButNotThePendingEventWait) {
  OVERLAPPED waitOv{};
  waitOv.hEvent = NewEvent();
  DWORD mask = 0;
  ASSERT_FALSE(WaitCommEvent(port_, &mask, &waitOv));
  char c;
  DWORD n = 0;
  ASSERT_FALSE(ReadFile(port_, &c, 1, &n, &ov_));
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  ASSERT_TRUE(PurgeComm(port_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR));
  EXPECT_TRUE(Signalled(ov_.hEvent));
  EXPECT_FALSE(GetOverlappedResult(port_, &ov_, &n, TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
  EXPECT_FALSE(Signalled(waitOv.hEvent));
  EXPECT_FALSE(GetOverlappedResult(port_, &waitOv, &n, FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
}

TEST_F(Overlapped, PurgeAbortsAPendingWrite) {
  COMMTIMEOUTS none{};
  ASSERT_TRUE(SetCommTimeouts(port_, &none));
  const std::string data(1024 * 1024, 'w');
  DWORD n = 0;
  ASSERT_FALSE(WriteFile(port_, data.data(), static_cast<DWORD>(data.size()), &n, &ov_));
  ASSERT_TRUE(PurgeComm(port_, PURGE_TXABORT | PURGE_TXCLEAR));
  EXPECT_TRUE(Signalled(ov_.hEvent));
  EXPECT_FALSE(GetOverlappedResult(port_, &ov_, &n, TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
}

// Setting the mask, even the one the port has, completes a pending event
// wait at once with no events, and its record is free again.
TEST_F(Overlapped, SetCommMaskEndsThePendingEventWaitWithNoEvents) {
  DWORD mask = kUntouched;
  ASSERT_FALSE(WaitCommEvent(port_, &mask, &ov_));
  ASSERT_TRUE(SetCommMask(port_, EV_RXCHAR));
  ASSERT_TRUE(Signalled(ov_.hEvent));
  DWORD n = 5;
  EXPECT_TRUE(GetOverlappedResult(port_, &ov_, &n, TRUE));
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(mask, 0u);
  EXPECT_FALSE(WaitCommEvent(port_, &mask, &ov_));  // a new wait on it, not refused as held
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
}

// ---- R5: the device goes away -------------------------------------------------

double ProcessCpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

TEST_F(Overlapped, HangUpCompletesThePendingWaitAndEveryLaterCallFails) {
  DWORD mask = 0;
  ASSERT_FALSE(WaitCommEvent(port_, &mask, &ov_));
  pty_.HangUp();
  ASSERT_TRUE(Signalled(ov_.hEvent, 10000));
  DWORD n = 0;
  EXPECT_FALSE(GetOverlappedResult(port_, &ov_, &n, TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_REMOVED));

  auto removed = [](BOOL ok) {
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_REMOVED));
  };
  mask = kUntouched;
  removed(GetCommMask(port_, &mask));
  EXPECT_EQ(mask, 0u);  // reads as no events
  DWORD errors = kUntouched;
  COMSTAT st;
  st.cbInQue = kUntouched;
  st.cbOutQue = kUntouched;
  removed(ClearCommError(port_, &errors, &st));
  EXPECT_EQ(errors, 0u);
  EXPECT_EQ(st.cbInQue, 0u);  // a caller's "while cbInQue" loop ends
  EXPECT_EQ(st.cbOutQue, 0u);
  removed(PurgeComm(port_, 15));
  char c;
  removed(ReadFile(port_, &c, 1, &n, &ov_));
  removed(WriteFile(port_, "x", 1, &n, &ov_));
  DCB dcb{};
  removed(GetCommState(port_, &dcb));
  removed(SetCommState(port_, &dcb));
  COMMTIMEOUTS t{};
  removed(SetCommTimeouts(port_, &t));
  removed(SetCommMask(port_, EV_RXCHAR));
  // A failed event wait leaves the event reset, so a loop waiting on it
  // blocks instead of spinning.
  SetEvent(ov_.hEvent);
  removed(WaitCommEvent(port_, &mask, &ov_));
  EXPECT_FALSE(Signalled(ov_.hEvent));
  EXPECT_EQ(corvane_test::ErrorText(ERROR_DEVICE_REMOVED), "The device has been removed.\r\n");
  EXPECT_TRUE(CloseHandle(port_));
  port_ = INVALID_HANDLE_VALUE;
}

TEST_F(Overlapped, HangUpWithNothingPendingIsSeenByTheNextCall) {
  pty_.HangUp();
  DWORD mask = kUntouched;
  EXPECT_FALSE(GetCommMask(port_, &mask));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_REMOVED));
  SetEvent(ov_.hEvent);
  EXPECT_FALSE(WaitCommEvent(port_, &mask, &ov_));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_REMOVED));
  EXPECT_FALSE(Signalled(ov_.hEvent));
}

// A spinning waiter or caller would burn a core; a generous bound tells a
// blocked process from a busy one.
TEST_F(Overlapped, HungUpPortDoesNotSpin) {
  char c;
  DWORD n;
  ASSERT_FALSE(ReadFile(port_, &c, 1, &n, &ov_));
  pty_.HangUp();
  ASSERT_TRUE(Signalled(ov_.hEvent, 10000));
  HANDLE events[1] = {ov_.hEvent};
  DWORD mask;
  WaitCommEvent(port_, &mask, &ov_);  // fails and resets the event
  const double cpu0 = ProcessCpuSeconds();
  EXPECT_EQ(WaitForMultipleObjects(1, events, FALSE, 1000), WAIT_TIMEOUT);
  EXPECT_LT(ProcessCpuSeconds() - cpu0, 0.3);
}

// ---- Closing -------------------------------------------------------------------

TEST_F(Overlapped, CloseWhileAnotherThreadWaitsForTheResult) {
  DWORD mask = kUntouched;
  ASSERT_FALSE(WaitCommEvent(port_, &mask, &ov_));
  std::atomic<bool> returned{false};
  BOOL ok = TRUE;
  DWORD error = 0;
  std::thread waiter([&] {
    DWORD n;
    ok = GetOverlappedResult(port_, &ov_, &n, TRUE);
    error = GetLastError();
    returned = true;
  });
  Sleep(100);
  EXPECT_FALSE(returned.load());
  ASSERT_TRUE(CloseHandle(port_));
  waiter.join();
  EXPECT_FALSE(ok);
  EXPECT_TRUE(error == ERROR_OPERATION_ABORTED || error == ERROR_INVALID_HANDLE) << error;
  EXPECT_TRUE(Signalled(ov_.hEvent));  // the cancelled wait completed
  EXPECT_EQ(mask, kUntouched);         // failed: no events written
  DWORD n;
  EXPECT_FALSE(GetOverlappedResult(port_, &ov_, &n, FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  port_ = INVALID_HANDLE_VALUE;
}

// ---- The monitor's cycle ---------------------------------------------------------

// A record for the event wait (whose event is the port-activity event),
// one for the reads and one for the writes, and a three-way wait on stop,
// port activity and write, as the program's monitor thread does it.
TEST_F(Overlapped, MonitorCycleReceivesEveryByteAndNeverSpins) {
  HANDLE stop = NewEvent();
  HANDLE write = NewEvent();
  HANDLE set[3] = {stop, ov_.hEvent, write};
  OVERLAPPED readOv{};
  readOv.hEvent = NewEvent();
  OVERLAPPED writeOv{};
  writeOv.hEvent = NewEvent();
  std::string received;
  int wakeups = 0;
  std::thread peer([&] {
    Sleep(50);
    ASSERT_TRUE(pty_.Write("R1"));
    Sleep(50);
    ASSERT_TRUE(pty_.Write("R2R3"));
  });
  while (received.size() < 6 && wakeups < 100) {
    DWORD mask = 0;
    if (WaitCommEvent(port_, &mask, &ov_)) {
      COMSTAT st{};
      DWORD errors;
      ClearCommError(port_, &errors, &st);
      if (st.cbInQue == 0) continue;
    } else {
      const DWORD err = GetLastError();
      ASSERT_TRUE(err == ERROR_IO_PENDING || err == ERROR_INVALID_PARAMETER) << err;
    }
    const DWORD which = WaitForMultipleObjects(3, set, FALSE, 10000);
    ASSERT_EQ(which, WAIT_OBJECT_0 + 1);
    ++wakeups;
    COMSTAT st{};
    DWORD errors;
    ClearCommError(port_, &errors, &st);
    while (st.cbInQue != 0) {
      char c;
      DWORD n = 0;
      if (!ReadFile(port_, &c, 1, &n, &readOv)) {
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        ASSERT_TRUE(GetOverlappedResult(port_, &readOv, &n, TRUE));
      }
      ASSERT_EQ(n, 1u);
      received += c;
      ClearCommError(port_, &errors, &st);
    }
  }
  peer.join();
  EXPECT_EQ(received, "R1R2R3");
  EXPECT_LE(wakeups, 6);  // one per arrival burst, at most one per byte
  // The frame goes out on its own record while the event wait is pending.
  DWORD mask = 0;
  ASSERT_FALSE(WaitCommEvent(port_, &mask, &ov_));
  ASSERT_TRUE(PurgeComm(port_, 15));
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(port_, "F", 1, &n, &writeOv));
  EXPECT_EQ(pty_.Read(1), "F");
  EXPECT_FALSE(WaitCommEvent(port_, &mask, &ov_));  // the first is still pending
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WaitForMultipleObjects(3, set, FALSE, 200), WAIT_TIMEOUT);  // nothing to do
}

}  // namespace
