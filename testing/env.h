// Changes of this process's environment that last as long as an object,
// and the COM device map pointed at test devices. The environment is the
// process's: change it on the test's own thread, before starting threads
// that read it. The services read no environment variable of their own
// (platform/process/environment.h): a setting reaches code in this process by its
// call, a program that a test starts by its environment (Process, Run).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A variable's new value; no value unsets it.
using EnvChange = std::pair<std::string, std::optional<std::string>>;

// Sets (or unsets) one variable; the destructor gives it back the value it
// had before (or unsets it again).
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(ScopedEnv&& other) noexcept;
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ScopedEnv& operator=(ScopedEnv&&) = delete;

  // Changes the variable again; the destructor still restores the value of
  // before the constructor.
  void Set(const std::optional<std::string>& value);

 private:
  std::string name_;  // empty once moved from
  std::optional<std::string> old_;
};

// CORVANE_COM1 to CORVANE_COM4 set to paths[0..3]; a path that is missing
// or empty becomes /nonexistent/comN, so that no test reaches a serial
// port of the machine.
std::vector<EnvChange> ComPortEnv(const std::vector<std::string>& paths);

// The COM device map of this process (platform::SetComOverride) pointed
// at test devices, COM1 to COM4 as ComPortEnv says (other numbers as they
// were), until destroyed; the destructor gives back the overrides there
// were before. Map points it elsewhere meanwhile. This process's
// environment is left as it is: a program that the test starts gets the
// same map through Env(). Made, changed and destroyed on the test's thread
// while no port is opening.
class ComPorts {
 public:
  explicit ComPorts(const std::vector<std::string>& paths = {});
  ~ComPorts();
  ComPorts(const ComPorts&) = delete;
  ComPorts& operator=(const ComPorts&) = delete;

  void Map(const std::vector<std::string>& paths);
  // CORVANE_COM1 to CORVANE_COM4 of the map in force, for a program's
  // environment.
  const std::vector<EnvChange>& Env() const { return env_; }

 private:
  std::map<int, std::string> before_;
  std::vector<EnvChange> env_;
};

}  // namespace testsupport
