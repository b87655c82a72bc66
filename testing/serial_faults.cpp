#include "testing/serial_faults.h"

#include <sys/ioctl.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "platform/serial/hooks.h"
#include "platform/serial/serial_trace.h"

namespace testsupport {
namespace {

class Faults final : public platform::SerialHooks {
 public:
  bool FailCall(const char* function, DWORD* code) override {
    // With none armed, no lock: the calls of a test stay as unsynchronised
    // as the program's, for the thread checker.
    if (count_.load(std::memory_order_acquire) == 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = armed_.find(function);
    if (it == armed_.end()) return false;
    *code = it->second;
    armed_.erase(it);
    count_.store(armed_.size(), std::memory_order_release);
    return true;
  }

  int SerialInfo(int fd, unsigned long request, serial_struct* info) override {
    if (SerialInfoHook hook = hook_.load(std::memory_order_acquire)) {
      return hook(fd, request, info);
    }
    return ::ioctl(fd, request, info);
  }

  void Arm(const char* function, DWORD code) {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_[function] = code;
    count_.store(armed_.size(), std::memory_order_release);
  }

  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_.clear();
    count_.store(0, std::memory_order_release);
  }

  void SetHook(SerialInfoHook hook) { hook_.store(hook, std::memory_order_release); }

 private:
  std::mutex mutex_;
  std::map<std::string, DWORD> armed_;
  std::atomic<std::size_t> count_{0};
  std::atomic<SerialInfoHook> hook_{nullptr};
};

// Installed at the first use and never taken away or destroyed: ports on
// other threads may ask it until the very end of the process.
Faults& TheFaults() {
  static Faults* const faults = [] {
    auto* f = new Faults;
    platform::InstallSerialHooks(f);
    return f;
  }();
  return *faults;
}

}  // namespace

void FailNext(const char* function, DWORD code) {
  TheFaults().Arm(function, code);
}

void ClearFaults() {
  TheFaults().Clear();
}

void SetSerialInfoHook(SerialInfoHook hook) {
  TheFaults().SetHook(hook);
}

void TraceTo(const char* destination) {
  platform::StopTrace();
  if (destination != nullptr) platform::ApplyTraceSetting(destination);
}

}  // namespace testsupport
