// undo: the old codes of the last journalled writes written back, each
// cell read first.
#include <algorithm>
#include <optional>

#include "cli/commands.h"
#include "cli/prepare.h"
#include "cli/write_step.h"

namespace cli {

using backup::CellName;
using backup::CodeText;
using backup::Journal;
using backup::JournalRecord;
using backup::LeftCode;
using backup::PlanUndo;
using backup::UndoCandidates;
using backup::UndoCutOff;
using backup::UndoStep;
namespace {

// One record of undo: its cell read first, then the old code written back
// (or nothing, see PlanUndo). The status; *stop when the undo must go no
// further.
int UndoOne(CameraLink& link, Journal& journal, const JournalRecord& r, bool undoCutOff,
            const UndoOptions& options, bool first, bool* stop) {
  const auto held = ReadBeforeWriting(link, r.cell);
  if (!held) return kExitNoAnswer;
  JournalRecord undo;
  undo.undoOf = r.number;
  undo.cell = r.cell;
  undo.oldCode = *held;
  undo.newCode = r.oldCode;
  const UndoStep step = PlanUndo(r, *held, undoCutOff);
  if (step == UndoStep::kHeldAlready) {
    undo.port = link.port();
    undo.path = link.path();
    undo.state = JournalRecord::State::kDone;
    undo.readBack = *held;
    undo.nothingSent = true;
    std::string error;
    if (!journal.Add(&undo, &error)) {
      Error(error + "; write #" + std::to_string(r.number) + " is not marked undone");
      return kExitLocalFailure;
    }
    if (const std::string notice = journal.TakeNotice(); !notice.empty()) Error(notice);
    Result(CellName(r.cell) + " holds " + CodeText(*held) + " already; nothing sent");
    return kExitDone;
  }
  if (step == UndoStep::kRefuse && !options.force) {
    const bool sure =
        r.state == JournalRecord::State::kDone || r.state == JournalRecord::State::kDiffers;
    Error(CellName(r.cell) + " holds " + CodeText(*held) + ", not " + CodeText(LeftCode(r)) +
          " as write #" + std::to_string(r.number) + (sure ? " left it; " : " may have left it; ") +
          (first ? "nothing was written" : "it and the writes before it were not undone") +
          " (undo --force writes " + CodeText(r.oldCode) + " anyway)");
    *stop = true;
    return kExitDiffers;
  }
  undo.forced = step == UndoStep::kRefuse;
  return StatusOf(JournalledWrite(link, journal, undo));
}

}  // namespace

int RunUndo(const CommonOptions& common, const UndoOptions& options) {
  std::vector<JournalRecord> records, undo;
  // Declared after `ready`, whose journal it locks: held from reading the
  // records until the last undo is journalled, so that two undo runs never
  // take the same record.
  Prepared ready;
  std::optional<Journal::Lock> lock;
  Needs needs;
  needs.arguments = [&] {
    if (options.count >= 1) return true;
    Error("undo takes a number of writes of 1 or more");
    return false;
  };
  needs.journal = true;
  needs.beforeLink = [&](Prepared& p) -> std::optional<int> {
    Journal& journal = *p.journal;
    lock.emplace(journal);
    if (!lock->ok()) {
      Error(lock->error() + "; nothing was undone");
      return kExitBadInput;
    }
    std::string error, warning;
    if (!journal.Read(&records, &warning, &error)) {
      Error(error + "; nothing was undone");
      return kExitBadInput;
    }
    if (!warning.empty()) Error(warning);
    const std::size_t want = static_cast<std::size_t>(options.count);
    undo = UndoCandidates(records, want);
    if (undo.size() < want) {
      Error((undo.empty()
                 ? std::string("no journalled write")
                 : "only " + Plural(undo.size(), "journalled write", "journalled writes")) +
            " left to undo in " + journal.path() + "; nothing was undone");
      return kExitBadInput;
    }
    return std::nullopt;
  };
  if (const auto status = Prepare(common, needs, &ready)) return *status;
  int status = kExitDone;
  bool stop = false;
  for (const JournalRecord& record : undo) {
    if (common.Stopped()) return common.StopStatus();
    const int result =
        UndoOne(*ready.link, *ready.journal, record, UndoCutOff(records, record.number), options,
                &record == &undo.front(), &stop);
    if (result > kExitDiffers || stop) return result;
    status = std::max(status, result);
  }
  return common.Stopped() ? common.StopStatus() : status;
}

}  // namespace cli
