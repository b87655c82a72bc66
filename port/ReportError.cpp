// The error box's text: the one way the engine reports a failure, as a
// value to its receiver (which, for the dialog, shows the box).
#include <cstdio>
#include <cstring>

#include "port/CommPort.h"

namespace {

// Room of the composed box text, terminator included.
constexpr std::size_t kBoxTextRoom = 200;

constexpr char kBoxCaption[] = "Application Error";

}  // namespace

void CCommPort::ReportError(const char* operation, const char* detail) {
  // Taken first: nothing below may change it before it is read.
  const DWORD code = GetLastError();
  char* systemText = nullptr;
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                                      NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                      reinterpret_cast<LPSTR>(&systemText), 0, NULL);
  char unknown[48];
  const char* text = systemText;
  if (length == 0 || systemText == nullptr) {
    std::snprintf(unknown, sizeof unknown, "Unknown error %lu.\r\n",
                  static_cast<unsigned long>(code));
    text = unknown;
  }
  if (detail != nullptr && std::strlen(detail) > 2) text = detail;

  // snprintf cuts a long system text (or detail) to the room; it never
  // writes past it.
  char box[kBoxTextRoom];
  std::snprintf(box, sizeof box, "WARNING:  %s Failed with the following error: \n%s\nPort: %d\n",
                operation, text, m_portNumber);

  engine::Failure failure;
  failure.step = engine::StepOfOperation(operation);
  failure.operation = operation != nullptr ? operation : "";
  failure.systemCode = code;
  failure.port = m_portNumber;
  failure.detail = text;
  while (!failure.detail.empty() &&
         (failure.detail.back() == '\n' || failure.detail.back() == '\r')) {
    failure.detail.pop_back();
  }
  if (systemText != nullptr) LocalFree(systemText);
  failure.caption = kBoxCaption;
  failure.text = box;
  m_pReceiver->OnFailure(failure);
}
