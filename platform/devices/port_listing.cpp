#include "platform/devices/port_listing.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <vector>

#include "platform/devices/devicemap.h"
#include "platform/devices/serial_devices.h"
#include "platform/posix/diagnostics.h"
#include "platform/posix/fd.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

bool InGroup(gid_t gid) {
  if (gid == ::getegid()) return true;
  std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
  groups.resize(static_cast<std::size_t>(
      std::max(::getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
  return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

// Whether the mode grants this user reading and writing, as the kernel
// decides an open: the owner's bits for the owner, else the group's for a
// member, else the others'; root may always.
bool MayReadAndWrite(const struct stat& st) {
  const uid_t me = ::geteuid();
  if (me == 0) return true;
  const mode_t bits = st.st_uid == me      ? st.st_mode >> 6
                      : InGroup(st.st_gid) ? st.st_mode >> 3
                                           : st.st_mode;
  return (bits & 06) == 06;
}

// Takes what the describer says of a device that cannot be used.
void Take(OpenFailure failure, PortRecord* record) {
  record->state = failure.state;
  record->holder = std::move(failure.holder);
  record->reason = std::move(failure.reason);
}

}  // namespace

void ProbePortState(const std::string& path, PortRecord* record) {
  // Opened as the services open a port (see serial.h), and closed at once.
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  int err = fd.valid() ? 0 : errno;
  if (fd.valid() && ::isatty(fd.get()) && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    err = errno == EWOULDBLOCK ? EBUSY : errno;
  }
  fd.Reset();
  if (err == 0) {
    Take(OpenFailure{PortState::kFree, std::nullopt, ""}, record);
  } else {
    Take(DescribeOpenFailure(err, path), record);
  }
}

void LookPortState(const std::string& path, PortRecord* record, const std::string& root) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    // What an open would have met: no node, or a directory on the way that
    // may not be searched.
    Take(DescribeOpenFailure(errno, path, root), record);
    return;
  }
  if (!MayReadAndWrite(st)) {
    Take(DescribeOpenFailure(EACCES, path, root), record);
    return;
  }
  OpenFailure held = DescribeOpenFailure(EBUSY, path, root);
  if (!held.holder) held = OpenFailure{PortState::kFree, std::nullopt, ""};
  Take(std::move(held), record);
}

namespace {

void CheckPortState(StateCheck check, const std::string& path, PortRecord* record,
                    const std::string& root = "/") {
  if (check == StateCheck::kOpen) {
    ProbePortState(path, record);
  } else {
    LookPortState(path, record, root);
  }
}

}  // namespace

std::vector<PortRecord> ListSerialPorts(StateCheck check, const std::string& root) {
  const SerialDevices devices = ScanSerialDevices(root);
  const std::map<int, std::string> machine = MachineComMap(devices);
  const std::string prefix = root == "/" ? "" : root;
  // Copies what sysfs says of the device at path (its node or by-id link)
  // and gives the device's node, or "" when sysfs does not know the path.
  auto describe = [&](const std::string& path, PortRecord* r) -> std::string {
    for (const auto* list : {&devices.uarts, &devices.usb}) {
      for (const SerialDevice& d : *list) {
        if (d.path != path && d.byId != path) continue;
        r->byId = d.byId;
        r->driver = d.driver;
        r->usbId = d.usbId;
        r->manufacturer = d.manufacturer;
        r->product = d.product;
        return d.path;
      }
    }
    return "";
  };

  std::vector<PortRecord> records;
  std::vector<std::string> listed;
  for (int n = 1; n <= kMaxComNumber; ++n) {
    const std::optional<std::string> path = ComDevicePath(n, machine);
    if (!path || std::find(listed.begin(), listed.end(), *path) != listed.end()) continue;
    // Without sysfs every number has a guess at a node: only those there count.
    if (!devices.sysfs && machine.count(n) != 0 && machine.at(n) == *path &&
        !fs::exists(prefix + *path)) {
      continue;
    }
    PortRecord r;
    r.comName = ComName(n);
    r.path = *path;
    const std::string node = describe(*path, &r);
    if (!node.empty() && std::find(listed.begin(), listed.end(), node) != listed.end()) continue;
    CheckPortState(check, node.empty() ? *path : prefix + *path, &r, root);
    // A device mapped by its by-id link is listed by its node, the link
    // beside it, as every other device found.
    if (!node.empty()) r.path = node;
    records.push_back(std::move(r));
    listed.push_back(*path);
    if (!node.empty()) listed.push_back(node);
  }
  for (const auto* list : {&devices.uarts, &devices.usb}) {
    for (const SerialDevice& d : *list) {
      if (std::find(listed.begin(), listed.end(), d.path) != listed.end()) continue;
      PortRecord r;
      r.path = d.path;
      describe(d.path, &r);
      CheckPortState(check, prefix + d.path, &r, root);
      records.push_back(std::move(r));
    }
  }
  return records;
}

PortRecord ProbeComPort(int n, StateCheck check) {
  PortRecord r;
  r.comName = ComName(n);
  const std::optional<std::string> path = ComDevicePath(n);
  if (!path) {
    r.reason = kNoDeviceMapped;
    return r;
  }
  r.path = *path;
  CheckPortState(check, r.path, &r);
  return r;
}

std::string ByIdNode(const std::string& path) {
  const fs::path link(path);
  const fs::path dir = link.parent_path();
  if (dir.filename() != "by-id" || dir.parent_path().filename() != "serial") return "";
  std::error_code ec;
  const fs::path to = fs::read_symlink(link, ec);
  if (ec || !fs::exists(link, ec)) return "";
  // udev's links are relative and lead straight to the node.
  return (to.is_absolute() ? to : (dir / to).lexically_normal()).string();
}

std::string PortLabel(const std::string& comName, const std::string& path) {
  const std::string node = ByIdNode(path);
  const std::string device = node.empty() ? path : path + " -> " + node;
  if (comName.empty()) return device;
  return path.empty() ? comName : comName + " (" + device + ")";
}

void ReportUnusablePort(int n, StateCheck check) {
  const PortRecord r = ProbeComPort(n, check);
  if (r.state == PortState::kFree || r.state == PortState::kMissing) return;
  Diagnose(PortLabel(r.comName, r.path) + ": " + r.reason);
}

}  // namespace platform
