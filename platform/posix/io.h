// Writing a whole buffer and making a folder's entries durable: the POSIX
// idioms that the trace, the diagnostics lines, the journal and the dump
// file share. Plain POSIX. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Writes all of data to fd, going on after a short write and after EINTR.
// False when a write fails, with errno saying why (a write that takes no
// byte gives EIO); how much of data went out is then unknown.
bool WriteAll(int fd, std::string_view data);

// The folder that holds path as its name is written: "." for a name
// without '/', "/" for a name right under the root ("/x"), else all before
// the last '/'.
std::string ParentFolder(const std::string& path);

// Flushes the folder that holds path (ParentFolder) to the disk, so that an
// entry made or renamed in it survives a crash. A file system with nothing
// to flush for a folder (EINVAL) counts as done. False, with errno, when
// the folder cannot be opened or flushed.
bool SyncParentFolder(const std::string& path);

}  // namespace platform
