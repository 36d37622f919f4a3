// The bounded generator with rejection, and the effect's own rand.
#include "effect/random.h"

std::uint32_t randomState = 1;

namespace {

constexpr std::uint32_t multiplier = 1103515245u;
constexpr std::uint32_t increment = 12345u;
constexpr std::uint32_t largestSingleDrawBound = 0x0FFFFFFFu;

std::uint32_t stepRandomState() {
  randomState = randomState * multiplier + increment;
  return randomState;
}

// The smallest width w >= 1 with 2^w > bound (capped at 31 draw bits).
unsigned drawWidth(std::uint32_t bound) {
  unsigned width = 1;
  while (width < 32 && (std::uint64_t{1} << width) <= bound) {
    ++width;
  }
  return width;
}

}  // namespace

std::uint32_t randomUpTo(std::uint32_t bound) {
  if (bound <= largestSingleDrawBound) {
    const unsigned shift = 31 - drawWidth(bound);
    for (;;) {
      const std::uint32_t candidate = (stepRandomState() & 0x7FFFFFFFu) >> shift;
      if (candidate <= bound) {
        return candidate;
      }
    }
  }
  // Wide bounds combine a 28-bit low part with a high part of up to 4 bits,
  // drawing both anew whenever the combination exceeds the bound.
  for (;;) {
    const std::uint32_t low = randomUpTo(largestSingleDrawBound);
    const std::uint32_t high = randomUpTo(bound >> 28);
    const std::uint32_t value = low | (high << 28);
    if (value <= bound) {
      return value;
    }
  }
}

std::int32_t randomRange(std::int32_t low, std::int32_t high) {
  const std::uint32_t span = static_cast<std::uint32_t>(high) - static_cast<std::uint32_t>(low);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(low) + randomUpTo(span));
}

namespace effect {

std::uint32_t randState = 1;

int rand() {
  randState = randState * multiplier + increment;
  return static_cast<int>((randState >> 16) & 0x7FFFu);
}

}  // namespace effect
