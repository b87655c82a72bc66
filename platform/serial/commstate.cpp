#include "platform/serial/commstate.h"

#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
namespace {

struct BaudSpeed {
  DWORD baud;
  speed_t speed;
};

constexpr BaudSpeed kBauds[] = {
    {50, B50},         {75, B75},         {110, B110},        {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},        {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},      {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},  {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}};

DWORD BaudForSpeed(speed_t speed) {
  for (const BaudSpeed& b : kBauds) {
    if (b.speed == speed) return b.baud;
  }
  return 0;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// What a definition text sets; fields not given keep the record's value,
// except those that the defaults below fill.
struct Definition {
  DCB dcb;
  bool stopGiven = false;
  bool xonGiven = false;
  bool octsGiven = false;
  bool odsrGiven = false;
  bool dtrGiven = false;
  bool rtsGiven = false;
};

// The mode command's two-digit abbreviations are accepted as well.
bool ParseBaud(std::string_view v, Definition* d) {
  if (v.empty() || v.size() > 8) return false;
  DWORD baud = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return false;
    baud = baud * 10 + static_cast<DWORD>(c - '0');
  }
  switch (baud) {
    case 11:
      baud = 110;
      break;
    case 15:
      baud = 150;
      break;
    case 30:
      baud = 300;
      break;
    case 60:
      baud = 600;
      break;
    case 12:
      baud = 1200;
      break;
    case 24:
      baud = 2400;
      break;
    case 48:
      baud = 4800;
      break;
    case 96:
      baud = 9600;
      break;
    case 19:
      baud = 19200;
      break;
    default:
      break;
  }
  if (baud == 0) return false;
  d->dcb.BaudRate = baud;
  return true;
}

bool ParseParity(std::string_view v, Definition* d) {
  if (v.size() != 1) return false;
  BYTE parity;
  switch (std::tolower(static_cast<unsigned char>(v[0]))) {
    case 'n':
      parity = NOPARITY;
      break;
    case 'e':
      parity = EVENPARITY;
      break;
    case 'o':
      parity = ODDPARITY;
      break;
    case 'm':
      parity = MARKPARITY;
      break;
    case 's':
      parity = SPACEPARITY;
      break;
    default:
      return false;
  }
  d->dcb.Parity = parity;
  d->dcb.fParity = parity != NOPARITY;
  return true;
}

bool ParseData(std::string_view v, Definition* d) {
  if (v.size() != 1 || v[0] < '5' || v[0] > '8') return false;
  d->dcb.ByteSize = static_cast<BYTE>(v[0] - '0');
  return true;
}

bool ParseStop(std::string_view v, Definition* d) {
  if (v == "1") {
    d->dcb.StopBits = ONESTOPBIT;
  } else if (v == "1.5") {
    d->dcb.StopBits = ONE5STOPBITS;
  } else if (v == "2") {
    d->dcb.StopBits = TWOSTOPBITS;
  } else {
    return false;
  }
  d->stopGiven = true;
  return true;
}

// on/off, and for some keys hs (handshake) and tg (toggle): -1 when the
// value is not one of the allowed ones.
int Switch(const std::string& v, bool allowHs, bool allowTg) {
  if (v == "on") return 1;
  if (v == "off") return 0;
  if (allowHs && v == "hs") return 2;
  if (allowTg && v == "tg") return 3;
  return -1;
}

bool ParseKeyValue(std::string_view token, Definition* d) {
  const std::size_t eq = token.find('=');
  if (eq == std::string_view::npos || eq == 0 || eq + 1 == token.size()) return false;
  const std::string key = Lower(token.substr(0, eq));
  const std::string_view raw = token.substr(eq + 1);
  const std::string value = Lower(raw);
  if (key == "baud") return ParseBaud(raw, d);
  if (key == "parity") return ParseParity(raw, d);
  if (key == "data") return ParseData(raw, d);
  if (key == "stop") return ParseStop(raw, d);
  if (key == "to") return Switch(value, false, false) >= 0;  // time-outs: not in the DCB
  if (key == "xon") {
    const int s = Switch(value, false, false);
    if (s < 0) return false;
    d->dcb.fOutX = d->dcb.fInX = static_cast<DWORD>(s);
    d->xonGiven = true;
    return true;
  }
  if (key == "odsr") {
    const int s = Switch(value, false, false);
    if (s < 0) return false;
    d->dcb.fOutxDsrFlow = static_cast<DWORD>(s);
    d->odsrGiven = true;
    return true;
  }
  if (key == "octs") {
    const int s = Switch(value, false, false);
    if (s < 0) return false;
    d->dcb.fOutxCtsFlow = static_cast<DWORD>(s);
    d->octsGiven = true;
    return true;
  }
  if (key == "idsr") {
    const int s = Switch(value, false, false);
    if (s < 0) return false;
    d->dcb.fDsrSensitivity = static_cast<DWORD>(s);
    return true;
  }
  if (key == "dtr") {
    const int s = Switch(value, true, false);
    if (s < 0) return false;
    d->dcb.fDtrControl = static_cast<DWORD>(s);  // off, on, hs are 0, 1, 2
    d->dtrGiven = true;
    return true;
  }
  if (key == "rts") {
    const int s = Switch(value, true, true);
    if (s < 0) return false;
    d->dcb.fRtsControl = static_cast<DWORD>(s);  // off, on, hs, tg are 0 to 3
    d->rtsGiven = true;
    return true;
  }
  return false;
}

// "baud,parity,data,stop[,x|p]"; empty fields after the baud are not given.
bool ParseCommaForm(std::string_view text, Definition* d) {
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t comma = text.find(',');
    fields.push_back(Trim(text.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (fields.size() > 5 || !ParseBaud(fields[0], d)) return false;
  if (fields.size() > 1 && !fields[1].empty() && !ParseParity(fields[1], d)) return false;
  if (fields.size() > 2 && !fields[2].empty() && !ParseData(fields[2], d)) return false;
  if (fields.size() > 3 && !fields[3].empty() && !ParseStop(fields[3], d)) return false;
  if (fields.size() > 4 && !fields[4].empty()) {
    const std::string hs = Lower(fields[4]);
    if (hs == "x") {
      d->dcb.fOutX = d->dcb.fInX = 1;
      d->xonGiven = true;
    } else if (hs == "p") {
      d->dcb.fOutxCtsFlow = d->dcb.fOutxDsrFlow = 1;
      d->dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
      d->dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
      d->octsGiven = d->odsrGiven = d->dtrGiven = d->rtsGiven = true;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

speed_t SpeedForBaud(DWORD baud) {
  for (const BaudSpeed& b : kBauds) {
    if (b.baud == baud) return b.speed;
  }
  return 0;
}

void DcbFromTermios(const termios& tio, DWORD dtrControl, DWORD rtsControl, DCB* dcb) {
  std::memset(dcb, 0, sizeof *dcb);
  dcb->DCBlength = sizeof(DCB);
  dcb->BaudRate = BaudForSpeed(cfgetospeed(&tio));
  dcb->fBinary = 1;
  dcb->fParity = (tio.c_iflag & INPCK) ? 1 : 0;
  const bool rtscts = (tio.c_cflag & CRTSCTS) != 0;
  dcb->fOutxCtsFlow = rtscts;
  dcb->fDtrControl = dtrControl;
  dcb->fRtsControl = rtscts ? RTS_CONTROL_HANDSHAKE : rtsControl;
  dcb->fOutX = (tio.c_iflag & IXON) ? 1 : 0;
  dcb->fInX = (tio.c_iflag & IXOFF) ? 1 : 0;
  dcb->XonLim = 2048;
  dcb->XoffLim = 512;
  switch (tio.c_cflag & CSIZE) {
    case CS5:
      dcb->ByteSize = 5;
      break;
    case CS6:
      dcb->ByteSize = 6;
      break;
    case CS7:
      dcb->ByteSize = 7;
      break;
    default:
      dcb->ByteSize = 8;
      break;
  }
  if (!(tio.c_cflag & PARENB)) {
    dcb->Parity = NOPARITY;
  } else if (tio.c_cflag & CMSPAR) {
    dcb->Parity = (tio.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
  } else {
    dcb->Parity = (tio.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
  }
  if (!(tio.c_cflag & CSTOPB)) {
    dcb->StopBits = ONESTOPBIT;
  } else {
    dcb->StopBits = dcb->ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
  }
  dcb->XonChar = static_cast<char>(tio.c_cc[VSTART]);
  dcb->XoffChar = static_cast<char>(tio.c_cc[VSTOP]);
  dcb->EofChar = static_cast<char>(tio.c_cc[VEOF]);
}

DWORD TermiosFromDcb(const DCB& dcb, termios* tio) {
  const speed_t speed = SpeedForBaud(dcb.BaudRate);
  if (speed == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
      dcb.StopBits > TWOSTOPBITS) {
    return ERROR_INVALID_PARAMETER;
  }
  // 1.5 stop bits go only with 5 data bits, 2 stop bits never with 5.
  if ((dcb.StopBits == ONE5STOPBITS) != (dcb.ByteSize == 5 && dcb.StopBits != ONESTOPBIT)) {
    return ERROR_INVALID_PARAMETER;
  }
  if ((dcb.fOutX || dcb.fInX) && dcb.XonChar == dcb.XoffChar) return ERROR_INVALID_PARAMETER;

  cfmakeraw(tio);
  cfsetispeed(tio, speed);
  cfsetospeed(tio, speed);
  tio->c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio->c_cflag |= CLOCAL | CREAD;
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  tio->c_cflag |= kSizes[dcb.ByteSize - 5];
  switch (dcb.Parity) {
    case ODDPARITY:
      tio->c_cflag |= PARENB | PARODD;
      break;
    case EVENPARITY:
      tio->c_cflag |= PARENB;
      break;
    case MARKPARITY:
      tio->c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case SPACEPARITY:
      tio->c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (dcb.StopBits != ONESTOPBIT) tio->c_cflag |= CSTOPB;
  if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) tio->c_cflag |= CRTSCTS;
  tio->c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  if (dcb.fParity && dcb.Parity != NOPARITY) tio->c_iflag |= INPCK;
  if (dcb.fOutX) tio->c_iflag |= IXON;
  if (dcb.fInX) tio->c_iflag |= IXOFF;
  tio->c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  tio->c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  // Reads are non-blocking and driven by poll(); a byte is a read.
  tio->c_cc[VMIN] = 1;
  tio->c_cc[VTIME] = 0;
  return 0;
}

bool ApplyCommDefinition(const char* text, DCB* dcb) {
  if (text == nullptr || dcb == nullptr) return false;
  Definition d{*dcb};
  std::string_view s = Trim(text);
  // An optional device name first, as the mode command writes it: "COM1:".
  if (s.size() >= 4 && Lower(s.substr(0, 3)) == "com" &&
      std::isdigit(static_cast<unsigned char>(s[3]))) {
    std::size_t i = 3;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    if (i < s.size() && s[i] == ':') ++i;
    if (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i]))) return false;
    s = Trim(s.substr(i));
  }
  if (s.empty()) return false;
  if (s.find('=') != std::string_view::npos) {
    while (!s.empty()) {
      std::size_t end = 0;
      while (end < s.size() && !std::isspace(static_cast<unsigned char>(s[end]))) ++end;
      if (!ParseKeyValue(s.substr(0, end), &d)) return false;
      s = Trim(s.substr(end));
    }
  } else if (!ParseCommaForm(s, &d)) {
    return false;
  }
  // The defaults that the definition language documents: no software or
  // hardware flow control and DTR/RTS on unless the text says otherwise;
  // 110 baud takes two stop bits, as the mode command has it.
  d.dcb.fBinary = 1;
  if (!d.xonGiven) d.dcb.fOutX = d.dcb.fInX = 0;
  if (!d.octsGiven) d.dcb.fOutxCtsFlow = 0;
  if (!d.odsrGiven) d.dcb.fOutxDsrFlow = 0;
  if (!d.dtrGiven) d.dcb.fDtrControl = DTR_CONTROL_ENABLE;
  if (!d.rtsGiven) d.dcb.fRtsControl = RTS_CONTROL_ENABLE;
  if (d.dcb.BaudRate == 110 && !d.stopGiven) d.dcb.StopBits = TWOSTOPBITS;
  *dcb = d.dcb;
  return true;
}

}  // namespace platform
