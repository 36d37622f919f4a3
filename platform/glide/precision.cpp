// The x87 control word while the board is open (see precision.h).
#include "precision.h"

#include <cstdint>

namespace softglide::detail {

#if defined(__i386__)
namespace {

// Bits 0-5 mask the six exceptions; bits 8-9 = 10b select 53-bit precision;
// bits 10-11 = 00b round to nearest; bit 6 is always set.
constexpr std::uint16_t boardControlWord = 0x027F;
std::uint16_t callerControlWord = 0;
bool saved = false;

std::uint16_t controlWord() {
  std::uint16_t word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

void setControlWord(std::uint16_t word) {
  __asm__ volatile("fldcw %0" : : "m"(word));
}

}  // namespace

void useBoardPrecision() {
  if (!saved) {
    callerControlWord = controlWord();
    saved = true;
  }
  setControlWord(boardControlWord);
}

void restoreCallerPrecision() {
  if (saved) {
    setControlWord(callerControlWord);
    saved = false;
  }
}
#else
void useBoardPrecision() {}
void restoreCallerPrecision() {}
#endif

}  // namespace softglide::detail
