// The monitor thread: all traffic on the port while a transaction runs.
#include <cstring>

#include "port/CommPort.h"

namespace {

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

// Owner notifications, in the order they are sent. EV_RXCHAR runs the
// receive instead of sending a message.
struct Notification {
  DWORD eventBit;
  UINT message;
};
constexpr Notification kNotifications[] = {
    {EV_CTS, WM_USER + 2}, {EV_RXFLAG, WM_USER + 8}, {EV_BREAK, WM_USER + 1},
    {EV_ERR, WM_USER + 4}, {EV_RING, WM_USER + 5},
};

// Ends the monitor's pending event wait and waits for its completion, so
// that the system has written its last into the wait's record and event
// word when this returns: the next step clears the flag, after which the
// object may be gone. Setting the mask, even to the one it has, completes
// a pending wait at once with no events. A port that refuses the mask
// leaves the wait to the close that follows the stop, rather than blocking
// the stop on a wait that may never end.
void EndEventWait(CCommPort* port) {
  if (!SetCommMask(port->m_hComm, port->m_eventMask)) return;
  DWORD transferred = 0;
  GetOverlappedResult(port->m_hComm, &port->m_overlapped, &transferred, TRUE);
}

}  // namespace

UINT CCommPort::MonitorThread(LPVOID param) {
  CCommPort* const port = static_cast<CCommPort*>(param);
  // StartMonitor has set the flag already; set it again as the first act.
  port->m_bMonitorAlive.store(TRUE);
  // Whatever arrived while no monitor ran is discarded.
  if (port->m_hComm != nullptr) PurgeComm(port->m_hComm, kPurgeAll);

  // Whether this thread's event wait is pending: from the wait's
  // ERROR_IO_PENDING until its event is seen set. A wait that completed at
  // once, or failed, is not.
  bool waitPending = false;
  for (;;) {
    // The event wait, on its own record and with a word that outlives it.
    // It completes at once when input is queued; otherwise it pends and the
    // port-activity event is set when a byte arrives (or the line goes
    // away). ERROR_INVALID_PARAMETER: a wait is still pending from an
    // earlier cycle (a send ran meanwhile), which will signal that event.
    if (WaitCommEvent(port->m_hComm, &port->m_eventWord, &port->m_overlapped)) {
      waitPending = false;
      DWORD errors = 0;
      COMSTAT stat{};
      ClearCommError(port->m_hComm, &errors, &stat);
      if (stat.cbInQue == 0) continue;
    } else {
      const DWORD error = GetLastError();
      if (error == ERROR_IO_PENDING) {
        waitPending = true;
      } else if (error != ERROR_INVALID_PARAMETER) {
        waitPending = false;
        port->ReportError("WaitCommEvent()", "");
      }
    }

    // The three-way wait: the lowest signalled index wins, so a stop request
    // goes before port activity, and port activity before a send.
    const DWORD which = WaitForMultipleObjects(3, port->m_waitEvents, FALSE, INFINITE);
    if (which == WAIT_OBJECT_0) {
      // The flag is the stop request's only sign of the end: after it is
      // cleared the object may be gone, so nothing here touches it again,
      // and no operation of this thread may still be pending on it. (The
      // system cancels a thread's pending I/O when the thread exits, and
      // writes the wait's status into its record then.)
      if (waitPending) EndEventWait(port);
      port->m_bMonitorAlive.store(FALSE);
      AfxEndThread(kMonitorExitCode);
    } else if (which == WAIT_OBJECT_0 + 1) {
      waitPending = false;  // its event is set: the wait has completed
      // A failed GetCommMask counts as an empty mask.
      DWORD mask = 0;
      if (!GetCommMask(port->m_hComm, &mask)) mask = 0;
      for (const Notification& n : kNotifications) {
        if ((mask & n.eventBit) != 0 && port->m_pOwner != nullptr) {
          port->m_pReceiver->OnOwnerNotification(port->m_pOwner, n.message, 0, port->m_portNumber);
        }
      }
      if ((mask & EV_RXCHAR) != 0) ReceiveBytes(port);
    } else if (which == WAIT_OBJECT_0 + 2) {
      SendWriteBuffer(port);
    }
  }
}

void CCommPort::SendWriteBuffer(CCommPort* port) {
  ResetEvent(port->m_hWriteEvent);
  EnterCriticalSection(&port->m_lock);
  // The write's own record: the event wait may be pending on its record.
  OVERLAPPED* const overlapped = &port->m_overlappedWrite;
  overlapped->Offset = 0;
  overlapped->OffsetHigh = 0;
  // Bytes not yet read (the tail of an earlier reply) are discarded before
  // the frame goes out ...
  PurgeComm(port->m_hComm, kPurgeAll);
  // ... and so is anything a late byte put into the reply buffer after the
  // transaction cleared it: the buffer holds exactly what answers this frame.
  std::memset(port->m_replyBuffer, 0, sizeof port->m_replyBuffer);
  port->m_replyCount = 0;

  DWORD written = 0;
  if (WriteFile(port->m_hComm, port->m_writeBuffer, port->m_writeLength, &written, overlapped)) {
    LeaveCriticalSection(&port->m_lock);
    return;
  }
  if (GetLastError() == ERROR_IO_PENDING) {
    const BOOL done = GetOverlappedResult(port->m_hComm, overlapped, &written, TRUE);
    const DWORD error = GetLastError();
    LeaveCriticalSection(&port->m_lock);
    if (!done) {
      SetLastError(error);  // the box names the write's failure
      port->ReportError("GetOverlappedResults() in WriteFile()", "");
    }
    return;
  }
  port->ReportError("WriteFile()", "");
  LeaveCriticalSection(&port->m_lock);
}

void CCommPort::ReceiveBytes(CCommPort* port) {
  DWORD errors = 0;
  COMSTAT stat{};
  // The bytes that are queued together are read and stored in one hold of
  // the lock: the transaction, woken by the first byte's event, examines the
  // reply once they are in rather than contending for the lock after each
  // byte. Every byte still sets the receive event. At most kReceiveBatch
  // bytes are taken in one call: a line that never stops sending cannot keep
  // the transaction from its tests, nor the stop request from the three-way
  // wait (the bytes left make the next event wait complete at once).
  constexpr unsigned kReceiveBatch = 64;
  // The read's own record, so a read never takes the event wait's.
  OVERLAPPED* const overlapped = &port->m_overlappedRead;
  EnterCriticalSection(&port->m_lock);
  ClearCommError(port->m_hComm, &errors, &stat);
  unsigned held = 0;
  while (stat.cbInQue != 0) {
    BYTE byte = 0;
    DWORD got = 0;
    if (ReadFile(port->m_hComm, &byte, 1, &got, overlapped)) {
      // read at once
    } else if (GetLastError() == ERROR_IO_PENDING) {
      if (!GetOverlappedResult(port->m_hComm, overlapped, &got, TRUE)) {
        got = 0;
        port->ReportError("GetOverlappedResults() in ReadFile()", "");
      }
    } else {
      got = 0;
      port->ReportError("ReadFile()", "");
    }
    // A failed read (or a read that timed out with no byte) stores nothing.
    // The store is made under the lock, which orders it against the
    // transaction's clear and its tests of the reply. Only the first
    // kReplyCapacity bytes are kept; the count goes on counting.
    if (got == 1) {
      if (port->m_replyCount < kReplyCapacity) port->m_replyBuffer[port->m_replyCount] = byte;
      ++port->m_replyCount;
      SetEvent(port->m_hReceiveEvent);
    }
    ClearCommError(port->m_hComm, &errors, &stat);
    if (++held == kReceiveBatch) break;
  }
  LeaveCriticalSection(&port->m_lock);
}
