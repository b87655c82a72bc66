// The read session: one opening of the service dialogue, then one round per
// cell. It uses the transactions' exchange step; a time-out ends it without
// a box, so that its caller can go on with full Read transactions.
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

BOOL CCommPort::ReadSessionCode(const char* cell) {
  m_resultText.Empty();
  if (m_hReceiveEvent != nullptr) ResetEvent(m_hReceiveEvent);
  char cellFrame[camera::kCellFrameRoom];
  camera::BuildCellFrame(cellFrame, kCommandTable[camera::kCellRead].frameText, cell, nullptr,
                         [this](char ch) { return HexDigitValue(ch); });
  if (!Exchange(kCommandTable[camera::kAnnounce].frameText, camera::kAnnounce)) return FALSE;
  if (!Exchange(cellFrame, camera::kCellRead)) return FALSE;
  CollectCode();
  // The code is in; a close that is not answered still ends the session.
  return Exchange(kCommandTable[camera::kClose].frameText, camera::kClose);
}
