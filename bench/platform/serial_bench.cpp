// How fast a byte makes the round trip through the serial services, and
// what a thread costs while it waits for the port.
//
//   build/…/bench/platform/platform_bench
//
// RoundTrip: the monitor thread's path for one byte on a pseudo-terminal:
// an event wait pends, WriteFile sends a byte, a peer thread echoes it on
// the master, the three-way WaitForMultipleObjects wakes on the overlapped
// event, ReadFile takes the byte. Counters: median and p99 in microseconds.
//
// WriteBurst: a three-byte WriteFile, which completes at once unless the
// line's queue is full. Both run with
// the byte trace off (/0) and on (/1, to a file in /tmp): its cost.
//
// IdleWait: a thread blocked 5 s in WaitForMultipleObjects on the three
// events while an event wait pends on the port; counters give the CPU
// time of that thread and of the whole process (port waiter included).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel32.h"
#include "testing/env.h"
#include "testing/pty.h"
#include "testing/serial_faults.h"

namespace {

// A pseudo-terminal whose slave is COM1; no other COM name reaches a
// device.
struct PtyPort {
  testsupport::Pty pty;
  testsupport::ComPorts com{{pty.path()}};
  const int master = pty.master();
  HANDLE port = INVALID_HANDLE_VALUE;
  OVERLAPPED ov{};  // the event wait's
  OVERLAPPED io{};  // the reads' and writes': never the pending wait's record
  HANDLE stop = nullptr;
  HANDLE write = nullptr;

  PtyPort() {
    port = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, NULL);
    COMMTIMEOUTS t{1000, 1000, 1000, 1000, 1000};
    SetCommTimeouts(port, &t);
    SetCommMask(port, EV_RXCHAR);
    DCB dcb{};
    GetCommState(port, &dcb);
    BuildCommDCBA("baud=9600 parity=N data=8 stop=1", &dcb);
    SetCommState(port, &dcb);
    ov.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    io.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    stop = CreateEventA(NULL, TRUE, FALSE, NULL);
    write = CreateEventA(NULL, TRUE, FALSE, NULL);
  }
  ~PtyPort() {
    CloseHandle(port);
    CloseHandle(ov.hEvent);
    CloseHandle(io.hEvent);
    CloseHandle(stop);
    CloseHandle(write);
  }
  bool ok() const { return port != INVALID_HANDLE_VALUE; }
};

double Percentile(std::vector<double>& v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t i = std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5));
  return v[i];
}

// Trace off (0) or on (1), to a file, for the ports opened after the call.
void SetTrace(const benchmark::State& state) {
  testsupport::TraceTo(state.range(0) != 0 ? "/tmp/corvane-bench-trace.log" : nullptr);
}

void RoundTrip(benchmark::State& state) {
  SetTrace(state);
  PtyPort p;
  if (!p.ok()) {
    state.SkipWithError("cannot open the pseudo-terminal as COM1");
    return;
  }
  const int master = p.master;
  std::thread echo([master] {
    char c;
    while (read(master, &c, 1) == 1) {
      if (c == '\xFF') break;  // the end
      (void)!::write(master, &c, 1);
    }
  });
  HANDLE set[3] = {p.stop, p.ov.hEvent, p.write};
  std::vector<double> micros;
  micros.reserve(100000);
  unsigned char sent = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    DWORD mask = 0;
    if (WaitCommEvent(p.port, &mask, &p.ov) || GetLastError() != ERROR_IO_PENDING) {
      state.SkipWithError("the event wait did not pend");
      break;
    }
    const char out = static_cast<char>(sent++ % 200);
    DWORD n = 0;
    if (!WriteFile(p.port, &out, 1, &n, &p.io)) {
      state.SkipWithError("WriteFile did not complete at once");
      break;
    }
    if (WaitForMultipleObjects(3, set, FALSE, 5000) != WAIT_OBJECT_0 + 1) {
      state.SkipWithError("no wake-up on port activity");
      break;
    }
    char in = 0;
    if (!ReadFile(p.port, &in, 1, &n, &p.io) || n != 1 || in != out) {
      state.SkipWithError("the echo did not come back");
      break;
    }
    micros.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  const char end = '\xFF';
  DWORD n;
  WriteFile(p.port, &end, 1, &n, &p.io);
  echo.join();
  state.counters["median_us"] = Percentile(micros, 0.5);
  state.counters["p99_us"] = Percentile(micros, 0.99);
}
BENCHMARK(RoundTrip)->Unit(benchmark::kMicrosecond)->MinTime(3.0)->Arg(0)->Arg(1);

// A thread drains the master; with the trace on, each call writes one TX
// line.
void WriteBurst(benchmark::State& state) {
  SetTrace(state);
  PtyPort p;
  if (!p.ok()) {
    state.SkipWithError("cannot open the pseudo-terminal as COM1");
    return;
  }
  const int master = p.master;
  std::atomic<bool> done{false};
  std::thread drain([&] {
    char buf[4096];
    while (!done && read(master, buf, sizeof buf) > 0) {
    }
  });
  for (auto _ : state) {
    DWORD n = 0;
    // When the drain falls behind and the line's queue is full, the write
    // pends until there is room.
    if (!WriteFile(p.port, "\x05\x80\x7F", 3, &n, &p.ov) &&
        (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(p.port, &p.ov, &n, TRUE))) {
      state.SkipWithError("WriteFile failed");
      break;
    }
  }
  done = true;
  DWORD n;
  WriteFile(p.port, "x", 1, &n, &p.ov);  // wakes the drain
  drain.join();
  testsupport::TraceTo(nullptr);
  unlink("/tmp/corvane-bench-trace.log");
}
BENCHMARK(WriteBurst)->Unit(benchmark::kNanosecond)->MinTime(2.0)->Arg(0)->Arg(1);

double ThreadCpuMs() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double ProcessCpuMs() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

void IdleWait(benchmark::State& state) {
  PtyPort p;
  if (!p.ok()) {
    state.SkipWithError("cannot open the pseudo-terminal as COM1");
    return;
  }
  HANDLE set[3] = {p.stop, p.ov.hEvent, p.write};
  double threadMs = 0, processMs = 0;
  for (auto _ : state) {
    DWORD mask = 0;
    WaitCommEvent(p.port, &mask, &p.ov);  // pends: nothing arrives
    const double thread0 = ThreadCpuMs();
    const double process0 = ProcessCpuMs();
    const DWORD r = WaitForMultipleObjects(3, set, FALSE, 5000);
    threadMs = ThreadCpuMs() - thread0;
    processMs = ProcessCpuMs() - process0;
    if (r != WAIT_TIMEOUT) state.SkipWithError("the wait ended early");
  }
  state.counters["thread_cpu_ms"] = threadMs;
  state.counters["process_cpu_ms"] = processMs;
}
BENCHMARK(IdleWait)->Unit(benchmark::kMillisecond)->Iterations(1);

// SetEvent on one thread to the return of WaitForSingleObject on another.
void EventWakeLatency(benchmark::State& state) {
  HANDLE ping = CreateEventA(NULL, FALSE, FALSE, NULL);
  HANDLE pong = CreateEventA(NULL, FALSE, FALSE, NULL);
  std::atomic<bool> done{false};
  std::thread peer([&] {
    while (WaitForSingleObject(ping, INFINITE) == WAIT_OBJECT_0 && !done) SetEvent(pong);
  });
  for (auto _ : state) {
    SetEvent(ping);
    WaitForSingleObject(pong, INFINITE);
  }
  done = true;
  SetEvent(ping);
  peer.join();
  CloseHandle(ping);
  CloseHandle(pong);
}
BENCHMARK(EventWakeLatency)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
