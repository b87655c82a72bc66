// Low-latency mode of a serial device, as `setserial DEVICE low_latency`
// sets it (ASYNC_LOW_LATENCY through TIOCGSERIAL/TIOCSSERIAL): a USB
// adapter then hands on each received byte at once rather than holding it
// for its latency timer (up to 16 ms on an FTDI chip). Used by the serial
// port object on its own descriptor, under its lock.
#pragma once

namespace platform {

class LowLatency {
 public:
  // Asks the device on fd for low latency unless it is in that mode
  // already. A device without serial settings (a pseudo-terminal answers
  // ENOTTY) or one that refuses is used as it is, silently. True when this
  // call turned the mode on.
  bool Request(int fd);
  // Turns the mode off again if Request turned it on; the device's other
  // settings stay as they are now.
  void Restore(int fd);

 private:
  bool turnedOn_ = false;
};

}  // namespace platform
