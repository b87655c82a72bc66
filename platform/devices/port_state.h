// Why a serial device can or cannot be used, in the one set of words that
// every part shows: the serial services' open (the detail of its error text
// and LastOpenFailure), the port listing, the dialog's start-up lines and
// corvane-cli. Plain POSIX, no Win32. Any thread.
#pragma once

#include <optional>
#include <string>

namespace platform {

enum class PortState {
  kFree,          // it opens as a port would (nobody holds it), or looks so
  kInUse,         // another open of it holds the lock (or, for a user, its exclusive mode)
  kNoPermission,  // this user may not open it
  kMissing,       // no such node, or a node with no device behind it
  kFailed,        // it exists but does not open for another reason
};

// The state as a listing shows it, with the reason: the state's word
// ("free", "in use", "no permission", "missing", "failed"), then ": " and
// the reason unless there is none or it begins with the word already:
// "free", "in use by process 812 (minicom)", "missing: does not exist".
std::string PortStateText(PortState state, const std::string& reason);

struct PortHolder {
  int pid = 0;
  std::string command;  // /proc/<pid>/comm, "" when it cannot be read
};

// Who holds the device at path: the process of a flock on its node
// (/proc/locks), else the live process named by its lock file
// (LCK..<node name> in root/run/lock or root/var/lock). Nothing when
// neither tells.
std::optional<PortHolder> FindPortHolder(const std::string& path, const std::string& root = "/");

// Why a device cannot be used.
struct OpenFailure {
  PortState state = PortState::kFailed;
  std::optional<PortHolder> holder;  // kInUse: who holds it, where that is known
  // One phrase in lower case for a message line, after "<port>: ".
  std::string reason;
};

// Why an open of the device at path failed with err, an errno value of
// open(2) (EBUSY also for a lock that another open holds):
//   EACCES, EPERM    no permission: "permission denied; add your user to the
//                    dialout group (sudo adduser $USER dialout) and log in
//                    again" (the node's group; where the group may not read
//                    and write it, "permission denied (mode 0600, owner
//                    root, group root)")
//   EBUSY            in use: "in use by process 812 (minicom)" (FindPortHolder
//                    under root), else "in use by another program"
//   ENOENT, ENOTDIR  missing: "does not exist"
//   ENXIO, ENODEV,   missing: "no device answers (a port without hardware
//   EIO              behind it)"
//   others           failed: "cannot be opened: " and the system's text.
OpenFailure DescribeOpenFailure(int err, const std::string& path, const std::string& root = "/");

// The reason for a COM name that names no device of this machine.
extern const char kNoDeviceMapped[];  // "no serial device is mapped to it"

// The calling thread's most recent failed open of a serial device by the
// serial services (CreateFileA): why, in DescribeOpenFailure's words (a COM
// name that maps to no device: missing, kNoDeviceMapped). Nothing when the
// thread's latest CreateFileA opened its device or failed before it looked
// for one (a name that is no COM name or path, bad arguments).
std::optional<OpenFailure> LastOpenFailure();
// For the serial services: sets (or, with nothing, clears) it.
void SetLastOpenFailure(std::optional<OpenFailure> failure);

}  // namespace platform
