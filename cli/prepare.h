// The one preparation step of the commands that talk to the camera: each
// says what it needs, and Prepare makes it ready in one order, so that bad
// input is refused before anything is made and nothing is sent before all
// is ready. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "backup/cells.h"
#include "backup/journal.h"
#include "cli/link.h"
#include "cli/options.h"

namespace cli {

using backup::Image;
using backup::Journal;

// What Prepare has made ready; each part only where the command needs it.
struct Prepared {
  Image file;  // the dump file's cells
  std::unique_ptr<Journal> journal;
  std::unique_ptr<CameraLink> link;
};

// What a command needs, in the order in which Prepare makes it ready.
struct Needs {
  // The command's own checks of its arguments (cells, codes): false after
  // their message.
  std::function<bool()> arguments;
  // The dump file to load and check (verify, restore).
  const FileOptions* file = nullptr;
  // The journal, opened (and made) at --journal or its default place.
  bool journal = false;
  // What must be done before the port is opened, once the file and the
  // journal are ready (undo chooses its records; dump makes its output
  // file): nothing, or the exit status after its message.
  std::function<std::optional<int>(Prepared&)> beforeLink;
};

// Checks --port, then the arguments, loads the file, opens the journal,
// runs beforeLink and opens the link. At the first step that fails its
// message is said (Error) and its exit status returned: kExitBadInput for
// the input (nothing was sent), kExitNoPort when no port opened or its line
// could not be set up. Nothing when all is ready in *ready.
std::optional<int> Prepare(const CommonOptions& common, const Needs& needs, Prepared* ready);

}  // namespace cli
