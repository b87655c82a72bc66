// The camera transactions: a read of the reference cell and one cell, and a
// write with read-back. Each runs the service dialogue from its start; a
// reply time-out ends it with a reported failure and a failure text.
#include <cstring>

#include "camera/CommandTable.h"
#include "camera/HexCodec.h"
#include "camera/Outcome.h"
#include "port/CommPort.h"

namespace {

using camera::kCommandTable;
using camera::Outcome;

}  // namespace

BOOL CCommPort::Exchange(const char* frameText, int row) {
  const camera::CommandRow& expected = kCommandTable[row];
  // The monitor clears the buffer again right before the frame goes out;
  // this clear makes the buffer fresh even if no monitor runs.
  EnterCriticalSection(&m_lock);
  std::memset(m_replyBuffer, 0, sizeof m_replyBuffer);
  m_replyCount = 0;
  LeaveCriticalSection(&m_lock);

  SendHexFrame(frameText);

  // Every stored byte sets the receive event, so the limit applies to the
  // silence before each byte rather than to the whole reply.
  for (;;) {
    if (WaitForSingleObject(m_hReceiveEvent, kReplyTimeoutMs) != WAIT_OBJECT_0) return FALSE;
    ResetEvent(m_hReceiveEvent);
    EnterCriticalSection(&m_lock);
    const BOOL complete =
        camera::ReplyComplete(expected, m_replyBuffer, kReplyCapacity, m_replyCount) ? TRUE : FALSE;
    LeaveCriticalSection(&m_lock);
    if (complete) return TRUE;
  }
}

void CCommPort::CollectCode() {
  char hex[3] = {};
  EnterCriticalSection(&m_lock);
  camera::ByteToHex(m_replyBuffer[camera::kReplyCodeIndex], hex);
  LeaveCriticalSection(&m_lock);
  m_resultText += hex;
}

void CCommPort::ReportTimeout() {
  ReportError("DV Camera not responding. ", "TimeOut. Check connection between port and camera.");
}

LPCTSTR CCommPort::ReadCode(const char* cell) {
  m_resultText.Empty();
  m_lastOutcome = Outcome::kCodeRead;
  if (m_hReceiveEvent != nullptr) ResetEvent(m_hReceiveEvent);

  char cellFrame[camera::kCellFrameRoom];
  camera::BuildCellFrame(cellFrame, kCommandTable[camera::kCellRead].frameText, cell, nullptr,
                         [this](char ch) { return HexDigitValue(ch); });

  // The steps in order; two of them yield a code.
  struct Step {
    const char* frame;
    int row;
    bool collect;
  };
  const Step steps[] = {
      {kCommandTable[camera::kAnnounce].frameText, camera::kAnnounce, false},
      {kCommandTable[camera::kSetup].frameText, camera::kSetup, false},
      {kCommandTable[camera::kClose].frameText, camera::kClose, false},
      {kCommandTable[camera::kAnnounce].frameText, camera::kAnnounce, false},
      {kCommandTable[camera::kReferenceRead].frameText, camera::kReferenceRead, true},
      {kCommandTable[camera::kClose].frameText, camera::kClose, false},
      {kCommandTable[camera::kAnnounce].frameText, camera::kAnnounce, false},
      {cellFrame, camera::kCellRead, true},
  };
  for (const Step& step : steps) {
    if (!Exchange(step.frame, step.row)) {
      ReportTimeout();
      m_lastOutcome = Outcome::kTimeOut;
      return camera::FailureText(m_lastOutcome);
    }
    if (step.collect) CollectCode();
  }
  return m_resultText;
}

LPCTSTR CCommPort::WriteCode(const char* cell, const char* value) {
  m_resultText.Empty();
  m_lastOutcome = Outcome::kCodeRead;
  if (m_hReceiveEvent != nullptr) ResetEvent(m_hReceiveEvent);

  char writeFrame[camera::kCellFrameRoom];
  camera::BuildCellFrame(writeFrame, kCommandTable[camera::kCellWrite].frameText, cell, value,
                         [this](char ch) { return HexDigitValue(ch); });
  char readFrame[camera::kCellFrameRoom];
  camera::BuildCellFrame(readFrame, kCommandTable[camera::kCellRead].frameText, cell, nullptr,
                         [this](char ch) { return HexDigitValue(ch); });

  // The steps in order, each with the outcome of a time-out there.
  struct Step {
    const char* frame;
    int row;
    Outcome failure;
  };
  const Step steps[] = {
      {kCommandTable[camera::kAnnounce].frameText, camera::kAnnounce, Outcome::kTimeOut},
      {kCommandTable[camera::kSetup].frameText, camera::kSetup, Outcome::kTimeOut},
      {kCommandTable[camera::kClose].frameText, camera::kClose, Outcome::kWriteNotSent},
      {kCommandTable[camera::kAnnounce].frameText, camera::kAnnounce, Outcome::kTimeOut},
      {writeFrame, camera::kCellWrite, Outcome::kTimeOut},
      {kCommandTable[camera::kClose].frameText, camera::kClose, Outcome::kTimeOut},
      {kCommandTable[camera::kAnnounce].frameText, camera::kAnnounce, Outcome::kTimeOut},
      {readFrame, camera::kCellRead, Outcome::kReadBackFailed},
  };
  for (const Step& step : steps) {
    if (!Exchange(step.frame, step.row)) {
      ReportTimeout();
      m_lastOutcome = step.failure;
      return camera::FailureText(m_lastOutcome);
    }
  }
  CollectCode();
  return m_resultText;
}
