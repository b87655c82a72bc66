// The command line of corvane-camsim, turned into CamsimOptions.
#pragma once

#include <string>

#include "tools/camsim/camsim.h"

namespace camsim {

enum class ParseResult { kRun, kHelp, kError };

// Parses argv[1..argc-1]. kError sets *error to a one-line message.
ParseResult ParseArgs(int argc, const char* const* argv, CamsimOptions* options,
                      std::string* error);

// The text printed by --help.
const char* UsageText();

}  // namespace camsim
