// The primitives of the board: clear, points, anti-aliased points and lines.
// Coordinates are application pixels; pixel centres lie at +0.5. A
// primitive reads its vertices' floats once, at setup (setup.h), and works
// in integers from there on, as the card did: positions in 1/16 pixel, and
// along a line each parameter stepped once per column, with no division.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board.h"
#include "fragment.h"
#include "pixel.h"
#include "primitives.h"
#include "setup.h"

namespace softglide::detail {
namespace {

bool insideClip(const Board& state, int x, int y) {
  return x >= state.clip.minX && x < state.clip.maxX && y >= state.clip.minY && y < state.clip.maxY;
}

// One pixel of a column, inside the clip window, through the general
// pipeline.
template <bool xMajor>
void writeBandPixel(int major, int minor, int red, int green, int blue, int alpha, std::uint32_t depth) {
  writeFragmentGeneral(xMajor ? major : minor, xMajor ? minor : major, Fragment{red, green, blue, alpha, depth});
}

// A grey level over the pixel at target, with the dither threshold of its
// place: as blendGreyUnmarked, the blending and its absence known at compile
// time.
template <bool blend>
[[gnu::always_inline]] inline void storeGrey(std::uint16_t* target, int threshold, int level, int alpha) {
  if constexpr (!blend) {
    *target = pixel::greyWords.words[threshold][level];
  } else {
    const std::uint16_t dest = *target;
    if (dest == 0) {
      *target = pixel::greyWords.words[threshold][blendOver(level, 0, alpha)];
      return;
    }
    const int red = blendOver(level, pixel::red8(dest), alpha);
    const int green = blendOver(level, pixel::green8(dest), alpha);
    const int blue = blendOver(level, pixel::blue8(dest), alpha);
    *target = static_cast<std::uint16_t>((pixel::ditherLevels.five[threshold][red] << 11) |
                                         (pixel::ditherLevels.six[threshold][green] << 5) |
                                         pixel::ditherLevels.five[threshold][blue]);
  }
}

// drawGreyBand's columns where all their pixels lie inside the clip window,
// the state's blending and fog known at compile time. Along an x-major band
// the two rows stay for several columns: their addresses are kept, and what
// is written marked a run at a time.
template <bool xMajor, bool blend, bool fog>
void drawInsideGreyBand(const UsualWriter& writer, int first, int end, Stepped minor, Stepped grey, Stepped alpha,
                        LineIterator oow) {
  WrittenSpans& written = *writer.written;
  const int up = writer.lowerLeft ? -1 : 1;  // memory rows from a minor coordinate to the next
  const auto colorOf = [&](int level) {
    if constexpr (fog) {
      return pixel::applyFog(level, writer.fogRed, pixel::fogFactor(writer.fogTable, pixel::fogDepth(oow.value)));
    } else {
      return level;
    }
  };
  if constexpr (xMajor) {
    int runLower = (minor.value - 0x8000) >> 16;  // the rows of the run of columns from runFirst
    int runFirst = first;
    int lowerRow = memoryRowOf(writer, runLower);
    std::uint16_t* lowerLine = writer.pixels + static_cast<std::size_t>(lowerRow) * writer.width;
    for (int major = first; major < end; ++major) {
      const std::int32_t centred = minor.value - 0x8000;  // from the centre of the pixel below
      const int lower = centred >> 16;
      const int fraction = centred & 0xFFFF;
      if (lower != runLower) {
        written.markRun(lowerRow, runFirst, major);
        written.markRun(lowerRow + up, runFirst, major);
        runLower = lower;
        runFirst = major;
        lowerRow = memoryRowOf(writer, lower);
        lowerLine = writer.pixels + static_cast<std::size_t>(lowerRow) * writer.width;
      }
      const int a = level(alpha.value);
      const int color = colorOf(level(grey.value));
      storeGrey<blend>(lowerLine + major, pixel::ditherMatrix[lowerRow & 3][major & 3], color,
                       (a * (0x10000 - fraction)) >> 16);
      if (fraction != 0) {
        storeGrey<blend>(lowerLine + up * writer.width + major, pixel::ditherMatrix[(lowerRow + up) & 3][major & 3],
                         color, (a * fraction) >> 16);
      }
      minor.value += minor.step;
      grey.value += grey.step;
      alpha.value += alpha.step;
      if constexpr (fog) {
        oow.value += oow.step;
      }
    }
    written.markRun(lowerRow, runFirst, end);
    written.markRun(lowerRow + up, runFirst, end);
  } else {
    int row = memoryRowOf(writer, first);
    std::uint16_t* line = writer.pixels + static_cast<std::size_t>(row) * writer.width;
    const std::ptrdiff_t nextLine = static_cast<std::ptrdiff_t>(up) * writer.width;
    for (int major = first; major < end; ++major, row += up, line += nextLine) {
      const std::int32_t centred = minor.value - 0x8000;  // from the centre of the pixel below
      const int lower = centred >> 16;
      const int fraction = centred & 0xFFFF;
      const int a = level(alpha.value);
      const int color = colorOf(level(grey.value));
      written.markPair(row, lower);
      const std::uint8_t* thresholds = pixel::ditherMatrix[row & 3];
      storeGrey<blend>(line + lower, thresholds[lower & 3], color, (a * (0x10000 - fraction)) >> 16);
      if (fraction != 0) {
        storeGrey<blend>(line + lower + 1, thresholds[(lower + 1) & 3], color, (a * fraction) >> 16);
      }
      minor.value += minor.step;
      grey.value += grey.step;
      alpha.value += alpha.step;
      if constexpr (fog) {
        oow.value += oow.step;
      }
    }
  }
}

// A column's two pixels where they may lie outside the clip window's
// minor range [low, high): the one below V, its coverage's complement (the
// fraction), and which of the two lie inside (the upper one only where its
// coverage is not 0).
struct ColumnPair {
  int lower, fraction;
  bool lowerInside, upperInside;
};

[[gnu::always_inline]] inline ColumnPair columnPair(std::int32_t v, int low, int high) {
  const std::int32_t centred = v - 0x8000;  // from the centre of the pixel below
  const int lower = centred >> 16;
  const int fraction = centred & 0xFFFF;
  return {lower, fraction, lower >= low && lower < high, fraction != 0 && lower + 1 >= low && lower + 1 < high};
}

// drawGreyBand where pixels may lie outside the clip window: each is checked.
template <bool xMajor>
void drawClippedGreyBand(const UsualWriter& writer, int first, int end, Stepped minor, Stepped grey, Stepped alpha,
                         LineIterator oow, int minorLow, int minorHigh) {
  for (int major = first; major < end; ++major) {
    const auto [lower, fraction, lowerInside, upperInside] = columnPair(minor.value, minorLow, minorHigh);
    if (lowerInside || upperInside) {
      const int a = level(alpha.value);
      const int color = fogGrey(writer, level(grey.value), pixel::fogDepth(oow.value));
      if (lowerInside) {
        blendGreyAndStore(writer, xMajor ? major : lower, xMajor ? lower : major, color,
                          (a * (0x10000 - fraction)) >> 16);
      }
      if (upperInside) {
        blendGreyAndStore(writer, xMajor ? major : lower + 1, xMajor ? lower + 1 : major, color, (a * fraction) >> 16);
      }
    }
    minor.value += minor.step;
    grey.value += grey.step;
    alpha.value += alpha.step;
    oow.value += oow.step;
  }
}

// The band of a grey line in the usual state, from column first to end
// with the parameters started there: as drawLineBand's loop, with one grey
// level for the three channels. Where every column's two pixels lie inside
// the clip window on the minor axis (the usual case), they are not checked,
// and what is written is marked a run at a time: along an x-major band the
// two rows it covers stay the same for several columns.
template <bool xMajor>
void drawGreyBand(const UsualWriter& writer, int first, int end, Stepped minor, Stepped grey, Stepped alpha,
                  LineIterator oow, int minorLow, int minorHigh) {
  const std::int32_t lastCentred = minor.value + (end - 1 - first) * minor.step - 0x8000;
  const int lowest = std::min(minor.value - 0x8000, lastCentred) >> 16;
  const int highest = std::max(minor.value - 0x8000, lastCentred) >> 16;
  if (lowest < minorLow || highest + 1 >= minorHigh) {
    drawClippedGreyBand<xMajor>(writer, first, end, minor, grey, alpha, oow, minorLow, minorHigh);
    return;
  }
  if (writer.blend) {
    writer.fog ? drawInsideGreyBand<xMajor, true, true>(writer, first, end, minor, grey, alpha, oow)
               : drawInsideGreyBand<xMajor, true, false>(writer, first, end, minor, grey, alpha, oow);
  } else {
    writer.fog ? drawInsideGreyBand<xMajor, false, true>(writer, first, end, minor, grey, alpha, oow)
               : drawInsideGreyBand<xMajor, false, false>(writer, first, end, minor, grey, alpha, oow);
  }
}

// The band of any line in any state, from column first to end with the
// parameters started there, each pixel checked against the clip window.
template <bool xMajor>
void drawBand(bool usual, const UsualWriter& writer, int first, int end, Stepped minor, Stepped red, Stepped green,
              Stepped blue, Stepped alpha, LineIterator oow, int minorLow, int minorHigh) {
  for (int major = first; major < end; ++major) {
    const auto [lower, fraction, lowerInside, upperInside] = columnPair(minor.value, minorLow, minorHigh);
    if (lowerInside || upperInside) {
      const int a = level(alpha.value);
      const int lowerAlpha = (a * (0x10000 - fraction)) >> 16;
      const int upperAlpha = (a * fraction) >> 16;
      const std::uint32_t depth = pixel::fogDepth(oow.value);
      if (usual) {
        const Shaded color = shadePassThrough(writer, level(red.value), level(green.value), level(blue.value), depth);
        if (lowerInside) {
          blendAndStore(writer, xMajor ? major : lower, xMajor ? lower : major, color, lowerAlpha);
        }
        if (upperInside) {
          blendAndStore(writer, xMajor ? major : lower + 1, xMajor ? lower + 1 : major, color, upperAlpha);
        }
      } else {
        if (lowerInside) {
          writeBandPixel<xMajor>(major, lower, level(red.value), level(green.value), level(blue.value), lowerAlpha,
                                 depth);
        }
        if (upperInside) {
          writeBandPixel<xMajor>(major, lower + 1, level(red.value), level(green.value), level(blue.value),
                                 upperAlpha, depth);
        }
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

// The band along the major axis u, from the end with the lower u (low) to
// the other (high), their positions snapped (1/16 pixel): the columns c with
// lowU <= 16c + 8 < highU inside the clip window, each parameter started at
// the first of them. A column's two pixels lie at the minor coordinate
// below V and the one above, with coverages 0x10000 - fraction and fraction
// (in 1/65536) scaling the alpha; colour and fog depth are the column's. A
// pixel of coverage 0 is not written. The colours and 1/w are set up only
// for a band that has a column to draw.
template <bool xMajor>
void drawLineBand(const GrVertex& low, const GrVertex& high, std::int32_t lowU, std::int32_t highU,
                  std::int32_t lowV, std::int32_t highV) {
  Board& state = board();
  const int first = std::max((lowU + 7) >> 4, xMajor ? state.clip.minX : state.clip.minY);  // 16c + 8 >= lowU
  const int end = std::min((highU + 7) >> 4, xMajor ? state.clip.maxX : state.clip.maxY);
  if (first >= end) {
    return;
  }
  const LineSpan span{16 * first + 8 - lowU, FloorDivider(highU - lowU)};
  // V in 1/65536 pixel: the minor coordinate in 1/16 pixel times 4096.
  const Stepped minor = narrow(iterate(std::int64_t{lowV} * 4096, std::int64_t{highV} * 4096, span));
  const int minorLow = xMajor ? state.clip.minY : state.clip.minX;
  const int minorHigh = xMajor ? state.clip.maxY : state.clip.maxX;
  const bool usual = usualState(state);
  const UsualWriter writer = usualWriter(state);
  // Grey lines, the usual kind, iterate one channel for all three.
  if (greyPrimitive(usual, writer, low, high)) {
    const LineIterator oow = writer.fog ? iterate(fixedOow(low.oow), fixedOow(high.oow), span) : LineIterator{0, 0};
    drawGreyBand<xMajor>(writer, first, end, minor, narrow(iterate(fixedColor(low.r), fixedColor(high.r), span)),
                         narrow(iterate(fixedColor(low.a), fixedColor(high.a), span)), oow, minorLow, minorHigh);
    return;
  }
  const FixedVertex lowFixed = setUpVertex(low);
  const FixedVertex highFixed = setUpVertex(high);
  drawBand<xMajor>(usual, writer, first, end, minor, narrow(iterate(lowFixed.r, highFixed.r, span)),
                   narrow(iterate(lowFixed.g, highFixed.g, span)), narrow(iterate(lowFixed.b, highFixed.b, span)),
                   narrow(iterate(lowFixed.a, highFixed.a, span)), iterate(lowFixed.q, highFixed.q, span), minorLow,
                   minorHigh);
}

// The line after its checks: the band along the longer axis of the snapped
// positions, iterated from the end with the lower major coordinate (the
// same values as from the other end; see startLineIterator).
void drawLine(const GrVertex& first, const GrVertex& second) {
  drawAlongTheLongerAxis(
      first, second, [](float x) { return snapPosition(x); }, [](float y) { return snapPosition(y); },
      [](auto xMajor, const GrVertex& low, const GrVertex& high, std::int32_t lowU, std::int32_t highU,
         std::int32_t lowV, std::int32_t highV) { drawLineBand<xMajor>(low, high, lowU, highU, lowV, highV); });
}

// The range of pixels [first, end) whose centres lie within one pixel of
// the position (1/16 pixel), |16c + 8 - position| < 16, limited to the
// clip range [limitLow, limitHigh).
void footprint(std::int32_t position, int limitLow, int limitHigh, int& first, int& end) {
  first = std::max(((position - 24) >> 4) + 1, limitLow);
  end = std::min((position + 23) >> 4, limitHigh);
}

// The anti-aliased point after its checks: each pixel gets alpha
// (a * (16 - distance)) >> 4, with distance the larger of its centre's
// distances from the point in 1/16 pixel.
void drawAntiAliasedPoint(const GrVertex& vertex) {
  Board& state = board();
  const std::int32_t x = snapPosition(vertex.x);
  const std::int32_t y = snapPosition(vertex.y);
  int firstColumn = 0, endColumn = 0, firstRow = 0, endRow = 0;
  footprint(x, state.clip.minX, state.clip.maxX, firstColumn, endColumn);
  footprint(y, state.clip.minY, state.clip.maxY, firstRow, endRow);
  if (firstColumn >= endColumn || firstRow >= endRow) {
    return;
  }
  const Fragment centre = fragmentOf(vertex);
  const bool usual = usualState(state);
  const UsualWriter writer = usualWriter(state);
  const Shaded color = usual ? shadePassThrough(writer, centre.r, centre.g, centre.b, centre.depth) : Shaded{};
  for (int row = firstRow; row < endRow; ++row) {
    for (int column = firstColumn; column < endColumn; ++column) {
      const int distance = std::max(std::abs(16 * column + 8 - x), std::abs(16 * row + 8 - y));
      const int alpha = (centre.a * (16 - distance)) >> 4;
      if (usual) {
        blendAndStore(writer, column, row, color, alpha);
      } else {
        writeFragmentGeneral(column, row, Fragment{centre.r, centre.g, centre.b, alpha, centre.depth});
      }
    }
  }
}

// The clear colour dithered, one row for each memory-row phase: made when
// the colour or the grid's width changes.
const ClearRows& ditheredRows(Board& state, int red, int green, int blue) {
  ClearRows& pattern = state.clearRows;
  const int width = state.grid.width();
  if (pattern.red != red || pattern.green != green || pattern.blue != blue ||
      pattern.rows[0].size() != static_cast<std::size_t>(width)) {
    for (int phase = 0; phase < 4; ++phase) {
      pattern.rows[phase].resize(static_cast<std::size_t>(width));
      for (int x = 0; x < width; ++x) {
        pattern.rows[phase][x] = pixel::ditherTo565(red, green, blue, x, phase);
      }
    }
    pattern.red = red;
    pattern.green = green;
    pattern.blue = blue;
  }
  return pattern;
}

// A native grid follows the window: when the picture's rectangle there
// changed size, the buffers take the new size at the next clear.
void followTheWindow(Board& state) {
  if (state.switches.resolution.kind != Resolution::Kind::native) {
    return;
  }
  const GridSize wanted = wantedGrid(state);
  if (wanted.width == state.grid.width() && wanted.height == state.grid.height()) {
    return;
  }
  if (!resizeBuffers(state, wanted) && !state.reportedNoMemory) {
    state.reportedNoMemory = true;
    std::fprintf(stderr, "softglide: no memory for a %dx%d picture; drawing on at %dx%d\n", wanted.width,
                 wanted.height, state.grid.width(), state.grid.height());
  }
}

}  // namespace
}  // namespace softglide::detail

using namespace softglide;
using namespace softglide::detail;

FX_ENTRY void FX_CALL grBufferClear(GrColor_t color, GrAlpha_t alpha, FxU16 depth) {
  traceArguments("grBufferClear", color, alpha, depth);
  if (!ready()) {
    return;
  }
  Board& state = board();
  followTheWindow(state);
  int red = 0, green = 0, blue = 0, unusedAlpha = 0;
  splitColor(color, red, green, blue, unusedAlpha);
  const ClipWindow& clip = state.clip;
  if (clip.gridMinX >= clip.gridMaxX || clip.gridMinY >= clip.gridMaxY) {
    return;
  }
  const ClearRows& pattern = ditheredRows(state, red, green, blue);
  WrittenSpans& written = state.written[state.back];
  std::uint16_t* const buffer = state.buffers[state.back].data();
  const int width = state.grid.width();
  const int height = state.grid.height();
  const bool wholeScreen = clip.gridMinX == 0 && clip.gridMinY == 0 && clip.gridMaxX == width && clip.gridMaxY == height;
  if (wholeScreen && written.red() == red && written.green() == green && written.blue() == blue &&
      !written.scattered()) {
    // Outside what was written since, the buffer already holds this clear's
    // pattern: only that is cleared again.
    for (int row = 0; row < height; ++row) {
      std::uint16_t* line = buffer + static_cast<std::size_t>(row) * width;
      const std::uint16_t* dithered = pattern.rows[row & 3].data();
      // By whole 32-column words, each a cache line: copying all of a word
      // costs less than finding its runs (a flight frame 10% less). (The
      // record is its own other one: its words alone.)
      written.forEachWord(row, written, [=](int word, std::uint32_t, std::uint32_t) {
        const int first = word * 32;
        const int count = std::min(32, width - first);
        std::memcpy(line + first, dithered + first, static_cast<std::size_t>(count) * sizeof(std::uint16_t));
      });
    }
    written.cleared(red, green, blue);
    return;
  }
  const std::size_t bytes = static_cast<std::size_t>(clip.gridMaxX - clip.gridMinX) * sizeof(std::uint16_t);
  for (int y = clip.gridMinY; y < clip.gridMaxY; ++y) {
    const int row = memoryRow(y);
    std::memcpy(buffer + static_cast<std::size_t>(row) * width + clip.gridMinX,
                pattern.rows[row & 3].data() + clip.gridMinX, bytes);
  }
  // A whole-screen clear starts the buffer's record afresh; a smaller one
  // is written like any drawing.
  if (wholeScreen) {
    written.cleared(red, green, blue);
    return;
  }
  for (int y = clip.gridMinY; y < clip.gridMaxY; ++y) {
    written.markRun(memoryRow(y), clip.gridMinX, clip.gridMaxX);
  }
}

// Exactly one pixel, (X >> 4, Y >> 4) of the position snapped to 1/16 pixel.
FX_ENTRY void FX_CALL grDrawPoint(const GrVertex* vertex) {
  if (tracing()) {
    traceCall("grDrawPoint", {vertex});
  }
  if (!ready() || vertex == nullptr) {
    return;
  }
  if (!drawable(*vertex)) {
    return;
  }
  Board& state = board();
  if (!state.grid.card()) {
    drawGridPoint(*vertex);
    return;
  }
  const int x = snapPosition(vertex->x) >> 4;
  const int y = snapPosition(vertex->y) >> 4;
  if (!insideClip(state, x, y)) {
    return;
  }
  // Grey points in the usual state, the noise of the opening: one channel.
  const UsualWriter writer = usualWriter(state);
  if (greyPrimitive(usualState(state), writer, *vertex, *vertex)) {
    const int grey = level(fixedColor(vertex->r));
    const int color = writer.fog ? fogGrey(writer, grey, pixel::fogDepth(fixedOow(vertex->oow))) : grey;
    blendGreyAndStore(writer, x, y, color, level(fixedColor(vertex->a)));
    return;
  }
  writeFragment(x, y, fragmentOf(*vertex));
}

// The pixels whose centres lie within one pixel of the point on both axes
// (up to 2x2), each with alpha a * (1 - the larger of its two distances).
FX_ENTRY void FX_CALL grAADrawPoint(const GrVertex* vertex) {
  if (tracing()) {
    traceCall("grAADrawPoint", {vertex});
  }
  if (!ready() || vertex == nullptr) {
    return;
  }
  if (!drawable(*vertex)) {
    return;
  }
  if (!board().grid.card()) {
    drawGridAntiAliasedPoint(*vertex);
    return;
  }
  drawAntiAliasedPoint(*vertex);
}

// A band two pixels wide along the minor axis, without end caps, from the
// first end's major coordinate to the second's; colour, alpha and 1/w are
// iterated from end to end. A zero-length line draws nothing.
FX_ENTRY void FX_CALL grAADrawLine(const GrVertex* first, const GrVertex* second) {
  if (tracing()) {
    traceCall("grAADrawLine", {first, second});
  }
  if (!ready() || first == nullptr || second == nullptr) {
    return;
  }
  if (!drawable(*first) || !drawable(*second)) {
    return;
  }
  if (!board().grid.card()) {
    drawGridLine(*first, *second);
    return;
  }
  drawLine(*first, *second);
}
