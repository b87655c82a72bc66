#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "backup/file_replacement.h"
#include "backup/system_error.h"
#include "platform/posix/fd.h"
#include "platform/posix/io.h"
#include "platform/process/stop_signals.h"

namespace backup {
namespace {

// Why path cannot be replaced by a rename, or "": a directory (or a name
// that ends in '/'), or a file of another user in a sticky directory (such
// as /tmp), which only its owner may replace.
std::string CannotReplace(const std::string& path) {
  struct stat st {};
  const bool exists = ::lstat(path.c_str(), &st) == 0;
  if (path.back() == '/' || (exists && S_ISDIR(st.st_mode))) {
    return "cannot write the dump to " + path + ": it is a directory";
  }
  struct stat dir {};
  const uid_t me = ::geteuid();
  if (exists && me != 0 && st.st_uid != me &&
      ::stat(platform::ParentFolder(path).c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX) != 0 &&
      dir.st_uid != me) {
    return "cannot replace " + path + ": it belongs to another user in a sticky directory";
  }
  return "";
}

// A new file next to `base` (".base.tmp-XXXXXX"), created with 0666 less
// the umask, as the file would be; *temp is its name.
platform::UniqueFd MakeTemporary(const std::string& dir, const std::string& base,
                                 std::string* temp) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temp = dir + "/." + base + ".tmp-";
    for (int i = 0; i < 6; ++i) *temp += kLetters[random() % (sizeof kLetters - 1)];
    platform::UniqueFd fd(::open(temp->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.valid() || errno != EEXIST) return fd;
  }
  return platform::UniqueFd();
}

class PosixReplacement : public FileReplacement {
 public:
  PosixReplacement(std::string path, std::string temp, platform::UniqueFd fd)
      : path_(std::move(path)), temp_(std::move(temp)), fd_(std::move(fd)), abortGuard_(temp_) {}
  ~PosixReplacement() override {
    if (!committed_) ::unlink(temp_.c_str());
  }

  // A full disk or a quota shows now, before the camera is read.
  int Reserve(std::size_t bytes) {
    return bytes == 0 ? 0 : ::posix_fallocate(fd_.get(), 0, static_cast<off_t>(bytes));
  }

  bool Commit(std::string_view data, std::string* error) override {
    // The mode of the file replaced; a new one keeps the mode it was made with.
    struct stat old {};
    const bool replaces = ::stat(path_.c_str(), &old) == 0;
    bool ok = (!replaces || ::fchmod(fd_.get(), old.st_mode & 07777) == 0) &&
              platform::WriteAll(fd_.get(), data) &&
              ::ftruncate(fd_.get(), static_cast<off_t>(data.size())) == 0 &&
              ::fsync(fd_.get()) == 0;
    if (!ok) *error = SystemError("cannot write", temp_);
    if (::close(fd_.Release()) != 0 && ok) {
      ok = false;
      *error = SystemError("cannot write", temp_);
    }
    if (ok && ::rename(temp_.c_str(), path_.c_str()) != 0) {
      ok = false;
      *error = SystemError("cannot rename the temporary file to", path_);
    }
    if (!ok) return false;
    committed_ = true;
    // The rename itself reaches the disk with the folder.
    if (!platform::SyncParentFolder(path_)) {
      *error = path_ + " was written, but " +
               SystemError("cannot flush its directory", platform::ParentFolder(path_));
      return false;
    }
    return true;
  }

 private:
  std::string path_, temp_;
  platform::UniqueFd fd_;
  platform::RemoveOnAbort abortGuard_;
};

}  // namespace

std::unique_ptr<FileReplacement> FileReplacement::Open(const std::string& path, std::size_t bytes,
                                                       std::string* error) {
  if (const std::string why = CannotReplace(path); !why.empty()) {
    *error = why;
    return nullptr;
  }
  const std::string dir = platform::ParentFolder(path);
  const auto slash = path.rfind('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp;
  platform::UniqueFd fd = MakeTemporary(dir, base, &temp);
  if (!fd.valid()) {
    *error = SystemError("cannot make a temporary file in", dir);
    return nullptr;
  }
  auto file = std::make_unique<PosixReplacement>(path, temp, std::move(fd));
  if (const int err = file->Reserve(bytes); err != 0) {
    errno = err;
    *error = SystemError("no room for the dump in", dir);
    return nullptr;
  }
  return file;
}

}  // namespace backup
