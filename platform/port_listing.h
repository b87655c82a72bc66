// The serial ports as a technician needs to see them: one record per
// device with its COM name, what the machine says about it, and whether it
// can be used now and why not. The program's start-up messages and the
// command-line tool's port listing both come from here. Plain POSIX, no
// Win32. Any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class PortState {
  kFree,          // it opens as a port would (nobody holds it)
  kInUse,         // another open of it holds the lock (or, for a user, its exclusive mode)
  kNoPermission,  // this user may not open it
  kMissing,       // no such node, or a node with no device behind it
  kFailed,        // it exists but does not open for another reason
};

struct PortHolder {
  int pid = 0;
  std::string command;  // /proc/<pid>/comm, "" when it cannot be read
};

struct PortRecord {
  std::string comName;  // "COM3" when a COM name maps to the device (the lowest), else ""
  std::string path;     // the device path as mapped or found, e.g. "/dev/ttyUSB0"
  // What sysfs says (serial_devices.h); all "" for a path it does not describe.
  std::string byId;
  std::string driver;
  std::string usbId;
  std::string manufacturer;
  std::string product;
  PortState state = PortState::kMissing;
  std::optional<PortHolder> holder;  // kInUse: who holds it, where that is known
  // Why it cannot be used, one phrase in lower case for a message line:
  // "permission denied; add your user to the dialout group (sudo adduser
  // $USER dialout) and log in again", "in use by process 812 (minicom)",
  // "does not exist"... "" when free.
  std::string reason;
};

// Every COM name that maps to a device (COM order), then every serial
// device under root that no COM name maps to (name order). The map is the
// machine's under root (devicemap.h) with the CORVANE_COMn overrides;
// devices found under root are opened at root + path. Finding each state
// opens the device for a moment and closes it again, as the program's own
// probe does, without changing its settings.
std::vector<PortRecord> ListSerialPorts(const std::string& root = "/");

// The state, holder and reason of the device at path (opened as it is).
void ProbePortState(const std::string& path, PortRecord* record);

// Who holds the device at path: the process of a flock on its node
// (/proc/locks), else the live process named by its lock file
// (LCK..<node name> in root/run/lock or root/var/lock). Nothing when
// neither tells.
std::optional<PortHolder> FindPortHolder(const std::string& path, const std::string& root = "/");

// COMn as this machine's map (with the CORVANE_COMn overrides) has it now:
// its name, its path and, probed at that path, its state and reason. A
// number that names no device: kMissing with an empty path and the reason
// "no serial device is mapped to it".
PortRecord ProbeComPort(int n);

// How messages name a port: "COM1 (/dev/ttyUSB0)"; the COM name alone
// without a path, the path alone without a COM name.
std::string PortLabel(const std::string& comName, const std::string& path);

// For the program's start-up: when COMn (this machine's map) names a device
// that exists but cannot be used, says why through the diagnostics hook
// (diagnostics.h), one line, which the programs print on standard error as
//   corvane: COM1 (/dev/ttyUSB0): permission denied; add your user ...
// (the program's name first, then PortLabel and the record's reason).
// Nothing for a port that opens or is missing.
void ReportUnusablePort(int n);

}  // namespace platform
