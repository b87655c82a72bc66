// The journal: a record of every write to a camera, kept so that a mistaken
// write can be undone. One text line per event, appended and flushed to
// disk before the write frame is sent and again once the outcome is known:
//
//   2025-06-01T10:00:00.123Z #17 write COM1 /dev/ttyUSB0 0:F7 34 -> 5A sending
//   2025-06-01T10:00:00.450Z #17 write COM1 /dev/ttyUSB0 0:F7 34 -> 5A done, read back 5A
//   2025-06-01T10:00:05.000Z #18 undo#17 COM1 /dev/ttyUSB0 0:F7 5A -> 34 sending
//
// Fields: the time in UTC, the record number, what wrote (a write, or the
// undo of record N), the port ("-" for a device path given as such) and its
// path (blanks and unusual bytes as %XX), the cell, the old code, "->", the
// new code, and the state: "sending" (the record is made before the frame
// goes out; alone, it is a write that was cut off), then "done, read back
// XX", "DIFFERS, read back XX" or "FAILED XXXX: why". Lines that start with
// '#' are comments. Several programs may append to one journal: the record
// numbers are taken under an exclusive lock of the file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/cells.h"
#include "platform/fd.h"

namespace cli {

struct JournalRecord {
  long number = 0;
  long undoOf = 0;  // the record this one undoes, 0 for an ordinary write
  std::string port, path;
  Cell cell;
  int oldCode = 0, newCode = 0;
  enum class State { kSending, kDone, kDiffers, kFailed } state = State::kSending;
  int readBack = -1;    // kDone, kDiffers
  std::string failure;  // kFailed: the engine's failure text
};

// The journal's default place: $XDG_STATE_HOME/corvane/journal, or
// ~/.local/state/corvane/journal; empty when neither is known.
std::string DefaultJournalPath();

// Every record of the journal text, each in its latest state, in record
// order. A line that cannot be read is refused with its line number.
bool ParseJournal(const std::string& text, std::vector<JournalRecord>* records, std::string* error);

// The records that `undo` takes, newest first, at most n: ordinary writes
// that have not been undone by an undo that was done, except writes that
// failed before their write frame was sent.
std::vector<JournalRecord> UndoCandidates(const std::vector<JournalRecord>& records, std::size_t n);

class Journal {
 public:
  // Opens (and creates, with its directories) the journal at path for
  // appending. On failure returns null with *error.
  static std::unique_ptr<Journal> Open(const std::string& path, std::string* error);

  // Reads the whole journal.
  bool Read(std::vector<JournalRecord>* records, std::string* error);

  // Gives *record the next free number and appends its "sending" line;
  // returns once the line is on disk.
  bool Begin(JournalRecord* record, std::string* error);
  // Appends the line of record's outcome; returns once it is on disk.
  bool Finish(const JournalRecord& record, std::string* error);

  const std::string& path() const { return path_; }

 private:
  Journal(std::string path, platform::UniqueFd fd) : path_(std::move(path)), fd_(std::move(fd)) {}
  bool Append(const std::string& line, std::string* error);
  bool ReadLocked(std::string* text, std::string* error);

  std::string path_;
  platform::UniqueFd fd_;
};

}  // namespace cli
