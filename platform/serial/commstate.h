// Line settings: the DCB record and its termios form, and the definition
// language of BuildCommDCBA (internal to the services).
#pragma once

#include <termios.h>

#include "platform/win32/win32types.h"

namespace platform {

// Reads the line settings of tio into dcb; the DTR and RTS controls, which
// termios does not hold, come from the port. Every field is written.
void DcbFromTermios(const termios& tio, DWORD dtrControl, DWORD rtsControl, DCB* dcb);

// Writes dcb into tio as a raw line (cfmakeraw, CLOCAL|CREAD, the baud,
// parity, data and stop bits, flow control only where dcb asks for it).
// Returns 0, or ERROR_INVALID_PARAMETER for settings the line cannot take.
DWORD TermiosFromDcb(const DCB& dcb, termios* tio);

// Baud as a number to its termios speed; 0 when termios has none for it.
speed_t SpeedForBaud(DWORD baud);

// Applies a definition text ("baud=9600 parity=N data=8 stop=1", or
// "9600,n,8,1") to *dcb. Returns false, with *dcb untouched, when the text
// is malformed.
bool ApplyCommDefinition(const char* text, DCB* dcb);

}  // namespace platform
