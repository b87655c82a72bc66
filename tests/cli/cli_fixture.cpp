#include "tests/cli/cli_fixture.h"

#include <signal.h>

#include <chrono>
#include <sstream>

#include "testing/hex.h"
#include "tools/camsim/memory.h"

namespace clitest {

namespace {

std::vector<std::string> CommandLine(const std::vector<std::string>& args,
                                     const std::vector<std::string>& launcher) {
  std::vector<std::string> argv = launcher;
  argv.push_back(CORVANE_CLI);
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

}  // namespace

CliProcess::CliProcess(const std::vector<std::string>& args,
                       const std::vector<testsupport::EnvChange>& env,
                       const std::vector<std::string>& launcher)
    : Process(CommandLine(args, launcher), testsupport::kCaptureOutput, env) {}

Ran CliProcess::Wait(int timeoutMs) {
  Ran ran;
  ran.status = Process::Wait(std::chrono::milliseconds(timeoutMs));
  if (ran.status < 0 && started()) {
    ADD_FAILURE() << "corvane-cli did not end within " << timeoutMs << " ms";
    Signal(SIGKILL);
    ran.status = Process::Wait();
  }
  ran.out = out();
  ran.err = err();
  return ran;
}

void CliTest::SetUp() {
  env_.emplace_back("CORVANE_COM1", Path("com1"));
  for (int n = 2; n <= 4; ++n) {
    env_.emplace_back("CORVANE_COM" + std::to_string(n), Path("absent" + std::to_string(n)));
  }
  env_.emplace_back("XDG_STATE_HOME", Path("state"));
  env_.emplace_back("CORVANE_TRACE", std::nullopt);
}

void CliTest::SetEnv(const std::string& name, const std::optional<std::string>& value) {
  for (auto& [var, old] : env_) {
    if (var == name) {
      old = value;
      return;
    }
  }
  env_.emplace_back(name, value);
}

camsim::Camsim& CliTest::StartCamera(const camsim::Faults& faults, bool paced) {
  camsim::CamsimOptions options;
  options.linkPath = Path("com1");
  options.faults = faults;
  options.paced = paced;
  std::string error;
  camera_ = camsim::Camsim::Start(options, &error);
  EXPECT_NE(camera_, nullptr) << error;
  return *camera_;
}

std::string CliTest::JournalText() const {
  return ReadFile(Path("state/corvane/journal"));
}

std::vector<std::string> CliTest::Frames(
    const std::function<bool(const std::string&)>& keep) const {
  std::vector<std::string> frames;
  if (!camera_) return frames;
  for (const auto& e : camera_->Log()) {
    if (e.kind != camsim::LogKind::kRx && e.kind != camsim::LogKind::kNoise) continue;
    const std::string hex = testhex::ToHex(e.bytes);
    if (!keep || keep(hex)) frames.push_back(hex);
  }
  return frames;
}

std::vector<std::string> CliTest::WriteFrames() const {
  // 01 80 0E 10 20 4D, then 10 for a write.
  return Frames([](const std::string& hex) { return hex.rfind("01800E10204D10", 0) == 0; });
}

std::vector<std::string> LinesWith(const std::string& text, const std::string& part) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find(part) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

int DefaultCode(int page, int address) {
  return camsim::Memory::DefaultCode(page, address);
}

}  // namespace clitest
