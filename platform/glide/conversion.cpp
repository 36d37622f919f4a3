// Converting the board's 5-6-5 pictures to 0x00RRGGBB: bit replication,
// eight pixels at a time (with AVX2 where the processor has it; by the bytes
// of each pixel on a processor without a vector unit), or through the output
// gamma's table when SST_GAMMA sets one.
#include "conversion.h"

#include <array>
#include <cmath>
#include <cstring>

#include "board.h"
#include "changes.h"
#include "environment.h"
#include "pixel.h"
#include "softglide.h"

namespace softglide::detail {
namespace {

bool avx2Allowed = true;

// 5-6-5 to 0x00RRGGBB by bit replication, through the output gamma: made
// when a gamma is first asked for, kept for the next present in it.
const std::array<std::uint32_t, 65536>& presentTable(double gamma) {
  static std::array<std::uint32_t, 65536> table{};
  static double tableGamma = 0.0;
  if (gamma != tableGamma) {
    std::array<std::uint8_t, 256> curve{};
    for (int level = 0; level < 256; ++level) {
      curve[level] = static_cast<std::uint8_t>(std::lround(255.0 * std::pow(level / 255.0, 1.0 / gamma)));
    }
    for (std::uint32_t word = 0; word < 65536; ++word) {
      const auto pixel = static_cast<std::uint16_t>(word);
      table[word] = static_cast<std::uint32_t>(curve[pixel::red8(pixel)]) << 16 |
                    static_cast<std::uint32_t>(curve[pixel::green8(pixel)]) << 8 | curve[pixel::blue8(pixel)];
    }
    tableGamma = gamma;
  }
  return table;
}

// Bit replication, eight pixels at a time with the compiler's vector types;
// the same values as the table without gamma.
[[gnu::always_inline]] inline void replicateBitsInVectors(const std::uint16_t* source, std::uint32_t* target,
                                                          std::size_t count) {
  typedef std::uint16_t Words __attribute__((vector_size(16)));
  typedef std::uint32_t Pixels __attribute__((vector_size(32)));
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    Words words;
    std::memcpy(&words, source + i, sizeof words);
    const Pixels pixel = __builtin_convertvector(words, Pixels);
    const Pixels red = ((pixel >> 8) & 0xF8) | (pixel >> 13);
    const Pixels green = ((pixel >> 3) & 0xFC) | ((pixel >> 9) & 0x03);
    const Pixels blue = ((pixel << 3) & 0xF8) | ((pixel >> 2) & 0x07);
    const Pixels result = (red << 16) | (green << 8) | blue;
    std::memcpy(target + i, &result, sizeof result);
  }
  for (; i < count; ++i) {
    const std::uint32_t pixel = source[i];
    const std::uint32_t red = ((pixel >> 8) & 0xF8) | (pixel >> 13);
    const std::uint32_t green = ((pixel >> 3) & 0xFC) | ((pixel >> 9) & 0x03);
    const std::uint32_t blue = ((pixel << 3) & 0xF8) | ((pixel >> 2) & 0x07);
    target[i] = (red << 16) | (green << 8) | blue;
  }
}

#if defined(__i386__) && !defined(__SSE2__)
// A processor without a vector unit (the Pentium II's x87 and MMX only)
// would run the vector code above a lane at a time.
// Bit replication splits by the bytes of a 5-6-5 word instead: red comes
// from the high byte, blue from the low one, and green's six bits, three
// from each, replicate into bits that either byte alone decides. So each
// pixel is two lookups in tables of 256 words, or'd.
struct ByteTables {
  std::array<std::uint32_t, 256> high{}, low{};
};

const ByteTables& byteTables() {
  static const ByteTables tables = [] {
    ByteTables made;
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
      const std::uint32_t highGreen = (byte & 0x07) << 5 | (byte & 0x07) >> 1;  // green bits 5-3 and 1-0
      made.high[byte] = (((byte & 0xF8) | byte >> 5) << 16) | highGreen << 8;
      const std::uint32_t lowGreen = (byte >> 5) << 2;  // green bits 4-2
      made.low[byte] = lowGreen << 8 | (byte & 0x1F) << 3 | (byte & 0x1F) >> 2;
    }
    return made;
  }();
  return tables;
}

[[gnu::always_inline]] inline void replicateBits(const std::uint16_t* source, std::uint32_t* target,
                                                 std::size_t count) {
  const ByteTables& tables = byteTables();
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t pixel = source[i];
    target[i] = tables.high[pixel >> 8] | tables.low[pixel & 0xFF];
  }
}
#else
[[gnu::always_inline]] inline void replicateBits(const std::uint16_t* source, std::uint32_t* target,
                                                 std::size_t count) {
  replicateBitsInVectors(source, target, count);
}
#endif

// Calls convert(offset, count) for each run of marked blocks of every
// memory row: count pixels from pixel offset of the picture.
template <typename Convert>
[[gnu::always_inline]] inline void forEachBlockRun(const std::uint64_t* blocks, Convert convert) {
  for (int row = 0; row < screenHeight; ++row) {
    std::uint64_t marked = blocks[row];
    const std::size_t rowStart = static_cast<std::size_t>(row) * screenWidth;
    while (marked != 0) {
      const auto [first, end] = firstRun(marked);
      convert(rowStart + static_cast<std::size_t>(first) * blockWidth,
              static_cast<std::size_t>(end - first) * blockWidth);
    }
  }
}

void replicatePictureBlocks(const std::uint16_t* source, std::uint32_t* target, const std::uint64_t* blocks) {
  forEachBlockRun(blocks, [=](std::size_t offset, std::size_t count) {
    replicateBits(source + offset, target + offset, count);
  });
}

#if defined(__x86_64__) || defined(__i386__)
// Processors with AVX2 do eight pixels in one register instead of two.
__attribute__((target("avx2"))) void replicateBitsAvx2(const std::uint16_t* source, std::uint32_t* target,
                                                       std::size_t count) {
  replicateBitsInVectors(source, target, count);
}

__attribute__((target("avx2"))) void replicatePictureBlocksAvx2(const std::uint16_t* source, std::uint32_t* target,
                                                                const std::uint64_t* blocks) {
  // Inlined, so that the vector code is made with AVX2's instructions.
  forEachBlockRun(blocks, [=](std::size_t offset, std::size_t count) __attribute__((always_inline)) {
    replicateBitsInVectors(source + offset, target + offset, count);
  });
}
#endif

}  // namespace

// SOFTGLIDE_NO_AVX2=1 keeps the board's conversion to the plain paths for
// the whole process; allowAvx2(false) does so until it is allowed again.
bool hasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool avx2 = __builtin_cpu_supports("avx2") && !avx2Refused();
  return avx2 && avx2Allowed;
#else
  return false;
#endif
}

void convertWithoutGamma(const std::uint16_t* source, std::uint32_t* target, std::size_t count) {
#if defined(__x86_64__) || defined(__i386__)
  if (hasAvx2()) {
    replicateBitsAvx2(source, target, count);
    return;
  }
#endif
  replicateBits(source, target, count);
}

void convertWithGamma(const std::uint16_t* source, std::uint32_t* target, std::size_t count, double gamma) {
  if (gamma == 1.0) {
    convertWithoutGamma(source, target, count);
    return;
  }
  const auto& table = presentTable(gamma);
  for (std::size_t i = 0; i < count; ++i) {
    target[i] = table[source[i]];
  }
}

void convertBlocks(const std::uint16_t* source, std::uint32_t* target, const std::uint64_t* blocks, double gamma) {
  if (gamma != 1.0) {
    forEachBlockRun(blocks, [=](std::size_t offset, std::size_t count) {
      convertWithGamma(source + offset, target + offset, count, gamma);
    });
    return;
  }
#if defined(__x86_64__) || defined(__i386__)
  if (hasAvx2()) {
    replicatePictureBlocksAvx2(source, target, blocks);
    return;
  }
#endif
  replicatePictureBlocks(source, target, blocks);
}

}  // namespace softglide::detail

namespace softglide {

void allowAvx2(bool allowed) {
  detail::avx2Allowed = allowed;
}

bool usesAvx2() {
  return detail::hasAvx2();
}

void convertPicture(const std::uint16_t* source, std::uint32_t* target, std::size_t count) {
  const double gamma = detail::board().open ? detail::board().switches.gamma : readSwitches().gamma;
  detail::convertWithGamma(source, target, count, gamma);
}

}  // namespace softglide
