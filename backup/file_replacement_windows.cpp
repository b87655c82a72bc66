#include <windows.h>

#include <random>

#include "backup/file_replacement.h"
#include "backup/system_error.h"
#include "backup/windows_handle.h"

namespace backup {
namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Why path cannot be replaced, or "": a folder (or a name that ends in a
// separator), or a read-only file, which MoveFileExA will not replace.
std::string CannotReplace(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (IsSeparator(path.back()) || (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) {
    return "cannot write the dump to " + path + ": it is a directory";
  }
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return "cannot replace " + path + ": it is read-only";
  }
  return "";
}

bool SeekTo(HANDLE file, std::size_t offset) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}

bool WriteAll(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    const DWORD chunk = data.size() > (1u << 20) ? (1u << 20) : static_cast<DWORD>(data.size());
    DWORD n = 0;
    if (!::WriteFile(file, data.data(), chunk, &n, nullptr)) return false;
    if (n == 0) {
      ::SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    data.remove_prefix(n);
  }
  return true;
}

class WindowsReplacement : public FileReplacement {
 public:
  WindowsReplacement(std::string path, std::string temp, UniqueHandle file)
      : path_(std::move(path)), temp_(std::move(temp)), file_(std::move(file)) {}
  ~WindowsReplacement() override {
    // The handle first: a file still open is not deleted.
    file_.Reset();
    if (!committed_) ::DeleteFileA(temp_.c_str());
  }

  // A full disk or a quota shows now, before the camera is read.
  bool Reserve(std::size_t bytes) {
    return bytes == 0 || (SeekTo(file_.get(), bytes) && ::SetEndOfFile(file_.get()) != 0 &&
                          SeekTo(file_.get(), 0));
  }

  bool Commit(std::string_view data, std::string* error) override {
    bool ok = SeekTo(file_.get(), 0) && WriteAll(file_.get(), data) &&
              ::SetEndOfFile(file_.get()) != 0 && ::FlushFileBuffers(file_.get()) != 0;
    if (!ok) *error = SystemError("cannot write", temp_);
    if (!file_.Close() && ok) {
      ok = false;
      *error = SystemError("cannot write", temp_);
    }
    // Write-through: the move is on the disk when the call returns.
    if (ok && !::MoveFileExA(temp_.c_str(), path_.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ok = false;
      *error = SystemError("cannot rename the temporary file to", path_);
    }
    committed_ = ok;
    return ok;
  }

 private:
  std::string path_, temp_;
  UniqueHandle file_;
};

}  // namespace

std::unique_ptr<FileReplacement> FileReplacement::Open(const std::string& path, std::size_t bytes,
                                                       std::string* error) {
  if (const std::string why = CannotReplace(path); !why.empty()) {
    *error = why;
    return nullptr;
  }
  // The temporary file goes next to path (".name.tmp-XXXXXX"), on its volume.
  std::size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1]) && path[cut - 1] != ':') --cut;
  const std::string prefix = path.substr(0, cut), base = path.substr(cut);
  const std::string dir = prefix.empty() ? "." : prefix;
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device random;
  std::string temp;
  UniqueHandle file;
  for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
    temp = prefix + "." + base + ".tmp-";
    for (int i = 0; i < 6; ++i) temp += kLetters[random() % (sizeof kLetters - 1)];
    file.Reset(::CreateFileA(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() && ::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (!file.valid()) {
    *error = SystemError("cannot make a temporary file in", dir);
    return nullptr;
  }
  auto replacement = std::make_unique<WindowsReplacement>(path, temp, std::move(file));
  if (!replacement->Reserve(bytes)) {
    *error = SystemError("no room for the dump in", dir);
    return nullptr;
  }
  return replacement;
}

}  // namespace backup
