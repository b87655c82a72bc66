#include "cli/reader.h"

#include <chrono>

#include "cli/trace.h"

namespace cli {

std::string ReadOutcome::SessionNote() const {
  if (!sessionEnded) return "";
  return "the read session stopped answering at " + CellName(endedAt) + ", so " +
         std::to_string(oneByOne) + (oneByOne == 1 ? " cell was" : " cells were") +
         " read one Read transaction each";
}

ReadOutcome ReadCells(CameraLink& link, const std::vector<Cell>& cells, bool safe,
                      const platform::StopSignals* stop, Progress& progress) {
  const auto start = std::chrono::steady_clock::now();
  const auto stopped = [stop] { return stop != nullptr && stop->Received() != 0; };
  ReadOutcome out;
  bool session = !safe && !cells.empty() && !stopped();
  if (session && !link.BeginSession()) {
    session = false;
    out.sessionEnded = true;
    out.endedAt = cells.front();
    TraceNote("the read session did not open; reading one cell per Read transaction");
  }
  progress.Update(0);
  for (const Cell cell : cells) {
    if (stopped()) {
      out.interrupted = true;
      break;
    }
    std::optional<int> code;
    if (session && !link.SessionRead(cell, &code)) {
      session = false;
      out.sessionEnded = true;
      out.endedAt = cell;
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
      code = link.Read(cell);
      if (!code) {
        out.noAnswer = true;
        break;
      }
      if (out.sessionEnded) ++out.oneByOne;
    }
    out.codes.Set(cell, *code);
    progress.Update(++out.done);
  }
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return out;
}

}  // namespace cli
