// Changes of this process's environment that last as long as an object,
// and the COM device map pointed at test devices. The environment is the
// process's: change it on the test's own thread, before starting threads
// that read it.
#pragma once

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

// The COM device map of this process pointed at test devices (as
// ComPortEnv says) until destroyed; Map points it elsewhere meanwhile.
class ComPorts {
 public:
  explicit ComPorts(const std::vector<std::string>& paths = {});
  void Map(const std::vector<std::string>& paths);

 private:
  std::vector<ScopedEnv> vars_;
};

}  // namespace testsupport
