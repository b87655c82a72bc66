#include "backup/journal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string_view>

#include "camera/Outcome.h"

namespace backup {
namespace {

const char kHeader[] =
    "# corvane journal: time (UTC), record, what, port, path, cell, old -> new, state\n";
const char kHeldAlready[] = " already; nothing sent";

// "2025-06-01T10:00:00.123Z", from the system clock; the calendar is
// computed here, with no call of the system's time functions.
std::string UtcNow() {
  using namespace std::chrono;
  const auto now = floor<milliseconds>(system_clock::now());
  const auto day = floor<days>(now);
  const year_month_day date(day);
  const hh_mm_ss time(now - day);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()),
                static_cast<int>(time.subseconds().count()));
  return text;
}

std::string EscapePath(const std::string& path) {
  if (path.empty()) return "-";
  std::string out;
  for (unsigned char c : path) {
    if (c <= 0x20 || c >= 0x7F || c == '%') {
      out += '%' + CodeText(c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool UnescapePath(const std::string& text, std::string* path) {
  path->clear();
  if (text == "-") return true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      *path += text[i];
      continue;
    }
    const auto code = i + 2 < text.size() ? EngineCode(text.substr(i + 1, 2)) : std::nullopt;
    if (!code) return false;
    *path += static_cast<char>(*code);
    i += 2;
  }
  return true;
}

std::string StateText(const JournalRecord& r) {
  switch (r.state) {
    case JournalRecord::State::kSending:
      return "sending";
    case JournalRecord::State::kDone:
      if (r.nothingSent) return "done, held " + CodeText(r.readBack) + kHeldAlready;
      return "done, read back " + CodeText(r.readBack);
    case JournalRecord::State::kDiffers:
      return "DIFFERS, read back " + CodeText(r.readBack);
    case JournalRecord::State::kFailed:
      return std::string("FAILED ") + camera::FailureText(r.failure) + ": " +
             camera::FailureMeaning(r.failure);
  }
  return "";
}

std::string What(const JournalRecord& r) {
  if (r.undoOf == 0) return "write";
  return (r.forced ? "force-undo#" : "undo#") + std::to_string(r.undoOf);
}

std::string RecordLine(const JournalRecord& r) {
  return UtcNow() + " #" + std::to_string(r.number) + " " + What(r) + " " +
         (r.port.empty() ? std::string("-") : r.port) + " " + EscapePath(r.path) + " " +
         CellName(r.cell) + " " + CodeText(r.oldCode) + " -> " + CodeText(r.newCode) + " " +
         StateText(r) + "\n";
}

// "#17" -> 17
bool ParseNumber(const std::string& text, std::size_t from, long* number) {
  if (text.size() <= from || text.size() - from > 12) return false;
  long n = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    n = n * 10 + (text[i] - '0');
  }
  *number = n;
  return n > 0;
}

bool ParseLine(const std::string& line, JournalRecord* r) {
  std::istringstream in(line);
  std::string time, number, what, port, path, cell, oldCode, arrow, newCode;
  if (!(in >> time >> number >> what >> port >> path >> cell >> oldCode >> arrow >> newCode)) {
    return false;
  }
  std::string state;
  std::getline(in >> std::ws, state);
  std::string ignored;
  const auto parsedCell = ParseCell(cell, &ignored);
  const auto oldValue = EngineCode(oldCode), newValue = EngineCode(newCode);
  if (number[0] != '#' || !ParseNumber(number, 1, &r->number) || arrow != "->" || !parsedCell ||
      !oldValue || !newValue || !UnescapePath(path, &r->path)) {
    return false;
  }
  r->forced = what.rfind("force-", 0) == 0;
  if (r->forced) what.erase(0, 6);
  if (what == "write" && !r->forced) {
    r->undoOf = 0;
  } else if (what.rfind("undo#", 0) != 0 || !ParseNumber(what, 5, &r->undoOf)) {
    return false;
  }
  r->port = port == "-" ? "" : port;
  r->cell = *parsedCell;
  r->oldCode = *oldValue;
  r->newCode = *newValue;
  const std::string done = "done, read back ", differs = "DIFFERS, read back ",
                    held = "done, held ";
  r->nothingSent = false;
  if (state == "sending") {
    r->state = JournalRecord::State::kSending;
  } else if (state.size() == held.size() + 2 + std::strlen(kHeldAlready) &&
             state.rfind(held, 0) == 0 &&
             state.compare(held.size() + 2, std::string::npos, kHeldAlready) == 0 &&
             EngineCode(state.substr(held.size(), 2))) {
    r->state = JournalRecord::State::kDone;
    r->readBack = *EngineCode(state.substr(held.size(), 2));
    r->nothingSent = true;
  } else if (state.rfind(done, 0) == 0 && EngineCode(state.substr(done.size()))) {
    r->state = JournalRecord::State::kDone;
    r->readBack = *EngineCode(state.substr(done.size()));
  } else if (state.rfind(differs, 0) == 0 && EngineCode(state.substr(differs.size()))) {
    r->state = JournalRecord::State::kDiffers;
    r->readBack = *EngineCode(state.substr(differs.size()));
  } else if (state.rfind("FAILED ", 0) == 0) {
    r->state = JournalRecord::State::kFailed;
    const std::string rest = state.substr(7);
    // A text that no outcome has is taken for a time-out: the cell may
    // have been written.
    const camera::Outcome outcome = camera::OutcomeOfText(rest.substr(0, rest.find(':')));
    r->failure = outcome == camera::Outcome::kCodeRead ? camera::Outcome::kTimeOut : outcome;
  } else {
    return false;
  }
  return true;
}

// The highest record number that any line shows, also one that cannot be
// read as a whole (its number may be in use).
long HighestNumber(const std::string& text) {
  long highest = 0;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const auto hash = line.find(" #");
    long n = 0;
    if (!line.empty() && line[0] != '#' && hash != std::string::npos &&
        ParseNumber(line.substr(hash + 2, line.find(' ', hash + 2) - hash - 2), 0, &n)) {
      highest = std::max(highest, n);
    }
  }
  return highest;
}

}  // namespace

const char kCutOffNote[] = "# the line above was cut off: it is no record and is passed over\n";

bool UndoCutOff(const std::vector<JournalRecord>& records, long number) {
  return std::any_of(records.begin(), records.end(), [number](const JournalRecord& r) {
    return r.undoOf == number && (r.state == JournalRecord::State::kSending ||
                                  (r.state == JournalRecord::State::kFailed &&
                                   r.failure != camera::Outcome::kWriteNotSent));
  });
}

int LeftCode(const JournalRecord& r) {
  const bool readBack =
      r.state == JournalRecord::State::kDone || r.state == JournalRecord::State::kDiffers;
  return readBack ? r.readBack : r.newCode;
}

UndoStep PlanUndo(const JournalRecord& r, int held, bool undoCutOff) {
  // A write left at "sending" or FAILED may or may not have changed the
  // cell; so may an undo of it that was cut off.
  const bool unsure = r.state == JournalRecord::State::kSending ||
                      r.state == JournalRecord::State::kFailed || undoCutOff;
  if (unsure && held == r.oldCode) return UndoStep::kHeldAlready;
  return held == LeftCode(r) ? UndoStep::kWrite : UndoStep::kRefuse;
}

bool ParseJournal(const std::string& text, std::vector<JournalRecord>* records,
                  std::string* warning, std::string* error) {
  const std::string cutOffNote(kCutOffNote, std::strlen(kCutOffNote) - 1);
  std::map<long, JournalRecord> latest;
  std::istringstream in(text);
  std::string line;
  std::size_t damaged = 0;  // the number of a line that is no record, until the next line
  for (std::size_t lineNumber = 1; std::getline(in, line); ++lineNumber) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (damaged != 0 && line == cutOffNote) {
      damaged = 0;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    if (damaged != 0) {
      *error = "line " + std::to_string(damaged) + " is no journal record";
      return false;
    }
    // A line without its line end was cut off, whatever is left of it.
    JournalRecord r;
    if (!in.eof() && ParseLine(line, &r)) {
      latest[r.number] = r;
    } else {
      damaged = lineNumber;
    }
  }
  warning->clear();
  if (damaged != 0) {
    *warning = "line " + std::to_string(damaged) + " is damaged (cut off?) and was skipped";
  }
  records->clear();
  for (auto& [number, r] : latest) records->push_back(r);
  return true;
}

std::vector<JournalRecord> UndoCandidates(const std::vector<JournalRecord>& records,
                                          std::size_t n) {
  std::set<long> undone;
  for (const JournalRecord& r : records) {
    if (r.undoOf != 0 && r.state == JournalRecord::State::kDone) undone.insert(r.undoOf);
  }
  std::vector<JournalRecord> out;
  for (auto it = records.rbegin(); it != records.rend() && out.size() < n; ++it) {
    if (it->undoOf != 0 || undone.count(it->number) != 0) continue;
    if (it->state == JournalRecord::State::kFailed && it->failure == camera::Outcome::kWriteNotSent)
      continue;
    out.push_back(*it);
  }
  return out;
}

std::unique_ptr<Journal> Journal::Open(const std::string& path, std::string* error) {
  if (path.empty()) {
    *error = "no place for the journal";
    return nullptr;
  }
  std::unique_ptr<JournalFile> file = JournalFile::Open(path, error);
  if (!file) return nullptr;
  return std::unique_ptr<Journal>(new Journal(path, std::move(file)));
}

// The file's lock for one call: taken (shared or exclusive) and released
// again, unless a Lock holds it already.
class Journal::Step {
 public:
  Step(Journal& journal, bool exclusive, std::string* error) : journal_(journal) {
    ok_ = journal.locked_ || journal.file_->Lock(exclusive, error);
    taken_ = ok_ && !journal.locked_;
  }
  ~Step() {
    if (taken_) journal_.file_->Unlock();
  }
  Step(const Step&) = delete;
  Step& operator=(const Step&) = delete;
  bool ok() const { return ok_; }

 private:
  Journal& journal_;
  bool ok_ = false, taken_ = false;
};

Journal::Lock::Lock(Journal& journal) : journal_(journal) {
  if (journal.file_->Lock(/*exclusive=*/true, &error_)) journal.locked_ = true;
}

Journal::Lock::~Lock() {
  if (!journal_.locked_) return;
  journal_.file_->Unlock();
  journal_.locked_ = false;
}

bool Journal::Read(std::vector<JournalRecord>* records, std::string* warning, std::string* error) {
  std::string text;
  {
    const Step step(*this, /*exclusive=*/false, error);
    if (!step.ok() || !file_->ReadAll(&text, error)) return false;
  }
  std::string why;
  if (!ParseJournal(text, records, warning, &why)) {
    *error = "the journal " + path_ + ": " + why;
    return false;
  }
  if (!warning->empty()) *warning = "the journal " + path_ + ": " + *warning;
  toldCutOff_ = toldCutOff_ || !warning->empty();
  return true;
}

// Under the exclusive lock. The header goes first into an empty journal; a
// last line that a crash cut off is ended and marked first (see
// kCutOffNote). A failed append is taken out again.
bool Journal::Append(const std::string& line, std::string* error) {
  JournalFile::End end;
  if (!file_->ReadEnd(&end, error)) return false;
  std::string text = line;
  bool endsCutOff = false;
  if (end.size == 0) {
    text = kHeader + line;
  } else if (end.last != '\n') {
    text = "\n" + std::string(kCutOffNote) + line;
    endsCutOff = true;
  }
  if (!file_->Append(text, end, error)) return false;
  if (endsCutOff && !toldCutOff_) {
    notice_ = "the journal " + path_ +
              ": its last line was cut off (a crash?); it was ended, marked and is passed over";
  }
  return true;
}

bool Journal::Add(JournalRecord* record, std::string* error) {
  const Step step(*this, /*exclusive=*/true, error);
  std::string text;
  if (!step.ok() || !file_->ReadAll(&text, error)) return false;
  record->number = HighestNumber(text) + 1;
  return Append(RecordLine(*record), error);
}

bool Journal::Begin(JournalRecord* record, std::string* error) {
  record->state = JournalRecord::State::kSending;
  return Add(record, error);
}

bool Journal::Finish(const JournalRecord& record, std::string* error) {
  const Step step(*this, /*exclusive=*/true, error);
  return step.ok() && Append(RecordLine(record), error);
}

}  // namespace backup
