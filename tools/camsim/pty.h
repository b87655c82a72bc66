// Pseudo-terminals and the symbolic link that names one: the line the
// simulated camera sits on. Plain POSIX.
#pragma once

#include <string>

#include "platform/posix/fd.h"

namespace camsim {

using platform::UniqueFd;

// One pseudo-terminal: the master (the camera's end, non-blocking), the
// camera's own descriptor of the slave (held so that the master never sees
// a hang-up merely because the tester has closed the line), and the slave's
// path, which the tester opens.
struct Pty {
  UniqueFd master;
  UniqueFd slave;
  std::string slavePath;
};

// Opens a pseudo-terminal and puts its line into raw mode at 9600 baud,
// 8 data bits, no parity. On failure returns false and sets *error.
bool OpenPty(Pty* pty, std::string* error);

// Makes linkPath a symbolic link to target, atomically replacing an existing
// symbolic link there. An existing file that is not a symbolic link is left
// alone and reported as an error.
bool PointLink(const std::string& linkPath, const std::string& target, std::string* error);

// Removes linkPath if it is a symbolic link to target (a link that someone
// else has re-pointed is left alone).
void RemoveLink(const std::string& linkPath, const std::string& target);

}  // namespace camsim
