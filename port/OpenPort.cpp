// Opening and configuring the COM port.
#include <cstdio>
#include <cstdlib>

#include "port/CommPort.h"

int CCommPort::OpenPort(CWnd* owner, int port, int baud, char parity, int dataBits, int stopBits,
                        DWORD eventMask, unsigned bufferSize) {
  char portName[16];
  std::snprintf(portName, sizeof portName, "COM%d", port);
  return OpenNamed(owner, portName, port, baud, parity, dataBits, stopBits, eventMask, bufferSize);
}

int CCommPort::OpenPort(CWnd* owner, const char* devicePath, int baud, char parity, int dataBits,
                        int stopBits, DWORD eventMask, unsigned bufferSize) {
  // No COM number names the device: the failures of this open say port 0.
  return OpenNamed(owner, devicePath != nullptr ? devicePath : "", 0, baud, parity, dataBits,
                   stopBits, eventMask, bufferSize);
}

int CCommPort::OpenNamed(CWnd* owner, const char* deviceName, int port, int baud, char parity,
                         int dataBits, int stopBits, DWORD eventMask, unsigned bufferSize) {
  // End a running monitor thread: from here on no other thread uses the
  // events, the buffers or the port.
  StopMonitor();

  // Renew the events: the port-activity event (the event wait's record),
  // the read's and the write's records' events, then the write, receive and
  // stop events. The replaced ones are closed only after the old port
  // below: a pending event wait of the old port may still refer to its
  // record's event until the port is closed.
  HANDLE* const events[] = {&m_overlapped.hEvent,      &m_overlappedRead.hEvent,
                            &m_overlappedWrite.hEvent, &m_hWriteEvent,
                            &m_hReceiveEvent,          &m_hStopEvent};
  constexpr int kEvents = sizeof events / sizeof events[0];
  HANDLE replaced[kEvents] = {};
  for (int i = 0; i < kEvents; ++i) {
    replaced[i] = *events[i];
    if (replaced[i] != nullptr) ResetEvent(replaced[i]);
    *events[i] = CreateEventA(NULL, TRUE, FALSE, NULL);
  }

  // The monitor thread's wait set, in priority order.
  m_waitEvents[0] = m_hStopEvent;
  m_waitEvents[1] = m_overlapped.hEvent;
  m_waitEvents[2] = m_hWriteEvent;

  // The lock is ready: the constructor made it.

  // Owner, write buffer and the numbers of this open.
  m_pOwner = owner;
  std::free(m_writeBuffer);
  m_writeBuffer = static_cast<BYTE*>(std::calloc(bufferSize > 0 ? bufferSize : 1, 1));
  m_portNumber = port;
  m_writeBufferSize = m_writeBuffer != nullptr ? bufferSize : 0;
  m_eventMask = eventMask;
  m_writeLength = 0;

  // The port handle and its overlapped record are the lock's.
  EnterCriticalSection(&m_lock);

  // Close the port that was open, then the events it may have used.
  ClosePortHandle();
  for (HANDLE event : replaced) {
    if (event != nullptr) CloseHandle(event);
  }

  // The line settings as text.
  char definition[64];
  std::snprintf(definition, sizeof definition, "baud=%d parity=%c data=%d stop=%d", baud, parity,
                dataBits, stopBits);

  // Open exclusive, overlapped. A missing or held port is no error to report:
  // the dialog probes ports this way. An empty path is no device.
  m_hComm = CreateFileA(deviceName, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED, NULL);
  if (m_hComm == INVALID_HANDLE_VALUE) {
    LeaveCriticalSection(&m_lock);
    return 0;
  }

  // Time-outs, event mask and line settings. The first step that fails is
  // reported and ends the configuration; the port stays open with the
  // settings it has.
  m_timeouts.ReadIntervalTimeout = kPortTimeoutMs;
  m_timeouts.ReadTotalTimeoutMultiplier = kPortTimeoutMs;
  m_timeouts.ReadTotalTimeoutConstant = kPortTimeoutMs;
  m_timeouts.WriteTotalTimeoutMultiplier = kPortTimeoutMs;
  m_timeouts.WriteTotalTimeoutConstant = kPortTimeoutMs;
  if (!SetCommTimeouts(m_hComm, &m_timeouts)) {
    ReportError("SetCommTimeouts()", "");
  } else if (!SetCommMask(m_hComm, eventMask)) {
    ReportError("SetCommMask()", "");
  } else if (!GetCommState(m_hComm, &m_dcb)) {
    ReportError("GetCommState()", "");
  } else {
    m_dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!BuildCommDCBA(definition, &m_dcb)) {
      ReportError("BuildCommDCB()", "");
    } else if (!SetCommState(m_hComm, &m_dcb)) {
      ReportError("SetCommState()", "");
    }
  }

  // Abort anything pending and empty both queues.
  PurgeComm(m_hComm, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

  // The port is open, whatever its configuration gave.
  LeaveCriticalSection(&m_lock);
  return 1;
}
