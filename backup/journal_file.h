// The journal's file as the operating system holds it: made with its
// folders, locked against other programs, read whole, and appended to with
// an append that fails taken out again. The text's format is the journal's
// (journal.h). One thread.
//
// POSIX: flock, O_APPEND, fsync, ftruncate; the folder is flushed when the
// file is made. Windows: LockFileEx over the whole file, WriteFile at the
// end, FlushFileBuffers, SetFilePointerEx and SetEndOfFile.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace backup {

class JournalFile {
 public:
  // Opens the file at path for reading and appending, and makes it (and
  // its folders) where it is missing: a file made survives a crash. Null
  // with *error otherwise.
  static std::unique_ptr<JournalFile> Open(const std::string& path, std::string* error);
  virtual ~JournalFile() = default;
  JournalFile(const JournalFile&) = delete;
  JournalFile& operator=(const JournalFile&) = delete;

  // Takes the file's lock, shared (to read) or exclusive (to append),
  // waiting while another program holds it the other way; false with
  // *error when it cannot be had. Unlock gives it back. Not nested.
  virtual bool Lock(bool exclusive, std::string* error) = 0;
  virtual void Unlock() = 0;

  // Under a lock: the whole content.
  virtual bool ReadAll(std::string* text, std::string* error) = 0;

  // Under a lock: the size in bytes and the last byte ('\n' when empty).
  struct End {
    std::uint64_t size = 0;
    char last = '\n';
  };
  virtual bool ReadEnd(End* end, std::string* error) = 0;

  // Under the exclusive lock, with end.size from ReadEnd under the same
  // lock: appends text and returns once it is on the disk. When that fails,
  // cuts the file back to end.size, so that no part of the text is left;
  // *error says why, and that the text was taken out again, or that it
  // could not be.
  virtual bool Append(std::string_view text, const End& end, std::string* error) = 0;

 protected:
  JournalFile() = default;
};

}  // namespace backup
