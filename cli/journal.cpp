#include "cli/journal.h"

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

#include "camera/Outcome.h"

namespace cli {
namespace {

const char kHeader[] =
    "# corvane journal: time (UTC), record, what, port, path, cell, old -> new, state\n";

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
      return "done, read back " + CodeText(r.readBack);
    case JournalRecord::State::kDiffers:
      return "DIFFERS, read back " + CodeText(r.readBack);
    case JournalRecord::State::kFailed:
      return "FAILED " + r.failure + ": " +
             camera::FailureMeaning(camera::OutcomeOfText(r.failure));
  }
  return "";
}

std::string RecordLine(const JournalRecord& r) {
  return UtcNow() + " #" + std::to_string(r.number) + " " +
         (r.undoOf != 0 ? "undo#" + std::to_string(r.undoOf) : std::string("write")) + " " +
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
  if (what == "write") {
    r->undoOf = 0;
  } else if (what.rfind("undo#", 0) != 0 || !ParseNumber(what, 5, &r->undoOf)) {
    return false;
  }
  r->port = port == "-" ? "" : port;
  r->cell = *parsedCell;
  r->oldCode = *oldValue;
  r->newCode = *newValue;
  const std::string done = "done, read back ", differs = "DIFFERS, read back ";
  if (state == "sending") {
    r->state = JournalRecord::State::kSending;
  } else if (state.rfind(done, 0) == 0 && EngineCode(state.substr(done.size()))) {
    r->state = JournalRecord::State::kDone;
    r->readBack = *EngineCode(state.substr(done.size()));
  } else if (state.rfind(differs, 0) == 0 && EngineCode(state.substr(differs.size()))) {
    r->state = JournalRecord::State::kDiffers;
    r->readBack = *EngineCode(state.substr(differs.size()));
  } else if (state.rfind("FAILED ", 0) == 0) {
    r->state = JournalRecord::State::kFailed;
    const std::string rest = state.substr(7);
    r->failure = rest.substr(0, rest.find(':'));
  } else {
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

std::string DefaultJournalPath() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
    return std::string(state) + "/corvane/journal";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    return std::string(home) + "/.local/state/corvane/journal";
  }
  return "";
}

bool ParseJournal(const std::string& text, std::vector<JournalRecord>* records,
                  std::string* error) {
  std::map<long, JournalRecord> latest;
  std::istringstream in(text);
  std::string line;
  for (std::size_t lineNumber = 1; std::getline(in, line); ++lineNumber) {
    if (line.empty() || line[0] == '#') continue;
    JournalRecord r;
    if (!ParseLine(line, &r)) {
      *error = "line " + std::to_string(lineNumber) + " is no journal record";
      return false;
    }
    latest[r.number] = r;
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
    if (it->state == JournalRecord::State::kFailed &&
        camera::OutcomeOfText(it->failure) == camera::Outcome::kWriteNotSent)
      continue;
    out.push_back(*it);
  }
  return out;
}

std::unique_ptr<Journal> Journal::Open(const std::string& path, std::string* error) {
  if (path.empty()) {
    *error = "no place for the journal: set XDG_STATE_HOME or HOME, or give --journal FILE";
    return nullptr;
  }
  const auto slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirectories(path.substr(0, slash), error)) {
    return nullptr;
  }
  platform::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
  if (!fd.valid()) {
    *error = "cannot open the journal " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  // A journal made just now must survive a crash with its directory entry.
  const int dir = ::open(
      slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1)).c_str(),
      O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return std::unique_ptr<Journal>(new Journal(path, std::move(fd)));
}

bool Journal::ReadLocked(std::string* text, std::string* error) {
  text->clear();
  char buffer[65536];
  for (off_t offset = 0;;) {
    const ssize_t n = ::pread(fd_.get(), buffer, sizeof buffer, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = "cannot read the journal " + path_ + ": " + std::strerror(errno);
      return false;
    }
    if (n == 0) return true;
    text->append(buffer, static_cast<std::size_t>(n));
    offset += n;
  }
}

bool Journal::Read(std::vector<JournalRecord>* records, std::string* error) {
  ::flock(fd_.get(), LOCK_SH);
  std::string text;
  const bool ok = ReadLocked(&text, error);
  ::flock(fd_.get(), LOCK_UN);
  if (!ok) return false;
  std::string why;
  if (!ParseJournal(text, records, &why)) {
    *error = "the journal " + path_ + ": " + why;
    return false;
  }
  return true;
}

bool Journal::Append(const std::string& line, std::string* error) {
  // One write, so that the line is whole even when another program appends.
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_.get(), p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = "cannot write the journal " + path_ + ": " + std::strerror(errno);
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::fsync(fd_.get()) != 0) {
    *error = "cannot flush the journal " + path_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool Journal::Begin(JournalRecord* record, std::string* error) {
  ::flock(fd_.get(), LOCK_EX);
  std::string text;
  bool ok = ReadLocked(&text, error);
  if (ok) {
    // The highest number in use; lines that are no record are passed over.
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
    record->number = highest + 1;
    record->state = JournalRecord::State::kSending;
    ok = Append((text.empty() ? std::string(kHeader) : std::string()) + RecordLine(*record), error);
  }
  ::flock(fd_.get(), LOCK_UN);
  return ok;
}

bool Journal::Finish(const JournalRecord& record, std::string* error) {
  return Append(RecordLine(record), error);
}

}  // namespace cli
