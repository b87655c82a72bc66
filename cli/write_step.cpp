#include "cli/write_step.h"

#include "cli/output.h"

namespace cli {

using backup::Cell;
using backup::CellName;
using backup::CodeText;
using backup::Journal;
using backup::JournalRecord;

int StatusOf(Written written) {
  switch (written) {
    case Written::kDone:
      return kExitDone;
    case Written::kDiffers:
      return kExitDiffers;
    case Written::kFailed:
      return kExitNoAnswer;
    case Written::kJournalFailed:
      break;
  }
  return kExitLocalFailure;
}

std::optional<int> ReadBeforeWriting(CameraLink& link, Cell cell) {
  Trouble trouble;
  const auto old = link.Read(cell, &trouble);
  if (!old) Error(TroubleLine(trouble) + "; it was not written");
  return old;
}

Written JournalledWrite(CameraLink& link, Journal& journal, JournalRecord record) {
  const Cell cell = record.cell;
  const int oldCode = record.oldCode, newCode = record.newCode;
  record.port = link.port();
  record.path = link.path();
  std::string error;
  if (!journal.Begin(&record, &error)) {
    Error(error + "; " + CellName(cell) + " was not written");
    return Written::kJournalFailed;
  }
  if (const std::string notice = journal.TakeNotice(); !notice.empty()) Error(notice);
  Trouble trouble;
  const auto readBack = link.Write(cell, newCode, &trouble);
  Written written = Written::kFailed;
  if (readBack) {
    record.readBack = *readBack;
    const bool same = *readBack == newCode;
    record.state = same ? JournalRecord::State::kDone : JournalRecord::State::kDiffers;
    written = same ? Written::kDone : Written::kDiffers;
  } else {
    record.state = JournalRecord::State::kFailed;
    record.failure = trouble.outcome;
  }
  if (!journal.Finish(record, &error)) {
    Error(error + "; the journal keeps the write of " + CellName(cell) + " as \"sending\"");
    written = Written::kJournalFailed;
  }
  if (readBack) {
    Result(CellName(cell) + " " + CodeText(oldCode) + " -> " + CodeText(*readBack));
    if (*readBack != newCode) {
      Error(CellName(cell) + " reads back " + CodeText(*readBack) + ", not " + CodeText(newCode));
    }
  } else {
    Error(TroubleLine(trouble));
  }
  return written;
}

}  // namespace cli
