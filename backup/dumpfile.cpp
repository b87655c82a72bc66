#include "backup/dumpfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "backup/ihex.h"
#include "platform/posix/io.h"

namespace backup {
namespace {

// Far more than any dump (an Intel HEX dump of both pages is 1.5 kB); a
// bigger file is refused before it is read.
constexpr off_t kMaxDumpFileBytes = 16 << 20;

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

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

bool ReadWholeFile(const std::string& path, std::string* data, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = SystemError("cannot open", path);
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  if (ok && S_ISREG(st.st_mode) && st.st_size > kMaxDumpFileBytes) {
    *error = path + " is too big to be a dump (" + std::to_string(st.st_size) + " bytes)";
    ::close(fd);
    return false;
  }
  char buffer[65536];
  while (ok) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    data->append(buffer, static_cast<std::size_t>(n));
    if (data->size() > static_cast<std::size_t>(kMaxDumpFileBytes)) {
      *error = path + " is too big to be a dump";
      ::close(fd);
      return false;
    }
  }
  if (!ok) *error = SystemError("cannot read", path);
  ::close(fd);
  return ok;
}

bool LooksLikeIntelHex(std::string_view data) {
  for (unsigned char c : data) {
    if (c == '\r' || c == '\n' || c == '\t') continue;
    if (c < 0x20 || c >= 0x7F) return false;
  }
  const auto first = data.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && data[first] == ':';
}

}  // namespace

std::string DumpContent(const Image& image, Format format, PageRange range) {
  if (format == Format::kRaw) {
    std::string bytes;
    for (int index = range.first(); index < range.end(); ++index) {
      bytes += static_cast<char>(image.Code(Cell{index}));
    }
    return bytes;
  }
  Image part;
  for (int index = range.first(); index < range.end(); ++index) {
    part.Set(Cell{index}, image.Code(Cell{index}));
  }
  return WriteIntelHex(part);
}

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
  std::unique_ptr<FileReplacement> file(new FileReplacement(path, temp, std::move(fd)));
  // A full disk or a quota shows now, before the camera is read.
  const int err = bytes == 0 ? 0 : ::posix_fallocate(file->fd_.get(), 0, static_cast<off_t>(bytes));
  if (err != 0) {
    errno = err;
    *error = SystemError("no room for the dump in", dir);
    return nullptr;
  }
  return file;
}

FileReplacement::FileReplacement(std::string path, std::string temp, platform::UniqueFd fd)
    : path_(std::move(path)), temp_(std::move(temp)), fd_(std::move(fd)), abortGuard_(temp_) {}

FileReplacement::~FileReplacement() {
  if (!committed_) ::unlink(temp_.c_str());
}

bool FileReplacement::Commit(std::string_view data, std::string* error) {
  // The mode of the file replaced; a new one keeps the mode it was made with.
  struct stat old {};
  const bool replaces = ::stat(path_.c_str(), &old) == 0;
  bool ok = (!replaces || ::fchmod(fd_.get(), old.st_mode & 07777) == 0) &&
            platform::WriteAll(fd_.get(), data) &&
            ::ftruncate(fd_.get(), static_cast<off_t>(data.size())) == 0 && ::fsync(fd_.get()) == 0;
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
  // The rename itself reaches the disk with the directory.
  if (!platform::SyncParentFolder(path_)) {
    *error = path_ + " was written, but " +
             SystemError("cannot flush its directory", platform::ParentFolder(path_));
    return false;
  }
  return true;
}

bool LoadDump(const std::string& path, std::optional<Format> format, PageRange range, Image* image,
              std::string* error) {
  std::string data;
  if (!ReadWholeFile(path, &data, error)) return false;
  const Format use =
      format ? *format : (LooksLikeIntelHex(data) ? Format::kIntelHex : Format::kRaw);
  Image all;
  if (use == Format::kIntelHex) {
    std::string why;
    if (!ReadIntelHex(data, &all, &why)) {
      *error = path + ": " + why;
      return false;
    }
  } else {
    // 512 bytes are both pages; 256 are the page that --page names.
    int first = 0;
    if (data.size() == static_cast<std::size_t>(kCellsPerPage) && range.page) {
      first = range.first();
    } else if (data.size() != static_cast<std::size_t>(kCells)) {
      *error = path +
               ": a raw dump holds 512 bytes (both pages), or 256 with --page; this one holds " +
               std::to_string(data.size());
      return false;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
      all.Set(Cell{first + static_cast<int>(i)}, static_cast<unsigned char>(data[i]));
    }
  }
  for (int index = range.first(); index < range.end(); ++index) {
    if (all.Has(Cell{index})) image->Set(Cell{index}, all.Code(Cell{index}));
  }
  if (image->Count() == 0) {
    *error = path + ": no cells" + (range.page ? " of page " + std::to_string(*range.page) : "");
    return false;
  }
  return true;
}

}  // namespace backup
