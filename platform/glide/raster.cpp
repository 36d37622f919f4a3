// The primitives of the board: clear, points, anti-aliased points and lines.
// Coordinates are application pixels; pixel centres lie at +0.5.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "board.h"
#include "conversion.h"
#include "fragment.h"
#include "pixel.h"

namespace softglide::detail {
namespace {

[[gnu::always_inline]] inline int iteratedChannel(double value) {
  if (!(value > 0.0)) {
    return 0;  // negative or not a number
  }
  return value >= 255.0 ? 255 : static_cast<int>(value);
}

bool insideClip(const Board& state, int x, int y) {
  return x >= state.clipMinX && x < state.clipMaxX && y >= state.clipMinY && y < state.clipMaxY;
}

// Parameters of a vertex, or interpolated between two, in double.
struct Parameters {
  double r, g, b, a, oow;
};

Parameters parametersOf(const GrVertex& vertex) {
  return {vertex.r, vertex.g, vertex.b, vertex.a, vertex.oow};
}

// Coverage scales the alpha; colour and 1/w are the parameters' own.
[[gnu::always_inline]] inline void plot(int x, int y, const Parameters& parameters, double coverage) {
  const Fragment fragment{iteratedChannel(parameters.r), iteratedChannel(parameters.g),
                          iteratedChannel(parameters.b), iteratedChannel(parameters.a * coverage),
                          static_cast<float>(parameters.oow)};
  writeFragment(x, y, fragment);
}

bool finite(const GrVertex& vertex) {
  return std::isfinite(vertex.x) && std::isfinite(vertex.y);
}

// The pixel range [first, end) whose centres c satisfy low <= c < high,
// limited to [limitLow, limitHigh); safe for any finite bounds.
[[gnu::always_inline]] inline void centreRange(double low, double high, int limitLow, int limitHigh, int& first,
                                               int& end) {
  const double firstCentre = std::ceil(low - 0.5);
  const double endCentre = std::ceil(high - 0.5);
  first = static_cast<int>(std::clamp(firstCentre, static_cast<double>(limitLow), static_cast<double>(limitHigh)));
  end = static_cast<int>(std::clamp(endCentre, static_cast<double>(limitLow), static_cast<double>(limitHigh)));
}

// Four doubles worked on together; each lane is rounded exactly as the
// same operation on one double would be.
typedef double Double4 __attribute__((vector_size(32)));
typedef std::int64_t Mask4 __attribute__((vector_size(32)));
typedef std::int32_t Int4 __attribute__((vector_size(16)));

// iteratedChannel of each lane.
[[gnu::always_inline]] inline Int4 iteratedChannels(const Double4& values) {
  const Double4 zero = {0.0, 0.0, 0.0, 0.0};
  const Double4 top = {255.0, 255.0, 255.0, 255.0};
  const Mask4 positive = values > zero;  // false for negative or not a number
  const Double4 low = positive ? values : zero;
  const Mask4 high = low >= top;
  return __builtin_convertvector(high ? top : low, Int4);
}

// Steps along the major axis u; at each step the (up to) two pixels whose
// centres lie within 1 of the line along the minor axis v get the step's
// interpolated parameters, with alpha scaled by 1 - distance. Colour and fog
// are worked out once per step, since both pixels share them. The major
// axis is already limited to the clip window; the minor one is checked.
template <bool xMajor>
[[gnu::always_inline]] inline void drawLineBand(double u1, double v1, double u2, double v2, int uLimitLow,
                                                int uLimitHigh, const Parameters& first, const Parameters& second) {
  Board& state = board();
  const bool usual = usualState(state);
  const int vLimitLow = xMajor ? state.clipMinY : state.clipMinX;
  const int vLimitHigh = xMajor ? state.clipMaxY : state.clipMaxX;
  int begin = 0;
  int end = 0;
  centreRange(std::min(u1, u2), std::max(u1, u2), uLimitLow, uLimitHigh, begin, end);
  const double du = u2 - u1;
  // v and the colour, then alpha and 1/w: from + t * (to - from).
  const Double4 from = {v1, first.r, first.g, first.b};
  const Double4 change = {v2 - v1, second.r - first.r, second.g - first.g, second.b - first.b};
  const double alphaFrom = first.a;
  const double alphaChange = second.a - first.a;
  const double oowFrom = first.oow;
  const double oowChange = second.oow - first.oow;
  for (int u = begin; u < end; ++u) {
    const double t = (u + 0.5 - u1) / du;
    const Double4 at = from + t * change;
    const double v = at[0];
    const double lowerRow = std::floor(v - 0.5);
    if (!(lowerRow >= -2.0 && lowerRow <= 4096.0)) {
      continue;  // far outside any clip window (or not a number)
    }
    const double distances[2] = {std::fabs(lowerRow + 0.5 - v), std::fabs(lowerRow + 1.5 - v)};
    const double alpha = alphaFrom + t * alphaChange;
    const Int4 channels = iteratedChannels(at);
    const float oow = static_cast<float>(oowFrom + t * oowChange);
    bool shaded = false;
    Shaded color{};
    for (int step = 0; step < 2; ++step) {
      const int row = static_cast<int>(lowerRow) + step;
      if (!(distances[step] < 1.0) || row < vLimitLow || row >= vLimitHigh) {
        continue;
      }
      const int x = xMajor ? u : row;
      const int y = xMajor ? row : u;
      const int pixelAlpha = iteratedChannel(alpha * (1.0 - distances[step]));
      if (!usual) {
        writeFragmentGeneral(x, y, Fragment{channels[1], channels[2], channels[3], pixelAlpha, oow});
        continue;
      }
      if (!shaded) {
        color = shadePassThrough(state, channels[1], channels[2], channels[3], oow);
        shaded = true;
      }
      blendAndStore(state, x, y, color, pixelAlpha);
    }
  }
}

// The line after its checks: the band along the longer axis.
[[gnu::always_inline]] inline void drawLine(const GrVertex& first, const GrVertex& second) {
  const Board& state = board();
  const double dx = static_cast<double>(second.x) - first.x;
  const double dy = static_cast<double>(second.y) - first.y;
  if (dx == 0.0 && dy == 0.0) {
    return;
  }
  const Parameters from = parametersOf(first);
  const Parameters to = parametersOf(second);
  if (std::fabs(dx) >= std::fabs(dy)) {
    drawLineBand<true>(first.x, first.y, second.x, second.y, state.clipMinX, std::max(state.clipMinX, state.clipMaxX),
                       from, to);
  } else {
    drawLineBand<false>(first.y, first.x, second.y, second.x, state.clipMinY, std::max(state.clipMinY, state.clipMaxY),
                        from, to);
  }
}

// The point after its checks, snapped to 1/16 pixel.
[[gnu::always_inline]] inline void drawPoint(const GrVertex& vertex) {
  const double x16 = std::floor(static_cast<double>(vertex.x) * 16.0 + 0.5);
  const double y16 = std::floor(static_cast<double>(vertex.y) * 16.0 + 0.5);
  if (!(x16 >= 0.0 && x16 < 16.0 * screenWidth && y16 >= 0.0 && y16 < 16.0 * screenHeight)) {
    return;
  }
  const int x = static_cast<int>(x16) >> 4;
  const int y = static_cast<int>(y16) >> 4;
  if (insideClip(board(), x, y)) {
    plot(x, y, parametersOf(vertex), 1.0);
  }
}

void drawPointBaseline(const GrVertex& vertex) {
  drawPoint(vertex);
}

void drawLineBaseline(const GrVertex& first, const GrVertex& second) {
  drawLine(first, second);
}

#if defined(__x86_64__) || defined(__i386__)
// Processors with AVX2 floor and work on four doubles in single
// instructions, which shortens each step of a line and each point; every
// result is the same.
__attribute__((target("avx2"))) void drawLineAvx2(const GrVertex& first, const GrVertex& second) {
  drawLine(first, second);
}

__attribute__((target("avx2"))) void drawPointAvx2(const GrVertex& vertex) {
  drawPoint(vertex);
}
#endif

}  // namespace
}  // namespace softglide::detail

using namespace softglide;
using namespace softglide::detail;

FX_ENTRY void FX_CALL grBufferClear(GrColor_t color, GrAlpha_t alpha, FxU16 depth) {
  traceCall("grBufferClear", {static_cast<double>(color), static_cast<double>(alpha), static_cast<double>(depth)});
  if (!ready()) {
    return;
  }
  Board& state = board();
  int red = 0, green = 0, blue = 0, unusedAlpha = 0;
  splitColor(color, red, green, blue, unusedAlpha);
  // One dithered row per memory-row phase, copied into the clip window;
  // kept for the next clear in the same colour.
  static std::uint16_t rows[4][screenWidth];
  static int rowsColor[3] = {-1, -1, -1};
  if (rowsColor[0] != red || rowsColor[1] != green || rowsColor[2] != blue) {
    for (int phase = 0; phase < 4; ++phase) {
      for (int x = 0; x < screenWidth; ++x) {
        rows[phase][x] = pixel::ditherTo565(red, green, blue, x, phase);
      }
    }
    rowsColor[0] = red;
    rowsColor[1] = green;
    rowsColor[2] = blue;
  }
  if (state.clipMinX >= state.clipMaxX) {
    return;
  }
  BufferChanges& changes = state.changes[state.back];
  const bool wholeScreen =
      state.clipMinX == 0 && state.clipMinY == 0 && state.clipMaxX == screenWidth && state.clipMaxY == screenHeight;
  if (wholeScreen && changes.red == red && changes.green == green && changes.blue == blue) {
    // Outside its marked blocks the buffer already holds this clear's
    // pattern: only those are cleared again.
    for (int row = 0; row < screenHeight; ++row) {
      std::uint64_t blocks = changes.blocks[row];
      std::uint16_t* line = &state.buffers[state.back][static_cast<std::size_t>(row) * screenWidth];
      while (blocks != 0) {
        const auto [first, end] = firstRun(blocks);
        std::memcpy(line + first * blockWidth, &rows[row & 3][first * blockWidth],
                    static_cast<std::size_t>(end - first) * blockWidth * sizeof(std::uint16_t));
      }
    }
    changes.blocks.fill(0);
    return;
  }
  const std::size_t bytes = static_cast<std::size_t>(state.clipMaxX - state.clipMinX) * sizeof(std::uint16_t);
  for (int y = state.clipMinY; y < state.clipMaxY; ++y) {
    const int row = memoryRow(y);
    std::memcpy(&state.buffers[state.back][static_cast<std::size_t>(row) * screenWidth + state.clipMinX],
                &rows[row & 3][state.clipMinX], bytes);
  }
  // A whole-screen clear starts the buffer's changes afresh; a smaller one
  // is a change like any drawing.
  if (wholeScreen) {
    changes.red = red;
    changes.green = green;
    changes.blue = blue;
    changes.blocks.fill(0);
    return;
  }
  const std::uint64_t covered = (blockBit(state.clipMaxX - 1) << 1) - blockBit(state.clipMinX);
  for (int y = state.clipMinY; y < state.clipMaxY; ++y) {
    changes.blocks[memoryRow(y)] |= covered;
  }
}

// Exactly one pixel: the position is snapped to 1/16 pixel first.
FX_ENTRY void FX_CALL grDrawPoint(const GrVertex* vertex) {
  if (tracing()) {
    traceCall("grDrawPoint", {vertex});
  }
  if (!ready() || vertex == nullptr) {
    return;
  }
#if defined(__x86_64__) || defined(__i386__)
  if (hasAvx2()) {
    drawPointAvx2(*vertex);
    return;
  }
#endif
  drawPointBaseline(*vertex);
}

// A 2x2 footprint: pixels whose centres lie within [x-1, x+1) x [y-1, y+1),
// each with alpha a * (1 - the larger of its two distances).
FX_ENTRY void FX_CALL grAADrawPoint(const GrVertex* vertex) {
  if (tracing()) {
    traceCall("grAADrawPoint", {vertex});
  }
  if (!ready() || vertex == nullptr || !finite(*vertex)) {
    return;
  }
  const Board& state = board();
  const double x = vertex->x;
  const double y = vertex->y;
  int firstColumn = 0, endColumn = 0, firstRow = 0, endRow = 0;
  centreRange(x - 1.0, x + 1.0, state.clipMinX, std::max(state.clipMinX, state.clipMaxX), firstColumn, endColumn);
  centreRange(y - 1.0, y + 1.0, state.clipMinY, std::max(state.clipMinY, state.clipMaxY), firstRow, endRow);
  const Parameters parameters = parametersOf(*vertex);
  for (int row = firstRow; row < endRow; ++row) {
    for (int column = firstColumn; column < endColumn; ++column) {
      const double distance = std::max(std::fabs(column + 0.5 - x), std::fabs(row + 0.5 - y));
      plot(column, row, parameters, 1.0 - distance);
    }
  }
}

// A band two pixels wide along the minor axis, without end caps, from the
// first end's major coordinate to the second's; colour, alpha and 1/w are
// interpolated from end to end. A zero-length line draws nothing.
FX_ENTRY void FX_CALL grAADrawLine(const GrVertex* first, const GrVertex* second) {
  if (tracing()) {
    traceCall("grAADrawLine", {first, second});
  }
  if (!ready() || first == nullptr || second == nullptr || !finite(*first) || !finite(*second)) {
    return;
  }
#if defined(__x86_64__) || defined(__i386__)
  if (hasAvx2()) {
    drawLineAvx2(*first, *second);
    return;
  }
#endif
  drawLineBaseline(*first, *second);
}
