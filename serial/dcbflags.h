// The line settings record and the Win32 DCB, whose fields it copies one for one; the flag word's bits
// are numbered as the DCB's bitfields are laid out (fBinary bit 0 ... fAbortOnError bit 14).
// Windows builds only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "comm.h"

namespace serial {

std::uint32_t FlagWordOf(const DCB& dcb);
// Sets every flag bitfield of dcb from the word; the rest of the record is left alone.
void SetFlagWord(DCB& dcb, std::uint32_t flags);

// A DCB (DCBlength set) carrying the record, and the record a DCB carries.
DCB ToDcb(const TLineSettings& line);
TLineSettings FromDcb(const DCB& dcb);

}  // namespace serial
