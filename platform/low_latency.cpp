#include "platform/low_latency.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <atomic>

#include "platform/serial_faults.h"

namespace platform {
namespace serial_testing {
namespace {
std::atomic<SerialInfoHook> g_hook{nullptr};
}  // namespace

void SetSerialInfoHook(SerialInfoHook hook) {
  g_hook.store(hook, std::memory_order_release);
}

}  // namespace serial_testing

namespace {

int SerialInfo(int fd, unsigned long request, serial_struct* info) {
  if (auto hook = serial_testing::g_hook.load(std::memory_order_acquire)) {
    return hook(fd, request, info);
  }
  return ::ioctl(fd, request, info);
}

}  // namespace

bool LowLatency::Request(int fd) {
  serial_struct info{};
  if (SerialInfo(fd, TIOCGSERIAL, &info) != 0) return false;  // no serial settings
  if (info.flags & ASYNC_LOW_LATENCY) return false;
  info.flags |= ASYNC_LOW_LATENCY;
  turnedOn_ = SerialInfo(fd, TIOCSSERIAL, &info) == 0;
  return turnedOn_;
}

void LowLatency::Restore(int fd) {
  if (!turnedOn_) return;
  turnedOn_ = false;
  serial_struct info{};
  if (SerialInfo(fd, TIOCGSERIAL, &info) != 0) return;  // the device has gone
  info.flags &= ~ASYNC_LOW_LATENCY;
  (void)SerialInfo(fd, TIOCSSERIAL, &info);
}

}  // namespace platform
