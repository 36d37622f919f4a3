// The frame log's lines and the hash they carry, the same on every target.
#include "runlog.h"

#include <cstdio>

#include "softglide.h"

namespace softglide {

std::uint64_t frameHash(const std::uint16_t* pixels, std::size_t count) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  constexpr std::uint64_t prime = 0x100000001b3u;
  for (std::size_t i = 0; i < count; ++i) {
    hash = (hash ^ (pixels[i] & 0xFFu)) * prime;
    hash = (hash ^ (pixels[i] >> 8)) * prime;
  }
  return hash;
}

}  // namespace softglide

namespace softglide::detail {

void logFrame(int swap, const std::uint16_t* front, std::size_t count) {
  if (!frameLogOn()) {
    return;
  }
  // Formatted here rather than by printf, whose 64-bit conversions differ
  // between C libraries.
  char line[40];
  const int length = std::snprintf(line, 24, "%d ", swap);
  std::uint64_t hash = frameHash(front, count);
  for (int i = 15; i >= 0; --i) {
    line[length + i] = "0123456789abcdef"[hash & 0xF];
    hash >>= 4;
  }
  line[length + 16] = '\n';
  writeFrameLine(line, static_cast<std::size_t>(length) + 17, swap);
}

}  // namespace softglide::detail
