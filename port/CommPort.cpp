// CCommPort's construction, destruction, the stop request and StartMonitor.
#include "port/CommPort.h"

#include <cstdlib>
#include <cstring>

CCommPort::CCommPort(engine::Receiver& receiver)
    : m_pThread(nullptr),
      m_lock{},
      m_bMonitorAlive(FALSE),
      m_hStopEvent(nullptr),
      m_hComm(nullptr),
      m_hWriteEvent(nullptr),
      m_hReceiveEvent(nullptr),
      m_waitEvents{},
      m_overlapped{},
      m_overlappedRead{},
      m_overlappedWrite{},
      m_eventWord(0),
      m_timeouts{},
      m_dcb{},
      m_pOwner(nullptr),
      m_portNumber(0),
      m_writeBuffer(nullptr),
      m_eventMask(0),
      m_writeBufferSize(0),
      m_writeLength(0),
      m_replyBuffer{},
      m_replyCount(0),
      m_pReceiver(&receiver),
      m_lastOutcome(camera::Outcome::kCodeRead) {
  // The lock is made here rather than by the first open, so that every
  // member that takes it (the codec and the transactions too) can do so on
  // an object that has never been opened; later opens use the same lock.
  InitializeCriticalSection(&m_lock);
}

CCommPort::~CCommPort() {
  StopMonitor();
  ClosePortHandle();
  // After the port: closing it ends the operations that still use the
  // records' events.
  for (HANDLE* event : {&m_overlapped.hEvent, &m_overlappedRead.hEvent, &m_overlappedWrite.hEvent,
                        &m_hWriteEvent, &m_hReceiveEvent, &m_hStopEvent}) {
    if (*event != nullptr) CloseHandle(*event);
    *event = nullptr;
  }
  DeleteCriticalSection(&m_lock);
  std::free(m_writeBuffer);
  m_writeBuffer = nullptr;
}

void CCommPort::StopMonitor() {
  // Sets the stop event at least once, and again until the monitor thread
  // has cleared the flag as its last act. The monitor sees the event only in
  // its three-way wait, so while it shows an error box this waits for the
  // user; it sleeps 1 ms between tests so that it does not burn a core
  // meanwhile.
  do {
    if (m_hStopEvent != nullptr) SetEvent(m_hStopEvent);
    if (!m_bMonitorAlive.load()) break;
    Sleep(1);
  } while (true);
}

void CCommPort::ClosePortHandle() {
  if (m_hComm != nullptr && m_hComm != INVALID_HANDLE_VALUE) CloseHandle(m_hComm);
  m_hComm = nullptr;
}

int CCommPort::StartMonitor() {
  // Without the events of an open the thread would have nothing to wait on;
  // and a second monitor would race the first for the port.
  if (m_hStopEvent == nullptr || m_bMonitorAlive.load()) return 0;
  // Set before the thread exists, so that a stop request that follows at
  // once waits for the thread (see m_bMonitorAlive).
  m_bMonitorAlive.store(TRUE);
  m_pThread = AfxBeginThread(&CCommPort::MonitorThread, this, THREAD_PRIORITY_NORMAL, 0, 0, NULL);
  if (m_pThread == nullptr) {
    m_bMonitorAlive.store(FALSE);
    return 0;
  }
  return 1;
}
