// Line settings, time-outs, masks, the definition language, queues and the
// fault hook, against a pseudo-terminal.
#include <termios.h>

#include <cstring>
#include <string>

#include "platform/serial/commstate.h"
#include "testing/serial_faults.h"
#include "tests/platform/serial_fixture.h"

namespace {

using corvane_test::PortTest;
using corvane_test::Pty;

class SerialSettings : public PortTest {
 protected:
  // The line as the kernel holds it, read through the master (a pty's
  // termios calls on the master act on the slave's settings).
  termios Line() {
    termios tio{};
    EXPECT_EQ(tcgetattr(pty_.master(), &tio), 0);
    return tio;
  }
  DCB Current() {
    DCB dcb{};
    EXPECT_TRUE(GetCommState(port_, &dcb));
    return dcb;
  }
};

TEST_F(SerialSettings, ProgramSettingsGiveARaw8N1LineAt9600) {
  const termios tio = Line();
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);

  const DCB dcb = Current();
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_EQ(dcb.fBinary, 1u);
  EXPECT_EQ(dcb.fOutX, 0u);
  EXPECT_EQ(dcb.fInX, 0u);
  EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
  EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
  EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
}

// A pseudo-terminal forces CS8 and no parity on its line whatever is set,
// so data bits and parity are checked in the conversion below; the rest
// is read back from the line.
TEST_F(SerialSettings, OtherSpeedsStopBitsAndFlowControlReachTheLine) {
  DCB dcb = Current();
  ASSERT_TRUE(BuildCommDCBA("baud=19200 parity=E data=8 stop=2 xon=on octs=on", &dcb));
  ASSERT_TRUE(SetCommState(port_, &dcb));
  termios tio = Line();
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
  EXPECT_TRUE(tio.c_cflag & CSTOPB);
  EXPECT_TRUE(tio.c_cflag & CRTSCTS);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
  DCB back = Current();
  EXPECT_EQ(back.BaudRate, 19200u);
  EXPECT_EQ(back.StopBits, TWOSTOPBITS);
  EXPECT_EQ(back.fOutX, 1u);
  EXPECT_EQ(back.fInX, 1u);
  EXPECT_EQ(back.fOutxCtsFlow, 1u);

  ASSERT_TRUE(BuildCommDCBA("baud=115200 parity=N data=8 stop=1", &dcb));
  ASSERT_TRUE(SetCommState(port_, &dcb));
  tio = Line();
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
  EXPECT_EQ(tio.c_cflag & (CSTOPB | CRTSCTS), 0u);  // flow control only when asked
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
}

TEST(LineConversion, EveryFrameSurvivesTheTripThroughTermios) {
  struct Frame {
    BYTE size, parity, stop;
    tcflag_t cflag;
  };
  const Frame frames[] = {
      {8, NOPARITY, ONESTOPBIT, CS8},
      {7, EVENPARITY, ONESTOPBIT, CS7 | PARENB},
      {7, ODDPARITY, TWOSTOPBITS, CS7 | PARENB | PARODD | CSTOPB},
      {6, MARKPARITY, ONESTOPBIT, CS6 | PARENB | PARODD | CMSPAR},
      {5, SPACEPARITY, ONE5STOPBITS, CS5 | PARENB | CMSPAR | CSTOPB},
  };
  for (const Frame& f : frames) {
    DCB dcb{};
    ASSERT_TRUE(BuildCommDCBA("baud=9600", &dcb));
    dcb.ByteSize = f.size;
    dcb.Parity = f.parity;
    dcb.StopBits = f.stop;
    dcb.fParity = f.parity != NOPARITY;
    termios tio{};
    ASSERT_EQ(platform::TermiosFromDcb(dcb, &tio), 0u) << int{f.size};
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), f.cflag) << int{f.size};
    EXPECT_EQ(tio.c_iflag & INPCK, f.parity != NOPARITY ? INPCK : 0u);
    DCB back{};
    platform::DcbFromTermios(tio, DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE, &back);
    EXPECT_EQ(back.ByteSize, f.size);
    EXPECT_EQ(back.Parity, f.parity);
    EXPECT_EQ(back.StopBits, f.stop);
    EXPECT_EQ(back.BaudRate, 9600u);
  }
}

TEST_F(SerialSettings, ImpossibleSettingsAreRefusedAndTheLineKept) {
  const termios before = Line();
  const DCB good = Current();
  auto refused = [&](DCB dcb) {
    EXPECT_FALSE(SetCommState(port_, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  };
  DCB dcb = good;
  dcb.ByteSize = 9;
  refused(dcb);
  dcb = good;
  dcb.BaudRate = 14400;  // no such termios speed
  refused(dcb);
  dcb = good;
  dcb.StopBits = ONE5STOPBITS;  // only with 5 data bits
  refused(dcb);
  dcb = good;
  dcb.ByteSize = 5;
  dcb.StopBits = TWOSTOPBITS;
  refused(dcb);
  dcb = good;
  dcb.Parity = 5;
  refused(dcb);
  const termios after = Line();
  EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
}

TEST_F(SerialSettings, TimeoutsAndMaskAreKeptByThePort) {
  COMMTIMEOUTS t{};
  ASSERT_TRUE(GetCommTimeouts(port_, &t));
  EXPECT_EQ(t.ReadIntervalTimeout, 1000u);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);
  COMMTIMEOUTS other{MAXDWORD, 0, 0, 5, 50};
  ASSERT_TRUE(SetCommTimeouts(port_, &other));
  ASSERT_TRUE(GetCommTimeouts(port_, &t));
  EXPECT_EQ(std::memcmp(&t, &other, sizeof t), 0);
  COMMTIMEOUTS invalid{MAXDWORD, MAXDWORD, MAXDWORD, 0, 0};
  EXPECT_FALSE(SetCommTimeouts(port_, &invalid));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  DWORD mask = 0;
  ASSERT_TRUE(GetCommMask(port_, &mask));
  EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
  ASSERT_TRUE(SetCommMask(port_, EV_RXCHAR | EV_CTS | EV_ERR));
  ASSERT_TRUE(GetCommMask(port_, &mask));
  EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR | EV_CTS | EV_ERR));
}

TEST_F(SerialSettings, QueueIsCountedAndPurgedOnRequest) {
  ASSERT_TRUE(pty_.Write("abcde"));
  AwaitQueued(5);
  COMSTAT st{};
  DWORD errors = 99;
  ASSERT_TRUE(ClearCommError(port_, &errors, &st));
  EXPECT_EQ(st.cbInQue, 5u);
  EXPECT_EQ(errors, 0u);  // a pseudo-terminal has no line errors
  ASSERT_TRUE(PurgeComm(port_, PURGE_RXCLEAR));
  ASSERT_TRUE(ClearCommError(port_, &errors, &st));
  EXPECT_EQ(st.cbInQue, 0u);
  // What arrives after the purge is read, nothing from before it.
  ASSERT_TRUE(pty_.Write("Z"));
  AwaitQueued(1);
  char buf[8] = {};
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(port_, buf, 1, &got, &ov_));
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(buf[0], 'Z');
  EXPECT_FALSE(PurgeComm(port_, 0x10));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(SerialSettings, FaultHookFailsTheNamedCallOnce) {
  testsupport::FailNext("SetCommTimeouts", ERROR_GEN_FAILURE);
  COMMTIMEOUTS t{1, 2, 3, 4, 5};
  EXPECT_FALSE(SetCommTimeouts(port_, &t));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  COMMTIMEOUTS back{};
  ASSERT_TRUE(GetCommTimeouts(port_, &back));
  EXPECT_EQ(back.ReadIntervalTimeout, 1000u);  // the failed call changed nothing
  EXPECT_TRUE(SetCommTimeouts(port_, &t));     // and it fired once only

  testsupport::FailNext("GetCommState", ERROR_NOT_SUPPORTED);
  testsupport::FailNext("BuildCommDCBA", ERROR_INVALID_PARAMETER);
  DCB dcb{};
  EXPECT_FALSE(GetCommState(port_, &dcb));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_FALSE(BuildCommDCBA("baud=9600", &dcb));
  testsupport::FailNext("SetCommMask", 5);
  testsupport::ClearFaults();
  EXPECT_TRUE(SetCommMask(port_, EV_RXCHAR));
}

TEST(SerialSettingsNoTty, DeviceThatIsNoTtyHasNoLineSettings) {
  corvane_test::ComPorts com({"/dev/null"});
  HANDLE h = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, NULL);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  COMMTIMEOUTS t{1000, 1000, 1000, 1000, 1000};
  EXPECT_TRUE(SetCommTimeouts(h, &t));
  DCB dcb{};
  EXPECT_FALSE(GetCommState(h, &dcb));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  EXPECT_FALSE(SetCommState(h, &dcb));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  CloseHandle(h);
}

// ---- The definition language --------------------------------------------

DCB Filled() {
  DCB dcb;
  std::memset(&dcb, 0xA5, sizeof dcb);  // every field set to something
  return dcb;
}

TEST(BuildCommDcb, KeyFormSetsWhatItNamesAndTheDocumentedDefaults) {
  DCB dcb = Filled();
  ASSERT_TRUE(BuildCommDCBA("baud=9600 parity=N data=8 stop=1", &dcb));
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_EQ(dcb.fBinary, 1u);
  EXPECT_EQ(dcb.fOutX, 0u);
  EXPECT_EQ(dcb.fInX, 0u);
  EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
  EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
  EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
  EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
  // Fields that the text does not reach keep their value.
  const DCB before = Filled();
  EXPECT_EQ(dcb.XonChar, before.XonChar);
  EXPECT_EQ(dcb.XonLim, before.XonLim);
  EXPECT_EQ(dcb.EvtChar, before.EvtChar);
}

TEST(BuildCommDcb, KeysAreCaseInsensitiveAndTakeEveryDocumentedValue) {
  DCB dcb{};
  ASSERT_TRUE(
      BuildCommDCBA("  COM3:  BAUD=96 Parity=o DATA=7 Stop=2 to=on xon=on odsr=on "
                    "octs=off dtr=hs rts=tg idsr=on  ",
                    &dcb));
  EXPECT_EQ(dcb.BaudRate, 9600u);  // the mode command's abbreviation
  EXPECT_EQ(dcb.Parity, ODDPARITY);
  EXPECT_EQ(dcb.fParity, 1u);
  EXPECT_EQ(dcb.ByteSize, 7);
  EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
  EXPECT_EQ(dcb.fOutX, 1u);
  EXPECT_EQ(dcb.fInX, 1u);
  EXPECT_EQ(dcb.fOutxDsrFlow, 1u);
  EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
  EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
  EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
  EXPECT_EQ(dcb.fDsrSensitivity, 1u);
  ASSERT_TRUE(BuildCommDCBA("baud=115200 parity=s data=6 stop=1.5 dtr=off rts=hs", &dcb));
  EXPECT_EQ(dcb.BaudRate, 115200u);
  EXPECT_EQ(dcb.Parity, SPACEPARITY);
  EXPECT_EQ(dcb.StopBits, ONE5STOPBITS);
  EXPECT_EQ(dcb.fOutX, 0u);  // not given this time: back to the default
  EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
  EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
  ASSERT_TRUE(BuildCommDCBA("baud=110", &dcb));
  EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);  // 110 baud implies two stop bits
}

TEST(BuildCommDcb, OldCommaFormIsAccepted) {
  DCB dcb = Filled();
  ASSERT_TRUE(BuildCommDCBA("9600,n,8,1", &dcb));
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_EQ(dcb.fOutX, 0u);
  ASSERT_TRUE(BuildCommDCBA("COM2: 19, e, 7, 2, x", &dcb));
  EXPECT_EQ(dcb.BaudRate, 19200u);
  EXPECT_EQ(dcb.Parity, EVENPARITY);
  EXPECT_EQ(dcb.ByteSize, 7);
  EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
  EXPECT_EQ(dcb.fOutX, 1u);
  ASSERT_TRUE(BuildCommDCBA("2400,,,,p", &dcb));
  EXPECT_EQ(dcb.BaudRate, 2400u);
  EXPECT_EQ(dcb.ByteSize, 7);  // empty fields are not given
  EXPECT_EQ(dcb.fOutX, 0u);
  EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
  EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
}

TEST(BuildCommDcb, MalformedTextFailsAndLeavesTheRecordAsItWas) {
  for (const char* text : {"",
                           "   ",
                           "baud",
                           "baud=",
                           "=9600",
                           "baud=96OO",
                           "baud=0",
                           "baud=-1",
                           "parity=x",
                           "parity=nn",
                           "data=4",
                           "data=9",
                           "stop=3",
                           "stop=1.0",
                           "xon=yes",
                           "dtr=tg",
                           "to=hs",
                           "speed=9600",
                           "baud=9600 parity=N data=8 stop=1 junk",
                           "baud=9600,parity=N",
                           "baud = 9600",
                           "9600,n,8,1,q",
                           "9600,n,8,1,x,1",
                           ",n,8,1",
                           "9600,n,9,1",
                           "COM1x baud=1",
                           "COM1:",
                           "96oo,n,8,1"}) {
    DCB dcb = Filled();
    SetLastError(0);
    EXPECT_FALSE(BuildCommDCBA(text, &dcb)) << '"' << text << '"';
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << text;
    const DCB untouched = Filled();
    EXPECT_EQ(std::memcmp(&dcb, &untouched, sizeof dcb), 0) << '"' << text << '"';
  }
  DCB dcb{};
  EXPECT_FALSE(BuildCommDCBA(nullptr, &dcb));
  EXPECT_FALSE(BuildCommDCBA("baud=9600", nullptr));
}

}  // namespace
