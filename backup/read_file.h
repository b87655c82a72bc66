// Reading a whole (small) file. Any thread.
#pragma once

#include <cstddef>
#include <string>

namespace backup {

// Reads the file at path into *data (appended). False with *error ("cannot
// open PATH: why", "cannot read PATH: why") when it cannot be read, and
// with *error empty when it holds more than maxBytes: then it is not read
// (or not all of it).
bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string* data,
                   std::string* error);

}  // namespace backup
