// The board's fixed-point setup and iterators: each conversion against its
// definition, the iterators against exact rationals, and whole pictures of
// points, anti-aliased points and lines (every sub-pixel offset, coverage
// fraction and octant, the clip edges, bad input, the saver's own frames)
// against the reference board of reference_board.cpp, which replays the
// same calls from the formulas alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "effect/frame.h"
#include "glide_fixture.h"
#include "isolated.h"
#include "reference_board.h"
#include "saver_fixture.h"
#include "pixel.h"
#include "setup.h"
#include "softglide.h"
#include "win32/display.h"

namespace {

namespace fixed = softglide::detail;

float bitsFloat(std::uint32_t bits) {
  return std::bit_cast<float>(bits);
}

float next(float value, float toward) {
  return std::nextafter(value, toward);
}

// Floats of every exponent (subnormals and zero included), both signs, with
// mantissas spread over the whole 23 bits.
template <typename Visit>
void forManyFloats(Visit visit) {
  for (std::uint32_t sign = 0; sign < 2; ++sign) {
    for (std::uint32_t exponent = 0; exponent < 255; ++exponent) {
      for (std::uint32_t mantissa = 0; mantissa < (1u << 23); mantissa += 4099) {
        visit(bitsFloat(sign << 31 | exponent << 23 | mantissa));
      }
      visit(bitsFloat(sign << 31 | exponent << 23 | 0x7FFFFF));
    }
  }
}

// ---- Setup: each conversion against its definition -------------------------

TEST(Setup, PositionsSnapToSixteenthsWithHalvesRoundingUp) {
  // Known answers by hand: floor(v * 16 + 0.5).
  const struct {
    float value;
    std::int32_t snapped;
  } known[] = {{0.0f, 0},          {-0.0f, 0},           {1.0f / 32, 1},        {next(1.0f / 32, 0.0f), 0},
               {-1.0f / 32, 0},    {next(-1.0f / 32, -1.0f), -1}, {100.96f, 1615},  {200.97f, 3216},
               {4096.0f, 65536},   {-4096.0f, -65536},   {1e-45f, 0},           {-1e-45f, 0},
               {639.999f, 10240},  {3.0f / 32, 2},       {-3.0f / 32, -1}};
  for (const auto& row : known) {
    EXPECT_EQ(fixed::snapPosition(row.value), row.snapped) << row.value;
  }
  // Every half-sixteenth within +-4096 (k / 32, where the rounding turns)
  // and its two neighbours, then floats of every exponent.
  for (std::int32_t k = -131072; k <= 131072; ++k) {
    const float edge = static_cast<float>(k) / 32.0f;
    for (const float value : {edge, next(edge, -5000.0f), next(edge, 5000.0f)}) {
      ASSERT_EQ(fixed::snapPosition(value), reference::snapped(value)) << value;
    }
  }
  forManyFloats([](float value) {
    if (reference::drawable(value)) {
      ASSERT_EQ(fixed::snapPosition(value), reference::snapped(value)) << value;
    }
  });
}

TEST(Setup, DrawablePositionsAreFiniteWithin4096) {
  const struct {
    float value;
    bool drawable;
  } known[] = {{4096.0f, true},  {next(4096.0f, 5000.0f), false}, {-4096.0f, true}, {next(-4096.0f, -5000.0f), false},
               {0.0f, true},     {-0.0f, true},  {1e-45f, true},  {1e30f, false},    {-1e30f, false},
               {NAN, false},     {-NAN, false},  {INFINITY, false}, {-INFINITY, false}};
  for (const auto& row : known) {
    EXPECT_EQ(fixed::drawablePosition(row.value), row.drawable) << row.value;
  }
  forManyFloats([](float value) { ASSERT_EQ(fixed::drawablePosition(value), reference::drawable(value)) << value; });
}

TEST(Setup, ColourAndAlphaInTwelvePointTwelve) {
  // By hand: 255 - 2^-16 times 4096 is 1044480 - 1/16.
  const struct {
    float value;
    std::int32_t fixed;
  } known[] = {{0.0f, 0},       {-0.0f, 0},     {1.0f, 4096},      {0.5f, 2048},          {255.0f, 1044480},
               {300.0f, 1044480}, {INFINITY, 1044480}, {next(255.0f, 0.0f), 1044479}, {-1.0f, 0}, {-INFINITY, 0},
               {NAN, 0},        {-NAN, 0},      {1e-30f, 0},       {1.0f / 4096, 1},      {next(1.0f / 4096, 0.0f), 0},
               {254.5f, 1042432}};
  for (const auto& row : known) {
    EXPECT_EQ(fixed::fixedColor(row.value), row.fixed) << row.value;
  }
  // Every multiple of 1/4096 up to 256 and its neighbours, then floats of
  // every exponent.
  for (std::int32_t k = 0; k <= 256 * 4096; ++k) {
    const float edge = static_cast<float>(k) / 4096.0f;
    for (const float value : {edge, next(edge, -1.0f), next(edge, 300.0f)}) {
      ASSERT_EQ(fixed::fixedColor(value), reference::fixedColor(value)) << value;
    }
  }
  forManyFloats([](float value) { ASSERT_EQ(fixed::fixedColor(value), reference::fixedColor(value)) << value; });
}

TEST(Setup, OneOverWInUnitsOfTwoToTheMinus32) {
  constexpr std::int64_t one = std::int64_t{1} << 32;
  const struct {
    float value;
    std::int64_t q;
  } known[] = {{1.0f, one},          {2.0f, 2 * one},        {3.0f, 2 * one},       {INFINITY, 2 * one},
               {0.5f, one / 2},      {0.0f, 0},              {-0.0f, 0},            {-1.0f, -one},
               {-7.0f, -one},        {-INFINITY, -one},      {NAN, -one},           {-NAN, -one},
               {-0.5f, -one / 2},    {-1e-45f, -1},          {1e-45f, 0},           {std::ldexp(1.0f, -32), 1},
               {std::ldexp(1.0f, -33), 0}, {std::ldexp(-1.0f, -33), -1}, {next(2.0f, 0.0f), 2 * one - 512}};
  for (const auto& row : known) {
    EXPECT_EQ(fixed::fixedOow(row.value), row.q) << row.value;
  }
  forManyFloats([](float value) { ASSERT_EQ(fixed::fixedOow(value), reference::fixedOow(value)) << value; });
}

// ---- The fog depth of Q -----------------------------------------------------

// The card's float formula, written with frexp in double: 0 for oow >= 1,
// below 0 or NaN; 0xFFFF below 2^-16; otherwise, with oow = m * 2^-(e+1)
// and m in [1, 2): min(0xFFFF, (e << 12) + 4096 - floor((m - 1) * 4096)).
std::uint32_t floatFormulaDepth(float oow) {
  if (std::isnan(oow) || oow >= 1.0f || oow < 0.0f) return 0;
  if (oow < std::ldexp(1.0, -16)) return 0xFFFF;
  int exponent = 0;
  const double m = std::frexp(static_cast<double>(oow), &exponent) * 2.0;  // oow = m * 2^(exponent - 1)
  const long e = -exponent;
  const long mantissa12 = static_cast<long>(std::floor((m - 1.0) * 4096.0));
  return static_cast<std::uint32_t>(std::min<long>(0xFFFF, (e << 12) + 4096 - mantissa12));
}

TEST(FogDepth, OfEveryVertexQAgainstTheFloatFormula) {
  std::set<std::uint32_t> reached;
  forManyFloats([&reached](float oow) {
    const std::uint32_t depth = softglide::pixel::fogDepth(fixed::fixedOow(oow));
    ASSERT_EQ(depth, floatFormulaDepth(oow)) << oow;
    reached.insert(depth);
  });
  // Every top-12-bit mantissa of every exponent that has depths of its own.
  for (std::uint32_t exponent = 100; exponent <= 127; ++exponent) {
    for (std::uint32_t mantissa12 = 0; mantissa12 < 4096; ++mantissa12) {
      for (const std::uint32_t low : {0u, 0x7FFu}) {
        const float oow = bitsFloat(exponent << 23 | mantissa12 << 11 | low);
        ASSERT_EQ(softglide::pixel::fogDepth(fixed::fixedOow(oow)), floatFormulaDepth(oow)) << oow;
        reached.insert(floatFormulaDepth(oow));
      }
    }
  }
  EXPECT_EQ(reached.size(), 65536u);  // every 16-bit depth occurs
}

TEST(FogDepth, OfIteratedQKnownAnswersAndSweep) {
  // By hand from ((31 - p) << 12) + 4096 - ((Q >> (p - 12)) & 0xFFF).
  const struct {
    std::int64_t q;
    std::uint32_t depth;
  } known[] = {{-1, 0},
               {-(std::int64_t{1} << 40), 0},
               {0, 0xFFFF},
               {0xFFFF, 0xFFFF},
               {0x10000, 0xFFFF},                 // p = 16: 65536, held at 0xFFFF
               {0x10010, 0xFFFF},                 // mantissa bits 0x001: 65535
               {0x10020, 0xFFFE},                 // 0x002
               {0x100000, 49152},                 // p = 20: 11 << 12 + 4096
               {0x80000000, 4096},                // p = 31
               {0xC0000000, 2048},                // p = 31, mantissa 0x800
               {0xFFFFFFFF, 1},                   // mantissa 0xFFF
               {std::int64_t{1} << 32, 0},        // 1/w = 1
               {std::int64_t{3} << 32, 0}};
  for (const auto& row : known) {
    EXPECT_EQ(softglide::pixel::fogDepth(row.q), row.depth) << row.q;
  }
  for (std::int64_t q = -1000; q < (std::int64_t{1} << 33); q += q < 0x200000 ? 1 : 4093) {
    ASSERT_EQ(static_cast<std::int64_t>(softglide::pixel::fogDepth(q)), reference::fogDepth(q)) << q;
  }
}

// ---- floordiv and the line iterators ----------------------------------------

TEST(FloorDivide, ExhaustiveSmallDomainAndEdges) {
  const struct {
    std::int64_t numerator;
    std::int32_t denominator;
    std::int64_t quotient;
  } known[] = {{7, 2, 3},       {-7, 2, -4},      {-8, 2, -4},      {0, 5, 0},
               {-1, 131072, -1}, {131071, 131072, 0}, {INT32_MIN, 1, INT32_MIN},
               {-2147483649LL, 2, -1073741825LL}, {INT32_MAX + 1LL, 2, 1073741824},
               {-(std::int64_t{1} << 50) - 1, 16, -(std::int64_t{1} << 46) - 1}};
  for (const auto& row : known) {
    EXPECT_EQ(fixed::floorDivide(row.numerator, row.denominator), row.quotient)
        << row.numerator << " / " << row.denominator;
  }
  for (std::int64_t n = -600; n <= 600; ++n) {
    for (std::int32_t d = 1; d <= 70; ++d) {
      ASSERT_EQ(fixed::floorDivide(n, d), static_cast<std::int64_t>(reference::floorDivide(n, d))) << n << "/" << d;
    }
  }
  // Around the 32-bit limits, where the division changes width.
  const std::int64_t centres[] = {INT32_MIN, INT32_MAX, std::int64_t{1} << 40, -(std::int64_t{1} << 51)};
  const std::int32_t denominators[] = {1, 2, 3, 7, 16, 4095, 65535, 131072, INT32_MAX};
  for (const std::int64_t centre : centres) {
    for (std::int64_t n = centre - 40; n <= centre + 40; ++n) {
      for (const std::int32_t d : denominators) {
        ASSERT_EQ(fixed::floorDivide(n, d), static_cast<std::int64_t>(reference::floorDivide(n, d))) << n << "/" << d;
      }
    }
  }
}

// A line's divider (a multiply by the reciprocal, corrected) against the
// definition: every small numerator by every divisor a line's span takes
// from 1 to 200, and numerators near the range's ends (|n| < 2^50) and near
// multiples of the divisor, where an estimate off by one would show, for
// spans up to 2^17 (8192 pixels).
TEST(FloorDivide, TheLinesDividerIsExact) {
  for (std::int32_t d = 1; d <= 200; ++d) {
    const fixed::FloorDivider divide(d);
    for (std::int64_t n = -3000; n <= 3000; ++n) {
      ASSERT_EQ(divide(n), reference::floorDivide(n, d)) << n << "/" << d;
    }
  }
  std::mt19937_64 random(5);
  const std::int32_t spans[] = {1, 3, 16, 4095, 65535, 98304, 131071, 131072};
  for (const std::int32_t d : spans) {
    const fixed::FloorDivider divide(d);
    for (int i = 0; i < 20000; ++i) {
      const std::int64_t magnitude = static_cast<std::int64_t>(random() >> (14 + random() % 40));  // below 2^50
      const std::int64_t multiple = magnitude / d * d + static_cast<std::int64_t>(random() % 3) - 1;
      for (const std::int64_t n : {magnitude, -magnitude, multiple, -multiple}) {
        ASSERT_EQ(divide(n), reference::floorDivide(n, d)) << n << "/" << d;
      }
    }
  }
}

// The definition, in the ends' given order (dU of either sign), in exact
// 64-bit products.
struct Expected {
  std::int64_t value, step;
};

Expected definition(std::int64_t first, std::int64_t second, std::int64_t firstU, std::int64_t secondU,
                    std::int64_t column) {
  const std::int64_t change = second - first;
  return {first + reference::floorDivide(change * (16 * column + 8 - firstU), secondU - firstU),
          reference::floorDivide(change * 16, secondU - firstU)};
}

struct RandomLine {
  std::int64_t first, second;
  std::int32_t firstU, secondU;
};

// Ends anywhere the board's ranges allow: Q from -2^32 to 2^33, major
// coordinates within +-4096 pixels; some lines a pixel or less long.
RandomLine randomLine(std::mt19937_64& random) {
  std::uniform_int_distribution<std::int64_t> parameter(-(std::int64_t{1} << 32), std::int64_t{1} << 33);
  std::uniform_int_distribution<std::int32_t> major(-65536, 65536);
  RandomLine line{parameter(random), parameter(random), major(random), 0};
  do {
    line.secondU = random() % 4 == 0 ? line.firstU + static_cast<std::int32_t>(random() % 33) - 16 : major(random);
  } while (line.secondU == line.firstU || line.secondU < -65536 || line.secondU > 65536);
  if (random() % 8 == 0) line.second = line.first;
  return line;
}

TEST(LineIterator, StartAndStepAgainstTheDefinitionInEitherOrder) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 200000; ++i) {
    const RandomLine line = randomLine(random);
    const std::int32_t column = static_cast<std::int32_t>(random() % 1280) - 320;
    const Expected expected = definition(line.first, line.second, line.firstU, line.secondU, column);
    const fixed::LineIterator forward =
        fixed::startLineIterator(line.first, line.second, line.firstU, line.secondU, column);
    const fixed::LineIterator backward =
        fixed::startLineIterator(line.second, line.first, line.secondU, line.firstU, column);
    ASSERT_EQ(forward.value, static_cast<std::int64_t>(expected.value)) << i;
    ASSERT_EQ(forward.step, static_cast<std::int64_t>(expected.step)) << i;
    ASSERT_EQ(backward.value, forward.value) << i;  // the raster iterates from the lower end
    ASSERT_EQ(backward.step, forward.step) << i;
  }
  // By hand: from 0 at u = 0 to 4096 at u = 48 (three pixels), column 0's
  // centre u = 8 has 4096 * 8 / 48 = 682.67, floored to 682; a step is
  // 4096 * 16 / 48 = 1365.33, floored to 1365. Backwards from 4096 at 48:
  // 4096 + floor(-4096 * (8 - 48) / -48) = 4096 - 3414 = 682.
  const fixed::LineIterator hand = fixed::startLineIterator(0, 4096, 0, 48, 0);
  EXPECT_EQ(hand.value, 682);
  EXPECT_EQ(hand.step, 1365);
  EXPECT_EQ(fixed::startLineIterator(4096, 0, 48, 0, 0).value, 682);
  EXPECT_EQ(fixed::startLineIterator(0, -4096, 0, 48, 0).value, -683);  // floor(-682.67)
  EXPECT_EQ(fixed::startLineIterator(0, -4096, 0, 48, 0).step, -1366);  // floor(-1365.33)
}

// Stepped from its first column, a parameter lies below the exact value
// P1 + (P2 - P1) (16c + 8 - U1) / dU by less than k + 1 after k steps: the
// start's floor loses less than 1, each step's less than 1 more. With
// R = (P1 dU + (P2 - P1)(16c + 8 - U1)) - stepped * dU, that is
// 0 <= R / dU < k + 1.
TEST(LineIterator, SteppedValuesStayWithinTheAccumulatedFloorError) {
  std::mt19937_64 random(11);
  std::int64_t worstRatio = 0;  // largest R / dU seen, in 1/1024
  for (int i = 0; i < 3000; ++i) {
    const RandomLine line = randomLine(random);
    const std::int32_t low = std::min(line.firstU, line.secondU), high = std::max(line.firstU, line.secondU);
    const std::int32_t firstColumn = (low + 7) >> 4;  // the first centre 16c + 8 at or past the lower end
    const fixed::LineIterator iterator =
        fixed::startLineIterator(line.first, line.second, line.firstU, line.secondU, firstColumn);
    std::int64_t stepped = iterator.value;
    for (std::int32_t column = firstColumn, k = 0; 16 * column + 8 < high; ++column, ++k) {
      std::int64_t du = line.secondU - line.firstU;
      std::int64_t remainder =
          line.first * du + (line.second - line.first) * (16 * column + 8 - line.firstU) - stepped * du;
      if (du < 0) {
        du = -du;
        remainder = -remainder;
      }
      ASSERT_GE(remainder, 0) << i << " column " << column;
      ASSERT_LT(remainder, std::int64_t{k + 1} * du) << i << " column " << column;
      worstRatio = std::max(worstRatio, remainder * 1024 / du);
      stepped += iterator.step;
    }
  }
  EXPECT_GT(worstRatio, 1024 * 100);  // long lines do lose over 100 units: the bound is not idle
}

// ---- Whole pictures against the reference board -------------------------------

// The board and the reference fed the same calls: tracing records the
// board's calls, the reference replays them.
class BoardAndReference {
 public:
  BoardAndReference() {
    softglide::setTracing(true);
    softglide::clearTrace();
    openTestBoard();
  }
  ~BoardAndReference() {
    softglide::setTracing(false);
    softglide::clearTrace();
  }

  // Swaps both; "" when the pictures agree, else where they differ.
  std::string swapAndCompare() {
    picture = swapAndRead();
    reference.replay(softglide::trace());
    softglide::clearTrace();
    return difference(picture, reference.front());
  }

  static std::string difference(const std::vector<std::uint16_t>& board, const std::vector<std::uint16_t>& model) {
    if (board.size() != model.size()) return "sizes differ";
    std::size_t count = 0, first = 0;
    for (std::size_t i = 0; i < board.size(); ++i) {
      if (board[i] != model[i] && count++ == 0) first = i;
    }
    if (count == 0) return "";
    char text[160];
    std::snprintf(text, sizeof text, "%zu pixels differ, first at x %zu y %zu: board %04x, reference %04x", count,
                  first % 640, 479 - first / 640, board[first], model[first]);
    return text;
  }

  ReferenceBoard reference;
  std::vector<std::uint16_t> picture;
};

void saverState() {
  GrFog_t table[GR_FOG_TABLE_SIZE];
  guFogGenerateExp(table, 0.9f);
  grFogTable(table);
  grFogMode(GR_FOG_WITH_TABLE);
  grFogColorValue(0x00203040u);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
}

// White over black through source-alpha blending, no fog: a pixel's word
// from its alpha, by the blend and dither formulas (for hand checks).
std::uint16_t whiteOverBlack(int alpha, int x, int y) {
  static const int thresholds[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const int v = (255 * (alpha + 1)) >> 8;
  const int d = thresholds[(479 - y) & 3][x & 3];
  const int five = ((v << 1) - (v >> 4) + (v >> 7) + d) >> 4;
  const int six = ((v << 2) - (v >> 4) + (v >> 6) + d) >> 4;
  return static_cast<std::uint16_t>(five << 11 | six << 5 | five);
}

TEST(Points, EverySixteenthOffsetAndRoundingEdge) {
  BoardAndReference both;
  saverState();
  std::mt19937 random(3);
  // Cells of 4 x 4 pixels: per offset (ox, oy), three cells: on the
  // sixteenth, on the half above it (rounds up), just below that half.
  int cell = 0;
  std::vector<std::pair<int, int>> expectedPixels;
  for (int oy = 0; oy < 16; ++oy) {
    for (int ox = 0; ox < 16; ++ox) {
      for (int kind = 0; kind < 3; ++kind, ++cell) {
        const int cx = 4 * (cell % 160) + 1, cy = 4 * (cell / 160) + 1;
        auto place = [kind](int pixel, int offset) {
          const float sixteenth = static_cast<float>(16 * pixel + offset) / 16.0f;
          const float half = static_cast<float>(32 * pixel + 2 * offset + 1) / 32.0f;
          return kind == 0 ? sixteenth : (kind == 1 ? half : next(half, 0.0f));
        };
        GrVertex v = vertex(place(cx, ox), place(cy, oy), static_cast<float>(random() % 256),
                            static_cast<float>(random() % 256), 255.0f, static_cast<float>(128 + random() % 128),
                            static_cast<float>(random() % 1000) / 900.0f);
        grDrawPoint(&v);
        // Halves round up: offset 15 plus a half lands in the next pixel.
        expectedPixels.push_back({cx + (kind == 1 && ox == 15), cy + (kind == 1 && oy == 15)});
      }
    }
  }
  EXPECT_EQ(both.swapAndCompare(), "");
  // Known answers for the same picture: exactly the expected pixels are drawn
  // (full blue, at least half alpha and a fog colour off black keep each
  // drawn pixel off black).
  std::set<std::pair<int, int>> lit, expected(expectedPixels.begin(), expectedPixels.end());
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if (pixelAt(both.picture, x, y) != 0) lit.insert({x, y});
  EXPECT_EQ(lit, expected);
}

TEST(AntiAliasedPoints, EveryOffsetAndEveryAlpha) {
  BoardAndReference both;
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
  // 256 offsets x 256 alphas in cells of 4 x 4 pixels, 19200 to a picture.
  for (int batch = 0; batch < 4; ++batch) {
    grBufferClear(0, 0, 0xFFFF);
    for (int cell = 0; cell < 19200 && batch * 19200 + cell < 65536; ++cell) {
      const int index = batch * 19200 + cell;
      const int ox = index & 15, oy = (index >> 4) & 15, alpha = index >> 8;
      const float x = static_cast<float>(16 * (4 * (cell % 160) + 1) + ox) / 16.0f;
      const float y = static_cast<float>(16 * (4 * (cell / 160) + 1) + oy) / 16.0f;
      GrVertex v = vertex(x, y, 255, 255, 255, static_cast<float>(alpha));
      grAADrawPoint(&v);
    }
    ASSERT_EQ(both.swapAndCompare(), "") << "batch " << batch;
  }
  // By hand at full alpha: the footprint holds the pixels whose centres
  // 16c + 8 lie within 16 of the point, 2 per axis unless the point sits on
  // a centre (offset 8), and each pixel's alpha is (255 * (16 - d)) >> 4
  // with d the larger distance.
  grBufferClear(0, 0, 0xFFFF);
  auto pointOf = [](int cell) {  // in 1/16 pixel, one cell of 4 x 4 pixels per offset
    return std::make_pair(16 * (4 * (cell % 16) + 1) + (cell & 15), 16 * (4 * (cell / 16) + 1) + (cell >> 4));
  };
  for (int cell = 0; cell < 256; ++cell) {
    const auto [px, py] = pointOf(cell);
    GrVertex v = vertex(static_cast<float>(px) / 16.0f, static_cast<float>(py) / 16.0f, 255, 255, 255, 255);
    grAADrawPoint(&v);
  }
  EXPECT_EQ(both.swapAndCompare(), "");
  for (int cell = 0; cell < 256; ++cell) {
    const auto [px, py] = pointOf(cell);
    for (int y = 4 * (cell / 16); y < 4 * (cell / 16) + 4; ++y) {
      for (int x = 4 * (cell % 16); x < 4 * (cell % 16) + 4; ++x) {
        const int dx = std::abs(16 * x + 8 - px), dy = std::abs(16 * y + 8 - py);
        const bool inside = dx < 16 && dy < 16;
        const std::uint16_t want = inside ? whiteOverBlack((255 * (16 - std::max(dx, dy))) >> 4, x, y) : 0;
        ASSERT_EQ(pixelAt(both.picture, x, y), want) << "offset " << (cell & 15) << "," << (cell >> 4) << " pixel "
                                                     << x << "," << y;
      }
    }
  }
}

// Column c0's minor coordinate is made to hold fraction f exactly: from
// (c0, r1 + 0.5) over 2048 pixels (dU = 32768) rising dY = f - 65536 j
// sixteenths, the first column's centre is 8 past U1, so V = V1 +
// floordiv(4096 dY 8, 32768) = V1 + dY, and V - 0x8000 = 65536 (r1 - j) + f.
// A clip window of that one column keeps the rest of the line off.
TEST(Lines, EveryCoverageFractionOfAColumn) {
  BoardAndReference both;
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
  auto placeOf = [](int fraction) { return std::make_pair(fraction % 640, 3 * (fraction / 640)); };
  for (int fraction = 0; fraction < 65536; ++fraction) {
    const auto [column, row] = placeOf(fraction);
    const int j = fraction > 32768 ? 1 : 0;
    const float x1 = static_cast<float>(column), y1 = static_cast<float>(row + j) + 0.5f;
    const float alpha = static_cast<float>((fraction * 7 + 255) % 256);
    GrVertex from = vertex(x1, y1, 255, 255, 255, alpha);
    GrVertex to = vertex(x1 + 2048.0f, y1 + static_cast<float>(fraction - 65536 * j) / 16.0f, 255, 255, 255, alpha);
    grClipWindow(column, 0, column + 1, 480);
    grAADrawLine(&from, &to);
  }
  grClipWindow(0, 0, 640, 480);
  EXPECT_EQ(both.swapAndCompare(), "");
  // By hand: the lower pixel has coverage 0x10000 - f, the upper f; alpha
  // a * coverage >> 16; nothing else in the column's three rows.
  for (int fraction = 0; fraction < 65536; ++fraction) {
    const auto [column, row] = placeOf(fraction);
    const int alpha = (fraction * 7 + 255) % 256;
    ASSERT_EQ(pixelAt(both.picture, column, row), whiteOverBlack((alpha * (0x10000 - fraction)) >> 16, column, row))
        << fraction;
    const std::uint16_t upper = fraction == 0 ? 0 : whiteOverBlack((alpha * fraction) >> 16, column, row + 1);
    ASSERT_EQ(pixelAt(both.picture, column, row + 1), upper) << fraction;
    ASSERT_EQ(pixelAt(both.picture, column, row + 2), 0) << fraction;
  }
}

// Random colours (a quarter of them grey), alpha and 1/w along each line.
GrVertex randomEnd(std::mt19937& random, float x, float y) {
  auto level = [&random] { return static_cast<float>(random() % 2560) / 10.0f; };
  const float red = level();
  const bool grey = random() % 4 == 0;
  const float green = grey ? red : level(), blue = grey ? red : level();
  return vertex(x, y, red, green, blue, level(), static_cast<float>(random() % 2200) / 1000.0f - 0.1f);
}

// count primitives in turn: a point, an anti-aliased point, a line, with
// random ends at coordinate(640), coordinate(480).
template <typename Coordinate>
void drawRandomPrimitives(std::mt19937& random, int count, Coordinate coordinate) {
  for (int i = 0; i < count; ++i) {
    GrVertex a = randomEnd(random, coordinate(640), coordinate(480));
    GrVertex b = randomEnd(random, coordinate(640), coordinate(480));
    switch (i % 3) {
      case 0: grDrawPoint(&a); break;
      case 1: grAADrawPoint(&a); break;
      default: grAADrawLine(&a, &b); break;
    }
  }
}

// Every start offset (16 x 16 sixteenths) with every change of up to 2.5
// pixels along each axis, so every octant and slope there is: one line per
// 10 x 10 cell, 3072 to a picture.
TEST(Lines, EveryOctantAndStartOffsetUpToTwoAndAHalfPixels) {
  BoardAndReference both;
  saverState();
  std::mt19937 random(5);
  int cell = 0;
  int pictures = 0;
  for (int start = 0; start < 256; ++start) {
    for (int dy = -40; dy <= 40; ++dy) {
      for (int dx = -40; dx <= 40; ++dx) {
        if (dx == 0 && dy == 0) continue;
        const int cx = 10 * (cell % 64) + 4, cy = 10 * (cell / 64) + 4;
        const float x = static_cast<float>(16 * cx + (start & 15)) / 16.0f;
        const float y = static_cast<float>(16 * cy + (start >> 4)) / 16.0f;
        GrVertex from = randomEnd(random, x, y);
        GrVertex to = randomEnd(random, x + static_cast<float>(dx) / 16.0f, y + static_cast<float>(dy) / 16.0f);
        grAADrawLine(&from, &to);
        if (++cell == 3072) {
          ASSERT_EQ(both.swapAndCompare(), "") << "picture " << pictures << " start " << start;
          grBufferClear(0, 0, 0xFFFF);
          cell = 0;
          ++pictures;
        }
      }
    }
  }
  EXPECT_EQ(both.swapAndCompare(), "");
  EXPECT_EQ(pictures, 256 * 6560 / 3072);
}

// Long lines across and beyond the screen, either way round, in full and
// in smaller clip windows: their iterators step over hundreds of columns.
TEST(Lines, LongLinesAcrossAndBeyondTheScreen) {
  BoardAndReference both;
  saverState();
  std::mt19937 random(9);
  auto coordinate = [&random](int size) {
    return random() % 3 == 0 ? static_cast<float>(static_cast<int>(random() % 8192) - 4096) + 0.25f
                             : static_cast<float>(random() % (size * 16)) / 16.0f;
  };
  for (int picture = 0; picture < 8; ++picture) {
    if (picture % 2 == 1) {
      grClipWindow(random() % 300, random() % 200, 340 + random() % 300, 280 + random() % 200);
    }
    for (int i = 0; i < 400; ++i) {
      GrVertex from = randomEnd(random, coordinate(640), coordinate(480));
      GrVertex to = randomEnd(random, coordinate(640), coordinate(480));
      grAADrawLine(&from, &to);
    }
    grClipWindow(0, 0, 640, 480);
    ASSERT_EQ(both.swapAndCompare(), "") << "picture " << picture;
    grBufferClear(0, 0, 0xFFFF);
  }
}

// Each edge of a clip window in the middle of the screen and of the whole
// screen, crossed by lines of both kinds (from far outside too, where an
// iterator stepped from the vertex instead of started at the first column
// drawn would have drifted), anti-aliased points and points at every
// sixteenth across it. Nothing may land outside the window.
TEST(Clipping, AtEachOfTheFourEdges) {
  const struct {
    const char* edge;
    int minX, minY, maxX, maxY;
    bool vertical;  // the edge is a column boundary
    int at;         // its coordinate
  } edges[] = {{"left", 100, 80, 540, 400, true, 100},   {"right", 100, 80, 540, 400, true, 540},
               {"bottom", 100, 80, 540, 400, false, 80}, {"top", 100, 80, 540, 400, false, 400},
               {"screen left", 0, 0, 640, 480, true, 0}, {"screen right", 0, 0, 640, 480, true, 640},
               {"screen bottom", 0, 0, 640, 480, false, 0}, {"screen top", 0, 0, 640, 480, false, 480}};
  for (const auto& edge : edges) {
    BoardAndReference both;
    saverState();
    grClipWindow(edge.minX, edge.minY, edge.maxX, edge.maxY);
    std::mt19937 random(edge.at + edge.vertical);
    for (int i = 0; i < 240; ++i) {
      const float along = static_cast<float>(edge.vertical ? edge.minY + 2 * i % (edge.maxY - edge.minY)
                                                           : edge.minX + 2 * i % (edge.maxX - edge.minX));
      const float across = static_cast<float>(edge.at) + static_cast<float>(i % 64 - 32) / 16.0f;
      auto at = [&](float acrossValue, float alongValue) {
        return edge.vertical ? std::make_pair(acrossValue, alongValue) : std::make_pair(alongValue, acrossValue);
      };
      const auto [px, py] = at(across, along);
      GrVertex point = randomEnd(random, px, py);
      if (i % 2 == 0) grDrawPoint(&point); else grAADrawPoint(&point);
      // Lines crossing the edge: steep and shallow, short and from far off.
      const float reach = i % 3 == 0 ? 3000.0f + static_cast<float>(i) : static_cast<float>(i % 20 + 1);
      const float slope = static_cast<float>(i % 7 - 3) / 4.0f;
      const auto [ax, ay] = at(across - reach, along - slope * reach);
      const auto [bx, by] = at(across + static_cast<float>(i % 5 + 1), along + slope * static_cast<float>(i % 5 + 1));
      GrVertex from = randomEnd(random, ax, ay), to = randomEnd(random, bx, by);
      grAADrawLine(&from, &to);
      const auto [cx, cy] = at(across + 0.3f, along - 40.0f);
      const auto [dx, dy] = at(across - 0.4f, along + 40.0f);  // along the edge, nearly
      GrVertex steepFrom = randomEnd(random, cx, cy), steepTo = randomEnd(random, dx, dy);
      grAADrawLine(&steepFrom, &steepTo);
    }
    grClipWindow(0, 0, 640, 480);
    EXPECT_EQ(both.swapAndCompare(), "") << edge.edge;
    int inside = 0;
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) {
        const bool within = x >= edge.minX && x < edge.maxX && y >= edge.minY && y < edge.maxY;
        if (!within) {
          ASSERT_EQ(pixelAt(both.picture, x, y), 0) << edge.edge << " at " << x << "," << y;
        }
        inside += within && pixelAt(both.picture, x, y) != 0;
      }
    }
    EXPECT_GT(inside, 500) << edge.edge;
  }
}

TEST(Robustness, FarAndNotFiniteCoordinatesDrawNothing) {
  BoardAndReference both;
  saverState();
  const float bad[] = {NAN, -NAN, INFINITY, -INFINITY, next(4096.0f, 5000.0f), next(-4096.0f, -5000.0f),
                       5000.0f, -1e30f, 1e30f};
  for (const float value : bad) {
    for (int slot = 0; slot < 4; ++slot) {
      float coordinates[4] = {300.0f, 200.0f, 320.0f, 230.0f};
      coordinates[slot] = value;
      GrVertex a = vertex(coordinates[0], coordinates[1], 255, 255, 255, 255, 0.5f);
      GrVertex b = vertex(coordinates[2], coordinates[3], 255, 255, 255, 255, 0.5f);
      grAADrawLine(&a, &b);
      grAADrawLine(&b, &a);
      if (slot < 2) {
        grDrawPoint(&a);
        grAADrawPoint(&a);
      }
    }
  }
  EXPECT_EQ(both.swapAndCompare(), "");
  EXPECT_EQ(std::count(both.picture.begin(), both.picture.end(), 0), 640 * 480);
  // Exactly +-4096 is still drawn: the line crosses the whole screen, one
  // or two pixels in each of its 640 columns; bad colours and 1/w count as
  // 0, 255 and -1.
  GrVertex left = vertex(-4096.0f, 100.5f, NAN, INFINITY, -5.0f, 255, NAN);
  GrVertex right = vertex(4096.0f, 107.5f, 1e30f, -INFINITY, 300.0f, 255, INFINITY);
  grAADrawLine(&left, &right);
  EXPECT_EQ(both.swapAndCompare(), "");
  std::set<int> columns;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if (pixelAt(both.picture, x, y) != 0) columns.insert(x);
  EXPECT_EQ(columns.size(), 640u);
}

// Any float bits for every vertex field and random clip windows, beyond
// the screen too: the same pictures as the reference (and, in the sanitizer
// builds, no write outside the buffers).
TEST(Robustness, RandomInputAgainstTheReference) {
  BoardAndReference both;
  saverState();
  std::mt19937 random(1);
  const float specials[] = {NAN, -NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 0.0f, -0.0f, 1e-40f, 639.999f,
                            480.0f, -1.0f, 4096.0f, -4096.0f, 2.0f, 1.0f};
  auto value = [&]() -> float {
    switch (random() % 4) {
      case 0: return specials[random() % 16];
      case 1: return std::bit_cast<float>(static_cast<std::uint32_t>(random()));
      default: return static_cast<float>(static_cast<int>(random() % 1400) - 400) + (random() % 100) / 100.0f;
    }
  };
  for (int picture = 0; picture < 4; ++picture) {
    for (int i = 0; i < 20000; ++i) {
      GrVertex a = vertex(value(), value(), value(), value(), value(), value(), value());
      GrVertex b = vertex(value(), value(), value(), value(), value(), value(), value());
      switch (i % 4) {
        case 0: grDrawPoint(&a); break;
        case 1: grAADrawPoint(&a); break;
        case 2: grAADrawLine(&a, &b); break;
        default: grClipWindow(random() % 800, random() % 600, random() % 800, random() % 600); break;
      }
    }
    grClipWindow(0, 0, 640, 480);
    ASSERT_EQ(both.swapAndCompare(), "") << "picture " << picture;
    // Read back through the conversion with and without its AVX2 path,
    // which must agree.
    const auto rgb = softglide::frontBufferRgb();
    softglide::allowAvx2(false);
    EXPECT_EQ(softglide::frontBufferRgb(), rgb) << "picture " << picture;
    softglide::allowAvx2(true);
  }
}

// The other pipeline: the constant colour, iterated-alpha fog, an inverted
// alpha, opaque and additive-free blends, with table fog taking each
// pixel's integer depth.
TEST(GeneralPipeline, TakesTheSameIntegerDepthAndIteratedValues) {
  BoardAndReference both;
  GrFog_t table[GR_FOG_TABLE_SIZE];
  guFogGenerateExp(table, 2.5f);
  grFogTable(table);
  grFogColorValue(0x00A0C0E0u);
  std::mt19937 random(13);
  for (int state = 0; state < 6; ++state) {
    guColorCombineFunction(state % 3 == 0 ? GR_COLORCOMBINE_CCRGB : GR_COLORCOMBINE_ITRGB);
    grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_CONSTANT, state % 2 == 1 ? FXTRUE : FXFALSE);
    grFogMode(state < 2 ? GR_FOG_WITH_ITERATED_ALPHA : GR_FOG_WITH_TABLE);
    grAlphaBlendFunction(state % 4 == 3 ? GR_BLEND_ONE : GR_BLEND_SRC_ALPHA,
                         state % 4 == 3 ? GR_BLEND_ZERO : GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
    drawRandomPrimitives(random, 600,
                         [&random](int size) { return static_cast<float>(random() % (size * 16)) / 16.0f; });
    ASSERT_EQ(both.swapAndCompare(), "") << "state " << state;
  }
}

// ---- Grids other than the card's ------------------------------------------------

// White at full alpha over black, through source-alpha blending, on a 2x
// grid (1280 x 960; memory row 959 - y), worked out by hand:
// - a point at (10.5, 20.25) keeps game pixel (10, 20), whose grid pixels
//   are columns 20-21 and rows 40-41 (ceil(2a - 1/2) = 2a), all 0xFFFF;
// - an anti-aliased point at (30.5, 20.5) snaps to X = 16 * 30.5 * 2 = 976,
//   Y = 656, with RX = RY = floor(1280 / 40 + 1/2) = 32: columns 59-62
//   (centres 952, 968, 984, 1000 sixteenths: dx 24, 8, 8, 24) and rows 39-42
//   likewise; alpha floor(255 min(32 - dx, 32 - dy) / 32): 191 where both
//   are 8, 63 elsewhere;
// - a line from (50, 20.5) to (60, 20.5), X 1600 to 1920: columns 100 to
//   119 (1600 <= 16c + 8 < 1920), V = 656 * 4096, B = 32 * 4096: rows 39-42
//   with d = 24, 8, 8, 24 sixteenths, alphas 63, 191, 191, 63.
// Everything else stays black.
TEST(Grids, KnownAnswersAtTwice) {
  const IsolatedRun run = runIsolated([] {
    setenv("SOFTGLIDE_RESOLUTION", "2x", 1);
    openTestBoard();
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
    GrVertex point = vertex(10.5f, 20.25f, 255.0f, 255.0f, 255.0f, 255.0f);
    grDrawPoint(&point);
    GrVertex smooth = vertex(30.5f, 20.5f, 255.0f, 255.0f, 255.0f, 255.0f);
    grAADrawPoint(&smooth);
    GrVertex from = vertex(50.0f, 20.5f, 255.0f, 255.0f, 255.0f, 255.0f);
    GrVertex to = vertex(60.0f, 20.5f, 255.0f, 255.0f, 255.0f, 255.0f);
    grAADrawLine(&from, &to);
    const std::vector<std::uint16_t> picture = swapAndRead();
    const softglide::PictureSize size = softglide::frontBufferSize();
    static const int thresholds[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const auto white = [](int alpha, int x, int y) {
      const int v = (255 * (alpha + 1)) >> 8;
      const int d = thresholds[(959 - y) & 3][x & 3];
      const int five = ((v << 1) - (v >> 4) + (v >> 7) + d) >> 4;
      const int six = ((v << 2) - (v >> 4) + (v >> 6) + d) >> 4;
      return static_cast<std::uint16_t>(five << 11 | six << 5 | five);
    };
    std::vector<std::uint16_t> expected(static_cast<std::size_t>(1280) * 960, 0);
    const auto set = [&](int x, int y, std::uint16_t word) { expected[static_cast<std::size_t>(959 - y) * 1280 + x] = word; };
    for (int y = 40; y <= 41; ++y) {
      for (int x = 20; x <= 21; ++x) set(x, y, 0xFFFF);
    }
    const int across[4] = {24, 8, 8, 24};
    for (int j = 0; j < 4; ++j) {
      for (int i = 0; i < 4; ++i) {
        set(59 + i, 39 + j, white(across[i] == 8 && across[j] == 8 ? 191 : 63, 59 + i, 39 + j));
      }
      for (int x = 100; x <= 119; ++x) set(x, 39 + j, white(across[j] == 8 ? 191 : 63, x, 39 + j));
    }
    reportFact("size", std::to_string(size.width) + "x" + std::to_string(size.height));
    reportFact("wrong", static_cast<long>(picture.size() == expected.size() ? 0 : -1));
    if (picture.size() == expected.size()) {
      long wrong = 0;
      for (std::size_t i = 0; i < picture.size(); ++i) wrong += picture[i] != expected[i];
      reportFact("wrong", wrong);
    }
  });
  EXPECT_EQ(run["size"], "1280x960") << run.errorOutput;
  EXPECT_EQ(run["wrong"], "0");
}

// Random points, anti-aliased points and lines of every kind of state, on
// the card's grid, twice it, a grid of 1.5 game pixels to one across and up
// (1440 x 1080, the native picture of a 1920x1080 screen at 4:3) and one of
// 3 across and 2.25 up (1920 x 1080 filled): the board's pictures against
// the reference's on the same grid.
TEST(Grids, RandomPrimitivesAgainstTheReference) {
  const struct {
    const char* resolution;
    const char* scale;
    int screenWidth, screenHeight, width, height;
  } grids[] = {{"640x480", "aspect", 640, 480, 640, 480},
               {"2x", "aspect", 640, 480, 1280, 960},
               {"native", "aspect", 1920, 1080, 1440, 1080},
               {"native", "fill", 1920, 1080, 1920, 1080}};
  for (const auto& grid : grids) {
    const IsolatedRun run = runIsolated([&grid] {
      setenv("SOFTGLIDE_RESOLUTION", grid.resolution, 1);
      setenv("SOFTGLIDE_SCALE", grid.scale, 1);
      win32::useHeadlessDisplay(grid.screenWidth, grid.screenHeight);
      softglide::setTracing(true);
      openTestBoard();
      softglide::clearTrace();
      ReferenceBoard reference(grid.width, grid.height);
      reference.apply({"grGlideInit", {}});
      reference.apply({"grSstWinOpen", {0, 7, 0, 1, 1, 2, 0}});
      std::mt19937 random(11);
      int differing = 0;
      for (int frame = 0; frame < 8; ++frame) {
        grClipWindow(0, 0, 640, 480);
        grBufferClear(frame % 3 == 0 ? 0x00102030u : 0, 0, 0xFFFF);
        if (frame % 4 == 1) {
          grClipWindow(random() % 300, random() % 200, 300 + random() % 340, 200 + random() % 280);
          grBufferClear(0x00FFFFFFu, 0, 0xFFFF);
        }
        guColorCombineFunction(frame % 3 == 2 ? GR_COLORCOMBINE_CCRGB : GR_COLORCOMBINE_ITRGB);
        GrFog_t table[GR_FOG_TABLE_SIZE];
        guFogGenerateExp(table, 0.7f);
        grFogTable(table);
        grFogMode(frame % 2 == 0 ? GR_FOG_WITH_TABLE : GR_FOG_DISABLE);
        grFogColorValue(frame % 4 == 0 ? 0x00203040u : 0);
        grAlphaBlendFunction(frame % 5 == 4 ? GR_BLEND_ONE : GR_BLEND_SRC_ALPHA,
                             frame % 5 == 4 ? GR_BLEND_ZERO : GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ZERO,
                             GR_BLEND_ZERO);
        drawRandomPrimitives(random, 900, [&random](int size) {
          return static_cast<float>(random() % (size * 64 + 256)) / 64.0f - 2.0f;
        });
        grBufferSwap(1);
        reference.replay(softglide::trace());
        softglide::clearTrace();
        differing += softglide::frontBuffer() != reference.front();
      }
      reportFact("differing", differing);
    });
    EXPECT_EQ(run["differing"], "0") << grid.width << "x" << grid.height << ": " << run.errorOutput;
  }
}

// ---- The saver's own frames ----------------------------------------------------

// Every frame of the opening and the start of the flight, drawn by the
// board and by the reference from the saver's call trace. The reference's
// hashes of five frames are the golden pictures of test_effect.cpp
// (Frames.OpeningFlightSparklesAndGoldenPictures), which take them from
// the board: so those numbers are checked from the formulas too.
TEST(SaverFrames, EveryFrameEqualsTheReferenceBoard) {
  const IsolatedRun run = runIsolated([] {
    prepareHeadless();
    startEffect();
    ReferenceBoard reference;
    int differing = 0;
    std::string first;
    std::string hashes;
    for (int frame = 1; frame <= 600; ++frame) {
      drawFrame();
      reference.replay(softglide::trace());
      softglide::clearTrace();
      const std::string difference = BoardAndReference::difference(softglide::frontBuffer(), reference.front());
      if (!difference.empty() && differing++ == 0) first = "frame " + std::to_string(frame) + ": " + difference;
      if (frame == 1 || frame == 128 || frame == 255 || frame == 256 || frame == 600) {
        hashes += std::to_string(referencePictureHash(reference.front())) + " ";
      }
    }
    reportFact("differing", differing);
    reportFact("first", first);
    reportFact("hashes", hashes);
  });
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run["differing"], "0") << run["first"];
  // The golden hashes of test_effect.cpp, frames 1, 128, 255, 256 and 600.
  EXPECT_EQ(run["hashes"],
            "12681673275979810232 1821090831763949964 18121645478081337710 18385899923877337187 16607493710703871856 ");
}

}  // namespace
