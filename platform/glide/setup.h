// Vertex setup: a vertex's floats read once into the card's fixed-point
// units, and the start and step of each parameter iterated along a line.
#pragma once

#include <bit>
#include <cstdint>
#include <utility>

#include "device/glide.h"
#include "softglide.h"

namespace softglide::detail {

// Units after setup: positions in 1/16 pixel, colour and alpha in 12.12
// (4096 is one level), 1/w in units of 2^-32 (Q), the minor coordinate of a
// line in 1/65536 pixel. Each scale is a power of two, so each conversion is
// exact; it is done on the float's bits, in integers, so that no target's
// floating-point unit, precision or rounding mode takes part.

// A float's bits as sign, and magnitude = significand * 2^exponent.
struct FloatParts {
  bool negative;
  std::uint32_t significand;  // up to 24 bits
  int exponent;
};

inline FloatParts floatParts(std::uint32_t bits) {
  const int biased = static_cast<int>((bits >> 23) & 0xFF);
  const std::uint32_t fraction = bits & 0x7FFFFF;
  if (biased == 0) {
    return {(bits >> 31) != 0, fraction, 1 - 150};  // zero or subnormal: no hidden bit
  }
  return {(bits >> 31) != 0, fraction | 0x800000, biased - 150};
}

// floor(v * 2^scale) for the finite float v with these bits, whose result
// fits the integer type.
template <typename Integer>
inline Integer floorScaled(std::uint32_t bits, int scale) {
  const FloatParts parts = floatParts(bits);
  const int shift = parts.exponent + scale;
  Integer whole = 0;
  bool inexact = false;
  if (shift >= 0) {
    whole = static_cast<Integer>(static_cast<Integer>(parts.significand) << shift);
  } else if (shift > -32) {
    whole = static_cast<Integer>(parts.significand >> -shift);
    inexact = (parts.significand << (32 + shift)) != 0;  // the bits shifted out
  } else {
    inexact = parts.significand != 0;
  }
  return parts.negative ? static_cast<Integer>(-whole - (inexact ? 1 : 0)) : whole;
}

inline std::uint32_t bitsOf(float value) {
  return std::bit_cast<std::uint32_t>(value);
}

inline constexpr std::uint32_t magnitudeBits = 0x7FFFFFFF;
inline constexpr std::uint32_t infinityBits = 0x7F800000;  // larger magnitudes are not numbers

// A finite coordinate within +-4096 pixels; primitives with any other
// coordinate draw nothing.
inline bool drawablePosition(float coordinate) {
  return (bitsOf(coordinate) & magnitudeBits) <= 0x45800000;  // 4096.0f
}

// floor(v * 16 + 0.5), that is floor((floor(v * 32) + 1) / 2): halves round
// up to the next 1/16 pixel. For drawable coordinates.
inline std::int32_t snapPosition(float coordinate) {
  return (floorScaled<std::int32_t>(bitsOf(coordinate), 5) + 1) >> 1;
}

// floor(clamp(c, 0, 255) * 4096); not a number counts as 0. Positive floats
// order as their bits do; negative ones and not-a-numbers lie above +inf.
inline std::int32_t fixedColor(float channel) {
  const std::uint32_t bits = bitsOf(channel);
  if (bits > infinityBits) {
    return 0;
  }
  if (bits >= 0x437F0000) {  // 255.0f
    return 255 << 12;
  }
  // Below 255, c * 4096 < 2^20 has no bits left of the significand's lowest,
  // and is positive: its floor is the significand shifted right.
  const FloatParts parts = floatParts(bits);
  const int shift = -(parts.exponent + 12);
  return shift < 32 ? static_cast<std::int32_t>(parts.significand >> shift) : 0;
}

// floor(clamp(oow, -1, 2) * 2^32); not a number counts as -1.
inline std::int64_t fixedOow(float oow) {
  const std::uint32_t bits = bitsOf(oow);
  const std::uint32_t magnitude = bits & magnitudeBits;
  const bool negative = bits != magnitude;
  if (magnitude > infinityBits || (negative && magnitude >= 0x3F800000)) {  // 1.0f
    return -(std::int64_t{1} << 32);
  }
  if (!negative && magnitude >= 0x40000000) {  // 2.0f
    return std::int64_t{2} << 32;
  }
  return floorScaled<std::int64_t>(bits, 32);
}

// numerator / denominator rounded towards minus infinity, for a positive
// denominator. Numerators within 32 bits, the usual case on the board, take
// the 32-bit division, which 32-bit x86 has in one instruction and 64-bit
// division not.
inline std::int64_t floorDivide(std::int64_t numerator, std::int32_t denominator) {
  if (numerator >= INT32_MIN && numerator <= INT32_MAX) {
    const auto narrow = static_cast<std::int32_t>(numerator);
    const std::int32_t quotient = narrow / denominator;
    return quotient - (narrow % denominator < 0 ? 1 : 0);
  }
  const std::int64_t quotient = numerator / denominator;
  return quotient - (numerator % denominator < 0 ? 1 : 0);
}

// A vertex after setup.
struct FixedVertex {
  std::int32_t x, y;        // 1/16 pixel
  std::int32_t r, g, b, a;  // 12.12
  std::int64_t q;           // 2^-32
};

// For a vertex whose position is drawable.
inline FixedVertex setUpVertex(const GrVertex& vertex) {
  return {snapPosition(vertex.x), snapPosition(vertex.y), fixedColor(vertex.r), fixedColor(vertex.g),
          fixedColor(vertex.b),   fixedColor(vertex.a),   fixedOow(vertex.oow)};
}

// A parameter along a line's major axis u: its value at the centre of the
// first column iterated, and what each next column adds.
struct LineIterator {
  std::int64_t value;
  std::int64_t step;
};

// The parameter with value first at major coordinate firstU and second at
// secondU (1/16 pixel, different), at the centre 16 column + 8 of a
// column: first + floordiv((second - first) * (16 column + 8 - firstU), dU)
// with dU = secondU - firstU, and the step floordiv((second - first) * 16,
// dU). Given the other way round, the ends give the same values: both
// quotients are of the same rational number up to the integer
// second - first, which passes through the floor. So the end with the
// lower u is taken as the first, and dU is positive. Value is 32 bits for
// colour, alpha and the minor coordinate, 64 for Q; the products fit 64 bits
// (|change| < 2^34, |16 column + 8 - firstU| < 2^18).
template <typename Value>
inline LineIterator startLineIterator(Value first, Value second, std::int32_t firstU, std::int32_t secondU,
                                      std::int32_t column) {
  if (secondU < firstU) {
    std::swap(first, second);
    std::swap(firstU, secondU);
  }
  const std::int64_t change = std::int64_t{second} - first;
  if (change == 0) {
    return {first, 0};
  }
  const std::int32_t span = secondU - firstU;
  const std::int32_t offset = 16 * column + 8 - firstU;
  return {first + floorDivide(change * offset, span), floorDivide(change * 16, span)};
}

// floor(numerator / divisor) for one positive divisor and many numerators
// of magnitude below 2^50, exactly: the quotient is estimated by a multiply
// with the divisor's reciprocal (off by less than one either way, the error
// of a double) and corrected by the remainder. One division serves a whole
// line's parameters; an integer division each would cost dozens of cycles.
class FloorDivider {
 public:
  explicit FloorDivider(std::int32_t divisor) : divisor_(divisor), reciprocal_(1.0 / divisor) {}

  std::int64_t operator()(std::int64_t numerator) const {
    // The estimate's whole part read from the bits of estimate + 1.5 * 2^52
    // (its low 52 bits are then the whole part plus 2^51, rounded), not by a
    // conversion to an integer: x87 processors convert only after switching
    // their rounding mode, twice, which costs more than the rest.
    const double shifted = static_cast<double>(numerator) * reciprocal_ + 6755399441055744.0;
    std::int64_t quotient =
        static_cast<std::int64_t>(std::bit_cast<std::uint64_t>(shifted) & ((std::uint64_t{1} << 52) - 1)) -
        (std::int64_t{1} << 51);
    std::int64_t remainder = numerator - quotient * divisor_;
    while (remainder < 0) {
      --quotient;
      remainder += divisor_;
    }
    while (remainder >= divisor_) {
      ++quotient;
      remainder -= divisor_;
    }
    return quotient;
  }

 private:
  std::int64_t divisor_;
  double reciprocal_;
};

// A line's columns from the first one drawn: that column's centre past the
// lower end's major coordinate, 16 c + 8 - lowU (1/16 pixel), and the
// division by dU = highU - lowU > 0.
struct LineSpan {
  std::int32_t offset;
  FloorDivider perSpan;
};

// startLineIterator's value and step for the ends given in the order of
// the span (low first).
inline LineIterator iterate(std::int64_t low, std::int64_t high, const LineSpan& span) {
  const std::int64_t change = high - low;
  if (change == 0) {
    return {low, 0};
  }
  return {low + span.perSpan(change * span.offset), span.perSpan(change * 16)};
}

}  // namespace softglide::detail
