// The reference board: every step written plainly from the card's formulas,
// in exact 64-bit integers and in long double where that is exact, with
// nothing taken from platform/glide.
#include "reference_board.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace reference {

// Rounds towards minus infinity for either sign of the denominator.
std::int64_t floorDivide(std::int64_t numerator, std::int64_t denominator) {
  std::int64_t quotient = numerator / denominator;
  if (quotient * denominator != numerator && ((numerator < 0) != (denominator < 0))) {
    --quotient;
  }
  return quotient;
}

namespace {

std::int64_t floorOf(long double value) {
  return static_cast<std::int64_t>(std::floor(value));
}

}  // namespace

bool drawable(float coordinate) {
  return std::isfinite(coordinate) && std::fabs(coordinate) <= 4096.0f;
}

// floor(v * 16 + 0.5): exact in long double's 64-bit significand.
std::int64_t snapped(float coordinate) {
  return floorOf(static_cast<long double>(coordinate) * 16 + 0.5L);
}

// floor(clamp(c, 0, 255) * 4096), not a number as 0.
std::int64_t fixedColor(float channel) {
  if (std::isnan(channel)) {
    return 0;
  }
  return floorOf(std::clamp(static_cast<long double>(channel), 0.0L, 255.0L) * 4096);
}

// floor(clamp(oow, -1, 2) * 2^32), not a number as -1.
std::int64_t fixedOow(float oow) {
  const long double clamped = std::isnan(oow) ? -1.0L : std::clamp(static_cast<long double>(oow), -1.0L, 2.0L);
  return floorOf(clamped * 4294967296.0L);
}

// The 16-bit floating depth of Q.
std::int64_t fogDepth(std::int64_t q) {
  if (q < 0 || q >= (std::int64_t{1} << 32)) {
    return 0;
  }
  if (q < 65536) {
    return 0xFFFF;
  }
  int highest = 31;
  while (((q >> highest) & 1) == 0) {
    --highest;
  }
  const std::int64_t mantissa = static_cast<std::int64_t>((q >> (highest - 12)) & 0xFFF);
  return std::min<std::int64_t>(0xFFFF, ((31 - highest) << 12) + 4096 - mantissa);
}

// A 12.12 value as the level a pixel uses.
int level(std::int64_t fixed) {
  return static_cast<int>(std::clamp<std::int64_t>(floorDivide(fixed, 4096), 0, 255));
}

}  // namespace reference

using namespace reference;

namespace {

int clamp255(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, 0, 255));
}

const int ditherThresholds[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

int dithered5(int v, int d) {
  return ((v << 1) - (v >> 4) + (v >> 7) + d) >> 4;
}

int dithered6(int v, int d) {
  return ((v << 2) - (v >> 4) + (v >> 6) + d) >> 4;
}

std::uint16_t dithered(int red, int green, int blue, int x, int memoryRow) {
  const int d = ditherThresholds[memoryRow & 3][x & 3];
  return static_cast<std::uint16_t>(dithered5(red, d) << 11 | dithered6(green, d) << 5 | dithered5(blue, d));
}

[[noreturn]] void unsupported(const std::string& what) {
  throw std::runtime_error("reference board: " + what);
}

}  // namespace

// One game pixel in 1/16 grid pixel: max(1, floor(size / (game / 16) + 1/2))
// (W / 40 across, H / 30 up), in long double, where size / 40 + 1/2 lands on
// a whole number only when exact.
ReferenceBoard::ReferenceBoard(int width, int height)
    : width_(width),
      height_(height),
      reachX_(std::max<std::int64_t>(1, floorOf(width / 40.0L + 0.5L))),
      reachY_(std::max<std::int64_t>(1, floorOf(height / 30.0L + 0.5L))) {
  reset();
}

// floor((32 v size + game) / (2 game)): 32 v size is exact in long double
// (24 bits of v times 18 of 32 size); its quotient's floor is estimated in
// long double and corrected by exact products.
std::int64_t ReferenceBoard::snappedToGrid(float coordinate, int size, int game) {
  const long double numerator = static_cast<long double>(coordinate) * 32 * size + game;
  const long double denominator = 2.0L * game;
  std::int64_t quotient = floorOf(numerator / denominator);
  while (static_cast<long double>(quotient) * denominator > numerator) {
    --quotient;
  }
  while (static_cast<long double>(quotient + 1) * denominator <= numerator) {
    ++quotient;
  }
  return quotient;
}

void ReferenceBoard::reset() {
  initialized_ = false;
  open_ = false;
  back_ = 1;
  clipMinX_ = 0, clipMinY_ = 0, clipMaxX_ = 640, clipMaxY_ = 480;
  color_ = {1, 0, false};  // GR_COMBINE_FUNCTION_LOCAL of the iterated colour
  alpha_ = {1, 0, false};
  fogMode_ = 0;
  fogRed_ = fogGreen_ = fogBlue_ = 0;
  fogTable_.fill(0);
  blendSource_ = 4;
  blendDest_ = 0;
  for (auto& buffer : buffers_) {
    buffer.assign(static_cast<std::size_t>(width_) * height_, 0);
  }
}

void ReferenceBoard::replay(const std::vector<softglide::TraceCall>& calls) {
  for (const softglide::TraceCall& call : calls) {
    apply(call);
  }
}

void ReferenceBoard::apply(const softglide::TraceCall& call) {
  const std::string& name = call.name;
  const std::vector<double>& a = call.arguments;
  auto argument = [&](std::size_t i) { return static_cast<std::int64_t>(a.at(i)); };
  auto vertex = [&](std::size_t first) {
    return Vertex{static_cast<float>(a.at(first)),     static_cast<float>(a.at(first + 1)),
                  static_cast<float>(a.at(first + 2)), static_cast<float>(a.at(first + 3)),
                  static_cast<float>(a.at(first + 4)), static_cast<float>(a.at(first + 5)),
                  static_cast<float>(a.at(first + 6))};
  };
  if (name == "grGlideInit" || name == "grGlideShutdown") {
    reset();
    initialized_ = name == "grGlideInit";
  } else if (name == "grSstQueryHardware" || name == "grSstSelect" || name == "guFogGenerateExp" ||
             name == "guFogTableIndexToW") {
    // no state of the pictures
  } else if (name == "grSstWinOpen") {
    const bool accepted = initialized_ && !open_ && argument(1) == 7 && argument(2) == 0 &&
                          (argument(3) == 0 || argument(3) == 1) && (argument(4) == 0 || argument(4) == 1) &&
                          argument(5) == 2 && argument(6) >= 0 && argument(6) <= 1;
    if (accepted) {
      open_ = true;
      abgr_ = argument(3) == 1;
      lowerLeft_ = argument(4) == 1;
      for (auto& buffer : buffers_) {
        buffer.assign(static_cast<std::size_t>(width_) * height_, 0);
      }
      fogTable_.fill(0);
    }
  } else if (!open_) {
    // every other call acts only on an open board
  } else if (name == "grColorCombine" || name == "grAlphaCombine") {
    Combine& unit = name == "grColorCombine" ? color_ : alpha_;
    unit = {static_cast<int>(argument(0)), static_cast<int>(argument(2)), argument(4) != 0};
  } else if (name == "guColorCombineFunction") {
    switch (argument(0)) {
      case 0: color_ = {0, 0, false}; break;  // zero
      case 1: color_ = {1, 1, false}; break;  // the constant colour
      case 2: color_ = {1, 0, false}; break;  // the iterated colour
      default: unsupported("guColorCombineFunction " + std::to_string(argument(0)));
    }
  } else if (name == "grFogMode") {
    fogMode_ = static_cast<int>(argument(0));
  } else if (name == "grFogColorValue") {
    splitColor(static_cast<std::uint32_t>(argument(0)), fogRed_, fogGreen_, fogBlue_);
  } else if (name == "grFogTable") {
    for (std::size_t i = 0; i < 64; ++i) {
      fogTable_[i] = static_cast<int>(argument(i));
    }
  } else if (name == "grAlphaBlendFunction") {
    blendSource_ = static_cast<int>(argument(0));
    blendDest_ = static_cast<int>(argument(1));
  } else if (name == "grClipWindow") {
    clipMinX_ = static_cast<int>(std::min<std::int64_t>(argument(0), 640));
    clipMinY_ = static_cast<int>(std::min<std::int64_t>(argument(1), 480));
    clipMaxX_ = static_cast<int>(std::min<std::int64_t>(argument(2), 640));
    clipMaxY_ = static_cast<int>(std::min<std::int64_t>(argument(3), 480));
  } else if (name == "grBufferClear") {
    clear(static_cast<std::uint32_t>(argument(0)));
  } else if (name == "grBufferSwap") {
    back_ = 1 - back_;
  } else if (name == "grDrawPoint") {
    if (a.size() == 7) drawPoint(vertex(0));
  } else if (name == "grAADrawPoint") {
    if (a.size() == 7) drawAntiAliasedPoint(vertex(0));
  } else if (name == "grAADrawLine") {
    if (a.size() == 14) drawLine(vertex(0), vertex(7));
  } else {
    unsupported("call " + name);
  }
}

void ReferenceBoard::splitColor(std::uint32_t color, int& red, int& green, int& blue) const {
  const int low = static_cast<int>(color & 0xFF);
  const int high = static_cast<int>((color >> 16) & 0xFF);
  red = abgr_ ? low : high;
  green = static_cast<int>((color >> 8) & 0xFF);
  blue = abgr_ ? high : low;
}

// The game clip window [minx, maxx) holds the grid columns whose centres it
// holds: minx <= (x + 1/2) 640 / W < maxx, that is 2 minx W <= (2x + 1) 640
// < 2 maxx W; rows likewise with 480 / H.
bool ReferenceBoard::insideClipColumn(int x) const {
  const std::int64_t across = (2LL * x + 1) * 640;
  return x >= 0 && x < width_ && across >= 2LL * clipMinX_ * width_ && across < 2LL * clipMaxX_ * width_;
}

bool ReferenceBoard::insideClipRow(int y) const {
  const std::int64_t up = (2LL * y + 1) * 480;
  return y >= 0 && y < height_ && up >= 2LL * clipMinY_ * height_ && up < 2LL * clipMaxY_ * height_;
}

bool ReferenceBoard::insideClip(int x, int y) const {
  return insideClipColumn(x) && insideClipRow(y);
}

void ReferenceBoard::clear(std::uint32_t color) {
  int red = 0, green = 0, blue = 0;
  splitColor(color, red, green, blue);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (insideClip(x, y)) {
        const int row = lowerLeft_ ? height_ - 1 - y : y;
        buffers_[back_][static_cast<std::size_t>(row) * width_ + x] = dithered(red, green, blue, x, row);
      }
    }
  }
}

// Combine units: zero, or the local value (the iterated one, or the
// constant colour, which nothing sets from zero), maybe inverted.
int ReferenceBoard::combined(const Combine& unit, int iterated) const {
  int local = 0;
  if (unit.local == 0) {
    local = iterated;
  } else if (unit.local != 1) {
    unsupported("combine local " + std::to_string(unit.local));
  }
  int result = 0;
  if (unit.function == 1) {
    result = local;
  } else if (unit.function != 0) {
    unsupported("combine function " + std::to_string(unit.function));
  }
  return unit.invert ? 255 - result : result;
}

int ReferenceBoard::fogged(int channel, int fogChannel, const Fragment& fragment) const {
  std::int64_t factor = 0;
  if (fogMode_ == 0) {
    return channel;
  } else if (fogMode_ == 1) {
    factor = fragment.a;
  } else if (fogMode_ == 2) {
    const std::int64_t index = fragment.depth >> 10;
    const std::int64_t fraction = (fragment.depth >> 2) & 0xFF;
    const std::int64_t delta = index < 63 ? (((fogTable_[index + 1] - fogTable_[index]) * 4) % 256 + 256) % 256 : 0;
    factor = fogTable_[index] + delta * fraction / 1024;
  } else {
    unsupported("fog mode " + std::to_string(fogMode_));
  }
  return clamp255(channel + static_cast<std::int64_t>(floorDivide((fogChannel - channel) * (factor + 1), 256)));
}

void ReferenceBoard::writePixel(int x, int y, const Fragment& fragment) {
  const int alpha = combined(alpha_, fragment.a);
  const int channels[3] = {fogged(combined(color_, fragment.r), fogRed_, fragment),
                           fogged(combined(color_, fragment.g), fogGreen_, fragment),
                           fogged(combined(color_, fragment.b), fogBlue_, fragment)};
  auto factor = [alpha](int function) {
    switch (function) {
      case 0: return 0;            // zero
      case 1: return alpha + 1;    // source alpha
      case 4: return 256;          // one
      case 5: return 256 - alpha;  // one minus source alpha
      default: unsupported("blend function " + std::to_string(function));
    }
  };
  const int row = lowerLeft_ ? height_ - 1 - y : y;
  std::uint16_t& target = buffers_[back_][static_cast<std::size_t>(row) * width_ + x];
  const int r5 = target >> 11, g6 = (target >> 5) & 63, b5 = target & 31;
  const int dest[3] = {r5 * 8 + r5 / 4, g6 * 4 + g6 / 16, b5 * 8 + b5 / 4};
  int blended[3];
  for (int i = 0; i < 3; ++i) {
    blended[i] = clamp255((channels[i] * factor(blendSource_) + dest[i] * factor(blendDest_)) / 256);
  }
  target = dithered(blended[0], blended[1], blended[2], x, row);
}

// The game pixel (floor(X / 16), floor(Y / 16)) of the position snapped to
// 1/16 game pixel, inside the clip window, lit on every grid pixel whose
// centre lies in it: floor((x + 1/2) 640 / W) is its column.
void ReferenceBoard::drawPoint(const Vertex& vertex) {
  if (!drawable(vertex.x) || !drawable(vertex.y)) {
    return;
  }
  const std::int64_t x = floorDivide(snapped(vertex.x), 16);
  const std::int64_t y = floorDivide(snapped(vertex.y), 16);
  if (x < clipMinX_ || x >= clipMaxX_ || y < clipMinY_ || y >= clipMaxY_) {
    return;
  }
  const Fragment fragment{level(fixedColor(vertex.r)), level(fixedColor(vertex.g)), level(fixedColor(vertex.b)),
                          level(fixedColor(vertex.a)), fogDepth(fixedOow(vertex.oow))};
  // Candidates around the game pixel's place on the grid, each taken by the
  // game pixel of its centre.
  const std::int64_t aroundRow = y * height_ / 480, aroundColumn = x * width_ / 640;
  for (std::int64_t row = std::max<std::int64_t>(aroundRow - 2, 0);
       row <= std::min<std::int64_t>(aroundRow + height_ / 480 + 2, height_ - 1); ++row) {
    if (floorDivide((2 * row + 1) * 480, 2LL * height_) != y) {
      continue;
    }
    for (std::int64_t column = std::max<std::int64_t>(aroundColumn - 2, 0);
         column <= std::min<std::int64_t>(aroundColumn + width_ / 640 + 2, width_ - 1); ++column) {
      if (floorDivide((2 * column + 1) * 640, 2LL * width_) == x) {
        writePixel(static_cast<int>(column), static_cast<int>(row), fragment);
      }
    }
  }
}

// The grid pixels whose centres lie within a game pixel of the point on
// both axes (dx < RX, dy < RY, in 1/16 grid pixel), each with alpha
// floor(a min((RX - dx) RY, (RY - dy) RX) / (RX RY)).
void ReferenceBoard::drawAntiAliasedPoint(const Vertex& vertex) {
  if (!drawable(vertex.x) || !drawable(vertex.y)) {
    return;
  }
  const std::int64_t x = snappedToGrid(vertex.x, width_, 640);
  const std::int64_t y = snappedToGrid(vertex.y, height_, 480);
  const int a = level(fixedColor(vertex.a));
  const std::int64_t centreColumn = floorDivide(x, 16), centreRow = floorDivide(y, 16);
  const std::int64_t spanX = reachX_ / 16 + 2, spanY = reachY_ / 16 + 2;
  for (std::int64_t row = centreRow - spanY; row <= centreRow + spanY; ++row) {
    for (std::int64_t column = centreColumn - spanX; column <= centreColumn + spanX; ++column) {
      const std::int64_t dx = std::llabs(16 * column + 8 - x);
      const std::int64_t dy = std::llabs(16 * row + 8 - y);
      if (dx < reachX_ && dy < reachY_ && insideClip(static_cast<int>(column), static_cast<int>(row))) {
        const std::int64_t weight = std::min((reachX_ - dx) * reachY_, (reachY_ - dy) * reachX_);
        writePixel(static_cast<int>(column), static_cast<int>(row),
                   {level(fixedColor(vertex.r)), level(fixedColor(vertex.g)), level(fixedColor(vertex.b)),
                    static_cast<int>(floorDivide(a * weight, reachX_ * reachY_)), fogDepth(fixedOow(vertex.oow))});
      }
    }
  }
}

// Each parameter at column c: P1 + floordiv((P2 - P1) * (16 c0 + 8 - U1), dU)
// + (c - c0) * floordiv((P2 - P1) * 16, dU), c0 the first column drawn, in
// the vertices' own order (dU of either sign), all in grid units. A column
// lights each minor coordinate m with d = |(16 m + 8) 4096 - V| < B, B = R
// 4096 with R one game pixel across the band, at alpha floor(a (B - d) / B).
void ReferenceBoard::drawLine(const Vertex& first, const Vertex& second) {
  if (!drawable(first.x) || !drawable(first.y) || !drawable(second.x) || !drawable(second.y)) {
    return;
  }
  const std::int64_t x1 = snappedToGrid(first.x, width_, 640), y1 = snappedToGrid(first.y, height_, 480);
  const std::int64_t x2 = snappedToGrid(second.x, width_, 640), y2 = snappedToGrid(second.y, height_, 480);
  if (x1 == x2 && y1 == y2) {
    return;
  }
  const bool xMajor = std::llabs(x2 - x1) >= std::llabs(y2 - y1);
  const std::int64_t u1 = xMajor ? x1 : y1, u2 = xMajor ? x2 : y2;
  const std::int64_t v1 = std::int64_t{xMajor ? y1 : x1} * 4096, v2 = std::int64_t{xMajor ? y2 : x2} * 4096;
  const std::int64_t du = u2 - u1;
  const std::int64_t band = (xMajor ? reachY_ : reachX_) * 4096;
  const int majorSize = xMajor ? width_ : height_;
  // The first column the clip window holds on the major axis.
  std::int64_t c0 = 0;
  while (c0 < majorSize && !(xMajor ? insideClipColumn(static_cast<int>(c0)) : insideClipRow(static_cast<int>(c0)))) {
    ++c0;
  }
  while (16 * c0 + 8 < std::min(u1, u2)) {
    ++c0;
  }
  const std::int64_t ends[6][2] = {{v1, v2},
                                   {fixedColor(first.r), fixedColor(second.r)},
                                   {fixedColor(first.g), fixedColor(second.g)},
                                   {fixedColor(first.b), fixedColor(second.b)},
                                   {fixedColor(first.a), fixedColor(second.a)},
                                   {fixedOow(first.oow), fixedOow(second.oow)}};
  for (std::int64_t c = c0; c < majorSize && 16 * c + 8 < std::max(u1, u2); ++c) {
    if (!(xMajor ? insideClipColumn(static_cast<int>(c)) : insideClipRow(static_cast<int>(c)))) {
      break;
    }
    std::int64_t at[6];
    for (int i = 0; i < 6; ++i) {
      const std::int64_t change = ends[i][1] - ends[i][0];
      at[i] = ends[i][0] + floorDivide(change * (16 * c0 + 8 - u1), du) + (c - c0) * floorDivide(change * 16, du);
    }
    const int a = level(at[4]);
    const std::int64_t middle = floorDivide(at[0], 65536);
    const std::int64_t reach = band / 65536 + 2;
    for (std::int64_t m = middle - reach; m <= middle + reach; ++m) {
      const std::int64_t distance = std::llabs((16 * m + 8) * 4096 - at[0]);
      const int x = static_cast<int>(xMajor ? c : m);
      const int y = static_cast<int>(xMajor ? m : c);
      if (distance >= band || !insideClip(x, y)) {
        continue;
      }
      writePixel(x, y, {level(at[1]), level(at[2]), level(at[3]), static_cast<int>(floorDivide(a * (band - distance), band)),
                        fogDepth(at[5])});
    }
  }
}

std::uint64_t referencePictureHash(const std::vector<std::uint16_t>& picture) {
  std::uint64_t hash = 1469598103934665603ull;
  for (const std::uint16_t word : picture) {
    hash = (hash ^ word) * 1099511628211ull;
  }
  return hash;
}
