#include "cli/link.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <vector>

#include "platform/devicemap.h"
#include "platform/errors.h"
#include "platform/kernel32.h"
#include "platform/port_listing.h"
#include "platform/ui/console.h"

namespace cli {
namespace {

// A COM number for a device path that no COM name maps to: the first from 5
// on whose CORVANE_COMn is not set. The engine opens ports by number only.
constexpr int kFirstSpareCom = 5;

std::string MappedPath(int n) {
  return platform::ComDevicePath(n).value_or("");
}

bool SameDevice(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// Why COMn did not open, in the words of the port listing and of the
// dialog's start-up lines; the system's text where the device looks usable
// (it went away, or came free, in between). named: false for a spare
// number, which messages name by its path alone.
std::string WhyNotOpened(int com, bool named, DWORD code) {
  platform::PortRecord r = platform::ProbeComPort(com, platform::StateCheck::kOpen);
  if (!named) r.comName.clear();
  const std::string why =
      r.state == platform::PortState::kFree ? platform::SystemErrorText(code) : r.reason;
  return platform::PortLabel(r.comName, r.path) + ": " + why;
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

std::string CameraLink::Label() const {
  return platform::PortLabel(port_, path_);
}

int CameraLink::TryOpen(int com) {
  return engine_->OpenPort(nullptr, com, CCommPort::kLineBaud, CCommPort::kLineParity,
                           CCommPort::kLineDataBits, CCommPort::kLineStopBits,
                           CCommPort::kLineEventMask, CCommPort::kLineWriteBufferSize);
}

std::unique_ptr<CameraLink> CameraLink::Open(const PortChoice& choice, std::string* error) {
  std::unique_ptr<CameraLink> link(new CameraLink);
  std::vector<int> tries;
  if (choice.com != 0) {
    tries.push_back(choice.com);
  } else if (!choice.path.empty()) {
    // A path that a COM name maps to is opened under that name; any other
    // under a spare number mapped to it for this process only. The spare
    // is mapped first, before anything reads the map.
    int com = 0;
    for (int n = kFirstSpareCom; n <= platform::kMaxComNumber && com == 0; ++n) {
      if (::getenv(("CORVANE_" + platform::ComName(n)).c_str()) == nullptr) com = n;
    }
    ::setenv(("CORVANE_" + platform::ComName(com)).c_str(), choice.path.c_str(), 1);
    for (int n = 1; n <= 4; ++n) {
      if (SameDevice(choice.path, MappedPath(n))) {
        com = n;
        break;
      }
    }
    tries.push_back(com);
  } else {
    tries = {1, 2, 3, 4};
  }

  std::string reasons;
  for (int com : tries) {
    const bool named = choice.path.empty() || com <= 4;
    link->port_ = named ? platform::ComName(com) : "";
    link->path_ = choice.path.empty() ? MappedPath(com) : choice.path;
    const unsigned long boxes = platform::ui::ConsoleBoxesShown();
    if (!link->TryOpen(com)) {
      reasons += "\n  " + WhyNotOpened(com, named, GetLastError());
      continue;
    }
    // The engine keeps a port open whose configuration failed; its box has
    // said why. Nothing can be sent on it as the camera needs.
    if (platform::ui::ConsoleBoxesShown() != boxes) {
      *error = link->Label() + " opened, but its line could not be set up (see above)";
      return nullptr;
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
  // Four characters: the reference cell's code, then this cell's.
  if (result.size() != 4) return std::nullopt;
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
  const bool whole = engine_->ReadSessionCode(text.data()) != FALSE;
  *code = EngineCode(static_cast<const char*>(engine_->m_resultText));
  return whole && code->has_value();
}

}  // namespace cli
