#include "platform/port_listing.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "platform/devicemap.h"
#include "platform/diagnostics.h"
#include "platform/fd.h"
#include "platform/serial_devices.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string GroupName(gid_t gid) {
  const group* g = ::getgrgid(gid);
  return g != nullptr ? g->gr_name : std::to_string(gid);
}

std::string UserName(uid_t uid) {
  const passwd* p = ::getpwuid(uid);
  return p != nullptr ? p->pw_name : std::to_string(uid);
}

std::string NoPermissionReason(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return "permission denied";
  // A serial device is read and written by its group (dialout on Debian):
  // joining it is the cure. Otherwise only its owner or root may.
  const std::string group = GroupName(st.st_gid);
  if ((st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
    return "permission denied; add your user to the " + group + " group (sudo adduser $USER " +
           group + ") and log in again";
  }
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  return std::string("permission denied (mode ") + mode + ", owner " + UserName(st.st_uid) +
         ", group " + group + ")";
}

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

std::string InUseReason(const std::optional<PortHolder>& holder) {
  if (!holder) return "in use by another program";
  std::string text = "in use by process " + std::to_string(holder->pid);
  if (!holder->command.empty()) text += " (" + holder->command + ")";
  if (holder->command == "ModemManager") {
    text += "; ModemManager probes new serial devices: tell it to leave this one alone";
  }
  return text;
}

std::string Command(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string line;
  std::getline(in, line);
  return line;
}

bool Alive(int pid) {
  return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// The process of a flock on the node with this device and inode. Lines of
// /proc/locks read "1: FLOCK  ADVISORY  WRITE 812 00:05:1234 0 EOF" (the
// node's file system as hex major:minor, then the inode); waiters ("->")
// hold nothing.
std::optional<PortHolder> FlockHolder(dev_t dev, ino_t ino) {
  std::ifstream in("/proc/locks");
  std::string line;
  while (std::getline(in, line)) {
    char kind[16], mode[16], access[16];
    int pid = 0;
    unsigned major = 0, minor = 0;
    unsigned long inode = 0;
    if (line.find("->") != std::string::npos) continue;
    if (std::sscanf(line.c_str(), "%*d: %15s %15s %15s %d %x:%x:%lu", kind, mode, access, &pid,
                    &major, &minor, &inode) != 7) {
      continue;
    }
    if (std::strcmp(kind, "FLOCK") != 0 || major != ::major(dev) || minor != ::minor(dev) ||
        inode != ino || pid <= 0) {
      continue;
    }
    return PortHolder{pid, Command(pid)};
  }
  return std::nullopt;
}

// The process named by a lock file of the kind serial programs leave in
// the lock directory: its pid in text ("      812\n"), or as a binary int
// in older ones.
std::optional<PortHolder> LockFileHolder(const std::string& node, const std::string& root) {
  for (const char* dir : {"run/lock", "var/lock"}) {
    std::ifstream in(fs::path(root) / dir / ("LCK.." + node), std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (content.empty()) continue;
    int pid = std::atoi(content.c_str());
    if (pid <= 0 && content.size() == sizeof(int)) std::memcpy(&pid, content.data(), sizeof pid);
    if (Alive(pid)) return PortHolder{pid, Command(pid)};
  }
  return std::nullopt;
}

}  // namespace

std::optional<PortHolder> FindPortHolder(const std::string& path, const std::string& root) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  if (auto holder = FlockHolder(st.st_dev, st.st_ino)) return holder;
  std::error_code ec;
  const fs::path node = fs::canonical(path, ec);
  return LockFileHolder(ec ? fs::path(path).filename().string() : node.filename().string(), root);
}

void ProbePortState(const std::string& path, PortRecord* record) {
  record->holder.reset();
  // Opened as the services open a port (see serial.h), and closed at once.
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  int err = fd.valid() ? 0 : errno;
  if (fd.valid() && ::isatty(fd.get()) && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    err = errno == EWOULDBLOCK ? EBUSY : errno;
  }
  fd.Reset();
  switch (err) {
    case 0:
      record->state = PortState::kFree;
      record->reason.clear();
      break;
    case EACCES:
    case EPERM:
      record->state = PortState::kNoPermission;
      record->reason = NoPermissionReason(path);
      break;
    case EBUSY:
      record->state = PortState::kInUse;
      record->holder = FindPortHolder(path);
      record->reason = InUseReason(record->holder);
      break;
    case ENOENT:
    case ENOTDIR:
      record->state = PortState::kMissing;
      record->reason = "does not exist";
      break;
    case ENXIO:
    case ENODEV:
    case EIO:
      record->state = PortState::kMissing;
      record->reason = "no device answers (a port without hardware behind it)";
      break;
    default:
      record->state = PortState::kFailed;
      record->reason = std::string("cannot be opened: ") + std::strerror(err);
      break;
  }
}

void LookPortState(const std::string& path, PortRecord* record, const std::string& root) {
  record->holder.reset();
  record->reason.clear();
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      record->state = PortState::kMissing;
      record->reason = "does not exist";
    } else if (errno == EACCES) {  // a directory on the way may not be searched
      record->state = PortState::kNoPermission;
      record->reason = "permission denied";
    } else {
      record->state = PortState::kFailed;
      record->reason = std::string("cannot be examined: ") + std::strerror(errno);
    }
    return;
  }
  if (!MayReadAndWrite(st)) {
    record->state = PortState::kNoPermission;
    record->reason = NoPermissionReason(path);
    return;
  }
  record->holder = FindPortHolder(path, root);
  record->state = record->holder ? PortState::kInUse : PortState::kFree;
  if (record->holder) record->reason = InUseReason(record->holder);
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
    r.reason = "no serial device is mapped to it";
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
