#include "testing/env.h"

#include <stdlib.h>

#include "platform/devices/devicemap.h"

namespace testsupport {

namespace {

void Apply(const std::string& name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name.c_str());
  }
}

}  // namespace

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) old_ = old;
  Apply(name_, value);
}

ScopedEnv::~ScopedEnv() {
  if (!name_.empty()) Apply(name_, old_);
}

ScopedEnv::ScopedEnv(ScopedEnv&& other) noexcept
    : name_(std::move(other.name_)), old_(std::move(other.old_)) {
  other.name_.clear();
}

void ScopedEnv::Set(const std::optional<std::string>& value) {
  Apply(name_, value);
}

std::vector<EnvChange> ComPortEnv(const std::vector<std::string>& paths) {
  std::vector<EnvChange> env;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::string n = std::to_string(i + 1);
    const bool given = i < paths.size() && !paths[i].empty();
    env.emplace_back("CORVANE_COM" + n, given ? paths[i] : "/nonexistent/com" + n);
  }
  return env;
}

ComPorts::ComPorts(const std::vector<std::string>& paths) : before_(platform::ComOverrides()) {
  Map(paths);
}

ComPorts::~ComPorts() {
  platform::SetComOverrides(before_);
}

void ComPorts::Map(const std::vector<std::string>& paths) {
  env_ = ComPortEnv(paths);
  for (std::size_t i = 0; i < env_.size(); ++i) {
    platform::SetComOverride(static_cast<int>(i) + 1, *env_[i].second);
  }
}

}  // namespace testsupport
