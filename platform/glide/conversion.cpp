// Converting the board's 5-6-5 pictures to 0x00RRGGBB: bit replication,
// eight pixels at a time (with AVX2 where the processor has it; by the bytes
// of each pixel on a processor without a vector unit), or through the output
// gamma's table when SST_GAMMA sets one.
#include "conversion.h"

#include <array>
#include <cmath>
#include <cstring>

#include "board.h"
#include "pixel.h"
#include "processor.h"
#include "softglide.h"

namespace softglide::detail {
namespace {

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
    target[i] = replicatedBits(source[i]);
  }
}

#if defined(__i386__) && !defined(__SSE2__)
// A processor without a vector unit (the Pentium II's x87 and MMX only)
// would run the vector code above a lane at a time: two look-ups a pixel.

[[gnu::always_inline]] inline void replicateBits(const std::uint16_t* source, std::uint32_t* target,
                                                 std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    target[i] = replicatedBits(source[i]);
  }
}
#else
[[gnu::always_inline]] inline void replicateBits(const std::uint16_t* source, std::uint32_t* target,
                                                 std::size_t count) {
  replicateBitsInVectors(source, target, count);
}
#endif

#if defined(__x86_64__) || defined(__i386__)
// Processors with AVX2 do eight pixels in one register instead of two.
__attribute__((target("avx2"))) void replicateBitsAvx2(const std::uint16_t* source, std::uint32_t* target,
                                                       std::size_t count) {
  replicateBitsInVectors(source, target, count);
}
#endif

}  // namespace

void convertWithoutGamma(const std::uint16_t* source, std::uint32_t* target, std::size_t count) {
#if defined(__x86_64__) || defined(__i386__)
  if (hasAvx2()) {
    replicateBitsAvx2(source, target, count);
    return;
  }
#endif
  replicateBits(source, target, count);
}
void Converter::setGamma(double gamma) {
  if (gamma == gamma_ && (gamma == 1.0 || !table_.empty())) {
    return;
  }
  gamma_ = gamma;
  table_.clear();
  if (gamma == 1.0) {
    return;
  }
  std::array<std::uint8_t, 256> curve{};
  for (int level = 0; level < 256; ++level) {
    curve[level] = static_cast<std::uint8_t>(std::lround(255.0 * std::pow(level / 255.0, 1.0 / gamma)));
  }
  table_.resize(65536);
  for (std::uint32_t word = 0; word < 65536; ++word) {
    const auto pixel = static_cast<std::uint16_t>(word);
    table_[word] = static_cast<std::uint32_t>(curve[pixel::red8(pixel)]) << 16 |
                   static_cast<std::uint32_t>(curve[pixel::green8(pixel)]) << 8 | curve[pixel::blue8(pixel)];
  }
}

void Converter::convertMany(const std::uint16_t* source, std::uint32_t* target, std::size_t count) const {
  if (table_.empty()) {
    convertWithoutGamma(source, target, count);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    target[i] = table_[source[i]];
  }
}

}  // namespace softglide::detail

namespace softglide {

void convertPicture(const std::uint16_t* source, std::uint32_t* target, std::size_t count) {
  detail::Converter converter;
  converter.setGamma(detail::board().open ? detail::board().switches.gamma : readSwitches().gamma);
  converter.convert(source, target, count);
}

}  // namespace softglide
