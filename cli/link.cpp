#include "cli/link.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

#include "camera/Outcome.h"
#include "platform/devicemap.h"
#include "platform/errors.h"
#include "platform/kernel32.h"
#include "platform/port_listing.h"

namespace cli {
namespace {

std::string MappedPath(int n) {
  return platform::ComDevicePath(n).value_or("");
}

bool SameDevice(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// Why the port did not open, in the words of the port listing and of the
// dialog's start-up lines; the system's text where the device looks usable
// (it went away, or came free, in between). com 0: the device at path,
// named by its path alone.
std::string WhyNotOpened(int com, const std::string& path, DWORD code) {
  platform::PortRecord r;
  if (com != 0) {
    r = platform::ProbeComPort(com, platform::StateCheck::kOpen);
  } else {
    r.path = path;
    platform::ProbePortState(path, &r);
  }
  const std::string why =
      r.state == platform::PortState::kFree ? platform::SystemErrorText(code) : r.reason;
  return platform::PortLabel(r.comName, r.path) + ": " + why;
}

}  // namespace

std::string FailureLine(const engine::Failure& failure) {
  // The box's text on one line: every run of line breaks and blanks is one
  // blank.
  std::string line = failure.caption + ":";
  bool blank = true;
  for (unsigned char c : failure.text) {
    if (std::isspace(c)) {
      blank = true;
      continue;
    }
    if (blank) line += ' ';
    blank = false;
    line += static_cast<char>(c);
  }
  return line;
}

void FailureLog::OnFailure(const engine::Failure& failure) {
  // One write per line, so that lines from two threads never mix.
  const std::string line = FailureLine(failure) + "\n";
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(STDERR_FILENO, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  failures_.push_back(failure);
}

std::vector<engine::Failure> FailureLog::Failures() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failures_;
}

std::optional<PortChoice> ParsePortChoice(const std::string& text, std::string* error) {
  if (text.find('/') != std::string::npos) return PortChoice{0, text};
  if (const auto n = platform::ComNumber(text.c_str()); n && *n <= 4 && text.size() == 4) {
    return PortChoice{*n, ""};
  }
  *error =
      "bad port \"" + text + "\": expected COM1 to COM4 or a device path (such as /dev/ttyUSB0)";
  return std::nullopt;
}

std::string CameraLink::Label() const {
  return platform::PortLabel(port_, path_);
}

int CameraLink::TryOpen(int com) {
  if (com == 0) {
    return engine_->OpenPort(nullptr, path_.c_str(), CCommPort::kLineBaud, CCommPort::kLineParity,
                             CCommPort::kLineDataBits, CCommPort::kLineStopBits,
                             CCommPort::kLineEventMask, CCommPort::kLineWriteBufferSize);
  }
  return engine_->OpenPort(nullptr, com, CCommPort::kLineBaud, CCommPort::kLineParity,
                           CCommPort::kLineDataBits, CCommPort::kLineStopBits,
                           CCommPort::kLineEventMask, CCommPort::kLineWriteBufferSize);
}

std::unique_ptr<CameraLink> CameraLink::Open(const PortChoice& choice, std::string* error) {
  std::unique_ptr<CameraLink> link(new CameraLink);
  // The ports to try: COM numbers, or 0 for the device path itself. A path
  // that a COM name maps to is that COM port, under its name.
  std::vector<int> tries;
  if (choice.com != 0) {
    tries.push_back(choice.com);
  } else if (!choice.path.empty()) {
    int com = 0;
    for (int n = 1; n <= 4 && com == 0; ++n) {
      if (SameDevice(choice.path, MappedPath(n))) com = n;
    }
    tries.push_back(com);
  } else {
    tries = {1, 2, 3, 4};
  }

  std::string reasons;
  for (int com : tries) {
    link->port_ = com != 0 ? platform::ComName(com) : "";
    link->path_ = choice.path.empty() ? MappedPath(com) : choice.path;
    const std::size_t failuresBefore = link->failures_.Failures().size();
    if (!link->TryOpen(com)) {
      reasons += "\n  " + WhyNotOpened(com, link->path_, GetLastError());
      continue;
    }
    // The engine keeps a port open whose configuration failed; its failure
    // line has said why. Nothing can be sent on it as the camera needs.
    const std::vector<engine::Failure> failures = link->failures_.Failures();
    for (std::size_t i = failuresBefore; i < failures.size(); ++i) {
      if (engine::IsConfigurationStep(failures[i].step)) {
        *error = link->Label() + " opened, but its line could not be set up (see above)";
        return nullptr;
      }
    }
    link->engine_->StartMonitor();
    return link;
  }
  *error =
      (tries.size() > 1 ? "no port could be opened:" : "the port could not be opened:") + reasons;
  return nullptr;
}

std::optional<int> CameraLink::Read(Cell cell) {
  const auto text = EngineCell(cell);
  const std::string result = engine_->ReadCode(text.data());
  if (engine_->LastOutcome() != camera::Outcome::kCodeRead) return std::nullopt;
  // Four characters: the reference cell's code, then this cell's.
  return EngineCode(result.substr(2));
}

std::string CameraLink::Write(Cell cell, int code) {
  const auto text = EngineCell(cell);
  return engine_->WriteCode(text.data(), CodeText(code).c_str());
}

bool CameraLink::BeginSession() {
  return engine_->BeginReadSession() != FALSE;
}

bool CameraLink::SessionRead(Cell cell, std::optional<int>* code) {
  const auto text = EngineCell(cell);
  const camera::SessionCode round = engine_->ReadSessionCode(text.data());
  *code = round.code >= 0 ? std::optional<int>(round.code) : std::nullopt;
  return round.answered && code->has_value();
}

}  // namespace cli
