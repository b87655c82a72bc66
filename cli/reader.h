// Reading a series of cells: in one read session of the engine (one
// opening, then one round per cell), or with one Read transaction per cell
// (--safe). When a step of the session goes unanswered, the session ends
// without a message of its own and the remaining cells are read one Read
// transaction each. Stops after the transaction that runs once a stop
// signal has come (stop, which may be null), and at the first Read that
// the camera does not answer. Main thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "backup/cells.h"
#include "cli/failures.h"
#include "cli/link.h"
#include "cli/progress.h"
#include "platform/process/stop_signals.h"

namespace cli {

using backup::Cell;
using backup::Image;

struct ReadOutcome {
  Image codes;           // the cells read
  std::size_t done = 0;  // how many
  bool interrupted = false;
  // The Read transaction that went unanswered; reading stopped there.
  std::optional<Trouble> failure;
  // The step of the session that went unanswered, when it ended early (its
  // cell: where it stopped answering).
  std::optional<Trouble> sessionEnd;
  std::size_t oneByOne = 0;  // cells read by Read transactions after the session ended
  double seconds = 0;

  // What the summary says about the session when it ended early, or "":
  // where it stopped answering, why when the port failed, and how many
  // cells were read one Read transaction each.
  std::string SessionNote() const;
};

ReadOutcome ReadCells(CameraLink& link, const std::vector<Cell>& cells, bool safe,
                      const platform::StopSignals* stop, Progress& progress);

}  // namespace cli
