#include "cli/link.h"

#include <sys/stat.h>

#include "cli/output.h"
#include "platform/devices/devicemap.h"
#include "platform/devices/port_listing.h"
#include "platform/kernel32.h"
#include "platform/win32/errors.h"

namespace cli {

using backup::Cell;
using backup::CodeText;
using backup::EngineCell;
using backup::EngineCode;
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

// Why the open that just failed on this thread did not open the port, as
// the open itself told it; the system's text for a failure before any
// device was looked for.
std::string WhyNotOpened(DWORD code) {
  const std::optional<platform::OpenFailure> failure = platform::LastOpenFailure();
  return failure ? failure->reason : platform::SystemErrorText(code);
}

}  // namespace

std::optional<PortChoice> ParsePortChoice(const std::string& text, std::string* error) {
  if (text.find('/') != std::string::npos) return PortChoice{0, text};
  if (const auto n = platform::ComNumber(text.c_str()); n && *n <= 4 && text.size() == 4) {
    return PortChoice{*n, ""};
  }
  *error =
      "bad port \"" + text + "\": expected COM1 to COM4 or a device path (such as /dev/ttyUSB0)";
  return std::nullopt;
}

CameraLink::~CameraLink() {
  engine_.reset();  // the monitor thread has ended: nothing reports any more
  Trouble late;
  late.step = Trouble::Step::kIdle;
  late.failure = PortFailure(failures_.Take());
  late.port = Label();
  if (late.failure) Error(TroubleLine(late));
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
    if (!link->TryOpen(com)) {
      reasons += "\n  " + link->Label() + ": " + WhyNotOpened(GetLastError());
      continue;
    }
    // The engine keeps a port open whose configuration failed; nothing can
    // be sent on it as the camera needs.
    Trouble setUp;
    setUp.step = Trouble::Step::kSetUp;
    setUp.failure = PortFailure(link->failures_.Take());
    if (setUp.failure) {
      setUp.port = link->Label();
      *error = TroubleLine(setUp);
      return nullptr;
    }
    link->engine_->StartMonitor();
    return link;
  }
  *error =
      (tries.size() > 1 ? "no port could be opened:" : "the port could not be opened:") + reasons;
  return nullptr;
}

Trouble CameraLink::Taken(Trouble::Step step, Cell cell, camera::Outcome outcome) {
  Trouble trouble;
  trouble.step = step;
  trouble.cell = cell;
  trouble.outcome = outcome;
  trouble.failure = PortFailure(failures_.Take());
  trouble.port = Label();
  if (outcome == camera::Outcome::kCodeRead && trouble.failure) Error(TroubleLine(trouble));
  return trouble;
}

std::optional<int> CameraLink::Read(Cell cell, Trouble* trouble) {
  const auto text = EngineCell(cell);
  const std::string result = engine_->ReadCode(text.data());
  *trouble = Taken(Trouble::Step::kRead, cell, engine_->LastOutcome());
  if (trouble->outcome != camera::Outcome::kCodeRead) return std::nullopt;
  // Four characters: the reference cell's code, then this cell's.
  return EngineCode(result.substr(2));
}

std::optional<int> CameraLink::Write(Cell cell, int code, Trouble* trouble) {
  const auto text = EngineCell(cell);
  const std::string result = engine_->WriteCode(text.data(), CodeText(code).c_str());
  *trouble = Taken(Trouble::Step::kWrite, cell, engine_->LastOutcome());
  if (trouble->outcome != camera::Outcome::kCodeRead) return std::nullopt;
  return EngineCode(result);
}

bool CameraLink::BeginSession(Cell cell, Trouble* trouble) {
  const bool opened = engine_->BeginReadSession() != FALSE;
  *trouble = Taken(Trouble::Step::kSessionRound, cell,
                   opened ? camera::Outcome::kCodeRead : camera::Outcome::kTimeOut);
  return opened;
}

bool CameraLink::SessionRead(Cell cell, std::optional<int>* code, Trouble* trouble) {
  const auto text = EngineCell(cell);
  const camera::SessionCode round = engine_->ReadSessionCode(text.data());
  *code = round.code >= 0 ? std::optional<int>(round.code) : std::nullopt;
  const bool answered = round.answered && code->has_value();
  *trouble = Taken(Trouble::Step::kSessionRound, cell,
                   answered ? camera::Outcome::kCodeRead : camera::Outcome::kTimeOut);
  return answered;
}

}  // namespace cli
