// The serial ports as a technician needs to see them: one record per
// device with its COM name, what the machine says about it, and whether it
// can be used now and why not. The program's start-up messages and the
// command-line tool's port listing both come from here. Plain POSIX, no
// Win32. Any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/devices/port_state.h"

namespace platform {

struct PortRecord {
  std::string comName;  // "COM3" when a COM name maps to the device (the lowest), else ""
  // The device path as mapped or found, e.g. "/dev/ttyUSB0"; in a listing,
  // the node of a device that sysfs describes also where the map names it
  // by its by-id link (which is then byId).
  std::string path;
  // What sysfs says (serial_devices.h); all "" for a path it does not describe.
  std::string byId;
  std::string driver;
  std::string usbId;
  std::string manufacturer;
  std::string product;
  PortState state = PortState::kMissing;
  std::optional<PortHolder> holder;  // kInUse: who holds it, where that is known
  // Why it cannot be used, in DescribeOpenFailure's words (port_state.h),
  // or kNoDeviceMapped; "" when free.
  std::string reason;
};

// How a device's state is learnt. An open raises DTR and RTS and the close
// drops them again, which resets some boards and toggles the camera
// interface's lines; only an open tells some states, though (a device
// without hardware behind it, an exclusive open without a lock).
enum class StateCheck {
  kLook,  // from the node alone (see LookPortState): nothing is opened
  kOpen,  // opened for a moment and closed again (see ProbePortState)
};

// Every COM name that maps to a device (COM order), then every serial
// device under root that no COM name maps to (name order). The map is the
// machine's under root (devicemap.h) with the CORVANE_COMn overrides;
// devices found under root are looked at (or opened) at root + path.
std::vector<PortRecord> ListSerialPorts(StateCheck check, const std::string& root = "/");

// The state, holder and reason of the device at path (opened as it is,
// without changing its settings; a failure described by
// DescribeOpenFailure).
void ProbePortState(const std::string& path, PortRecord* record);

// The same learnt without opening it, in the same words: missing when there
// is no node; no permission when its owner, group and mode grant this user
// (by effective uid, gid and supplementary groups; root may always; ACLs are
// not read) no reading and writing; in use when FindPortHolder names a
// holder (lock files under root); free otherwise.
void LookPortState(const std::string& path, PortRecord* record, const std::string& root = "/");

// COMn as this machine's map (with the CORVANE_COMn overrides) has it now:
// its name, its path and, checked at that path, its state and reason. A
// number that names no device: kMissing with an empty path and the reason
// kNoDeviceMapped.
PortRecord ProbeComPort(int n, StateCheck check);

// The node that path, a link in a /dev/serial/by-id directory, leads to
// now ("/dev/ttyUSB1"); "" for any other path and for a link that leads
// nowhere.
std::string ByIdNode(const std::string& path);

// How messages name a port: "COM1 (/dev/ttyUSB0)", a by-id link with the
// node it leads to now: "COM1 (/dev/serial/by-id/usb-FTDI_...-port0 ->
// /dev/ttyUSB1)"; the COM name alone without a path, the path alone
// without a COM name.
std::string PortLabel(const std::string& comName, const std::string& path);

// For the program's start-up: when COMn (this machine's map) names a device
// that exists but cannot be used, says why through the diagnostics hook
// (diagnostics.h), one line, which the programs print on standard error as
//   corvane: COM1 (/dev/ttyUSB0): permission denied; add your user ...
// (the program's name first, then PortLabel and the record's reason).
// Nothing for a port that opens or is missing. The program's probe opens
// each port; port_tool also looks.
void ReportUnusablePort(int n, StateCheck check = StateCheck::kOpen);

}  // namespace platform
