#include "cli/commands.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "camera/Outcome.h"
#include "cli/journal.h"
#include "cli/link.h"
#include "cli/progress.h"
#include "cli/reader.h"

namespace cli {
namespace {

void Error(const std::string& text) {
  std::fprintf(stderr, "corvane-cli: %s\n", text.c_str());
  std::fflush(stderr);
}

// A result line on standard output, flushed at once for pipes and scripts.
void Result(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

// Whether a stop signal has come (see Options::stop).
bool Stopped(const Options& options) {
  return options.stop != nullptr && options.stop->Received() != 0;
}

// The exit status of a command that a stop signal ended.
int StopStatus(const Options& options) {
  return options.stop->ExitStatus();
}

void Summary(const Options& options, const std::string& text) {
  if (options.quiet) return;
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

std::string Plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string WithNote(std::string text, const ReadOutcome& read) {
  const std::string note = read.SessionNote();
  return note.empty() ? text : text + "; " + note;
}

// The checks every command that talks to the camera makes first.
bool CheckPort(const Options& options, PortChoice* choice) {
  if (options.port.empty()) return true;
  std::string error;
  const auto parsed = ParsePortChoice(options.port, &error);
  if (!parsed) {
    Error(error);
    return false;
  }
  *choice = *parsed;
  return true;
}

std::unique_ptr<CameraLink> OpenLink(const PortChoice& choice) {
  std::string error;
  auto link = CameraLink::Open(choice, &error);
  if (!link) Error(error);
  return link;
}

std::unique_ptr<Journal> OpenJournal(const Options& options) {
  std::string error;
  auto journal =
      Journal::Open(options.journal.empty() ? DefaultJournalPath() : options.journal, &error);
  if (!journal) Error(error);
  return journal;
}

// The dump file that verify and restore work from; false, with the
// message, for one that cannot be used.
bool LoadFile(const Options& options, Image* file) {
  std::string error;
  if (LoadDump(options.file, options.format, PageRange{options.page}, file, &error)) return true;
  Error(error + "; nothing was sent");
  return false;
}

// ReadCells with a progress bar that is gone when it returns.
ReadOutcome ReadShowingProgress(CameraLink& link, const std::vector<Cell>& cells,
                                const Options& options) {
  Progress progress(cells.size(), !options.quiet);
  return ReadCells(link, cells, options.safe, options.stop, progress);
}

std::vector<Cell> CellsOf(const Image& image) {
  std::vector<Cell> cells;
  for (int index = 0; index < kCells; ++index) {
    if (image.Has(Cell{index})) cells.push_back(Cell{index});
  }
  return cells;
}

// The reads that stopped early: the message for a camera that stopped
// answering, and the status.
int ReadFailure(const ReadOutcome& read, const std::vector<Cell>& cells, const Options& options) {
  if (read.interrupted) return StopStatus(options);
  Error("the camera did not answer when reading " + CellName(cells[read.done]));
  return kExitNoAnswer;
}

// One journalled Write transaction and its result line.
enum class Written { kDone, kDiffers, kFailed, kJournalFailed };

// record: what writes (undoOf, forced), the cell, its old and new code.
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
  const std::string result = link.Write(cell, newCode);
  const auto readBack = EngineCode(result);
  Written written = Written::kFailed;
  if (readBack) {
    record.readBack = *readBack;
    const bool same = *readBack == newCode;
    record.state = same ? JournalRecord::State::kDone : JournalRecord::State::kDiffers;
    written = same ? Written::kDone : Written::kDiffers;
  } else {
    record.state = JournalRecord::State::kFailed;
    record.failure = result;
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
    Error("writing " + CellName(cell) + " failed (" + result +
          "): " + camera::FailureMeaning(camera::OutcomeOfText(result)));
  }
  return written;
}

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

// The code the cell holds, or the message for a camera that does not answer.
std::optional<int> ReadBeforeWriting(CameraLink& link, Cell cell) {
  const auto old = link.Read(cell);
  if (!old) {
    Error("the camera did not answer when reading " + CellName(cell) + "; it was not written");
  }
  return old;
}

// One record of undo: its cell read first, then the old code written back
// (or nothing, see PlanUndo). The status; *stop when the undo must go no
// further.
int UndoOne(CameraLink& link, Journal& journal, const JournalRecord& r, bool undoCutOff,
            const Options& options, bool first, bool* stop) {
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

int RunRead(const Options& options) {
  PortChoice choice;
  if (!CheckPort(options, &choice)) return kExitBadInput;
  std::vector<Cell> cells;
  if (!ParseAll(options.args, ParseCell, &cells)) return kExitBadInput;
  auto link = OpenLink(choice);
  if (!link) return kExitNoPort;
  for (const Cell cell : cells) {
    if (Stopped(options)) return StopStatus(options);
    const auto code = link->Read(cell);
    if (!code) {
      Error("the camera did not answer when reading " + CellName(cell));
      return kExitNoAnswer;
    }
    Result(CellName(cell) + " " + CodeText(*code));
  }
  return Stopped(options) ? StopStatus(options) : kExitDone;
}

int RunWrite(const Options& options) {
  PortChoice choice;
  if (!CheckPort(options, &choice)) return kExitBadInput;
  std::vector<CellCode> writes;
  if (!ParseAll(options.args, ParseCellCode, &writes)) return kExitBadInput;
  auto journal = OpenJournal(options);
  if (!journal) return kExitBadInput;
  auto link = OpenLink(choice);
  if (!link) return kExitNoPort;
  int status = kExitDone;
  for (const CellCode& write : writes) {
    if (Stopped(options)) return StopStatus(options);
    const auto old = ReadBeforeWriting(*link, write.cell);
    if (!old) return kExitNoAnswer;
    JournalRecord record;
    record.cell = write.cell;
    record.oldCode = *old;
    record.newCode = write.code;
    const int result = StatusOf(JournalledWrite(*link, *journal, record));
    if (result > kExitDiffers) return result;
    status = std::max(status, result);
  }
  return Stopped(options) ? StopStatus(options) : status;
}

int RunDump(const Options& options) {
  PortChoice choice;
  if (!CheckPort(options, &choice)) return kExitBadInput;
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
  if (!toStdout) {
    std::string error;
    file = FileReplacement::Open(options.output, DumpContent(blank, format, range).size(), &error);
    if (!file) {
      Error(error + "; nothing was sent");
      return kExitBadInput;
    }
  }
  auto link = OpenLink(choice);
  if (!link) return kExitNoPort;

  const ReadOutcome read = ReadShowingProgress(*link, cells, options);
  const std::string kept = toStdout ? "" : " (" + options.output + " is left as it was)";
  if (read.done != cells.size()) {
    const int status = ReadFailure(read, cells, options);
    Summary(options,
            WithNote((read.interrupted ? "interrupted: " : "") + std::to_string(read.done) +
                         " of " + Plural(cells.size(), "cell", "cells") + " read in " +
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
      options,
      WithNote(Plural(read.done, "cell", "cells") + " read in " + SecondsText(read.seconds), read));
  return kExitDone;
}

int RunVerify(const Options& options) {
  PortChoice choice;
  if (!CheckPort(options, &choice)) return kExitBadInput;
  Image file;
  if (!LoadFile(options, &file)) return kExitBadInput;
  auto link = OpenLink(choice);
  if (!link) return kExitNoPort;
  const std::vector<Cell> cells = CellsOf(file);
  const ReadOutcome read = ReadShowingProgress(*link, cells, options);
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
    const int status = ReadFailure(read, cells, options);
    Summary(options, WithNote((read.interrupted ? "interrupted: " : "") + counts, read));
    return status;
  }
  Summary(options, WithNote(counts, read));
  return differ == 0 ? kExitDone : kExitDiffers;
}

int RunRestore(const Options& options) {
  PortChoice choice;
  if (!CheckPort(options, &choice)) return kExitBadInput;
  Image file;
  if (!LoadFile(options, &file)) return kExitBadInput;
  std::unique_ptr<Journal> journal;
  if (!options.dryRun) {
    journal = OpenJournal(options);
    if (!journal) return kExitBadInput;
  }
  auto link = OpenLink(choice);
  if (!link) return kExitNoPort;
  const std::vector<Cell> cells = CellsOf(file);
  const ReadOutcome read = ReadShowingProgress(*link, cells, options);
  if (read.done != cells.size()) {
    const int status = ReadFailure(read, cells, options);
    Summary(
        options,
        WithNote((read.interrupted ? "interrupted: " : "") + std::to_string(read.done) + " of " +
                     Plural(cells.size(), "cell", "cells") + " read; nothing was written",
                 read));
    return status;
  }
  std::vector<Cell> differing;
  for (const Cell cell : cells) {
    if (read.codes.Code(cell) != file.Code(cell)) differing.push_back(cell);
  }
  const std::size_t unchanged = cells.size() - differing.size();
  if (options.dryRun) {
    for (const Cell cell : differing) {
      Result(CellName(cell) + " " + CodeText(read.codes.Code(cell)) + " -> " +
             CodeText(file.Code(cell)) + " (not written: dry run)");
    }
    Summary(options, WithNote(Plural(differing.size(), "cell", "cells") + " would be written, " +
                                  std::to_string(unchanged) + " unchanged",
                              read));
    return differing.empty() ? kExitDone : kExitDiffers;
  }

  std::size_t written = 0, readBackDiffers = 0;
  int status = kExitDone;
  {
    Progress progress(differing.size(), !options.quiet);
    for (const Cell cell : differing) {
      if (Stopped(options)) break;
      progress.Clear();
      JournalRecord record;
      record.cell = cell;
      record.oldCode = read.codes.Code(cell);
      record.newCode = file.Code(cell);
      const Written result = JournalledWrite(*link, *journal, record);
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
  const bool stopped = Stopped(options);
  if (stopped) status = StopStatus(options);
  const std::size_t left = differing.size() - written - readBackDiffers;
  std::string text = (stopped ? "interrupted: " : "") + Plural(written, "cell", "cells") +
                     " written, " + std::to_string(unchanged) + " unchanged";
  if (readBackDiffers != 0) {
    text += ", " + std::to_string(readBackDiffers) + " read back differently";
  }
  if (left != 0) text += ", " + std::to_string(left) + " not written";
  Summary(options, WithNote(text, read));
  return status;
}

int RunUndo(const Options& options) {
  PortChoice choice;
  if (!CheckPort(options, &choice)) return kExitBadInput;
  if (options.count < 1) {
    Error("undo takes a number of writes of 1 or more");
    return kExitBadInput;
  }
  auto journal = OpenJournal(options);
  if (!journal) return kExitBadInput;
  // Held from reading the records until the last undo is journalled, so
  // that two undo runs never take the same record.
  const Journal::Lock lock(*journal);
  if (!lock.ok()) {
    Error(lock.error() + "; nothing was undone");
    return kExitBadInput;
  }
  std::vector<JournalRecord> records;
  std::string error, warning;
  if (!journal->Read(&records, &warning, &error)) {
    Error(error + "; nothing was undone");
    return kExitBadInput;
  }
  if (!warning.empty()) Error(warning);
  const std::size_t want = static_cast<std::size_t>(options.count);
  const std::vector<JournalRecord> undo = UndoCandidates(records, want);
  if (undo.size() < want) {
    Error((undo.empty() ? std::string("no journalled write")
                        : "only " + Plural(undo.size(), "journalled write", "journalled writes")) +
          " left to undo in " + journal->path() + "; nothing was undone");
    return kExitBadInput;
  }
  auto link = OpenLink(choice);
  if (!link) return kExitNoPort;
  int status = kExitDone;
  bool stop = false;
  for (const JournalRecord& record : undo) {
    if (Stopped(options)) return StopStatus(options);
    const int result = UndoOne(*link, *journal, record, UndoCutOff(records, record.number), options,
                               &record == &undo.front(), &stop);
    if (result > kExitDiffers || stop) return result;
    status = std::max(status, result);
  }
  return Stopped(options) ? StopStatus(options) : status;
}

}  // namespace cli
