// corvane-cli as a program, run as a technician runs it, against the
// simulated camera on a pseudo-terminal. Each test gets a temporary
// directory; the programs it runs get an environment in which COM1 is
// mapped into it (present once a camera is started), COM2 to COM4 to paths
// that do not exist, and XDG_STATE_HOME to a folder in it, so that the
// default journal is the test's own. The test's own environment is left as
// it is.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "testing/env.h"
#include "testing/process.h"
#include "testing/temp_dir.h"
#include "tools/camsim/camsim.h"

namespace clitest {

// How a run ended: its exit status (or 128 + signal), standard output and
// standard error.
struct Ran {
  int status = -1;
  std::string out, err;
};

// A running corvane-cli with the changes `env` of the environment (run by
// `launcher` with its arguments when given, such as prlimit), its output
// captured; killed and reaped if still running at the end.
class CliProcess : public testsupport::Process {
 public:
  CliProcess(const std::vector<std::string>& args, const std::vector<testsupport::EnvChange>& env,
             const std::vector<std::string>& launcher = {});
  // Collects the output until the program ends; a test failure (and the
  // program killed) if it has not ended within timeoutMs.
  Ran Wait(int timeoutMs = 120'000);
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override { camera_.reset(); }

  // Starts the camera on COM1's path.
  camsim::Camsim& StartCamera(const camsim::Faults& faults = {}, bool paced = false);
  camsim::Camsim& Camera() { return *camera_; }

  // Runs corvane-cli with args to its end.
  Ran Cli(const std::vector<std::string>& args) { return CliProcess(args, env_).Wait(); }
  // The environment's changes for the programs the test runs.
  const std::vector<testsupport::EnvChange>& Env() const { return env_; }
  // Changes a variable of that environment for the programs run from now.
  void SetEnv(const std::string& name, const std::optional<std::string>& value);

  // A path in the test's directory.
  std::string Path(const std::string& name) const { return dir_.File(name); }
  // The default journal's text.
  std::string JournalText() const;

  // The frames the camera received, as hex text; only those that pass
  // `keep` when given.
  std::vector<std::string> Frames(const std::function<bool(const std::string&)>& keep = {}) const;
  // The cell write frames the camera received.
  std::vector<std::string> WriteFrames() const;

 private:
  testsupport::TempDir dir_{"cli"};
  std::vector<testsupport::EnvChange> env_;
  std::unique_ptr<camsim::Camsim> camera_;
};

using testsupport::ReadFile;
using testsupport::WriteFile;
// Lines of text (without their line ends) that contain `part`.
std::vector<std::string> LinesWith(const std::string& text, const std::string& part);

// The camera's default code of a cell (see tools/camsim/memory.h).
int DefaultCode(int page, int address);

}  // namespace clitest
