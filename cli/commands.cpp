// read, write, dump, verify and restore.
#include "cli/commands.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "backup/restore_plan.h"
#include "cli/prepare.h"
#include "cli/progress.h"
#include "cli/reader.h"
#include "cli/write_step.h"

namespace cli {

using backup::Cell;
using backup::CellCode;
using backup::CellName;
using backup::CodeText;
using backup::DryRunLines;
using backup::DryRunSummary;
using backup::DumpContent;
using backup::FileReplacement;
using backup::Format;
using backup::Image;
using backup::JournalRecord;
using backup::kCells;
using backup::PageRange;
using backup::ParseCell;
using backup::ParseCellCode;
using backup::PlanRestore;
using backup::RestorePlan;
using backup::RestoreWrite;
namespace {

std::string WithNote(std::string text, const ReadOutcome& read) {
  const std::string note = read.SessionNote();
  return note.empty() ? text : text + "; " + note;
}

// ReadCells with a progress bar that is gone when it returns.
ReadOutcome ReadShowingProgress(CameraLink& link, const std::vector<Cell>& cells,
                                const CommonOptions& common) {
  Progress progress(cells.size(), !common.quiet);
  return ReadCells(link, cells, common.safe, common.stop, progress);
}

std::vector<Cell> CellsOf(const Image& image) {
  std::vector<Cell> cells;
  for (int index = 0; index < kCells; ++index) {
    if (image.Has(Cell{index})) cells.push_back(Cell{index});
  }
  return cells;
}

// The reads that stopped early: the line for a camera that stopped
// answering, and the status.
int ReadFailure(const ReadOutcome& read, const CommonOptions& common) {
  if (!read.failure) return common.StopStatus();  // interrupted
  Error(TroubleLine(*read.failure));
  return TroubleStatus(*read.failure);
}

// "interrupted: " when a stop signal ended the reads.
std::string Interrupted(const ReadOutcome& read) {
  return read.interrupted ? "interrupted: " : "";
}

// Parses every argument with parse(text, &error), or says what is wrong
// with the first bad one.
template <class T, class Parse>
bool ParseAll(const std::vector<std::string>& args, Parse parse, std::vector<T>* out) {
  for (const std::string& arg : args) {
    std::string error;
    const auto value = parse(arg, &error);
    if (!value) {
      Error(error);
      return false;
    }
    out->push_back(*value);
  }
  return true;
}

}  // namespace

int RunRead(const CommonOptions& common, const ReadOptions& options) {
  std::vector<Cell> cells;
  Needs needs;
  needs.arguments = [&] { return ParseAll(options.cells, ParseCell, &cells); };
  Prepared ready;
  if (const auto status = Prepare(common, needs, &ready)) return *status;
  for (const Cell cell : cells) {
    if (common.Stopped()) return common.StopStatus();
    Trouble trouble;
    const auto code = ready.link->Read(cell, &trouble);
    if (!code) {
      Error(TroubleLine(trouble));
      return TroubleStatus(trouble);
    }
    Result(CellName(cell) + " " + CodeText(*code));
  }
  return common.Stopped() ? common.StopStatus() : kExitDone;
}

int RunWrite(const CommonOptions& common, const WriteOptions& options) {
  std::vector<CellCode> writes;
  Needs needs;
  needs.arguments = [&] { return ParseAll(options.writes, ParseCellCode, &writes); };
  needs.journal = true;
  Prepared ready;
  if (const auto status = Prepare(common, needs, &ready)) return *status;
  int status = kExitDone;
  for (const CellCode& write : writes) {
    if (common.Stopped()) return common.StopStatus();
    const auto old = ReadBeforeWriting(*ready.link, write.cell);
    if (!old) return kExitNoAnswer;
    JournalRecord record;
    record.cell = write.cell;
    record.oldCode = *old;
    record.newCode = write.code;
    const int result = StatusOf(JournalledWrite(*ready.link, *ready.journal, record));
    if (result > kExitDiffers) return result;
    status = std::max(status, result);
  }
  return common.Stopped() ? common.StopStatus() : status;
}

int RunDump(const CommonOptions& common, const DumpOptions& options) {
  const PageRange range{options.page};
  const bool toStdout = options.output.empty() || options.output == "-";
  const Format format = options.format.value_or(Format::kIntelHex);
  std::vector<Cell> cells;
  Image blank;  // the dump's size does not depend on the codes
  for (int index = range.first(); index < range.end(); ++index) {
    cells.push_back(Cell{index});
    blank.Set(Cell{index}, 0);
  }
  std::unique_ptr<FileReplacement> file;
  Needs needs;
  needs.beforeLink = [&](Prepared&) -> std::optional<int> {
    if (toStdout) return std::nullopt;
    std::string error;
    file = FileReplacement::Open(options.output, DumpContent(blank, format, range).size(), &error);
    if (file) return std::nullopt;
    Error(error + "; nothing was sent");
    return kExitBadInput;
  };
  Prepared ready;
  if (const auto status = Prepare(common, needs, &ready)) return *status;

  const ReadOutcome read = ReadShowingProgress(*ready.link, cells, common);
  const std::string kept = toStdout ? "" : " (" + options.output + " is left as it was)";
  if (read.done != cells.size()) {
    const int status = ReadFailure(read, common);
    Summary(common.quiet,
            WithNote(Interrupted(read) + std::to_string(read.done) + " of " +
                         Plural(cells.size(), "cell", "cells") + " read in " +
                         SecondsText(read.seconds) + "; the dump was not written" + kept,
                     read));
    return status;
  }
  const std::string content = DumpContent(read.codes, format, range);
  if (toStdout) {
    if (std::fwrite(content.data(), 1, content.size(), stdout) != content.size() ||
        std::fflush(stdout) != 0) {
      Error("cannot write the dump to standard output");
      return kExitLocalFailure;
    }
  } else {
    std::string error;
    if (!file->Commit(content, &error)) {
      Error(error + (file->committed() ? "" : kept));
      return kExitLocalFailure;
    }
  }
  Summary(
      common.quiet,
      WithNote(Plural(read.done, "cell", "cells") + " read in " + SecondsText(read.seconds), read));
  return kExitDone;
}

int RunVerify(const CommonOptions& common, const FileOptions& options) {
  Needs needs;
  needs.file = &options;
  Prepared ready;
  if (const auto status = Prepare(common, needs, &ready)) return *status;
  const Image& file = ready.file;
  const std::vector<Cell> cells = CellsOf(file);
  const ReadOutcome read = ReadShowingProgress(*ready.link, cells, common);
  std::size_t differ = 0;
  for (const Cell cell : cells) {
    if (!read.codes.Has(cell) || read.codes.Code(cell) == file.Code(cell)) continue;
    ++differ;
    Result(CellName(cell) + " camera " + CodeText(read.codes.Code(cell)) + " file " +
           CodeText(file.Code(cell)));
  }
  const std::string counts =
      std::to_string(read.done) +
      (read.done == cells.size() ? "" : " of " + std::to_string(cells.size())) +
      (cells.size() == 1 ? " cell" : " cells") + " compared in " + SecondsText(read.seconds) +
      ": " + (differ == 0 ? std::string("no difference") : Plural(differ, "differs", "differ"));
  if (read.done != cells.size()) {
    const int status = ReadFailure(read, common);
    Summary(common.quiet, WithNote(Interrupted(read) + counts, read));
    return status;
  }
  Summary(common.quiet, WithNote(counts, read));
  return differ == 0 ? kExitDone : kExitDiffers;
}

int RunRestore(const CommonOptions& common, const RestoreOptions& options) {
  Needs needs;
  needs.file = &options.from;
  needs.journal = !options.dryRun;
  Prepared ready;
  if (const auto status = Prepare(common, needs, &ready)) return *status;
  const std::vector<Cell> cells = CellsOf(ready.file);
  const ReadOutcome read = ReadShowingProgress(*ready.link, cells, common);
  if (read.done != cells.size()) {
    const int status = ReadFailure(read, common);
    Summary(common.quiet,
            WithNote(Interrupted(read) + std::to_string(read.done) + " of " +
                         Plural(cells.size(), "cell", "cells") + " read; nothing was written",
                     read));
    return status;
  }
  const RestorePlan plan = PlanRestore(ready.file, read.codes);
  if (options.dryRun) {
    for (const std::string& line : DryRunLines(plan)) Result(line);
    Summary(common.quiet, WithNote(DryRunSummary(plan), read));
    return plan.writes.empty() ? kExitDone : kExitDiffers;
  }

  std::size_t written = 0, readBackDiffers = 0;
  int status = kExitDone;
  {
    Progress progress(plan.writes.size(), !common.quiet);
    for (const RestoreWrite& step : plan.writes) {
      if (common.Stopped()) break;
      progress.Clear();
      JournalRecord record;
      record.cell = step.cell;
      record.oldCode = step.held;
      record.newCode = step.code;
      const Written result = JournalledWrite(*ready.link, *ready.journal, record);
      if (result == Written::kDone) ++written;
      if (result == Written::kDiffers) ++readBackDiffers;
      if (result == Written::kFailed || result == Written::kJournalFailed) {
        status = StatusOf(result);
        break;
      }
      if (result == Written::kDiffers) status = kExitDiffers;
      progress.Update(written + readBackDiffers);
    }
  }
  const bool stopped = common.Stopped();
  if (stopped) status = common.StopStatus();
  const std::size_t left = plan.writes.size() - written - readBackDiffers;
  std::string text = (stopped ? "interrupted: " : "") + Plural(written, "cell", "cells") +
                     " written, " + std::to_string(plan.unchanged) + " unchanged";
  if (readBackDiffers != 0) {
    text += ", " + std::to_string(readBackDiffers) + " read back differently";
  }
  if (left != 0) text += ", " + std::to_string(left) + " not written";
  Summary(common.quiet, WithNote(text, read));
  return status;
}

}  // namespace cli
