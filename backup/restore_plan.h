// What restore does, as a pure function of the dump file and the codes
// read from the camera: which cells it writes, in which order, and what a
// dry run lists. No services.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "backup/cells.h"

namespace backup {

struct RestoreWrite {
  Cell cell;
  int held = 0;  // the code the camera holds
  int code = 0;  // the file's code, to be written
};

struct RestorePlan {
  std::vector<RestoreWrite> writes;  // the cells whose code differs, in address order
  std::size_t unchanged = 0;         // the file's cells that hold its code already
};

// The plan for the cells that file holds; read must hold each of them.
RestorePlan PlanRestore(const Image& file, const Image& read);

// The lines that a dry run prints, one per write in the plan's order:
// "0:F7 34 -> 5A (not written: dry run)".
std::vector<std::string> DryRunLines(const RestorePlan& plan);

// The dry run's summary: "3 cells would be written, 509 unchanged".
std::string DryRunSummary(const RestorePlan& plan);

}  // namespace backup
