// The journal: a record of every write to a camera, kept so that a mistaken
// write can be undone. One text line per event, appended and flushed to
// disk before the write frame is sent and again once the outcome is known:
//
//   2025-06-01T10:00:00.123Z #17 write COM1 /dev/ttyUSB0 0:F7 34 -> 5A sending
//   2025-06-01T10:00:00.450Z #17 write COM1 /dev/ttyUSB0 0:F7 34 -> 5A done, read back 5A
//   2025-06-01T10:00:05.000Z #18 undo#17 COM1 /dev/ttyUSB0 0:F7 5A -> 34 sending
//
// Fields: the time in UTC, the record number, what wrote (a write, the undo
// of record N, or "force-undo#N" for an undo written with --force), the port
// ("-" for a device path given as such) and its path (blanks and unusual
// bytes as %XX), the cell, the old code, "->", the new code, and the state:
// "sending" (the record is made before the frame goes out; alone, it is a
// write that was cut off), then "done, read back XX", "DIFFERS, read back
// XX" or "FAILED XXXX: why"; an undo that found the cell holding the code it
// would write sends nothing and is journalled at once as "done, held XX
// already; nothing sent". Lines that start with '#' are comments. Several
// programs may append to one journal: every append is made under an
// exclusive lock of the file, and one that fails is taken out again, so that
// no part of a line is left. A line that a crash cut off, found last by the
// next append, is ended and followed by the comment kCutOffNote. Lines end
// in "\n" on every platform, so that a journal written on one reads on the
// other; "\r\n" is read too.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "backup/cells.h"
#include "backup/journal_file.h"
#include "camera/Outcome.h"

namespace backup {

struct JournalRecord {
  long number = 0;
  long undoOf = 0;  // the record this one undoes, 0 for an ordinary write
  std::string port, path;
  Cell cell;
  int oldCode = 0, newCode = 0;
  bool forced = false;  // an undo written with --force
  enum class State { kSending, kDone, kDiffers, kFailed } state = State::kSending;
  int readBack = -1;         // kDone, kDiffers
  bool nothingSent = false;  // kDone: the cell held readBack already, no frame went out
  // kFailed: how the write failed (its failure text, such as "XXXXF", is
  // what the journal line shows).
  camera::Outcome failure = camera::Outcome::kTimeOut;
};

// The comment that follows a line cut off by a crash once a later append has
// ended it: that line is then no record, and is passed over.
extern const char kCutOffNote[];

// Every record of the journal text, each in its latest state, in record
// order. A line that cannot be read is refused with its line number, except
// the last line (what a crash leaves; without its line end it is never
// read) and a line that kCutOffNote follows:
// those are passed over, the last one with *warning ("line 2098 is damaged
// (cut off?) and was skipped"; "" when there is none).
bool ParseJournal(const std::string& text, std::vector<JournalRecord>* records,
                  std::string* warning, std::string* error);

// The records that `undo` takes, newest first, at most n: ordinary writes
// that have not been undone by an undo that was done, except writes that
// failed before their write frame was sent.
std::vector<JournalRecord> UndoCandidates(const std::vector<JournalRecord>& records, std::size_t n);

// True when an undo of record `number` was cut off or failed after its frame
// may have gone out: the cell may hold the record's old code already.
bool UndoCutOff(const std::vector<JournalRecord>& records, long number);

// The code that record r left in its cell, as far as the journal knows: its
// read-back, or for a write left at "sending" or FAILED its new code.
int LeftCode(const JournalRecord& r);

// What undo does with record r when its cell holds `held`: write r's old
// code back (the cell holds LeftCode(r)); nothing, but journal r as undone
// (the cell holds r's old code, and r, or an undo of it that undoCutOff
// says was cut off, may not have reached the camera); or refuse (the cell
// holds another code: another camera, or a later change).
enum class UndoStep { kWrite, kHeldAlready, kRefuse };
UndoStep PlanUndo(const JournalRecord& r, int held, bool undoCutOff);

// One journal file, open for reading and appending. Each call locks the file
// for itself (shared to read, exclusive to append) unless a Lock holds it.
// One thread.
class Journal {
 public:
  // Opens (and creates, with its directories) the journal at path for
  // appending. On failure returns null with *error.
  static std::unique_ptr<Journal> Open(const std::string& path, std::string* error);

  // The journal's exclusive lock for as long as the object lives, so that
  // reading the records, choosing among them and journalling what was done
  // is one step to other programs; Read, Add, Begin and Finish work under it
  // without releasing it. At most one per Journal at a time.
  class Lock {
   public:
    explicit Lock(Journal& journal);  // waits while another program holds the file
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }  // why it was not got

   private:
    Journal& journal_;
    std::string error_;
  };

  // Reads the whole journal (see ParseJournal; *warning names a damaged
  // last line that was passed over, with the journal's path).
  bool Read(std::vector<JournalRecord>* records, std::string* warning, std::string* error);

  // Gives *record the next free number (one above the highest that any line
  // shows) and appends its line as it stands; returns once the line is on
  // disk. On failure nothing of the line is left (or *error says it is).
  bool Add(JournalRecord* record, std::string* error);
  // Add with the state "sending", before the write frame goes out.
  bool Begin(JournalRecord* record, std::string* error);
  // Appends the line of record's outcome; returns once it is on disk.
  bool Finish(const JournalRecord& record, std::string* error);

  // What the last append did beyond its own line, once, then "": it ended
  // and marked a last line that a crash had cut off, of which no Read of
  // this object has warned ("the journal J: its
  // last line was cut off (a crash?); it was ended, marked and is passed
  // over").
  std::string TakeNotice() { return std::exchange(notice_, std::string()); }

  const std::string& path() const { return path_; }

 private:
  class Step;
  Journal(std::string path, std::unique_ptr<JournalFile> file)
      : path_(std::move(path)), file_(std::move(file)) {}
  bool Append(const std::string& line, std::string* error);

  std::string path_;
  std::unique_ptr<JournalFile> file_;
  std::string notice_;       // see TakeNotice
  bool toldCutOff_ = false;  // Read has warned of a cut-off last line
  bool locked_ = false;      // a Lock holds the file
};

}  // namespace backup
