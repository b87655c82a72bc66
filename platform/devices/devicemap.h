// The COM device map: which device a name "COMn" opens.
//
// The machine's map (MachineComMap): COMn is /dev/ttyS{n-1} where that port
// has a UART behind it; the numbers left free go, from COM1 up, to the USB
// serial and ACM devices in name order, each as its /dev/serial/by-id link
// where it has one (so that a later open reaches the same adapter under the
// node a replug gave it), else as its node. Where sysfs cannot be read, nothing
// tells UARTs from placeholders and COMn is /dev/ttyS{n-1} for every n.
// Over it, the program's overrides (SetComOverrides: what CORVANE_COMn, set
// and not empty, says in a program's environment) name the device of COMn;
// an override replaces that number's entry only, so the device it
// displaces gets no other number.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/devices/serial_devices.h"

namespace platform {

constexpr int kMaxComNumber = 255;

// n for a COM name such as "COM3" (case-insensitive, "\\.\" may come first;
// n from 1 to 255, no sign, no leading zero), nothing for any other name.
std::optional<int> ComNumber(const char* name);

// "COM3" for 3.
std::string ComName(int n);

// The machine's map for the devices found: COM number -> device path.
std::map<int, std::string> MachineComMap(const SerialDevices& devices);

// The overrides of the map: COM number -> device path. Replaces every
// override set before; an empty path is no override. A program sets them
// once in main, before it starts any thread (platform/process/environment.h). Any
// thread.
void SetComOverrides(const std::map<int, std::string>& overrides);
// Sets (or, with an empty path, removes) the override of COMn alone. Any
// thread.
void SetComOverride(int n, const std::string& path);
// The overrides in force (for a test that sets its own and gives these
// back). Any thread.
std::map<int, std::string> ComOverrides();

// The device path of COMn: its override, else machine's entry for n, else
// nothing.
std::optional<std::string> ComDevicePath(int n, const std::map<int, std::string>& machine);

// The same over this machine's map, which is read from sysfs once, at the
// first call in the process. Any thread.
std::optional<std::string> ComDevicePath(int n);

}  // namespace platform
