// Fuzz target: BuildCommDCBA's definition-text parser.
//
// Input: the first sizeof(DCB) bytes (when there are that many) fill the DCB
// the text is applied to; the rest, cut at its first zero byte, is the
// text. A text that is refused (FALSE) must leave the DCB exactly as it was
// and set ERROR_INVALID_PARAMETER; an accepted one sets fBinary and is
// idempotent (applying the same text again changes nothing more).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/serial/serial.h"
#include "platform/win32/errors.h"

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  DCB dcb;
  std::memset(&dcb, 0, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  if (size >= sizeof dcb) {
    std::memcpy(&dcb, data, sizeof dcb);
    data += sizeof dcb;
    size -= sizeof dcb;
  }
  const std::string text(reinterpret_cast<const char*>(data), size);  // cut at a zero below
  DCB before;
  std::memcpy(&before, &dcb, sizeof dcb);

  SetLastError(0);
  const BOOL ok = BuildCommDCBA(text.c_str(), &dcb);
  if (!ok) {
    Require(std::memcmp(&before, &dcb, sizeof dcb) == 0);
    Require(GetLastError() == ERROR_INVALID_PARAMETER);
    return 0;
  }
  Require(dcb.fBinary == 1);
  DCB again;
  std::memcpy(&again, &dcb, sizeof dcb);
  Require(BuildCommDCBA(text.c_str(), &again) == TRUE);
  Require(std::memcmp(&again, &dcb, sizeof dcb) == 0);
  return 0;
}
