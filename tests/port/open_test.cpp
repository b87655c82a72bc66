// Opening and configuring a port, the error box, and the lifetime of what
// CCommPort owns.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <set>

#include "testing/serial_faults.h"
#include "tests/port/port_fixture.h"

namespace {

using porttest::BoxText;
using porttest::BoxTexts;
using porttest::ComPorts;
using porttest::ErrorText;
using porttest::OpenCom1;
using porttest::OpenFdCount;
using porttest::Pty;
using testsupport::ui::Driver;

TEST(OpenPort, MissingPortGivesZeroAndNoBox) {
  Driver driver(true);
  ComPorts com;
  CCommPort port;
  EXPECT_EQ(port.OpenPort(nullptr, 3, 9600, 'N', 8, 1, EV_RXCHAR, 512), 0);
  EXPECT_EQ(port.m_hComm, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(driver.Recorded().empty());
  // The events and buffer are those of this call; the port line of a later
  // box names the port of this failed open.
  EXPECT_NE(port.m_hStopEvent, nullptr);
  EXPECT_EQ(port.m_waitEvents[0], port.m_hStopEvent);
  EXPECT_EQ(port.m_waitEvents[1], port.m_overlapped.hEvent);
  EXPECT_EQ(port.m_waitEvents[2], port.m_hWriteEvent);
  SetLastError(ERROR_FILE_NOT_FOUND);
  port.ReportError("Test()", "");
  ASSERT_EQ(driver.Recorded().size(), 1u);
  EXPECT_EQ(driver.Recorded()[0].text, BoxText("Test()", ErrorText(ERROR_FILE_NOT_FOUND), 3));
}

TEST(OpenPort, PortHeldByAnotherProcessGivesZeroAndNoBox) {
  Driver driver(true);
  Pty peer;
  ComPorts com({peer.path()});
  // Another process opens the device exclusively and holds it.
  const std::string script =
      "import fcntl, os, sys, time\n"
      "fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)\n"
      "fcntl.flock(fd, fcntl.LOCK_EX)\n"
      "print('held', flush=True)\n"
      "sys.stdin.read()\n";
  testsupport::Process holder({"/usr/bin/python3", "-c", script, peer.path()},
                              testsupport::kCaptureOutput | testsupport::kFeedInput);
  ASSERT_EQ(holder.ReadLine(), "held");  // the holder says when it holds the device
  {
    CCommPort port;
    EXPECT_EQ(OpenCom1(port), 0);
    EXPECT_EQ(port.m_hComm, INVALID_HANDLE_VALUE);
  }
  holder.CloseInput();  // the holder ends
  EXPECT_EQ(holder.Wait(), 0) << holder.err();
  EXPECT_TRUE(driver.Recorded().empty());

  // Free again: it opens.
  CCommPort port;
  EXPECT_EQ(OpenCom1(port), 1);
  EXPECT_TRUE(driver.Recorded().empty());
}

TEST(OpenPort, ConfiguresTheLineAndOpensTwiceInARow) {
  Driver driver(true);
  Pty peer;
  ComPorts com({peer.path()});
  CCommPort port;
  ASSERT_EQ(OpenCom1(port), 1);
  HANDLE first = port.m_hComm;
  // The event wait, the reads and the writes: a record and an event each.
  const HANDLE records[] = {port.m_overlapped.hEvent, port.m_overlappedRead.hEvent,
                            port.m_overlappedWrite.hEvent};
  EXPECT_EQ(std::set<HANDLE>(std::begin(records), std::end(records)).size(), 3u);
  ASSERT_EQ(OpenCom1(port), 1);  // closes the first handle, then opens
  EXPECT_TRUE(driver.Recorded().empty());
  EXPECT_FALSE(CloseHandle(first));
  for (HANDLE e : records) EXPECT_FALSE(CloseHandle(e));  // renewed, the old ones closed
  EXPECT_EQ(port.m_waitEvents[1], port.m_overlapped.hEvent);

  COMMTIMEOUTS t{};
  ASSERT_TRUE(GetCommTimeouts(port.m_hComm, &t));
  EXPECT_EQ(t.ReadIntervalTimeout, 1000u);
  EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 1000u);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, 1000u);
  EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 1000u);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);
  DWORD mask = 0;
  ASSERT_TRUE(GetCommMask(port.m_hComm, &mask));
  EXPECT_EQ(mask, DWORD(EV_RXCHAR));
  DCB dcb{};
  ASSERT_TRUE(GetCommState(port.m_hComm, &dcb));
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_EQ(port.m_dcb.fRtsControl, DWORD(RTS_CONTROL_ENABLE));
  EXPECT_EQ(port.m_dcb.fOutX, 0u);
  EXPECT_EQ(port.m_dcb.fInX, 0u);
  EXPECT_EQ(port.m_dcb.fOutxCtsFlow, 0u);
  // Line settings as the peer's side of the tty sees them.
  termios tio{};
  const int fd = open(peer.path().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(tcgetattr(fd, &tio), 0);
  close(fd);
  EXPECT_EQ(cfgetospeed(&tio), B9600);
  EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
}

// Each configuration step that fails shows one box with its operation and
// the system's text, skips the rest, and the open still succeeds.
void ExpectStepFailure(const char* function, const char* operation, DWORD code) {
  Driver driver(true);
  Pty peer;
  ComPorts com({peer.path()});
  CCommPort port;
  testsupport::FailNext(function, code);
  EXPECT_EQ(OpenCom1(port), 1) << function;
  const auto boxes = driver.Recorded();
  ASSERT_EQ(boxes.size(), 1u) << function;
  EXPECT_EQ(boxes[0].caption, "Application Error");
  EXPECT_EQ(boxes[0].type, UINT(MB_ICONERROR));
  EXPECT_EQ(boxes[0].thread, GetCurrentThreadId());
  EXPECT_EQ(boxes[0].text, BoxText(operation, ErrorText(code), 1)) << function;
  testsupport::ClearFaults();
}

TEST(OpenPort, EachConfigurationStepFailureShowsItsBox) {
  ExpectStepFailure("SetCommTimeouts", "SetCommTimeouts()", ERROR_GEN_FAILURE);
  ExpectStepFailure("SetCommMask", "SetCommMask()", ERROR_INVALID_PARAMETER);
  ExpectStepFailure("GetCommState", "GetCommState()", ERROR_INVALID_FUNCTION);
  ExpectStepFailure("BuildCommDCBA", "BuildCommDCB()", ERROR_INVALID_PARAMETER);
  ExpectStepFailure("SetCommState", "SetCommState()", ERROR_GEN_FAILURE);
}

// An owner's own receiver gets each failure as a value and no box is shown.
// A port opened by its device path needs no COM name; its failures name
// port 0.
TEST(OpenPort, AnOwnersReceiverGetsTheFailuresAndAPathOpensAsItIs) {
  Driver driver(true);
  Pty peer;
  ComPorts com({peer.path()});
  porttest::Recorder recorder;
  CCommPort port(recorder);
  testsupport::FailNext("SetCommState", ERROR_GEN_FAILURE);
  EXPECT_EQ(OpenCom1(port), 1);
  com.Map({});
  testsupport::FailNext("SetCommTimeouts", ERROR_INVALID_PARAMETER);
  EXPECT_EQ(port.OpenPort(nullptr, peer.path().c_str(), 9600, 'N', 8, 1, EV_RXCHAR, 512), 1);
  const auto failures = recorder.Failures();
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].step, engine::Step::kSetCommState);
  EXPECT_EQ(failures[0].operation, "SetCommState()");
  EXPECT_EQ(failures[0].systemCode, DWORD(ERROR_GEN_FAILURE));
  EXPECT_EQ(failures[0].port, 1);
  EXPECT_EQ(failures[0].caption, "Application Error");
  EXPECT_EQ(failures[0].text, BoxText("SetCommState()", ErrorText(ERROR_GEN_FAILURE), 1));
  EXPECT_TRUE(engine::IsConfigurationStep(failures[1].step));
  EXPECT_EQ(failures[1].port, 0);

  // Opened cleanly by its path, the port carries frames.
  ASSERT_EQ(port.OpenPort(nullptr, peer.path().c_str(), 9600, 'N', 8, 1, EV_RXCHAR, 512), 1);
  ASSERT_EQ(port.StartMonitor(), 1);
  port.SendHexFrame("05807F");
  EXPECT_EQ(peer.Read(3), "\x05\x80\x7F");
  EXPECT_EQ(port.OpenPort(nullptr, "/nonexistent/tty", 9600, 'N', 8, 1, EV_RXCHAR, 512), 0);
  EXPECT_EQ(recorder.Failures().size(), 2u);
  EXPECT_TRUE(driver.Recorded().empty());
}

TEST(OpenPort, FailedTimeoutsSkipTheRestOfTheConfiguration) {
  Driver driver(true);
  Pty peer;
  ComPorts com({peer.path()});
  CCommPort port;
  testsupport::FailNext("SetCommTimeouts", ERROR_GEN_FAILURE);
  ASSERT_EQ(OpenCom1(port, nullptr, EV_RXCHAR | EV_BREAK), 1);
  DWORD mask = 0;
  ASSERT_TRUE(GetCommMask(port.m_hComm, &mask));
  EXPECT_NE(mask, DWORD(EV_RXCHAR | EV_BREAK));  // SetCommMask did not run
  EXPECT_EQ(driver.Recorded().size(), 1u);
}

// A device that opens but is no terminal: the time-outs and the mask are
// taken, reading the line settings fails.
TEST(OpenPort, DeviceThatIsNotATtyShowsTheGetCommStateBox) {
  Driver driver(true);
  ComPorts com({"/dev/null"});
  CCommPort port;
  EXPECT_EQ(OpenCom1(port), 1);
  const auto boxes = BoxTexts(driver);
  ASSERT_EQ(boxes.size(), 1u);
  const std::string head = "WARNING:  GetCommState() Failed with the following error: \n";
  EXPECT_EQ(boxes[0].substr(0, head.size()), head);
  EXPECT_GT(boxes[0].size(), head.size() + std::string("\nPort: 1\n").size());
  EXPECT_EQ(boxes[0].substr(boxes[0].size() - 9), "\nPort: 1\n");
}

TEST(ReportError, DetailLongerThanTwoCharactersReplacesTheSystemText) {
  Driver driver(true);
  CCommPort port;
  SetLastError(ERROR_ACCESS_DENIED);
  port.ReportError("Op()", "");
  SetLastError(ERROR_ACCESS_DENIED);
  port.ReportError("Op()", "ab");
  SetLastError(ERROR_ACCESS_DENIED);
  port.ReportError("Op()", "abc");
  const auto boxes = BoxTexts(driver);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0], BoxText("Op()", ErrorText(ERROR_ACCESS_DENIED), 0));
  EXPECT_EQ(boxes[1], boxes[0]);
  EXPECT_EQ(boxes[2], BoxText("Op()", "abc", 0));
  for (const auto& box : driver.Recorded()) {
    EXPECT_EQ(box.caption, "Application Error");
    EXPECT_EQ(box.type, UINT(MB_ICONERROR));
  }
}

TEST(ReportError, CodeWithoutSystemTextAndOverlongTextsStayInTheirRoom) {
  Driver driver(true);
  CCommPort port;
  SetLastError(123456u);
  port.ReportError("Op()", "");
  const std::string longDetail(500, 'd');
  port.ReportError("Op()", longDetail.c_str());
  const std::string longOperation(300, 'o');
  port.ReportError(longOperation.c_str(), "");
  const auto boxes = BoxTexts(driver);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0], BoxText("Op()", "Unknown error 123456.\r\n", 0));
  // Cut to the room of 200 characters with its terminator.
  EXPECT_EQ(boxes[1], BoxText("Op()", longDetail, 0).substr(0, 199));
  EXPECT_EQ(boxes[2].size(), 199u);
  EXPECT_EQ(boxes[2].rfind("WARNING:  ooo", 0), 0u);
}

TEST(HexDigitValue, NonDigitShowsItsBoxAndGivesSixteen) {
  Driver driver(true);
  CCommPort port;
  EXPECT_EQ(port.HexDigitValue('7'), 7);
  EXPECT_EQ(port.HexDigitValue('C'), 12);
  EXPECT_TRUE(driver.Recorded().empty());
  EXPECT_EQ(port.HexDigitValue('f'), 16);
  EXPECT_EQ(port.HexDigitValue('\0'), 16);
  const auto boxes = BoxTexts(driver);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], BoxText("Enter new value. ", "Not recognized symbol: f", 0));
  EXPECT_EQ(boxes[1], BoxText("Enter new value. ", "Not recognized symbol: ", 0));
  EXPECT_EQ(CCommPort::NibbleChar(16), 'X');
}

// Thousands of opens and commands leave no descriptor, handle or thread
// behind.
TEST(Lifetime, NoLeaksOverThousandsOfOpensAndMonitorStarts) {
  Driver driver(true);
  Pty peer;
  ComPorts com({peer.path()});
  const long threads = platform::LiveThreadCount();
  std::size_t fds = 0;
  std::size_t handles = 0;
  {
    CCommPort port;
    ASSERT_EQ(OpenCom1(port), 1);
    fds = OpenFdCount();
    handles = platform::OpenHandleCount();
    for (int i = 0; i < 2000; ++i) {
      if (i % 2 == 0) {
        ASSERT_EQ(port.StartMonitor(), 1);
      }
      ASSERT_EQ(OpenCom1(port), 1);
    }
    EXPECT_TRUE(porttest::WaitThreadsBackTo(threads));
    EXPECT_EQ(OpenFdCount(), fds);
    EXPECT_EQ(platform::OpenHandleCount(), handles);
  }
  // The destructor closed the port, the four events and the lock.
  EXPECT_LT(platform::OpenHandleCount(), handles);
  EXPECT_LT(OpenFdCount(), fds);
  EXPECT_TRUE(driver.Recorded().empty());
}

TEST(Lifetime, DestroyingAnObjectThatWasNeverOpened) {
  const std::size_t handles = platform::OpenHandleCount();
  {
    CCommPort port;
    EXPECT_EQ(port.StartMonitor(), 0);  // no events to wait on yet
    EXPECT_FALSE(port.m_bMonitorAlive.load());
  }
  EXPECT_EQ(platform::OpenHandleCount(), handles);
}

}  // namespace
