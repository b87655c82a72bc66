#include "platform/serial/low_latency.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

#include "platform/serial/hooks.h"

namespace platform {
namespace {

int SerialInfo(int fd, unsigned long request, serial_struct* info) {
  if (SerialHooks* hooks = InstalledSerialHooks()) return hooks->SerialInfo(fd, request, info);
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
