#include "cli/reader.h"

#include <chrono>

#include "cli/trace.h"

namespace cli {

using backup::Cell;
using backup::CellName;

std::string ReadOutcome::SessionNote() const {
  if (!sessionEnd) return "";
  // A plain time-out is the session's ordinary end; a failure of the port
  // is said with it.
  const std::string why = sessionEnd->failure ? " (" + TroubleCause(*sessionEnd) + ")" : "";
  return "the read session stopped answering at " + CellName(sessionEnd->cell) + why + ", so " +
         std::to_string(oneByOne) + (oneByOne == 1 ? " cell was" : " cells were") +
         " read one Read transaction each";
}

ReadOutcome ReadCells(CameraLink& link, const std::vector<Cell>& cells, bool safe,
                      const platform::StopSignals* stop, Progress& progress) {
  const auto start = std::chrono::steady_clock::now();
  const auto stopped = [stop] { return stop != nullptr && stop->Received() != 0; };
  ReadOutcome out;
  bool session = !safe && !cells.empty() && !stopped();
  Trouble trouble;
  if (session && !link.BeginSession(cells.front(), &trouble)) {
    session = false;
    out.sessionEnd = trouble;
    TraceNote("the read session did not open; reading one cell per Read transaction");
  }
  progress.Update(0);
  for (const Cell cell : cells) {
    if (stopped()) {
      out.interrupted = true;
      break;
    }
    std::optional<int> code;
    if (session && !link.SessionRead(cell, &code, &trouble)) {
      session = false;
      out.sessionEnd = trouble;
      TraceNote("the read session stopped answering at cell " + CellName(cell) +
                "; reading on with one Read transaction per cell");
      if (code) {
        // The cell's read was answered before the time-out: it counts.
        out.codes.Set(cell, *code);
        progress.Update(++out.done);
        continue;
      }
    }
    if (!code) {
      code = link.Read(cell, &trouble);
      if (!code) {
        out.failure = trouble;
        break;
      }
      if (out.sessionEnd) ++out.oneByOne;
    }
    out.codes.Set(cell, *code);
    progress.Update(++out.done);
  }
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return out;
}

}  // namespace cli
