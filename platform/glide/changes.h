// Which parts of a colour buffer differ from its last whole-screen clear, in
// 16-pixel blocks of each memory row (what a clear in the same colour has to
// undo), and which pixels differ between two pictures, as rectangles (what
// the presenter shows anew).
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

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

// std::countr_zero of a word that is not zero. 32-bit x86 counts 32 bits at
// a time: 64 in one go would be a library call.
[[gnu::always_inline]] inline int lowestBit(std::uint64_t bits) {
#if defined(__i386__)
  const auto low = static_cast<std::uint32_t>(bits);
  return low != 0 ? std::countr_zero(low) : 32 + std::countr_zero(static_cast<std::uint32_t>(bits >> 32));
#else
  return std::countr_zero(bits);
#endif
}

// The first run of neighbouring set bits in blocks, as [first, end); the
// run is taken out of blocks.
[[gnu::always_inline]] inline std::pair<int, int> firstRun(std::uint64_t& blocks) {
  const int first = lowestBit(blocks);
  const std::uint64_t clear = ~(blocks >> first);  // zero only when all 64 bits are set
  const int end = first + (clear == 0 ? 64 : lowestBit(clear));
  blocks &= end < 64 ? ~std::uint64_t{0} << end : 0;
  return {first, end};
}

// Picture pixels: columns [left, right) of memory rows [top, bottom).
struct PictureRect {
  int left, top, right, bottom;
};

// How finely differing pixels are gathered into rectangles, in picture
// pixels: a rectangle may take in at most this many that did not change to
// take in a run of changed ones, which saves a rectangle.
struct Gathering {
  int joinGap;   // runs of a row apart by at most this many equal pixels are one
  int maxWaste;  // unchanged pixels a rectangle may take in at a time
};

// The pixels that differ between picture and previous (screenWidth x
// screenHeight 5-6-5 words, top memory row first), looked for in the
// candidate blocks of each memory row only, appended to rectangles that
// together cover all of them: each row's runs of differing pixels, a run
// that overlaps a rectangle reaching the row above (or comes within joinGap
// of it) widening and extending that rectangle when that takes in at most
// maxWaste unchanged pixels, and starting a rectangle of its own otherwise.
void differingRectangles(const std::uint16_t* picture, const std::uint16_t* previous,
                         const std::uint64_t* candidates, const Gathering& gathering,
                         std::vector<PictureRect>& rectangles);

}  // namespace softglide::detail
