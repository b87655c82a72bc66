#include <windows.h>

#include "backup/journal_file.h"
#include "backup/system_error.h"
#include "backup/windows_handle.h"

namespace backup {
namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Makes each folder of dir that is missing, from the root down. The root
// itself ("C:\", "\\server\share\") is taken as there.
bool MakeFolders(const std::string& dir, std::string* error) {
  std::size_t from = 0;
  if (dir.size() >= 2 && dir[1] == ':') {
    from = 2;
  } else if (dir.size() >= 2 && IsSeparator(dir[0]) && IsSeparator(dir[1])) {
    // \\server\share: past the share's name.
    from = dir.find_first_of("\\/", 2);
    from = from == std::string::npos ? dir.size() : dir.find_first_of("\\/", from + 1);
    if (from == std::string::npos) return true;
  }
  for (std::size_t cut = dir.find_first_of("\\/", from + 1);;
       cut = dir.find_first_of("\\/", cut + 1)) {
    const std::string part = dir.substr(0, cut);
    if (!part.empty() && !IsSeparator(part.back()) && !::CreateDirectoryA(part.c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS) {
      *error = SystemError("cannot make the directory", part);
      return false;
    }
    if (cut == std::string::npos) return true;
  }
}

// An OVERLAPPED that names an offset in the file (the handle is not
// overlapped: the calls complete before they return).
OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

class WindowsJournalFile : public JournalFile {
 public:
  WindowsJournalFile(std::string path, UniqueHandle file)
      : path_(std::move(path)), file_(std::move(file)) {}

  bool Lock(bool exclusive, std::string* error) override {
    // The whole file, also what later appends add.
    OVERLAPPED at = At(0);
    if (!::LockFileEx(file_.get(), exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, MAXDWORD, MAXDWORD,
                      &at)) {
      *error = SystemError("cannot lock the journal", path_);
      return false;
    }
    return true;
  }

  void Unlock() override {
    OVERLAPPED at = At(0);
    ::UnlockFileEx(file_.get(), 0, MAXDWORD, MAXDWORD, &at);
  }

  bool ReadAll(std::string* text, std::string* error) override {
    text->clear();
    char buffer[65536];
    for (;;) {
      OVERLAPPED at = At(text->size());
      DWORD n = 0;
      if (!::ReadFile(file_.get(), buffer, sizeof buffer, &n, &at)) {
        if (::GetLastError() == ERROR_HANDLE_EOF) return true;
        *error = SystemError("cannot read the journal", path_);
        return false;
      }
      if (n == 0) return true;
      text->append(buffer, n);
    }
  }

  bool ReadEnd(End* end, std::string* error) override {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file_.get(), &size)) {
      *error = SystemError("cannot read the journal", path_);
      return false;
    }
    end->size = static_cast<std::uint64_t>(size.QuadPart);
    end->last = '\n';
    if (end->size == 0) return true;
    OVERLAPPED at = At(end->size - 1);
    DWORD n = 0;
    if (!::ReadFile(file_.get(), &end->last, 1, &n, &at) || n != 1) {
      *error = SystemError("cannot read the journal", path_);
      return false;
    }
    return true;
  }

  bool Append(std::string_view text, const End& end, std::string* error) override {
    std::string why;
    std::uint64_t offset = end.size;
    while (why.empty() && !text.empty()) {
      OVERLAPPED at = At(offset);
      DWORD n = 0;
      if (!::WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &n, &at) ||
          n == 0) {
        if (n == 0 && ::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_WRITE_FAULT);
        why = SystemError("cannot write the journal", path_);
      }
      offset += n;
      text.remove_prefix(n);
    }
    if (why.empty() && !::FlushFileBuffers(file_.get())) {
      why = SystemError("cannot flush the journal", path_);
    }
    if (why.empty()) return true;
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(end.size);
    if (::SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) && ::SetEndOfFile(file_.get())) {
      ::FlushFileBuffers(file_.get());
      *error = why + "; the line was taken out again";
    } else {
      *error = why + "; and the part of the line that was written could not be taken out (" +
               SystemError("cutting back", path_) + ")";
    }
    return false;
  }

 private:
  std::string path_;
  UniqueHandle file_;
};

}  // namespace

std::unique_ptr<JournalFile> JournalFile::Open(const std::string& path, std::string* error) {
  const auto cut = path.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0 && !MakeFolders(path.substr(0, cut), error)) {
    return nullptr;
  }
  // Other programs read and append to it too, each under the lock.
  UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    *error = SystemError("cannot open the journal", path);
    return nullptr;
  }
  return std::make_unique<WindowsJournalFile>(path, std::move(file));
}

}  // namespace backup
