#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "backup/journal_file.h"
#include "backup/system_error.h"
#include "platform/posix/fd.h"
#include "platform/posix/io.h"

namespace backup {
namespace {

bool MakeFolders(const std::string& dir, std::string* error) {
  for (std::size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    const std::string part = dir.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = SystemError("cannot make the directory", part);
      return false;
    }
    if (slash == std::string::npos) return true;
  }
}

class PosixJournalFile : public JournalFile {
 public:
  PosixJournalFile(std::string path, platform::UniqueFd fd)
      : path_(std::move(path)), fd_(std::move(fd)) {}

  bool Lock(bool exclusive, std::string* error) override {
    // Again when a signal comes between.
    while (::flock(fd_.get(), exclusive ? LOCK_EX : LOCK_SH) != 0) {
      if (errno == EINTR) continue;
      *error = SystemError("cannot lock the journal", path_);
      return false;
    }
    return true;
  }

  void Unlock() override { ::flock(fd_.get(), LOCK_UN); }

  bool ReadAll(std::string* text, std::string* error) override {
    text->clear();
    char buffer[65536];
    for (off_t offset = 0;;) {
      const ssize_t n = ::pread(fd_.get(), buffer, sizeof buffer, offset);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        *error = SystemError("cannot read the journal", path_);
        return false;
      }
      if (n == 0) return true;
      text->append(buffer, static_cast<std::size_t>(n));
      offset += n;
    }
  }

  bool ReadEnd(End* end, std::string* error) override {
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0) {
      *error = SystemError("cannot read the journal", path_);
      return false;
    }
    end->size = static_cast<std::uint64_t>(st.st_size);
    end->last = '\n';
    if (st.st_size > 0 && ::pread(fd_.get(), &end->last, 1, st.st_size - 1) != 1) {
      *error = SystemError("cannot read the journal", path_);
      return false;
    }
    return true;
  }

  bool Append(std::string_view text, const End& end, std::string* error) override {
    // Whole lines in one write where the file system takes them.
    std::string why;
    if (!platform::WriteAll(fd_.get(), text)) why = SystemError("cannot write the journal", path_);
    if (why.empty() && ::fsync(fd_.get()) != 0) {
      why = SystemError("cannot flush the journal", path_);
    }
    if (why.empty()) return true;
    if (::ftruncate(fd_.get(), static_cast<off_t>(end.size)) == 0) {
      ::fsync(fd_.get());
      *error = why + "; the line was taken out again";
    } else {
      *error = why + "; and the part of the line that was written could not be taken out (" +
               std::strerror(errno) + ")";
    }
    return false;
  }

 private:
  std::string path_;
  platform::UniqueFd fd_;
};

}  // namespace

std::unique_ptr<JournalFile> JournalFile::Open(const std::string& path, std::string* error) {
  const auto slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash), error)) {
    return nullptr;
  }
  platform::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
  if (!fd.valid()) {
    *error = SystemError("cannot open the journal", path);
    return nullptr;
  }
  // A journal made just now must survive a crash with its folder entry.
  if (!platform::SyncParentFolder(path)) {
    *error = SystemError("cannot flush the directory of the journal", platform::ParentFolder(path));
    return nullptr;
  }
  return std::make_unique<PosixJournalFile>(path, std::move(fd));
}

}  // namespace backup
