// The read session: one opening of the service dialogue, then one round per
// cell. It uses the transactions' exchange step; a time-out ends it without
// a report, so that its caller can go on with full Read transactions.
#include "camera/CommandTable.h"
#include "camera/HexCodec.h"
#include "port/CommPort.h"

using camera::kCommandTable;

BOOL CCommPort::BeginReadSession() {
  m_resultText.Empty();
  if (m_hReceiveEvent != nullptr) ResetEvent(m_hReceiveEvent);
  for (int row : {camera::kAnnounce, camera::kSetup, camera::kClose}) {
    if (!Exchange(kCommandTable[row].frameText, row)) return FALSE;
  }
  return TRUE;
}

camera::SessionCode CCommPort::ReadSessionCode(const char* cell) {
  m_resultText.Empty();
  if (m_hReceiveEvent != nullptr) ResetEvent(m_hReceiveEvent);
  char cellFrame[camera::kCellFrameRoom];
  camera::BuildCellFrame(cellFrame, kCommandTable[camera::kCellRead].frameText, cell, nullptr,
                         [this](char ch) { return HexDigitValue(ch); });
  camera::SessionCode round;
  if (!Exchange(kCommandTable[camera::kAnnounce].frameText, camera::kAnnounce)) return round;
  if (!Exchange(cellFrame, camera::kCellRead)) return round;
  EnterCriticalSection(&m_lock);
  round.code = m_replyBuffer[camera::kReplyCodeIndex];
  LeaveCriticalSection(&m_lock);
  // The code is in; a close that is not answered still ends the session.
  round.answered = Exchange(kCommandTable[camera::kClose].frameText, camera::kClose) != FALSE;
  return round;
}
