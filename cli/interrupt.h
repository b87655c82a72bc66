// Ctrl-C. The first SIGINT asks the running command to stop once the
// transaction that runs has finished (a write is never cut in half); the
// command then prints its summary and ends with status 130. A second SIGINT
// ends the program at once with status 130, after removing the files that
// are registered with RemoveOnAbort; closing its descriptors then releases
// the port and its lock.
#pragma once

#include <string>
#include <thread>

#include "platform/fd.h"

namespace cli {

// Takes SIGINT for the whole process while it exists. Construct it first in
// main, before any other thread exists: it blocks SIGINT in the calling
// thread, every thread started later inherits that, and its own watcher
// thread takes the signal. One at a time.
class InterruptWatch {
 public:
  InterruptWatch();
  ~InterruptWatch();  // stops the watcher; SIGINT stays blocked
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

 private:
  void Watch();
  platform::UniqueFd signals_, stop_;
  std::thread watcher_;
};

// True once the first SIGINT has come. Any thread.
bool Interrupted();

// Registers path, for its lifetime, as a file that the immediate end
// removes. Any thread.
class RemoveOnAbort {
 public:
  explicit RemoveOnAbort(std::string path);
  ~RemoveOnAbort();
  RemoveOnAbort(const RemoveOnAbort&) = delete;
  RemoveOnAbort& operator=(const RemoveOnAbort&) = delete;

 private:
  std::string path_;
};

}  // namespace cli
