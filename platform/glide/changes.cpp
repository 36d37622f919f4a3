// The pixels that differ between two pictures, found among the blocks that
// may differ and gathered into rectangles: a bit per pixel of a memory row,
// its runs, and runs that repeat a row's above extending its rectangle.
#include "changes.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "conversion.h"

namespace softglide::detail {
namespace {

constexpr int rowWords = screenWidth / 64;  // a memory row's pixels, one bit each
static_assert(screenWidth % 64 == 0 && blockWidth == 16, "a block is a quarter of a word of pixel bits");
using RowBits = std::array<std::uint64_t, rowWords>;

// Bit i set: pixel i of the 16 differs. Four pixels to a 64-bit word: the
// top bit of each 16-bit lane of a ^ b is set where the lane is not zero,
// and one multiplication moves the four top bits (bits 15, 31, 47, 63,
// shifted down to 0, 16, 32, 48) side by side into bits 48 to 51 (each
// lands on a bit of its own, so nothing carries).
std::uint32_t differingInBlock(const std::uint16_t* a, const std::uint16_t* b) {
  constexpr std::uint64_t lowBits = 0x7FFF7FFF7FFF7FFFull;
  std::uint64_t words[2][blockWidth / 4];
  std::memcpy(words[0], a, sizeof words[0]);
  std::memcpy(words[1], b, sizeof words[1]);
  std::uint64_t any = 0;
  for (int i = 0; i < blockWidth / 4; ++i) {
    any |= words[0][i] ^ words[1][i];
  }
  if (any == 0) {
    return 0;
  }
  std::uint32_t mask = 0;
#pragma GCC unroll 4
  for (int i = 0; i < blockWidth / 4; ++i) {
    const std::uint64_t difference = words[0][i] ^ words[1][i];
    const std::uint64_t tops = (((difference & lowBits) + lowBits) | difference) & ~lowBits;
    mask |= static_cast<std::uint32_t>(((tops >> 15) * 0x0001000200040008ull) >> 48) << (4 * i);
  }
  return mask;
}

void differingPixelsPlain(const std::uint16_t* picture, const std::uint16_t* previous, std::uint64_t candidates,
                          RowBits& bits) {
  bits = {};
  while (candidates != 0) {
    const int block = lowestBit(candidates);
    candidates &= candidates - 1;
    const std::size_t start = static_cast<std::size_t>(block) * blockWidth;
    bits[block / 4] |= static_cast<std::uint64_t>(differingInBlock(picture + start, previous + start))
                       << (block % 4 * blockWidth);
  }
}

#if defined(__x86_64__) || defined(__i386__)
// With AVX2's instructions a block's sixteen pixels are compared at once,
// and their results packed to a byte each and collected as bits.
__attribute__((target("avx2"))) void differingPixelsAvx2(const std::uint16_t* picture,
                                                         const std::uint16_t* previous, std::uint64_t candidates,
                                                         RowBits& bits) {
  bits = {};
  while (candidates != 0) {
    const int block = lowestBit(candidates);
    candidates &= candidates - 1;
    const std::size_t start = static_cast<std::size_t>(block) * blockWidth;
    __m256i now, before;
    std::memcpy(&now, picture + start, sizeof now);
    std::memcpy(&before, previous + start, sizeof before);
    const __m256i equal = _mm256_cmpeq_epi16(now, before);
    const __m128i packed = _mm_packs_epi16(_mm256_castsi256_si128(equal), _mm256_extracti128_si256(equal, 1));
    const auto differing = static_cast<std::uint32_t>(~_mm_movemask_epi8(packed)) & 0xFFFFu;
    bits[block / 4] |= static_cast<std::uint64_t>(differing) << (block % 4 * blockWidth);
  }
}
#endif

void differingPixels(const std::uint16_t* picture, const std::uint16_t* previous, std::uint64_t candidates,
                     RowBits& bits) {
#if defined(__x86_64__) || defined(__i386__)
  if (hasAvx2()) {
    differingPixelsAvx2(picture, previous, candidates, bits);
    return;
  }
#endif
  differingPixelsPlain(picture, previous, candidates, bits);
}

// The first pixel at or after from whose bit is set (or, with flip all
// ones, clear); screenWidth when there is none.
int nextBit(const RowBits& bits, int from, std::uint64_t flip) {
  if (from >= screenWidth) {
    return screenWidth;
  }
  int word = from / 64;
  std::uint64_t pending = (bits[word] ^ flip) & (~std::uint64_t{0} << (from % 64));
  while (pending == 0) {
    if (++word == rowWords) {
      return screenWidth;
    }
    pending = bits[word] ^ flip;
  }
  return word * 64 + lowestBit(pending);
}

struct Run {
  int first, end;
};

// The row's runs of set bits, those apart by at most joinGap clear bits
// joined; their number.
int runsOf(const RowBits& bits, int joinGap, std::array<Run, screenWidth / 2>& runs) {
  int count = 0;
  int first = nextBit(bits, 0, 0);
  while (first < screenWidth) {
    int end = nextBit(bits, first, ~std::uint64_t{0});
    int next = nextBit(bits, end, 0);
    while (next < screenWidth && next - end <= joinGap) {
      end = nextBit(bits, next, ~std::uint64_t{0});
      next = nextBit(bits, end, 0);
    }
    runs[static_cast<std::size_t>(count++)] = {first, end};
    first = next;
  }
  return count;
}

}  // namespace

void differingRectangles(const std::uint16_t* picture, const std::uint16_t* previous,
                         const std::uint64_t* candidates, const Gathering& gathering,
                         std::vector<PictureRect>& rectangles) {
  // Rectangles reaching the row above, roughly left to right.
  static std::vector<std::size_t> open, stillOpen;
  static std::array<Run, screenWidth / 2> runs;
  open.clear();
  RowBits bits;
  const long long maxWaste = gathering.maxWaste;
  for (int row = 0; row < screenHeight; ++row) {
    stillOpen.clear();
    int count = 0;
    if (candidates[row] != 0) {
      const std::size_t offset = static_cast<std::size_t>(row) * screenWidth;
      differingPixels(picture + offset, previous + offset, candidates[row], bits);
      count = runsOf(bits, gathering.joinGap, runs);
    }
    std::size_t nextOpen = 0;
    for (int i = 0; i < count; ++i) {
      const Run run = runs[static_cast<std::size_t>(i)];
      // Rectangles that end too far left for this run stay closed.
      while (nextOpen < open.size() && rectangles[open[nextOpen]].right + gathering.joinGap < run.first) {
        ++nextOpen;
      }
      if (nextOpen < open.size()) {
        PictureRect& rect = rectangles[open[nextOpen]];
        const int left = std::min(rect.left, run.first);
        const int right = std::max(rect.right, run.end);
        const long long waste = static_cast<long long>(right - left) * (row + 1 - rect.top) -
                                static_cast<long long>(rect.right - rect.left) * (rect.bottom - rect.top) -
                                (run.end - run.first);
        if (rect.left <= run.end + gathering.joinGap && waste <= maxWaste) {
          rect = {left, rect.top, right, row + 1};
          if (stillOpen.empty() || stillOpen.back() != open[nextOpen]) {
            stillOpen.push_back(open[nextOpen]);
          }
          continue;
        }
      }
      stillOpen.push_back(rectangles.size());
      rectangles.push_back({run.first, row, run.end, row + 1});
    }
    std::swap(open, stillOpen);
  }
}

}  // namespace softglide::detail
