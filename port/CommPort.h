// CCommPort: the program's one serial port object. It owns a COM port, its
// settings, four events, a lock, the write buffer of the frame to send, the
// reply buffer of the bytes received and the monitor thread that does all
// traffic on the port while a camera transaction runs. It also carries the
// frame codec and the two camera transactions (camera/).
//
// Reporting. The engine shows nothing itself: each failure goes as a value
// (engine::Failure) to the receiver that its owner gave it, and so do the
// owner window's line-event notifications (port/Receiver.h). CCommPort()
// takes the dialog's receiver, which shows the error box; it is defined in
// the library corvane_port_box, which links the window layer, while the
// engine (corvane_port) links only the framework without windows
// (platform/afx). Other owners use CCommPort(receiver).
//
// Threads. OpenPort, StartMonitor, the transactions, the codec and the
// destructor run on the user-interface thread. MonitorThread, SendWriteBuffer
// and ReceiveBytes run on the monitor thread. ReportError runs on whichever
// thread met the failure and returns when the receiver has (the dialog's:
// when the user has closed the box).
//
// Use: OpenPort (the port is then open, no monitor runs); per command
// StartMonitor, one transaction, then OpenPort again, which ends the monitor
// thread first. At most one monitor thread runs at a time, and none outlives
// the OpenPort or destructor that follows its StartMonitor.
#pragma once

#include <atomic>

#include "camera/Outcome.h"
#include "platform/afx/afxcore.h"
#include "platform/afx/afxstr.h"
#include "platform/kernel32.h"
#include "port/Receiver.h"

class CWnd;  // the owner window: the engine passes it on to its receiver only

class CCommPort {
 public:
  // Capacity of the reply buffer in bytes.
  static constexpr unsigned kReplyCapacity = 44;
  // Longest wait for the next reply byte, in ms.
  static constexpr DWORD kReplyTimeoutMs = 2000;
  // Port time-outs (every field of COMMTIMEOUTS), in ms.
  static constexpr DWORD kPortTimeoutMs = 1000;
  // The monitor thread's exit code.
  static constexpr UINT kMonitorExitCode = 100;
  // The camera's line, as the programs open it: OpenPort(owner, n, kLineBaud,
  // kLineParity, kLineDataBits, kLineStopBits, kLineEventMask,
  // kLineWriteBufferSize).
  static constexpr int kLineBaud = 9600;
  static constexpr char kLineParity = 'N';
  static constexpr int kLineDataBits = 8;
  static constexpr int kLineStopBits = 1;
  static constexpr DWORD kLineEventMask = EV_RXCHAR;
  static constexpr unsigned kLineWriteBufferSize = 512;

  // With the dialog's receiver: error boxes and the owner notifications
  // sent to the owner window. Defined in corvane_port_box (window layer).
  CCommPort();
  // With the owner's receiver, which must outlive the object.
  explicit CCommPort(engine::Receiver& receiver);
  // Ends a running monitor thread (the stop request), then closes the port,
  // the events and the lock and frees the write buffer.
  virtual ~CCommPort();

  CCommPort(const CCommPort&) = delete;
  CCommPort& operator=(const CCommPort&) = delete;

  // ---- Port configuration and lifecycle (port/) ----------------------------

  // Ends a running monitor thread, renews the four events and the write
  // buffer (bufferSize bytes, at least 100 for a frame), closes the port that
  // was open, opens "COM<port>" exclusively and configures it: time-outs all
  // kPortTimeoutMs, event mask eventMask, the line from "baud=%d parity=%c
  // data=%d stop=%d" with RTS on. Returns 1 when the port opened (also when a
  // configuration step failed: that failure has been reported and the
  // remaining steps skipped), 0 when it did not open (nothing reported; the
  // calling thread's last error says why). owner receives the line-event
  // notifications through the receiver; it may be null (then none).
  int OpenPort(CWnd* owner, int port, int baud, char parity, int dataBits, int stopBits,
               DWORD eventMask, unsigned bufferSize);
  // The same for the serial device at devicePath (such as /dev/ttyUSB0),
  // opened as it is, with no COM name. The port number of this open, which
  // failures report, is 0.
  int OpenPort(CWnd* owner, const char* devicePath, int baud, char parity, int dataBits,
               int stopBits, DWORD eventMask, unsigned bufferSize);

  // Starts the monitor thread with this object as its parameter. Returns 1
  // when it started, 0 when not: also when no OpenPort has made the events it
  // waits on, or when a monitor thread runs already.
  int StartMonitor();

  // Reports the failure that the calling thread has just met to the
  // receiver, with the text of the error box "Application Error": the
  // operation, the system's text for the thread's last error (or detail
  // when detail is longer than 2 characters) and the port number. Returns
  // when the receiver has (the dialog's: when the user closed the box).
  void ReportError(const char* operation, const char* detail);

  // ---- Monitor thread (port/MonitorThread.cpp) ------------------------------

  // The monitor thread's procedure; param is the CCommPort. Never returns: it
  // ends its thread with kMonitorExitCode on the stop request, after it has
  // ended its pending event wait (a mask set again) and waited for that
  // wait's completion, so that none of its operations outlives the flag.
  static UINT MonitorThread(LPVOID param);
  // Sends m_writeLength bytes of the write buffer. Monitor thread only.
  static void SendWriteBuffer(CCommPort* port);
  // Reads every queued byte into the reply buffer, one at a time. Monitor
  // thread only.
  static void ReceiveBytes(CCommPort* port);

  // ---- Frame codec (camera/FrameCodec.cpp) ----------------------------------

  // 0-9 for "0"-"9", 10-15 for "A"-"F", 16 for anything else after
  // reporting "Enter new value. " / "Not recognized symbol: %c".
  BYTE HexDigitValue(char ch);
  // The low eight bits of value as "0"-"9", "A"-"F", or "X" above 15.
  static char NibbleChar(unsigned value);
  // Converts text to bytes into the write buffer, stores their number and
  // sets the write event; the monitor thread sends them. An empty text sends
  // nothing (no event); a text longer than 198 characters is cut to its
  // first 198 (99 bytes). Does nothing before the first OpenPort.
  void SendHexFrame(const char* text);

  // ---- Camera transactions (camera/Transactions.cpp) ------------------------

  // cell: address high digit, address low digit, page digit (validated by
  // the caller). Returns four hex characters (reference code F8/page 0, then
  // the cell's code), or "XXXX" after a time-out (reported). The text
  // stays valid until the next transaction.
  LPCTSTR ReadCode(const char* cell);
  // Writes value (two hex digits) to cell and returns the two characters read
  // back; "XXXX", "XXXXF" (first close timed out) or "FFFF" (read-back timed
  // out) on failure, after the report. Valid until the next transaction.
  LPCTSTR WriteCode(const char* cell, const char* value);
  // How the most recent ReadCode or WriteCode ended (kCodeRead before the
  // first): the outcome that its text stands for.
  camera::Outcome LastOutcome() const { return m_lastOutcome; }

  // ---- Read session (camera/ReadSession.cpp) --------------------------------
  // For reading many cells; the dialog does not use it. BeginReadSession
  // opens the service dialogue once (announce, setup, close); each
  // ReadSessionCode then runs one round for a cell (announce, cell read,
  // close). BeginReadSession returns TRUE when every step was answered and
  // FALSE at the first reply time-out, ReadSessionCode the round's code and
  // whether it was answered; a time-out is not reported: the session is
  // then over, and the caller goes on with ReadCode. cell as for ReadCode;
  // the monitor thread must run.
  BOOL BeginReadSession();
  camera::SessionCode ReadSessionCode(const char* cell);

 private:
  // The stop request: sets the stop event until the monitor thread has
  // cleared m_bMonitorAlive, yielding between tests.
  void StopMonitor();
  // Closes the port handle if one is open, and sets m_hComm to null.
  void ClosePortHandle();
  // One exchange: clears the reply buffer, sends frameText, and waits until
  // the reply of command-table row `row` is complete (TRUE) or the line was
  // silent for kReplyTimeoutMs (FALSE, no box).
  BOOL Exchange(const char* frameText, int row);
  // Appends reply byte 9 of a completed 18-byte reply to m_resultText.
  void CollectCode();
  // Reports the reply time-out.
  void ReportTimeout();
  // OpenPort for the device name given to CreateFileA ("COM3" or a path),
  // with portNumber as the number of this open.
  int OpenNamed(CWnd* owner, const char* deviceName, int portNumber, int baud, char parity,
                int dataBits, int stopBits, DWORD eventMask, unsigned bufferSize);

 public:
  // ---- Fields, in this order ------------------------------------------------
  CWinThread* m_pThread;  // most recently started monitor; deletes itself at its end
  // Guards m_hComm, the overlapped records, the write and reply buffers.
  CRITICAL_SECTION m_lock;
  // Non-zero while a monitor thread runs or is about to run. An atomic flag
  // (the stop request reads it in a loop): StartMonitor sets it before it
  // starts the thread (and clears it if the thread cannot be created), so a
  // stop request that comes before the thread has run still waits for it;
  // the thread sets it again as its first act and clears it as its last,
  // with no operation of its own pending on the port.
  std::atomic<BOOL> m_bMonitorAlive;
  HANDLE m_hStopEvent;
  HANDLE m_hComm;  // null until the first open; INVALID_HANDLE_VALUE after a failed one
  HANDLE m_hWriteEvent;
  HANDLE m_hReceiveEvent;
  HANDLE m_waitEvents[3];  // stop, port activity (m_overlapped.hEvent), write
  // One overlapped record for each kind of pending operation, each with an
  // event of its own that OpenPort renews: a record belongs to its operation
  // until that completes, so the event wait, a read and a write never share
  // one. m_overlapped is the event wait's: its event is the port-activity
  // event (m_waitEvents[1]). The read and the write are waited for with
  // GetOverlappedResult, their events are in no wait set.
  OVERLAPPED m_overlapped;
  OVERLAPPED m_overlappedRead;
  OVERLAPPED m_overlappedWrite;
  // The event wait's event word, which the system writes when a pending
  // wait completes: it lives as long as the object, not on the thread's
  // stack. The monitor thread completes its wait before it clears
  // m_bMonitorAlive. Nothing reads the word: the monitor consults
  // GetCommMask.
  DWORD m_eventWord;
  COMMTIMEOUTS m_timeouts;
  DCB m_dcb;
  CWnd* m_pOwner;
  int m_portNumber;
  BYTE* m_writeBuffer;  // owned, m_writeBufferSize bytes
  DWORD m_eventMask;
  unsigned m_writeBufferSize;
  DWORD m_writeLength;
  BYTE m_replyBuffer[kReplyCapacity];
  // Bytes received since the last clear; it counts also the bytes that did
  // not fit in m_replyBuffer, so a reply that overshoots is never taken for a
  // complete one.
  DWORD m_replyCount;
  CString m_resultText;
  // Beyond the classic fields: where failures and notifications go (given
  // at construction, not owned), and the outcome of the last transaction.
  engine::Receiver* const m_pReceiver;
  camera::Outcome m_lastOutcome;
};
