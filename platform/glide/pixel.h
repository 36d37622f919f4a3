// The pixel arithmetic of the board: fog depth from 1/w, table fog, alpha
// blending and the 4x4 ordered dither to 5-6-5. Everything here is integer
// arithmetic as the accelerator did it, so pictures are exact.
#pragma once

#include <bit>
#include <cstdint>

namespace softglide::pixel {

// The card's 16-bit floating depth of a pixel's 1/w, from Q = 1/w in units
// of 2^-32: 0 for Q >= 2^32 or Q < 0; 0xFFFF for Q < 2^16; otherwise, with
// p the position of Q's highest set bit (16 to 31),
// ((31 - p) << 12) + 4096 - ((Q >> (p - 12)) & 0xFFF), at most 0xFFFF: the
// exponent below 1 and the complement of the top 12 bits of the mantissa.
inline std::uint32_t fogDepth(std::int64_t q) {
  if (q < 0 || q >= (std::int64_t{1} << 32)) {
    return 0;
  }
  const auto low = static_cast<std::uint32_t>(q);
  if (low < 0x10000) {
    return 0xFFFF;
  }
  const int leadingZeros = std::countl_zero(low);  // 31 - p, from 0 to 15
  const std::uint32_t mantissa12 = (low >> (19 - leadingZeros)) & 0xFFF;
  const std::uint32_t depth = (static_cast<std::uint32_t>(leadingZeros) << 12) + 4096 - mantissa12;
  return depth > 0xFFFF ? 0xFFFF : depth;
}

// The fog blend factor for a floating depth, from the loaded table t and its
// per-entry deltas d[i] = (t[i+1] - t[i]) << 2 kept in 8 bits (d[63] = 0):
// f = t[i] + ((d[i] * fraction) >> 10) with i = depth >> 10 and
// fraction = (depth >> 2) & 0xFF.
inline std::uint32_t fogFactor(const std::uint8_t table[64], std::uint32_t depth) {
  const std::uint32_t index = depth >> 10;
  const std::uint32_t fraction = (depth >> 2) & 0xFF;
  const std::uint32_t delta =
      index < 63 ? (static_cast<std::uint32_t>(table[index + 1] - table[index]) << 2) & 0xFF : 0;
  return table[index] + ((delta * fraction) >> 10);
}

inline int clamp255(int value) {
  return value < 0 ? 0 : (value > 255 ? 255 : value);
}

// One channel fogged towards the fog colour by factor f.
inline int applyFog(int channel, int fogChannel, std::uint32_t factor) {
  return clamp255(channel + (((fogChannel - channel) * static_cast<int>(factor + 1)) >> 8));
}

// Blend factors are scaled to 0..256: an 8-bit value v counts as v + 1 and
// "one minus v" as 256 - v.
inline int blendChannel(int source, int sourceFactor, int dest, int destFactor) {
  return clamp255((source * sourceFactor + dest * destFactor) >> 8);
}

inline constexpr std::uint8_t ditherMatrix[4][4] = {
    {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

constexpr std::uint32_t dither5(int value, int threshold) {
  return static_cast<std::uint32_t>(((value << 1) - (value >> 4) + (value >> 7) + threshold) >> 4);
}

constexpr std::uint32_t dither6(int value, int threshold) {
  return static_cast<std::uint32_t>(((value << 2) - (value >> 4) + (value >> 6) + threshold) >> 4);
}

// dither5 and dither6 of every level 0-255 under every threshold, so that
// a pixel looks its three channels up.
struct DitherLevels {
  std::uint8_t five[16][256];
  std::uint8_t six[16][256];
};

constexpr DitherLevels makeDitherLevels() {
  DitherLevels levels{};
  for (int threshold = 0; threshold < 16; ++threshold) {
    for (int value = 0; value < 256; ++value) {
      levels.five[threshold][value] = static_cast<std::uint8_t>(dither5(value, threshold));
      levels.six[threshold][value] = static_cast<std::uint8_t>(dither6(value, threshold));
    }
  }
  return levels;
}

inline constexpr DitherLevels ditherLevels = makeDitherLevels();

// Channels 0-255; row is the memory row of the frame buffer, column its x.
inline std::uint16_t ditherTo565(int red, int green, int blue, int column, int row) {
  const int threshold = ditherMatrix[row & 3][column & 3];
  return static_cast<std::uint16_t>((ditherLevels.five[threshold][red] << 11) |
                                    (ditherLevels.six[threshold][green] << 5) | ditherLevels.five[threshold][blue]);
}
// ditherTo565 of grey levels, three channels alike: a word per threshold and
// level, so that a grey pixel is one look-up.
struct GreyWords {
  std::uint16_t words[16][256];
};

constexpr GreyWords makeGreyWords() {
  GreyWords grey{};
  for (int threshold = 0; threshold < 16; ++threshold) {
    for (int value = 0; value < 256; ++value) {
      const std::uint32_t five = dither5(value, threshold);
      grey.words[threshold][value] = static_cast<std::uint16_t>(five << 11 | dither6(value, threshold) << 5 | five);
    }
  }
  return grey;
}

inline constexpr GreyWords greyWords = makeGreyWords();

inline std::uint16_t greyTo565(int level, int column, int row) {
  return greyWords.words[ditherMatrix[row & 3][column & 3]][level];
}


// 5-6-5 back to 8 bits per channel by bit replication.
inline int red8(std::uint16_t pixel) {
  const int r5 = pixel >> 11;
  return (r5 << 3) | (r5 >> 2);
}
inline int green8(std::uint16_t pixel) {
  const int g6 = (pixel >> 5) & 0x3F;
  return (g6 << 2) | (g6 >> 4);
}
inline int blue8(std::uint16_t pixel) {
  const int b5 = pixel & 0x1F;
  return (b5 << 3) | (b5 >> 2);
}

}  // namespace softglide::pixel
