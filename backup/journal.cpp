#include "backup/journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <sstream>
#include <string_view>

#include "camera/Outcome.h"
#include "platform/posix/io.h"

namespace backup {
namespace {

const char kHeader[] =
    "# corvane journal: time (UTC), record, what, port, path, cell, old -> new, state\n";
const char kHeldAlready[] = " already; nothing sent";

std::string UtcNow() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm parts{};
  ::gmtime_r(&now.tv_sec, &parts);
  char text[40];
  const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
  std::snprintf(text + n, sizeof text - n, ".%03ldZ", now.tv_nsec / 1'000'000);
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

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// flock, again when a signal comes between; false with *error otherwise.
bool LockFile(int fd, int operation, const std::string& path, std::string* error) {
  while (::flock(fd, operation) != 0) {
    if (errno == EINTR) continue;
    *error = SystemError("cannot lock the journal", path);
    return false;
  }
  return true;
}

bool MakeDirectories(const std::string& dir, std::string* error) {
  for (std::size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    const std::string part = dir.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = "cannot make the directory " + part + ": " + std::strerror(errno);
      return false;
    }
    if (slash == std::string::npos) return true;
  }
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
  const auto slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirectories(path.substr(0, slash), error)) {
    return nullptr;
  }
  platform::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
  if (!fd.valid()) {
    *error = SystemError("cannot open the journal", path);
    return nullptr;
  }
  // A journal made just now must survive a crash with its directory entry.
  if (!platform::SyncParentFolder(path)) {
    *error = SystemError("cannot flush the directory of the journal", platform::ParentFolder(path));
    return nullptr;
  }
  return std::unique_ptr<Journal>(new Journal(path, std::move(fd)));
}

// The file's lock for one call: taken (shared or exclusive) and released
// again, unless a Lock holds it already.
class Journal::Step {
 public:
  Step(Journal& journal, int operation, std::string* error) : journal_(journal) {
    ok_ = journal.locked_ || LockFile(journal.fd_.get(), operation, journal.path_, error);
    taken_ = ok_ && !journal.locked_;
  }
  ~Step() {
    if (taken_) ::flock(journal_.fd_.get(), LOCK_UN);
  }
  Step(const Step&) = delete;
  Step& operator=(const Step&) = delete;
  bool ok() const { return ok_; }

 private:
  Journal& journal_;
  bool ok_ = false, taken_ = false;
};

Journal::Lock::Lock(Journal& journal) : journal_(journal) {
  if (LockFile(journal.fd_.get(), LOCK_EX, journal.path_, &error_)) journal.locked_ = true;
}

Journal::Lock::~Lock() {
  if (!journal_.locked_) return;
  ::flock(journal_.fd_.get(), LOCK_UN);
  journal_.locked_ = false;
}

bool Journal::ReadLocked(std::string* text, std::string* error) {
  text->clear();
  char buffer[65536];
  for (off_t offset = 0;;) {
    const ssize_t n = ::pread(fd_.get(), buffer, sizeof buffer, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = SystemError("cannot read the journal", path_);
      return false;
    }
    if (n == 0) return true;
    text->append(buffer, static_cast<std::size_t>(n));
    offset += n;
  }
}

bool Journal::Read(std::vector<JournalRecord>* records, std::string* warning, std::string* error) {
  std::string text;
  {
    const Step step(*this, LOCK_SH, error);
    if (!step.ok() || !ReadLocked(&text, error)) return false;
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
  struct stat st {};
  if (::fstat(fd_.get(), &st) != 0) {
    *error = SystemError("cannot read the journal", path_);
    return false;
  }
  std::string text = line;
  bool endsCutOff = false;
  char last = '\n';
  if (st.st_size == 0) {
    text = kHeader + line;
  } else if (::pread(fd_.get(), &last, 1, st.st_size - 1) == 1 && last != '\n') {
    text = "\n" + std::string(kCutOffNote) + line;
    endsCutOff = true;
  }
  // Whole lines in one write where the file system takes them.
  std::string why;
  if (!platform::WriteAll(fd_.get(), text)) why = SystemError("cannot write the journal", path_);
  if (why.empty() && ::fsync(fd_.get()) != 0) why = SystemError("cannot flush the journal", path_);
  if (why.empty()) {
    if (endsCutOff && !toldCutOff_) {
      notice_ = "the journal " + path_ +
                ": its last line was cut off (a crash?); it was ended, marked and is passed over";
    }
    return true;
  }
  if (::ftruncate(fd_.get(), st.st_size) == 0) {
    ::fsync(fd_.get());
    *error = why + "; the line was taken out again";
  } else {
    *error = why + "; and the part of the line that was written could not be taken out (" +
             std::strerror(errno) + ")";
  }
  return false;
}

bool Journal::Add(JournalRecord* record, std::string* error) {
  const Step step(*this, LOCK_EX, error);
  std::string text;
  if (!step.ok() || !ReadLocked(&text, error)) return false;
  record->number = HighestNumber(text) + 1;
  return Append(RecordLine(*record), error);
}

bool Journal::Begin(JournalRecord* record, std::string* error) {
  record->state = JournalRecord::State::kSending;
  return Add(record, error);
}

bool Journal::Finish(const JournalRecord& record, std::string* error) {
  const Step step(*this, LOCK_EX, error);
  return step.ok() && Append(RecordLine(record), error);
}

}  // namespace backup
