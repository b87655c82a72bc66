#include "platform/devices/port_state.h"

#include <errno.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace platform {
namespace {

namespace fs = std::filesystem;

thread_local std::optional<OpenFailure> t_lastOpenFailure;

const char* Word(PortState state) {
  switch (state) {
    case PortState::kFree:
      return "free";
    case PortState::kInUse:
      return "in use";
    case PortState::kNoPermission:
      return "no permission";
    case PortState::kMissing:
      return "missing";
    case PortState::kFailed:
      break;
  }
  return "failed";
}

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

const char kNoDeviceMapped[] = "no serial device is mapped to it";

std::string PortStateText(PortState state, const std::string& reason) {
  const std::string word = Word(state);
  if (state == PortState::kFree || reason.empty()) return word;
  if (reason.compare(0, word.size(), word) == 0) return reason;
  return word + ": " + reason;
}

std::optional<PortHolder> FindPortHolder(const std::string& path, const std::string& root) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  if (auto holder = FlockHolder(st.st_dev, st.st_ino)) return holder;
  std::error_code ec;
  const fs::path node = fs::canonical(path, ec);
  return LockFileHolder(ec ? fs::path(path).filename().string() : node.filename().string(), root);
}

OpenFailure DescribeOpenFailure(int err, const std::string& path, const std::string& root) {
  OpenFailure f;
  switch (err) {
    case EACCES:
    case EPERM:
      f.state = PortState::kNoPermission;
      f.reason = NoPermissionReason(path);
      break;
    case EBUSY:
      f.state = PortState::kInUse;
      f.holder = FindPortHolder(path, root);
      f.reason = InUseReason(f.holder);
      break;
    case ENOENT:
    case ENOTDIR:
      f.state = PortState::kMissing;
      f.reason = "does not exist";
      break;
    case ENXIO:
    case ENODEV:
    case EIO:
      f.state = PortState::kMissing;
      f.reason = "no device answers (a port without hardware behind it)";
      break;
    default:
      f.state = PortState::kFailed;
      f.reason = std::string("cannot be opened: ") + std::strerror(err);
      break;
  }
  return f;
}

std::optional<OpenFailure> LastOpenFailure() {
  return t_lastOpenFailure;
}

void SetLastOpenFailure(std::optional<OpenFailure> failure) {
  t_lastOpenFailure = std::move(failure);
}

}  // namespace platform
