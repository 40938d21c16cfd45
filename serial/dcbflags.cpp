#include "dcbflags.h"

namespace serial {
namespace {

std::uint32_t Bits(std::uint32_t value, int shift) {
  return value << shift;
}
DWORD Field(std::uint32_t flags, int shift, int width) {
  return (flags >> shift) & ((1u << width) - 1u);
}

}  // namespace

std::uint32_t FlagWordOf(const DCB& dcb) {
  return Bits(dcb.fBinary, 0) | Bits(dcb.fParity, 1) | Bits(dcb.fOutxCtsFlow, 2) | Bits(dcb.fOutxDsrFlow, 3) |
         Bits(dcb.fDtrControl, 4) | Bits(dcb.fDsrSensitivity, 6) | Bits(dcb.fTXContinueOnXoff, 7) |
         Bits(dcb.fOutX, 8) | Bits(dcb.fInX, 9) | Bits(dcb.fErrorChar, 10) | Bits(dcb.fNull, 11) |
         Bits(dcb.fRtsControl, 12) | Bits(dcb.fAbortOnError, 14);
}

void SetFlagWord(DCB& dcb, std::uint32_t flags) {
  dcb.fBinary = Field(flags, 0, 1);
  dcb.fParity = Field(flags, 1, 1);
  dcb.fOutxCtsFlow = Field(flags, 2, 1);
  dcb.fOutxDsrFlow = Field(flags, 3, 1);
  dcb.fDtrControl = Field(flags, 4, 2);
  dcb.fDsrSensitivity = Field(flags, 6, 1);
  dcb.fTXContinueOnXoff = Field(flags, 7, 1);
  dcb.fOutX = Field(flags, 8, 1);
  dcb.fInX = Field(flags, 9, 1);
  dcb.fErrorChar = Field(flags, 10, 1);
  dcb.fNull = Field(flags, 11, 1);
  dcb.fRtsControl = Field(flags, 12, 2);
  dcb.fAbortOnError = Field(flags, 14, 1);
}

}  // namespace serial
