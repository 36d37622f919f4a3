// The primitives on a grid of W x H pixels other than the card's: the same
// 640x480 calls with each rule scaled, in exact integer arithmetic. A point
// keeps its game pixel and lights the grid pixels inside it; anti-aliased
// points and lines keep a band one game pixel wide on each side, in grid
// pixels; clipping, fog, blending and dither are per grid pixel. On the
// card's grid each rule is the card's own (raster.cpp draws that).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "board.h"
#include "fragment.h"
#include "primitives.h"

namespace softglide::detail {
namespace {

// floor(n / divisor) for 0 <= n < 2^27 by a multiply and a shift: with
// l = ceil(log2 divisor) and multiplier = ceil(2^(27 + l) / divisor), the
// product's top bits are the quotient for every such n (the round-up method
// of Granlund and Montgomery). For the alpha of each pixel of a band or an
// anti-aliased point, whose divisor is the primitive's.
class SmallDivider {
 public:
  explicit SmallDivider(std::uint32_t divisor) {
    int log = 0;
    while ((std::uint64_t{1} << log) < divisor) {
      ++log;
    }
    shift_ = 27 + log;
    multiplier_ = ((std::uint64_t{1} << shift_) + divisor - 1) / divisor;
  }
  int operator()(std::uint32_t n) const { return static_cast<int>((n * multiplier_) >> shift_); }

 private:
  std::uint64_t multiplier_;
  int shift_;
};

// Writes fragments through the usual state's inline pipeline where the
// board is in it, through the general one otherwise; chosen once for a
// primitive. (x, y) in grid coordinates inside the clip window.
class GridWriter {
 public:
  explicit GridWriter(Board& state) : usual_(usualState(state)), writer_(usualWriter(state)) {}

  bool greyTo(const GrVertex& first, const GrVertex& second) const {
    return greyPrimitive(usual_, writer_, first, second);
  }
  const UsualWriter& usual() const { return writer_; }

  [[gnu::always_inline]] void write(int x, int y, const Fragment& fragment) const {
    if (usual_) {
      blendAndStore(writer_, x, y, shadePassThrough(writer_, fragment.r, fragment.g, fragment.b, fragment.depth),
                    fragment.a);
    } else {
      writeFragmentGeneral(x, y, fragment);
    }
  }

 private:
  bool usual_;
  UsualWriter writer_;
};

// floor(value / 16) and ceil(value / 16) of 1/16 grid pixels, for either sign.
int floorSixteenth(std::int32_t value) {
  return value >> 4;
}
int ceilSixteenth(std::int32_t value) {
  return (value + 15) >> 4;
}

}  // namespace

// The game pixel the card's point lights, (X >> 4, Y >> 4) of the position
// snapped to 1/16 game pixel, as every grid pixel whose centre lies in it.
void drawGridPoint(const GrVertex& vertex) {
  Board& state = board();
  const int x = snapPosition(vertex.x) >> 4;
  const int y = snapPosition(vertex.y) >> 4;
  const ClipWindow& clip = state.clip;
  if (x < clip.minX || x >= clip.maxX || y < clip.minY || y >= clip.maxY) {
    return;
  }
  const Grid& grid = state.grid;
  const GridWriter writer(state);
  if (writer.greyTo(vertex, vertex)) {
    const UsualWriter& usual = writer.usual();
    const int grey = level(fixedColor(vertex.r));
    const int color = usual.fog ? fogGrey(usual, grey, pixel::fogDepth(fixedOow(vertex.oow))) : grey;
    const int alpha = level(fixedColor(vertex.a));
    const int firstColumn = grid.columnStart(x), endColumn = grid.columnStart(x + 1);
    for (int row = grid.rowStart(y); row < grid.rowStart(y + 1); ++row) {
      const int memory = memoryRowOf(usual, row);
      if (firstColumn < endColumn) {
        usual.written->markRun(memory, firstColumn, endColumn);
      }
      for (int column = firstColumn; column < endColumn; ++column) {
        blendGreyUnmarked(usual, column, memory, color, alpha);
      }
    }
    return;
  }
  const Fragment fragment = fragmentOf(vertex);
  for (int row = grid.rowStart(y); row < grid.rowStart(y + 1); ++row) {
    for (int column = grid.columnStart(x); column < grid.columnStart(x + 1); ++column) {
      writer.write(column, row, fragment);
    }
  }
}

// The grid pixels (c, r) whose centres lie within a game pixel of the
// point on both axes, dx = |16c + 8 - X| < RX and dy = |16r + 8 - Y| < RY,
// each with alpha floor(a min((RX - dx) RY, (RY - dy) RX) / (RX RY)).
void drawGridAntiAliasedPoint(const GrVertex& vertex) {
  Board& state = board();
  const Grid& grid = state.grid;
  const ClipWindow& clip = state.clip;
  const std::int32_t x = grid.snapX(vertex.x);
  const std::int32_t y = grid.snapY(vertex.y);
  const int reachX = grid.reachX();
  const int reachY = grid.reachY();
  // 16c + 8 - X > -RX and < RX.
  const int firstColumn = std::max(floorSixteenth(x - reachX - 8) + 1, clip.gridMinX);
  const int endColumn = std::min(ceilSixteenth(x + reachX - 8), clip.gridMaxX);
  const int firstRow = std::max(floorSixteenth(y - reachY - 8) + 1, clip.gridMinY);
  const int endRow = std::min(ceilSixteenth(y + reachY - 8), clip.gridMaxY);
  if (firstColumn >= endColumn || firstRow >= endRow) {
    return;
  }
  Fragment fragment = fragmentOf(vertex);
  const int a = fragment.a;
  const SmallDivider perArea(static_cast<std::uint32_t>(reachX * reachY));
  const GridWriter writer(state);
  for (int row = firstRow; row < endRow; ++row) {
    const int dy = std::abs(16 * row + 8 - y);
    for (int column = firstColumn; column < endColumn; ++column) {
      const int dx = std::abs(16 * column + 8 - x);
      const int weight = std::min((reachX - dx) * reachY, (reachY - dy) * reachX);
      fragment.a = perArea(static_cast<std::uint32_t>(a * weight));
      writer.write(column, row, fragment);
    }
  }
}

namespace {

// The minor coordinates [first, end) a column of a band lights, within the
// clip window's [low, high): those with (16m + 8) 4096 = 65536 m + 32768
// strictly between V - B and V + B.
std::pair<int, int> columnPixels(std::int64_t v, std::int64_t reach, int low, int high) {
  return {static_cast<int>(std::max<std::int64_t>(((v - reach - 32768) >> 16) + 1, low)),
          static_cast<int>(std::min<std::int64_t>((v + reach - 32768 + 65535) >> 16, high))};
}

// drawGridBand's loop for a grey line in the usual state: one level for the
// three channels, fogged once a column, and each pixel onto black one
// look-up (as the card's grey band).
template <bool xMajor>
void drawGreyGridBand(const UsualWriter& writer, int first, int end, LineIterator minor, Stepped grey, Stepped alpha,
                      LineIterator oow, std::int64_t reach, int minorLow, int minorHigh) {
  const SmallDivider perReach(static_cast<std::uint32_t>(reach));
  WrittenSpans& written = *writer.written;
  for (int major = first; major < end; ++major) {
    const std::int64_t v = minor.value;
    const auto [firstMinor, endMinor] = columnPixels(v, reach, minorLow, minorHigh);
    if (firstMinor < endMinor) {
      const int a = level(alpha.value);
      const int color = fogGrey(writer, level(grey.value), pixel::fogDepth(oow.value));
      // d = |65536 m + 32768 - V| falls by 65536 a step up to V, then rises.
      std::int64_t offset = std::int64_t{firstMinor} * 65536 + 32768 - v;
      if constexpr (!xMajor) {
        written.markRun(memoryRowOf(writer, major), firstMinor, endMinor);
      }
      for (int m = firstMinor; m < endMinor; ++m, offset += 65536) {
        const std::int64_t distance = offset < 0 ? -offset : offset;
        const int pixelAlpha = perReach(static_cast<std::uint32_t>(a * (reach - distance)));
        if constexpr (xMajor) {
          const int row = memoryRowOf(writer, m);
          written.mark(row, major);
          blendGreyUnmarked(writer, major, row, color, pixelAlpha);
        } else {
          blendGreyUnmarked(writer, m, memoryRowOf(writer, major), color, pixelAlpha);
        }
      }
    }
    minor.value += minor.step;
    grey.value += grey.step;
    alpha.value += alpha.step;
    oow.value += oow.step;
  }
}

// The band of a line on the grid along its major axis u, from the end with
// the lower u (low) to the other, positions snapped to 1/16 grid pixel: the
// columns c with lowU <= 16c + 8 < highU inside the clip window, each
// parameter started at the first of them and stepped per column. V, the
// minor coordinate, in 1/65536 grid pixel (64 bits: on the largest grids it
// passes 2^31); a column lights each minor coordinate m with
// d = |(16m + 8) 4096 - V| < B = R 4096, R one game pixel across the band,
// with alpha floor(a (B - d) / B).
template <bool xMajor>
void drawGridBand(const GrVertex& low, const GrVertex& high, std::int32_t lowU, std::int32_t highU, std::int32_t lowV,
                  std::int32_t highV) {
  Board& state = board();
  const ClipWindow& clip = state.clip;
  const int first = std::max((lowU + 7) >> 4, xMajor ? clip.gridMinX : clip.gridMinY);  // 16c + 8 >= lowU
  const int end = std::min((highU + 7) >> 4, xMajor ? clip.gridMaxX : clip.gridMaxY);
  if (first >= end) {
    return;
  }
  const int minorLow = xMajor ? clip.gridMinY : clip.gridMinX;
  const int minorHigh = xMajor ? clip.gridMaxY : clip.gridMaxX;
  const std::int64_t reach = std::int64_t{xMajor ? state.grid.reachY() : state.grid.reachX()} * 4096;
  const LineSpan span{16 * first + 8 - lowU, FloorDivider(highU - lowU)};
  LineIterator minor = iterate(std::int64_t{lowV} * 4096, std::int64_t{highV} * 4096, span);
  const GridWriter writer(state);
  if (writer.greyTo(low, high)) {
    const UsualWriter& usual = writer.usual();
    drawGreyGridBand<xMajor>(usual, first, end, minor, narrow(iterate(fixedColor(low.r), fixedColor(high.r), span)),
                             narrow(iterate(fixedColor(low.a), fixedColor(high.a), span)),
                             usual.fog ? iterate(fixedOow(low.oow), fixedOow(high.oow), span) : LineIterator{0, 0},
                             reach, minorLow, minorHigh);
    return;
  }
  const FixedVertex lowFixed = setUpVertex(low);
  const FixedVertex highFixed = setUpVertex(high);
  Stepped red = narrow(iterate(lowFixed.r, highFixed.r, span));
  Stepped green = narrow(iterate(lowFixed.g, highFixed.g, span));
  Stepped blue = narrow(iterate(lowFixed.b, highFixed.b, span));
  Stepped alpha = narrow(iterate(lowFixed.a, highFixed.a, span));
  LineIterator oow = iterate(lowFixed.q, highFixed.q, span);
  const SmallDivider perReach(static_cast<std::uint32_t>(reach));
  for (int major = first; major < end; ++major) {
    const std::int64_t v = minor.value;
    const auto [firstMinor, endMinor] = columnPixels(v, reach, minorLow, minorHigh);
    if (firstMinor < endMinor) {
      const int a = level(alpha.value);
      Fragment fragment{level(red.value), level(green.value), level(blue.value), 0, pixel::fogDepth(oow.value)};
      for (int m = firstMinor; m < endMinor; ++m) {
        const std::int64_t distance = std::abs(std::int64_t{m} * 65536 + 32768 - v);
        fragment.a = perReach(static_cast<std::uint32_t>(a * (reach - distance)));
        writer.write(xMajor ? major : m, xMajor ? m : major, fragment);
      }
    }
    minor.value += minor.step;
    red.value += red.step;
    green.value += green.step;
    blue.value += blue.step;
    alpha.value += alpha.step;
    oow.value += oow.step;
  }
}

}  // namespace

// The band along the longer axis of the grid-snapped positions, from the end
// with the lower major coordinate.
void drawGridLine(const GrVertex& first, const GrVertex& second) {
  const Grid& grid = board().grid;
  drawAlongTheLongerAxis(
      first, second, [&grid](float x) { return grid.snapX(x); }, [&grid](float y) { return grid.snapY(y); },
      [](auto xMajor, const GrVertex& low, const GrVertex& high, std::int32_t lowU, std::int32_t highU,
         std::int32_t lowV, std::int32_t highV) { drawGridBand<xMajor>(low, high, lowU, highU, lowV, highV); });
}

}  // namespace softglide::detail
