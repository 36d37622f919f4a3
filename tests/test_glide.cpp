// The software board's pixels: fog depth, fog table, blending and dither,
// the primitives, clip and clear, robustness and swap pacing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <random>
#include <set>

#include "glide_fixture.h"
#include "isolated.h"
#include "pixel.h"
#include "setup.h"
#include "win32/display.h"

namespace {

// The board's fog depth of a vertex's 1/w: the depth of Q, the 1/w it reads
// at setup.
std::uint32_t floatingDepth(float oow) {
  return softglide::pixel::fogDepth(softglide::detail::fixedOow(oow));
}

// The floating depth written from its definition with frexp, in double.
std::uint32_t referenceDepth(float oow) {
  if (std::isnan(oow) || oow >= 1.0f || oow < 0.0f) return 0;
  if (oow < std::ldexp(1.0, -16)) return 0xFFFF;
  int exponent = 0;
  const double fraction = std::frexp(static_cast<double>(oow), &exponent);  // oow = f * 2^k
  const double m = fraction * 2.0;                                            // oow = m * 2^-(e+1)
  const long e = -exponent;
  const long mant12 = static_cast<long>(std::floor((m - 1.0) * 4096.0));
  return static_cast<std::uint32_t>(std::min<long>(0xFFFF, (e << 12) + 4096 - mant12));
}

int red5(std::uint16_t pixel) { return pixel >> 11; }
int green6(std::uint16_t pixel) { return (pixel >> 5) & 0x3F; }
int expand5(int v) { return (v << 3) | (v >> 2); }
int referenceDither5(int v, int d) { return ((v << 1) - (v >> 4) + (v >> 7) + d) >> 4; }
const int ditherTable[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

TEST(Fog, FloatingDepthOfEveryOowAgainstTheDefinition) {
  std::set<std::uint32_t> reached;
  for (std::uint32_t exponent = 100; exponent <= 127; ++exponent) {
    for (std::uint32_t mantissa = 0; mantissa < (1u << 23); mantissa += 61) {
      const float oow = std::bit_cast<float>((exponent << 23) | mantissa);
      const std::uint32_t depth = floatingDepth(oow);
      ASSERT_EQ(depth, referenceDepth(oow)) << oow;
      reached.insert(depth);
    }
    for (std::uint32_t mantissa12 = 0; mantissa12 < 4096; ++mantissa12) {
      const float oow = std::bit_cast<float>((exponent << 23) | (mantissa12 << 11));
      ASSERT_EQ(floatingDepth(oow), referenceDepth(oow)) << oow;
      reached.insert(floatingDepth(oow));
    }
  }
  EXPECT_EQ(reached.size(), 65536u);  // every 16-bit depth occurs
  EXPECT_EQ(floatingDepth(1.0f), 0u);
  EXPECT_EQ(floatingDepth(7.5f), 0u);
  EXPECT_EQ(floatingDepth(-0.25f), 0u);
  EXPECT_EQ(floatingDepth(NAN), 0u);
  EXPECT_EQ(floatingDepth(INFINITY), 0u);
  EXPECT_EQ(floatingDepth(0.0f), 0xFFFFu);
  EXPECT_EQ(floatingDepth(std::ldexp(1.0f, -17)), 0xFFFFu);
}

TEST(Fog, TableIndexWeightsAndExponentialTable) {
  for (int i = 0; i < 64; ++i) {
    // 1/W(i) = (8 - i mod 4) / 2^(3 + i/4), exact in single precision.
    const float oow = std::ldexp(static_cast<float>(8 - (i & 3)), -(3 + (i >> 2)));
    EXPECT_EQ(floatingDepth(oow), static_cast<std::uint32_t>(i * 1024)) << i;
    EXPECT_FLOAT_EQ(guFogTableIndexToW(i), 1.0f / oow) << i;
  }
  GrFog_t table[GR_FOG_TABLE_SIZE];
  guFogGenerateExp(table, 0.9f);
  EXPECT_EQ(table[63], 255);
  for (int i = 1; i < 64; ++i) {
    EXPECT_GE(table[i], table[i - 1]);
  }
  EXPECT_EQ(table[0], static_cast<GrFog_t>((1.0 - std::exp(-0.9f * 1.0)) * 255.0));
}

// Points through the whole pipeline with table fog towards black: oow >= 1
// and oow < 0 both use entry 0, and a nearer point is brighter.
TEST(Fog, TableFogDarkensWithDepth) {
  openTestBoard();
  GrFog_t table[GR_FOG_TABLE_SIZE];
  guFogGenerateExp(table, 0.9f);
  grFogMode(GR_FOG_WITH_TABLE);
  grFogColorValue(0);
  grFogTable(table);
  const float oows[] = {1.0f, 1.5f, -0.3f, 0.8f, 0.6f, 0.002f};
  for (int i = 0; i < 6; ++i) {
    GrVertex v = vertex(static_cast<float>(10 + 4 * i), 10.0f, 255, 255, 255, 255, oows[i]);
    grDrawPoint(&v);
  }
  const auto picture = swapAndRead();
  auto level = [&picture](int i) { return green6(pixelAt(picture, 10 + 4 * i, 10)); };
  EXPECT_EQ(level(1), level(0));
  EXPECT_EQ(level(2), level(0));
  EXPECT_LT(level(4), level(3));  // oow 0.6 lies farther than 0.8
  EXPECT_LT(level(3), level(0));
  EXPECT_EQ(level(5), 0);  // depth 500 is all fog
  // Entry 0 of this table: c' = c + ((0 - c) * (t0 + 1) >> 8).
  const int fogged = 255 + ((0 - 255) * (table[0] + 1) >> 8);
  EXPECT_EQ(red5(pixelAt(picture, 10, 10)), referenceDither5(fogged, ditherTable[(479 - 10) & 3][10 & 3]));
}

// Every alpha, source and destination level of the red channel through
// blending and dither, against the card's formulas: one frame per
// destination level, one pixel per (alpha, source) pair.
TEST(BlendAndDither, ExhaustiveForOneChannel) {
  openTestBoard();
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
  for (int destination = 0; destination < 32; ++destination) {
    const GrColor_t clearColor = static_cast<GrColor_t>(expand5(destination));
    grBufferClear(clearColor, 0, 0xFFFF);
    const auto before = swapAndRead();
    grBufferClear(clearColor, 0, 0xFFFF);
    for (int pair = 0; pair < 65536; ++pair) {
      GrVertex v = vertex(static_cast<float>(pair % 640), static_cast<float>(pair / 640),
                          static_cast<float>(pair & 0xFF), 0, 0, static_cast<float>(pair >> 8));
      grDrawPoint(&v);
    }
    const auto after = swapAndRead();
    for (int pair = 0; pair < 65536; ++pair) {
      const int x = pair % 640;
      const int y = pair / 640;
      const int row = 479 - y;
      const int source = pair & 0xFF;
      const int alpha = pair >> 8;
      const int dest = expand5(red5(pixelAt(before, x, y)));
      const int blended = std::min(255, (source * (alpha + 1) + dest * (256 - alpha)) >> 8);
      ASSERT_EQ(red5(pixelAt(after, x, y)), referenceDither5(blended, ditherTable[row & 3][x & 3]))
          << "source " << source << " alpha " << alpha << " destination " << dest;
    }
  }
}

TEST(BlendAndDither, SixBitGreenAndFullLevels) {
  openTestBoard();
  for (int level = 0; level < 256; ++level) {
    GrVertex v = vertex(static_cast<float>(level), 7.0f, 0, static_cast<float>(level), 0, 255);
    grDrawPoint(&v);
  }
  const auto picture = swapAndRead();
  for (int level = 0; level < 256; ++level) {
    const int d = ditherTable[(479 - 7) & 3][level & 3];
    EXPECT_EQ(green6(pixelAt(picture, level, 7)), ((level << 2) - (level >> 4) + (level >> 6) + d) >> 4);
  }
  EXPECT_EQ(pixelAt(picture, 255, 7), 0x07E0);  // full green stays full under any threshold
}

// Every 5-6-5 word, through the presenter's conversion (odd lengths and
// offsets included) against plain bit replication: with AVX2 where the
// processor has it and on the plain path (vectors, or on 32-bit x86 without
// SSE2 the bytes of each word through two tables).
TEST(Present, ConversionOfEveryWord) {
  std::vector<std::uint16_t> words(65536 + 7);
  for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<std::uint16_t>(i * 40503u);
  for (const bool avx2 : {true, false}) {
    softglide::allowAvx2(avx2);
    std::vector<std::uint32_t> converted(words.size());
    softglide::convertPicture(words.data() + 3, converted.data(), words.size() - 3);
    for (std::size_t i = 3; i < words.size(); ++i) {
      const int w = words[i];
      const std::uint32_t expected = static_cast<std::uint32_t>(
          expand5(w >> 11) << 16 | (((w >> 5) & 0x3F) << 2 | ((w >> 5) & 0x3F) >> 4) << 8 | expand5(w & 0x1F));
      ASSERT_EQ(converted[i - 3], expected) << std::hex << w << (avx2 ? " with AVX2" : " on the plain path");
    }
  }
  softglide::allowAvx2(true);
}

TEST(Primitives, PointsSnapToSixteenthsOfAPixel) {
  openTestBoard();
  GrVertex low = vertex(100.96f, 50.0f, 255, 255, 255, 255);
  GrVertex high = vertex(200.97f, 60.0f, 255, 255, 255, 255);
  GrVertex upY = vertex(300.0f, 70.97f, 255, 255, 255, 255);
  grDrawPoint(&low);
  grDrawPoint(&high);
  grDrawPoint(&upY);
  const auto picture = swapAndRead();
  EXPECT_EQ(pixelAt(picture, 100, 50), 0xFFFF);
  EXPECT_EQ(pixelAt(picture, 101, 50), 0);
  EXPECT_EQ(pixelAt(picture, 200, 60), 0);
  EXPECT_EQ(pixelAt(picture, 201, 60), 0xFFFF);
  EXPECT_EQ(pixelAt(picture, 300, 71), 0xFFFF);
  int lit = 0;
  for (const std::uint16_t pixel : picture) lit += pixel != 0;
  EXPECT_EQ(lit, 3);
}

// With source-alpha blending over black and white vertices, a pixel's level
// is its alpha, up to dither.
int litLevel(const std::vector<std::uint16_t>& picture, int x, int y) {
  return green6(pixelAt(picture, x, y)) * 4;
}

TEST(Primitives, AntiAliasedPointFootprint) {
  openTestBoard();
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
  GrVertex point = vertex(100.75f, 200.25f, 255, 255, 255, 255);
  grAADrawPoint(&point);
  const auto picture = swapAndRead();
  // In 1/16 pixel the point is (1612, 3204); pixel centres 16c + 8 within 16
  // of it: columns 100 (1608, 4 away) and 101 (1624, 12 away), rows 199
  // (3192, 12 away) and 200 (3208, 4 away).
  std::set<std::pair<int, int>> lit;
  for (int y = 190; y < 210; ++y)
    for (int x = 90; x < 110; ++x)
      if (pixelAt(picture, x, y) != 0) lit.insert({x, y});
  EXPECT_EQ(lit, (std::set<std::pair<int, int>>{{100, 200}, {101, 200}, {100, 199}, {101, 199}}));
  // Alpha (255 * (16 - the larger distance)) >> 4: 191 at (100, 200), 63 at
  // the others; white over black blends to (255 * (alpha + 1)) >> 8, the
  // same levels, then dithered at the pixel's memory row 479 - y.
  const auto white = [](int level, int x, int y) {
    const int d = ditherTable[(479 - y) & 3][x & 3];
    const int five = referenceDither5(level, d);
    const int six = ((level << 2) - (level >> 4) + (level >> 6) + d) >> 4;
    return static_cast<std::uint16_t>(five << 11 | six << 5 | five);
  };
  EXPECT_EQ(pixelAt(picture, 100, 200), white(191, 100, 200));
  EXPECT_EQ(pixelAt(picture, 101, 200), white(63, 101, 200));
  EXPECT_EQ(pixelAt(picture, 100, 199), white(63, 100, 199));
  EXPECT_EQ(pixelAt(picture, 101, 199), white(63, 101, 199));
}

TEST(Primitives, AntiAliasedLineColumnsCarryTheInterpolatedAlpha) {
  openTestBoard();
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
  // x-major, from alpha 0 at x = 10 to alpha 255 at x = 74, rising 16 in y.
  GrVertex from = vertex(10.0f, 100.3f, 255, 255, 255, 0);
  GrVertex to = vertex(74.0f, 116.3f, 255, 255, 255, 255);
  grAADrawLine(&from, &to);
  // y-major, full alpha, colour from black to white.
  GrVertex top = vertex(300.0f, 20.0f, 0, 0, 0, 255);
  GrVertex bottom = vertex(310.5f, 84.0f, 255, 255, 255, 255);
  grAADrawLine(&top, &bottom);
  const auto picture = swapAndRead();
  for (int x = 10; x < 74; ++x) {
    const double t = (x + 0.5 - 10.0) / 64.0;
    int sum = 0;
    int count = 0;
    for (int y = 90; y < 130; ++y) {
      if (pixelAt(picture, x, y) != 0 || litLevel(picture, x, y) != 0) {
        sum += litLevel(picture, x, y);
        ++count;
      }
    }
    EXPECT_LE(count, 2) << "column " << x;
    EXPECT_NEAR(sum, 255.0 * t, 10.0) << "column " << x;
  }
  EXPECT_EQ(pixelAt(picture, 74, 116), 0);  // no end cap past the second end
  EXPECT_EQ(pixelAt(picture, 9, 100), 0);
  // The y-major line: rows 20 to 83, brightness rising with the colour.
  int previous = -1;
  for (int y = 24; y < 84; y += 8) {
    int rowSum = 0;
    for (int x = 295; x < 316; ++x) rowSum += litLevel(picture, x, y);
    EXPECT_GE(rowSum + 8, previous) << "row " << y;
    previous = rowSum;
  }
  EXPECT_GT(previous, 200);
}

TEST(Primitives, ZeroLengthLineDrawsNothingOutsideAPointFootprint) {
  openTestBoard();
  GrVertex end = vertex(320.0f, 240.0f, 255, 255, 255, 255);
  grAADrawLine(&end, &end);
  const auto picture = swapAndRead();
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if (pixelAt(picture, x, y) != 0) {
        EXPECT_TRUE(x >= 319 && x <= 320 && y >= 239 && y <= 240) << x << "," << y;
      }
}

TEST(ClipAndClear, WindowsAreHalfOpenAndOriginIsLowerLeft) {
  openTestBoard();
  grClipWindow(10, 20, 30, 40);
  grBufferClear(0xFFFFFFFFu, 0, 0xFFFF);
  grClipWindow(50, 50, 50, 60);  // no width: nothing
  grBufferClear(0xFFFFFFFFu, 0, 0xFFFF);
  grClipWindow(352, 264, 288, 216);  // minimum beyond maximum: nothing
  grBufferClear(0xFFFFFFFFu, 0, 0xFFFF);
  GrVertex point = vertex(60.0f, 55.0f, 255, 255, 255, 255);
  grClipWindow(0, 0, 60, 480);
  grDrawPoint(&point);  // x = 60 is outside a window whose maximum is 60
  const auto memory = swapAndRead();
  int white = 0;
  for (int row = 0; row < 480; ++row) {
    for (int x = 0; x < 640; ++x) {
      const bool inside = x >= 10 && x < 30 && row >= 479 - 39 && row <= 479 - 20;
      const std::uint16_t pixel = memory[static_cast<std::size_t>(row) * 640 + x];
      ASSERT_EQ(pixel, inside ? 0xFFFF : 0) << x << "," << row;
      white += inside;
    }
  }
  EXPECT_EQ(white, 20 * 20);
  // Clip arguments are clamped to the screen.
  grClipWindow(600, 0, 100000, 480);
  grBufferClear(0x000000FFu, 0, 0xFFFF);  // ABGR: red
  const auto red = swapAndRead();
  EXPECT_EQ(red5(pixelAt(red, 639, 0)), 31);
  EXPECT_EQ(pixelAt(red, 599, 0), 0);
  const std::vector<std::uint32_t> rgb = softglide::frontBufferRgb();
  EXPECT_EQ(rgb[479 * 640 + 639], 0xFF0000u);  // full red, read back as 8-bit channels
  EXPECT_EQ(rgb[479 * 640 + 599], 0u);
}

}  // namespace
