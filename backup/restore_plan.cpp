#include "backup/restore_plan.h"

namespace backup {

RestorePlan PlanRestore(const Image& file, const Image& read) {
  RestorePlan plan;
  for (int index = 0; index < kCells; ++index) {
    const Cell cell{index};
    if (!file.Has(cell)) continue;
    if (read.Code(cell) == file.Code(cell)) {
      ++plan.unchanged;
    } else {
      plan.writes.push_back(RestoreWrite{cell, read.Code(cell), file.Code(cell)});
    }
  }
  return plan;
}

std::vector<std::string> DryRunLines(const RestorePlan& plan) {
  std::vector<std::string> lines;
  for (const RestoreWrite& w : plan.writes) {
    lines.push_back(CellName(w.cell) + " " + CodeText(w.held) + " -> " + CodeText(w.code) +
                    " (not written: dry run)");
  }
  return lines;
}

std::string DryRunSummary(const RestorePlan& plan) {
  const std::size_t n = plan.writes.size();
  return std::to_string(n) + (n == 1 ? " cell" : " cells") + " would be written, " +
         std::to_string(plan.unchanged) + " unchanged";
}

}  // namespace backup
