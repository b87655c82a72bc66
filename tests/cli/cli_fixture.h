// corvane-cli as a program, run as a technician runs it, against the
// simulated camera on a pseudo-terminal. Each test gets a temporary
// directory; COM1 is mapped into it (present once a camera is started),
// COM2 to COM4 to paths that do not exist, and XDG_STATE_HOME to a folder
// in it, so that the default journal is the test's own.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/camsim.h"

namespace clitest {

// How a run ended: its exit status (or 128 + signal), standard output and
// standard error.
struct Ran {
  int status = -1;
  std::string out, err;
};

// A running corvane-cli (run by `launcher` with its arguments when given,
// such as prlimit); killed and reaped if still running at the end.
class CliProcess {
 public:
  explicit CliProcess(const std::vector<std::string>& args,
                      const std::vector<std::string>& launcher = {});
  ~CliProcess();
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  void Signal(int sig);
  // Collects the output until the program ends (killed after timeoutMs).
  Ran Wait(int timeoutMs = 120'000);

 private:
  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the camera on COM1's path.
  camsim::Camsim& StartCamera(const camsim::Faults& faults = {}, bool paced = false);
  camsim::Camsim& Camera() { return *camera_; }

  // Runs corvane-cli with args to its end.
  Ran Cli(const std::vector<std::string>& args) { return CliProcess(args).Wait(); }

  // A path in the test's directory.
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // The default journal's text.
  std::string JournalText() const;

  // The frames the camera received, as hex text; only those that pass
  // `keep` when given.
  std::vector<std::string> Frames(const std::function<bool(const std::string&)>& keep = {}) const;
  // The cell write frames the camera received.
  std::vector<std::string> WriteFrames() const;

 private:
  std::string dir_;
  std::unique_ptr<camsim::Camsim> camera_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
// Lines of text (without their line ends) that contain `part`.
std::vector<std::string> LinesWith(const std::string& text, const std::string& part);

// The camera's default code of a cell (see tools/camsim_memory.h).
int DefaultCode(int page, int address);

}  // namespace clitest
