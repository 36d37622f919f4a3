// What the primitives of every grid share: a vertex's checks and fragment,
// colour levels, and parameters stepped along a line.
#pragma once

#include <cstdint>
#include <type_traits>

#include "device/glide.h"
#include "fragment.h"
#include "pixel.h"
#include "setup.h"

namespace softglide::detail {

inline bool drawable(const GrVertex& vertex) {
  return drawablePosition(vertex.x) && drawablePosition(vertex.y);
}

// Whether a primitive between these vertices takes the grey paths, one
// level for the three channels: the usual state, the same colour in the
// three channels at both (to the bit), and a fog that keeps grey grey.
inline bool greyPrimitive(bool usual, const UsualWriter& writer, const GrVertex& first, const GrVertex& second) {
  const auto grey = [](const GrVertex& vertex) {
    return bitsOf(vertex.g) == bitsOf(vertex.r) && bitsOf(vertex.b) == bitsOf(vertex.r);
  };
  return usual && grey(first) && grey(second) && fogKeepsGrey(writer);
}

// A 12.12 colour or alpha as the 0-255 level a pixel uses: clamp(C >> 12,
// 0, 255). No value reaches past 255 << 12: a vertex's is clamped at setup,
// and an iterated one never exceeds the larger of the line's two ends.
[[gnu::always_inline]] inline int level(std::int32_t fixed) {
  return fixed > 0 ? fixed >> 12 : 0;
}

// A parameter along a line: its 12.12 or 1/65536-pixel value and per-column
// step. Colour, alpha and the card's minor coordinate fit 32 bits all
// along: a stepped value lies below the exact one by less than the number of
// steps taken plus one, and the exact one between the two ends' values.
struct Stepped {
  std::int32_t value, step;
};

inline Stepped narrow(const LineIterator& iterator) {
  return {static_cast<std::int32_t>(iterator.value), static_cast<std::int32_t>(iterator.step)};
}

// The fragment of a vertex: its own colour, alpha and fog depth.
inline Fragment fragmentOf(const GrVertex& vertex) {
  return {level(fixedColor(vertex.r)), level(fixedColor(vertex.g)), level(fixedColor(vertex.b)),
          level(fixedColor(vertex.a)), pixel::fogDepth(fixedOow(vertex.oow))};
}

// A line after its checks, on any grid: the band along the longer axis of
// the positions snapX and snapY give (1/16 grid pixel), drawn from the end
// with the lower major coordinate (the same values as from the other end;
// see startLineIterator) by band(xMajor, low, high, lowU, highU, lowV,
// highV), xMajor a std::bool_constant. A zero-length line draws nothing.
template <typename SnapX, typename SnapY, typename Band>
void drawAlongTheLongerAxis(const GrVertex& first, const GrVertex& second, SnapX snapX, SnapY snapY, Band band) {
  const std::int32_t firstX = snapX(first.x), firstY = snapY(first.y);
  const std::int32_t secondX = snapX(second.x), secondY = snapY(second.y);
  const std::int32_t dx = secondX - firstX;
  const std::int32_t dy = secondY - firstY;
  if (dx == 0 && dy == 0) {
    return;
  }
  if ((dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy)) {
    dx > 0 ? band(std::true_type{}, first, second, firstX, secondX, firstY, secondY)
           : band(std::true_type{}, second, first, secondX, firstX, secondY, firstY);
  } else {
    dy > 0 ? band(std::false_type{}, first, second, firstY, secondY, firstX, secondX)
           : band(std::false_type{}, second, first, secondY, firstY, secondX, firstX);
  }
}

// The primitives on a grid other than the card's (gridraster.cpp), after the
// checks the entry points make: drawable positions, an open board.
void drawGridPoint(const GrVertex& vertex);
void drawGridAntiAliasedPoint(const GrVertex& vertex);
void drawGridLine(const GrVertex& first, const GrVertex& second);

}  // namespace softglide::detail
