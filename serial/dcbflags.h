// The DCB's flag bitfields and comm.h's flag word, whose bits are numbered as the bitfields are laid
// out (fBinary bit 0 ... fAbortOnError bit 14). Windows builds only.
#pragma once

#include <windows.h>

#include <cstdint>

namespace serial {

std::uint32_t FlagWordOf(const DCB& dcb);
// Sets every flag bitfield of dcb from the word; the rest of the record is left alone.
void SetFlagWord(DCB& dcb, std::uint32_t flags);

}  // namespace serial
