// CCommPort against the simulated camera, which runs as its own process
// (corvane-camsim) so that this process's CPU time is the engine's alone
// (the transaction on this thread and the monitor thread).
//
//   instant: the camera replies at once; time per transaction, and wall and
//            CPU time per exchange (eight exchanges a transaction).
//   paced:   the camera replies at the 9600-baud byte time; a Read's time
//            against the line time of its 150 bytes (156.25 ms).
//   line:    the whole line at 9600 baud (corvane-camsim --line): the frames
//            too take their byte time before the camera answers, so a Read
//            and a Write (150 bytes each, 156.25 ms) cost their line time
//            plus what the program and the camera add.
//   pyserial: a minimal Python script with pyserial doing the same eight
//            exchanges against the same kind of camera, side by side.
// A summary of the ratios is printed at the end.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

#include "port/CommPort.h"
#include "testing/env.h"
#include "testing/process.h"
#include "testing/ui_driver.h"

namespace {

// A corvane-camsim process on a new pseudo-terminal; ended by SIGTERM.
class CameraProcess {
 public:
  // option: "--paced", "--line" or null (replies at once).
  explicit CameraProcess(const char* option)
      : process_(option ? std::vector<std::string>{CORVANE_CAMSIM, option}
                        : std::vector<std::string>{CORVANE_CAMSIM},
                 testsupport::kCaptureOutput),
        path_(process_.ReadLine()) {}
  ~CameraProcess() {
    process_.Signal(SIGTERM);
    process_.Wait(std::chrono::seconds(10));
  }
  const std::string& path() const { return path_; }

 private:
  testsupport::Process process_;
  std::string path_;
};

double CpuSeconds() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return r.ru_utime.tv_sec + r.ru_utime.tv_usec / 1e6 + r.ru_stime.tv_sec +
         r.ru_stime.tv_usec / 1e6;
}

std::map<std::string, double> g_seconds;  // mean seconds per transaction, by name

// A Read moves 150 bytes over the line (its frames and the camera's
// replies), a Write 77 + 73: at 9600 baud, 10 bits a byte, 156.25 ms.
constexpr double kLineSeconds = 150 * 10 / 9600.0;

// Runs whole commands as the dialog does (StartMonitor, the transaction,
// the closing OpenPort) and times the transaction alone inside each: wall
// time, and this process's CPU time (the engine's: the transaction and the
// monitor thread; the camera is another process).
void RunTransactions(benchmark::State& state, const char* mode, bool write) {
  testsupport::ui::Driver driver(true);  // boxes recorded, never shown
  CameraProcess camera(mode[0] != '\0' ? mode : nullptr);
  const bool timed = mode[0] != '\0';  // paced or the whole line: against the line time
  if (camera.path().empty()) {
    state.SkipWithError("corvane-camsim did not start");
    return;
  }
  testsupport::ComPorts com({camera.path()});
  CCommPort port;
  if (port.OpenPort(nullptr, 1, 9600, 'N', 8, 1, EV_RXCHAR, 512) != 1) {
    state.SkipWithError("COM1 did not open");
    return;
  }
  std::string expected = write ? "5A" : "1234";
  if (!write) {  // a Read sees the code of the last write
    port.StartMonitor();
    expected = std::string("12") + std::string(port.ReadCode("F70")).substr(2);
    port.OpenPort(nullptr, 1, 9600, 'N', 8, 1, EV_RXCHAR, 512);
  }
  double wall = 0, cpu = 0;
  const auto c0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    port.StartMonitor();
    const double cpuStart = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    const std::string result = write ? port.WriteCode("F70", "5A") : port.ReadCode("F70");
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    cpu += CpuSeconds() - cpuStart;
    port.OpenPort(nullptr, 1, 9600, 'N', 8, 1, EV_RXCHAR, 512);
    if (result != expected) {
      state.SkipWithError(("transaction gave " + result).c_str());
      return;
    }
  }
  const double n = static_cast<double>(state.iterations());
  const double command =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - c0).count() / n;
  wall /= n;
  cpu /= n;
  state.counters["ms_per_command"] = command * 1e3;
  state.counters["ms_per_transaction"] = wall * 1e3;
  state.counters["us_per_exchange"] = wall / 8 * 1e6;
  state.counters["engine_cpu_us_per_exchange"] = cpu / 8 * 1e6;
  if (timed && (!write || std::string(mode) == "--line")) {
    state.counters["x_line_time"] = wall / kLineSeconds;
  }
  if (!driver.Recorded().empty()) state.SkipWithError("an error box was shown");
  const std::string name = std::string(write ? "write" : "read") + "_" +
                           (timed ? std::string(mode + 2) : std::string("instant"));
  g_seconds[name] = wall;
  g_seconds[name + "_cpu"] = cpu;
  g_seconds[name + "_command"] = command;
}

void BM_ReadInstant(benchmark::State& state) {
  RunTransactions(state, "", false);
}
void BM_WriteInstant(benchmark::State& state) {
  RunTransactions(state, "", true);
}
void BM_ReadPaced(benchmark::State& state) {
  RunTransactions(state, "--paced", false);
}
void BM_WritePaced(benchmark::State& state) {
  RunTransactions(state, "--paced", true);
}
void BM_ReadLine(benchmark::State& state) {
  RunTransactions(state, "--line", false);
}
void BM_WriteLine(benchmark::State& state) {
  RunTransactions(state, "--line", true);
}

// The pyserial script does `iterations` transactions in one run and reports
// its mean; the benchmark's manual time is that mean.
void RunPyserial(benchmark::State& state, bool write) {
  CameraProcess camera(nullptr);
  const int iterations = 200;
  double sum = 0;
  for (auto _ : state) {
    std::string out;
    testsupport::Run({"/usr/bin/python3", CORVANE_PYSERIAL_SCRIPT, camera.path(),
                      std::to_string(iterations), write ? "write" : "read"},
                     {}, &out);
    char mode[16] = {};
    int n = 0;
    double mean = 0;
    if (std::sscanf(out.c_str(), "%15s %d %lf", mode, &n, &mean) != 3) {
      state.SkipWithError("the pyserial script failed");
      return;
    }
    state.SetIterationTime(mean);
    sum += mean;
  }
  const double mean = sum / static_cast<double>(state.iterations());
  state.counters["ms_per_transaction"] = mean * 1e3;
  state.counters["us_per_exchange"] = mean / 8 * 1e6;
  g_seconds[write ? "pyserial_write" : "pyserial_read"] = mean;
}

void BM_PyserialRead(benchmark::State& state) {
  RunPyserial(state, false);
}
void BM_PyserialWrite(benchmark::State& state) {
  RunPyserial(state, true);
}

BENCHMARK(BM_ReadInstant)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WriteInstant)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadPaced)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_WritePaced)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ReadLine)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_WriteLine)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_PyserialRead)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_PyserialWrite)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  auto get = [](const char* name) {
    const auto it = g_seconds.find(name);
    return it == g_seconds.end() ? 0.0 : it->second;
  };
  std::printf("\nSummary\n");
  std::printf(
      "  (engine CPU: this process's user+system time during the transactions - the\n"
      "   transaction thread, the monitor thread and the port's waiter thread; the\n"
      "   camera runs in its own process, corvane-camsim, and is not counted)\n");
  if (get("read_paced") > 0) {
    std::printf("  paced Read: %.2f ms = %.3f x the line time of 150 bytes (156.25 ms)\n",
                get("read_paced") * 1e3, get("read_paced") / kLineSeconds);
  }
  for (const char* kind : {"read", "write"}) {
    const double line = get((std::string(kind) + "_line").c_str());
    if (line > 0) {
      std::printf("  whole line, %s: %.2f ms = %.3f x its line time of 150 bytes (156.25 ms)\n",
                  kind, line * 1e3, line / kLineSeconds);
    }
  }
  if (get("read_instant") > 0) {
    std::printf("  instant Read: %.3f ms (command %.3f ms), engine CPU %.1f us per exchange\n",
                get("read_instant") * 1e3, get("read_instant_command") * 1e3,
                get("read_instant_cpu") / 8 * 1e6);
  }
  if (get("write_instant") > 0) {
    std::printf("  instant Write: %.3f ms (command %.3f ms), engine CPU %.1f us per exchange\n",
                get("write_instant") * 1e3, get("write_instant_command") * 1e3,
                get("write_instant_cpu") / 8 * 1e6);
  }
  if (get("read_instant") > 0 && get("pyserial_read") > 0) {
    std::printf("  instant Read / pyserial Read: %.3f ms / %.3f ms = %.3f\n",
                get("read_instant") * 1e3, get("pyserial_read") * 1e3,
                get("read_instant") / get("pyserial_read"));
  }
  if (get("write_instant") > 0 && get("pyserial_write") > 0) {
    std::printf("  instant Write / pyserial Write: %.3f ms / %.3f ms = %.3f\n",
                get("write_instant") * 1e3, get("pyserial_write") * 1e3,
                get("write_instant") / get("pyserial_write"));
  }
  return 0;
}
