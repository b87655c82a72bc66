// Another program that appends to a journal, for backup_windows_test:
//   journal_append.exe JOURNAL EVENT
// Exits 3 when it can take the journal's lock at once (the test holds it),
// else sets the named event EVENT and adds a record for COM2 (exit 0, or 4
// when the append fails).
#include <windows.h>

#include <cstdio>

#include "backup/journal.h"
#include "backup/windows_handle.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  std::string error;
  auto journal = backup::Journal::Open(argv[1], &error);
  if (!journal) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 4;
  }
  // The lock as any other program sees it, on a handle of its own.
  const backup::UniqueHandle file(::CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  OVERLAPPED at{};
  if (!file.valid() || ::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY,
                                    0, MAXDWORD, MAXDWORD, &at)) {
    return 3;
  }
  const backup::UniqueHandle ready(::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]));
  if (!ready.valid() || !::SetEvent(ready.get())) return 2;
  backup::JournalRecord record;
  record.port = "COM2";
  if (!journal->Add(&record, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 4;
  }
  return 0;
}
