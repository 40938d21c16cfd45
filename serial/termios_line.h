// The line settings record mapped onto Linux termios2. termios2 (not <termios.h>) because it can carry
// any rate through BOTHER; the two headers cannot be used in one file, so this one stays apart.
#pragma once

#include <asm/termbits.h>

#include "comm.h"

namespace serial {

// Puts the record's line settings onto t. False, with t untouched, when termios cannot express them
// (4 data bits, an unknown parity or stop-bit code, one and a half stop bits with more than 5 data
// bits or two with 5, rate 0, equal XON and XOFF characters).
bool ToTermios(const TLineSettings& line, termios2& t);

// The record as the line now has it: what termios holds comes from t, everything termios has no place
// for (XON/XOFF limits, error, EOF and event characters, the other flag bits) from kept.
TLineSettings FromTermios(const termios2& t, const TLineSettings& kept);

// No line discipline processing: bytes arrive untouched, 8 data bits, receiver on, modem lines ignored.
void MakeRaw(termios2& t);

}  // namespace serial
