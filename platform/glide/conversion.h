// Converting the board's 5-6-5 pictures to 0x00RRGGBB for presenting: bit
// replication, through the output gamma that SST_GAMMA sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace softglide::detail {

// 5-6-5 words to 0x00RRGGBB by bit replication, without output gamma.
void convertWithoutGamma(const std::uint16_t* source, std::uint32_t* target, std::size_t count);
// Bit replication by the bytes of a 5-6-5 word: red comes from the high
// byte, blue from the low one, and green's six bits, three from each,
// replicate into bits that either byte alone decides. So a pixel is two
// look-ups in tables of 256 words, or'd: fewer instructions than the
// arithmetic, for the short runs of a present and processors without a
// vector unit.
struct ByteTables {
  std::uint32_t high[256], low[256];
};
constexpr ByteTables makeByteTables() {
  ByteTables made{};
  for (std::uint32_t byte = 0; byte < 256; ++byte) {
    const std::uint32_t highGreen = (byte & 0x07) << 5 | (byte & 0x07) >> 1;  // green bits 5-3 and 1-0
    made.high[byte] = (((byte & 0xF8) | byte >> 5) << 16) | highGreen << 8;
    const std::uint32_t lowGreen = (byte >> 5) << 2;  // green bits 4-2
    made.low[byte] = lowGreen << 8 | (byte & 0x1F) << 3 | (byte & 0x1F) >> 2;
  }
  return made;
}

inline constexpr ByteTables byteTables = makeByteTables();

// One 5-6-5 word by bit replication.
[[gnu::always_inline]] inline std::uint32_t replicatedBits(std::uint32_t pixel) {
  return byteTables.high[pixel >> 8] | byteTables.low[pixel & 0xFF];
}

// The conversion through one output gamma; its table is made when the
// gamma is set, and kept by whoever presents with it.
class Converter {
 public:
  void setGamma(double gamma);
  double gamma() const { return gamma_; }
  // Short runs, the usual case in a present, are converted here and now.
  void convert(const std::uint16_t* source, std::uint32_t* target, std::size_t count) const {
    if (count < 8 && table_.empty()) {
      for (std::size_t i = 0; i < count; ++i) {
        target[i] = replicatedBits(source[i]);
      }
      return;
    }
    convertMany(source, target, count);
  }

 private:
  void convertMany(const std::uint16_t* source, std::uint32_t* target, std::size_t count) const;

  double gamma_ = 1.0;
  std::vector<std::uint32_t> table_;  // every 5-6-5 word through the gamma, unless it is 1
};

}  // namespace softglide::detail
