// Which parts of a colour buffer differ from its last whole-screen clear, in
// 16-pixel blocks of each memory row: what the presenter shows anew and
// what a clear in the same colour has to undo.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <utility>

#include "softglide.h"

namespace softglide::detail {

// Outside the marked blocks a buffer holds the dither pattern of its last
// whole-screen clear. Two pictures therefore differ only in blocks marked
// in either of them when their clears had the same colour.
inline constexpr int blockWidth = 16;
inline constexpr int rowBlocks = screenWidth / blockWidth;
static_assert(rowBlocks <= 64, "a row's blocks fit in one word");
inline constexpr std::uint64_t allBlocks = (std::uint64_t{1} << rowBlocks) - 1;

struct BufferChanges {
  int red = 0, green = 0, blue = 0;  // the colour of the last whole-screen clear
  std::array<std::uint64_t, screenHeight> blocks{};  // per memory row, bit i = pixels 16i to 16i+15
};

inline std::uint64_t blockBit(int x) {
  return std::uint64_t{1} << (x / blockWidth);
}

// The first run of neighbouring set bits in blocks, as [first, end); the
// run is taken out of blocks.
[[gnu::always_inline]] inline std::pair<int, int> firstRun(std::uint64_t& blocks) {
  const int first = std::countr_zero(blocks);
  const int end = first + std::countr_one(blocks >> first);
  blocks &= end < 64 ? ~std::uint64_t{0} << end : 0;
  return {first, end};
}

}  // namespace softglide::detail
