#include "cli/prepare.h"

#include "cli/output.h"

namespace cli {

using backup::Journal;
using backup::LoadDump;
using backup::PageRange;

std::optional<int> Prepare(const CommonOptions& common, const Needs& needs, Prepared* ready) {
  PortChoice choice;
  std::string error;
  if (!common.port.empty()) {
    const auto parsed = ParsePortChoice(common.port, &error);
    if (!parsed) {
      Error(error);
      return kExitBadInput;
    }
    choice = *parsed;
  }
  if (needs.arguments && !needs.arguments()) return kExitBadInput;
  if (needs.file != nullptr && !LoadDump(needs.file->file, needs.file->format,
                                         PageRange{needs.file->page}, &ready->file, &error)) {
    Error(error + "; nothing was sent");
    return kExitBadInput;
  }
  if (needs.journal) {
    const std::string& path = common.journal.empty() ? common.defaultJournal : common.journal;
    if (path.empty()) {
      Error("no place for the journal: set XDG_STATE_HOME or HOME, or give --journal FILE");
      return kExitBadInput;
    }
    ready->journal = Journal::Open(path, &error);
    if (!ready->journal) {
      Error(error);
      return kExitBadInput;
    }
  }
  if (needs.beforeLink) {
    if (const auto status = needs.beforeLink(*ready)) return status;
  }
  ready->link = CameraLink::Open(choice, &error);
  if (!ready->link) {
    Error(error);
    return kExitNoPort;
  }
  return std::nullopt;
}

}  // namespace cli
