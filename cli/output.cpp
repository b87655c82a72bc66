#include "cli/output.h"

#include <cstdio>

namespace cli {

void Error(const std::string& text) {
  std::fprintf(stderr, "corvane-cli: %s\n", text.c_str());
  std::fflush(stderr);
}

void Result(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

void Summary(bool quiet, const std::string& text) {
  if (quiet) return;
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

std::string Plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace cli
