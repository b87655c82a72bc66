// CCommPort's frame codec: digit conversion with its error box, and handing
// a frame to the monitor thread.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "camera/HexCodec.h"
#include "port/CommPort.h"

BYTE CCommPort::HexDigitValue(char ch) {
  const BYTE value = camera::DigitValue(ch);
  if (value == camera::kNotADigit) {
    char detail[32];
    std::snprintf(detail, sizeof detail, "Not recognized symbol: %c", ch);
    ReportError("Enter new value. ", detail);
  }
  return value;
}

char CCommPort::NibbleChar(unsigned value) {
  return camera::NibbleChar(value);
}

void CCommPort::SendHexFrame(const char* text) {
  // An empty text has no byte to send, and a text beyond the working area
  // is cut to its first kFrameTextRoom characters (an even number, so whole
  // bytes); the program's own frames have 6 to 48 characters.
  const std::size_t length = text != nullptr ? strnlen(text, camera::kFrameTextRoom) : 0;
  if (length == 0) return;
  BYTE frame[camera::kFrameByteRoom];
  const std::size_t frameLength =
      camera::HexTextToBytes(text, length, frame, [this](char ch) { return HexDigitValue(ch); });

  // The write buffer is shared with the monitor thread: fill it under the
  // lock, which the monitor holds while it sends.
  EnterCriticalSection(&m_lock);
  if (m_writeBuffer == nullptr) {  // never opened: nowhere to put the frame
    LeaveCriticalSection(&m_lock);
    return;
  }
  const std::size_t room = std::min<std::size_t>(m_writeBufferSize, sizeof frame);
  std::memcpy(m_writeBuffer, frame, room);
  m_writeLength = static_cast<DWORD>(std::min(frameLength, room));
  LeaveCriticalSection(&m_lock);
  SetEvent(m_hWriteEvent);
}
