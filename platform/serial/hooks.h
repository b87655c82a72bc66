// The seam of the serial services: an object that stands in front of the
// serial calls and of a device's serial settings. The program installs
// none, and every serial call then costs one test of a pointer. Tests
// install one (testing/serial_faults.h) to make a chosen call fail with a
// chosen error code, a failure that a pseudo-terminal never produces (a
// device refusing its time-outs, say), and to model a USB adapter's serial
// settings, which a pseudo-terminal does not have.
#pragma once

#include "platform/win32/win32types.h"

struct serial_struct;

namespace platform {

class SerialHooks {
 public:
  virtual ~SerialHooks() = default;

  // Asked as the serial call named function begins (its Win32 name as in
  // serial.h: "CreateFileA", "SetCommTimeouts", "WaitCommEvent", ...), on
  // the calling thread, any port: true, with *code, makes the call fail
  // with that last error and no other effect (FALSE, or
  // INVALID_HANDLE_VALUE for "CreateFileA").
  virtual bool FailCall(const char* function, DWORD* code) = 0;

  // Stands in for ioctl(fd, request, info) for the two serial-settings
  // requests with which a port asks its device for low latency
  // (TIOCGSERIAL, TIOCSSERIAL; low_latency.h), and answers as it would (0,
  // or -1 with errno set). On the thread that opens or closes a port.
  virtual int SerialInfo(int fd, unsigned long request, serial_struct* info) = 0;
};

// Puts hooks in front of every serial call from now on; null takes them
// away. The object must outlive every call that may still see it (a test
// installs one for the whole process). Any thread.
void InstallSerialHooks(SerialHooks* hooks);

// The hooks installed, or null (the program's case). Any thread.
SerialHooks* InstalledSerialHooks();

}  // namespace platform
