// The software board as a whole, each case in a fresh process: opening
// rules, the no-board switch, presenting and swap pacing.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "glide_fixture.h"
#include "isolated.h"
#include "win32/display.h"

namespace {

TEST(Board, OpenRulesAndTheNoBoardSwitch) {
  const IsolatedRun run = runIsolated([] {
    win32::useHeadlessDisplay(640, 480);
    grGlideInit();
    GrHwConfiguration configuration;
    reportFact("noWindow", grSstWinOpen(0, 7, 0, 1, 1, 2, 1));
    openTestBoard();
    grGlideShutdown();
    grGlideInit();
    reportFact("query", grSstQueryHardware(&configuration));
    reportFact("boards", configuration.num_sst);
    reportFact("wrongResolution", grSstWinOpen(0, 8, 0, 1, 1, 2, 1));
    reportFact("wrongRefresh", grSstWinOpen(0, 7, 1, 1, 1, 2, 1));
    reportFact("opens", grSstWinOpen(0, 7, 0, 1, 1, 2, 1));
    grGlideShutdown();
    grBufferSwap(1);  // ignored once shut down
    setenv("FX_GLIDE_NO_BOARD", "1", 1);
    grGlideInit();
    reportFact("hidden", grSstQueryHardware(&configuration));
  });
  EXPECT_EQ(run["noWindow"], "0");
  EXPECT_EQ(run["query"], "1");
  EXPECT_EQ(run["boards"], "1");
  EXPECT_EQ(run["wrongResolution"], "0");
  EXPECT_EQ(run["wrongRefresh"], "0");
  EXPECT_EQ(run["opens"], "1");
  EXPECT_EQ(run["hidden"], "0");
}

// While the board is open, double arithmetic rounds as SSE2 does on every
// target, also on the 32-bit x87 builds, and division by zero never traps.
// 1 + t with t = 2^-53 + 2^-65 is just above the midpoint between the
// doubles 1 and 1 + 2^-52, so it rounds up: (sum - 1) * 2^52 = 1. An x87 unit
// at 64-bit precision rounds first to 1 + 2^-53 (2^-65 is a quarter of its
// unit 2^-63 there) and then, from the exact midpoint, to even: 1, giving 0.
TEST(Board, DoubleRoundingWhileOpen) {
  const IsolatedRun run = runIsolated([] {
    volatile double one = 1.0;
    volatile double tiny = std::ldexp(1.0 + std::ldexp(1.0, -12), -53);
    volatile double zero = 0.0;
    const auto roundedUp = [&] {
      const double sum = one + tiny;
      return static_cast<long long>(std::ldexp(sum - 1.0, 52));
    };
    reportFact("before", roundedUp());
    win32::useHeadlessDisplay(640, 480);
    openTestBoard();
    reportFact("open", roundedUp());
    const double quotient = one / zero;
    reportFact("quotient", std::isinf(quotient) && quotient > 0.0 ? "+inf" : "finite");
    grGlideShutdown();
    reportFact("after", roundedUp());
  });
  ASSERT_TRUE(run.exited) << run.errorOutput;
  EXPECT_EQ(run["open"], "1");
  EXPECT_EQ(run["quotient"], "+inf");
  EXPECT_EQ(run["after"], run["before"]);  // the caller's own precision again
}

// SOFTGLIDE_NO_AVX2=1 switches the AVX2 paths off for the whole process;
// unset, empty or "0", the processor decides.
TEST(Board, NoAvx2Switch) {
#if defined(__x86_64__) || defined(__i386__)
  const bool processor = __builtin_cpu_supports("avx2");
#else
  const bool processor = false;
#endif
  // Only "1" is the switch; any other value is ignored with one line.
  const struct {
    const char* value;  // nullptr: unset
    bool expected;
    bool reported;
  } cases[] = {{nullptr, processor, false}, {"", processor, false}, {"0", processor, false},
               {"1", false, false},         {"yes", processor, true}, {" 1", processor, true}};
  for (const auto& row : cases) {
    const IsolatedRun run = runIsolated([&row] {
      if (row.value == nullptr) {
        unsetenv("SOFTGLIDE_NO_AVX2");
      } else {
        setenv("SOFTGLIDE_NO_AVX2", row.value, 1);
      }
      reportFact("avx2", softglide::usesAvx2() ? 1 : 0);
    });
    const char* label = row.value == nullptr ? "unset" : row.value;
    EXPECT_EQ(run["avx2"], row.expected ? "1" : "0") << label;
    EXPECT_EQ(std::count(run.errorOutput.begin(), run.errorOutput.end(), '\n'), row.reported ? 1 : 0)
        << label << ": " << run.errorOutput;
  }
}

// A value ignored is reported once, even when other variables are read in
// between (each time a board opens).
TEST(Board, EachIgnoredValueIsReportedOnce) {
  const IsolatedRun run = runIsolated([] {
    setenv("FX_GLIDE_SWAPINTERVAL", "abc", 1);
    setenv("FX_GLIDE_NO_BOARD", "yes", 1);
    for (int i = 0; i < 3; ++i) {
      reportFact("interval" + std::to_string(i), softglide::readSwitches().swapInterval.has_value());
      reportFact("hidden" + std::to_string(i), softglide::boardHidden());
    }
  });
  EXPECT_EQ(run["interval2"], "0");
  EXPECT_EQ(run["hidden2"], "0");
  EXPECT_EQ(std::count(run.errorOutput.begin(), run.errorOutput.end(), '\n'), 2) << run.errorOutput;
}

// SST_GAMMA takes a positive decimal number and nothing else; a value half
// read ("2.2x" as 2.2) or read as zero would give a picture nobody asked for.
TEST(Board, GammaIsReadWholeOrNotAtAll) {
  using softglide::parseGamma;
  for (const char* bad : {"", "abc", "0", "0.0", "-1.7", "+1.7", " 1.7", "1.7 ", "2.2x", "1,7", ".", "e5", "1e",
                          "1e+", "1.2.3", "0x1p1", "inf", "nan", "1e999", "1e-999"}) {
    EXPECT_FALSE(parseGamma(bad).has_value()) << bad;
  }
  EXPECT_FALSE(parseGamma(nullptr).has_value());
  const std::pair<const char*, double> good[] = {{"1.7", 1.7}, {"2", 2.0},   {"0.45", 0.45}, {".5", 0.5},
                                                 {"3.", 3.0},  {"1e0", 1.0}, {"25E-1", 2.5}, {"0.1e+1", 1.0}};
  for (const auto& [text, value] : good) {
    EXPECT_EQ(parseGamma(text), value) << text;
  }

  // Through a present. A 0x808080 clear is dithered: at x 320, y 240 the
  // threshold is 0, so red and blue are (256 - 8 + 1) >> 4 = 15 and green
  // (512 - 8 + 2) >> 4 = 31, that is 0x7B 0x7D 0x7B by bit replication.
  // Gamma 2 makes each level 255 * (level / 255)^(1/2): 123 -> 177.10 -> 177,
  // 125 -> 178.54 -> 179.
  const std::pair<const char*, const char*> presents[] = {
      {"", "8093051"}, {"2.2x", "8093051"}, {"2", "11645873"}};  // 0x7B7D7B, 0xB1B3B1
  for (const auto& [value, pixel] : presents) {
    const IsolatedRun run = runIsolated([value = value] {
      setenv("SST_GAMMA", value, 1);
      openTestBoard();
      grBufferClear(0x00808080u, 0, 0xFFFF);
      grBufferSwap(1);
      reportFact("pixel", win32::headless::screenPixels()[240 * 640 + 320]);
    });
    EXPECT_EQ(run["pixel"], pixel) << value;
    const bool reported = std::string(value) == "2.2x";
    EXPECT_EQ(std::count(run.errorOutput.begin(), run.errorOutput.end(), '\n'), reported ? 1 : 0)
        << value << ": " << run.errorOutput;
  }
}

TEST(Present, LetterboxedToFourThreeWithBlackBars) {
  const IsolatedRun run = runIsolated([] {
    win32::useHeadlessDisplay(1024, 480);
    openTestBoard();
    grBufferClear(0xFFFFFFFFu, 0, 0xFFFF);
    grBufferSwap(1);
    const auto screen = win32::headless::screenPixels();
    reportFact("leftBar", screen[240 * 1024 + 191]);
    reportFact("pictureLeft", screen[240 * 1024 + 192]);
    reportFact("pictureRight", screen[240 * 1024 + 831]);
    reportFact("rightBar", screen[240 * 1024 + 832]);
  });
  EXPECT_EQ(run["leftBar"], "0");
  EXPECT_EQ(run["pictureLeft"], std::to_string(0xFFFFFF));
  EXPECT_EQ(run["pictureRight"], std::to_string(0xFFFFFF));
  EXPECT_EQ(run["rightBar"], "0");
}

// A screen that changes size (the daemon's window in hack mode) gets the
// whole picture again at the new size, though nothing new was drawn: the
// resized screen starts black. Edges by hand: 480 * 4 / 3 = 640 wide at
// (1024 - 640) / 2 = 192; on 320x480, 320 * 3 / 4 = 240 high at
// (480 - 240) / 2 = 120.
TEST(Present, FollowsTheScreenAsItChangesSize) {
  const IsolatedRun run = runIsolated([] {
    win32::useHeadlessDisplay(640, 480);
    openTestBoard();
    for (int i = 0; i < 2; ++i) {
      grBufferClear(0xFFFFFFFFu, 0, 0xFFFF);
      grBufferSwap(1);
    }
    win32::headless::resizeScreen(1024, 480);
    grBufferClear(0xFFFFFFFFu, 0, 0xFFFF);
    grBufferSwap(1);
    auto screen = win32::headless::screenPixels();
    reportFact("wide", std::to_string(screen[240 * 1024 + 191]) + " " + std::to_string(screen[240 * 1024 + 192]) +
                           " " + std::to_string(screen[240 * 1024 + 831]) + " " +
                           std::to_string(screen[240 * 1024 + 832]));
    win32::headless::resizeScreen(320, 480);
    grBufferClear(0xFFFFFFFFu, 0, 0xFFFF);
    grBufferSwap(1);
    screen = win32::headless::screenPixels();
    reportFact("tall", std::to_string(screen[119 * 320 + 160]) + " " + std::to_string(screen[120 * 320 + 160]) +
                           " " + std::to_string(screen[359 * 320 + 160]) + " " +
                           std::to_string(screen[360 * 320 + 160]));
  });
  const std::string white = std::to_string(0xFFFFFF);
  EXPECT_EQ(run["wide"], "0 " + white + " " + white + " 0");
  EXPECT_EQ(run["tall"], "0 " + white + " " + white + " 0");
}

// Where the picture lies on a width x height window in each scale mode,
// worked out here from the rules, apart from the presenter: aspect, the
// largest 4:3 rectangle (width * 3 / 4 high, or height high and height * 4 / 3
// wide when that is too high), centred with (width - w) / 2; integer, k =
// max(1, min(width / 640, height / 480)) times 640x480, centred with
// floor((width - w) / 2) (negative: the window shows the middle of it); fill,
// the whole window.
struct Box {
  int left, top, width, height;
};
Box referenceBox(int width, int height, const char* mode) {
  const std::string scale = mode == nullptr ? "aspect" : mode;
  if (scale == "fill") {
    return {0, 0, width, height};
  }
  if (scale == "integer") {
    const int k = std::max(1, std::min(width / 640, height / 480));
    return {static_cast<int>(std::floor((width - 640.0 * k) / 2)),
            static_cast<int>(std::floor((height - 480.0 * k) / 2)), 640 * k, 480 * k};
  }
  int w = width, h = width * 3 / 4;
  if (h > height) {
    h = height;
    w = height * 4 / 3;
  }
  return {(width - w) / 2, (height - h) / 2, w, h};
}

// The picture pixel (column, memory row) that window pixel (x, y) shows of
// a picture of pictureWidth x pictureHeight (the card's 640x480 unless
// given): the one under its centre, (2 * (x - left) + 1) * pictureWidth /
// (2 * width) and the same down; {-1, -1} on the black around the picture.
std::pair<int, int> referenceSource(const Box& box, int x, int y, int pictureWidth = 640, int pictureHeight = 480) {
  if (x < box.left || x >= box.left + box.width || y < box.top || y >= box.top + box.height) {
    return {-1, -1};
  }
  const long long column = (2LL * (x - box.left) + 1) * pictureWidth / (2LL * box.width);
  const long long row = (2LL * (y - box.top) + 1) * pictureHeight / (2LL * box.height);
  return {static_cast<int>(column), static_cast<int>(row)};
}

// What presenting the whole front buffer (of whatever grid) shows on a
// width x height screen in a mode (nullptr: the default): the converted
// picture sampled as above, black around it.
const std::vector<std::uint32_t>& wholePresent(int width, int height, const char* mode = nullptr) {
  const std::vector<std::uint16_t> front = softglide::frontBuffer();
  const softglide::PictureSize size = softglide::frontBufferSize();
  std::vector<std::uint32_t> picture(front.size());
  softglide::convertPicture(front.data(), picture.data(), front.size());
  const Box box = referenceBox(width, height, mode);
  static std::vector<std::uint32_t> screen;  // kept: a 4K screen is 33 MB
  screen.assign(static_cast<std::size_t>(width) * height, 0);
  for (int y = std::max(box.top, 0); y < std::min(box.top + box.height, height); ++y) {
    for (int x = std::max(box.left, 0); x < std::min(box.left + box.width, width); ++x) {
      const auto [column, row] = referenceSource(box, x, y, size.width, size.height);
      screen[static_cast<std::size_t>(y) * width + x] = picture[static_cast<std::size_t>(row) * size.width + column];
    }
  }
  return screen;
}

// The reference itself against answers worked out by hand: 1920x1080 in
// each mode, 300x200 (smaller than the picture) and 1000x100 (wide).
// Aspect at 1920x1080: 1080 * 4 / 3 = 1440 wide at (1920 - 1440) / 2 = 240;
// window column 240 shows (2 * 0 + 1) * 640 / 2880 = 0, column 1679 shows
// 2879 * 640 / 2880 = 639.8, so 639; 239 and 1680 are bar. Integer:
// min(1920 / 640, 1080 / 480) = min(3, 2) = 2, 1280x960 at (320, 60); (321,
// 61) is still picture pixel (0, 0) and (322, 62) is (1, 1); 319, 1600 and
// rows 59 and 1020 are bar. Fill: column 2 shows 5 * 640 / 3840 = 0.83, 0,
// column 3 shows 7 * 640 / 3840 = 1.17, 1; row 2 shows 5 * 480 / 2160 = 1.1,
// 1. Integer at 300x200: 1x at floor(-340 / 2) = -170, floor(-280 / 2) = -140,
// so window (0, 0) shows (170, 140) and (299, 199) shows (469, 339), no bar.
// Aspect at 1000x100: 133 wide (100 * 4 / 3) at (1000 - 133) / 2 = 433, 100
// high; column 433 shows 640 / 266 = 2.4, so 2, and row 0 shows 480 / 200 =
// 2.4, so 2 as well.
TEST(Present, TheReferencePlacementByHand) {
  const struct {
    int width, height;
    const char* mode;
    int x, y, column, row;
  } cases[] = {
      {1920, 1080, "aspect", 240, 0, 0, 0},       {1920, 1080, "aspect", 1679, 1079, 639, 479},
      {1920, 1080, "aspect", 239, 500, -1, -1},   {1920, 1080, "aspect", 1680, 500, -1, -1},
      {1920, 1080, "integer", 320, 60, 0, 0},     {1920, 1080, "integer", 321, 61, 0, 0},
      {1920, 1080, "integer", 322, 62, 1, 1},     {1920, 1080, "integer", 1599, 1019, 639, 479},
      {1920, 1080, "integer", 319, 500, -1, -1},  {1920, 1080, "integer", 1600, 500, -1, -1},
      {1920, 1080, "integer", 900, 59, -1, -1},   {1920, 1080, "integer", 900, 1020, -1, -1},
      {1920, 1080, "fill", 2, 2, 0, 1},           {1920, 1080, "fill", 3, 0, 1, 0},
      {1920, 1080, "fill", 1919, 1079, 639, 479}, {300, 200, "integer", 0, 0, 170, 140},
      {300, 200, "integer", 299, 199, 469, 339},  {1000, 100, "aspect", 433, 0, 2, 2},
      {1000, 100, "aspect", 432, 0, -1, -1},
  };
  for (const auto& c : cases) {
    const auto [column, row] = referenceSource(referenceBox(c.width, c.height, c.mode), c.x, c.y);
    EXPECT_EQ(column, c.column) << c.width << "x" << c.height << " " << c.mode << " (" << c.x << ", " << c.y << ")";
    EXPECT_EQ(row, c.row) << c.width << "x" << c.height << " " << c.mode << " (" << c.x << ", " << c.y << ")";
  }
}

// A picture with a pixel of its own colour at each of a few places, shown
// whole in each mode on many window sizes over a window painted white
// before: every window pixel must show the picture pixel under its centre
// and the rest must be painted black, as the reference has it.
TEST(Present, EachModeShowsThePicturePixelUnderEachWindowPixel) {
  const std::pair<int, int> screens[] = {{640, 480},  {1280, 960}, {1440, 1080}, {1920, 1080}, {3840, 2160},
                                         {1001, 703}, {300, 200},  {639, 481},   {1, 1},       {2000, 300}};
  for (const char* mode : {"aspect", "integer", "fill"}) {
    for (const auto& [width, height] : screens) {
      const IsolatedRun run = runIsolated([mode = mode, width = width, height = height] {
        setenv("SOFTGLIDE_SCALE", mode, 1);
        win32::useHeadlessDisplay(width, height);
        openTestBoard();
        const std::vector<std::uint32_t> white(static_cast<std::size_t>(width) * height, 0x00FFFFFFu);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        const HDC context = GetDC(GetActiveWindow());
        SetDIBitsToDevice(context, 0, 0, width, height, 0, 0, 0, height, white.data(), &info, DIB_RGB_COLORS);
        ReleaseDC(GetActiveWindow(), context);
        // Points of full colours (which dither to themselves) on black.
        const float colours[][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {255, 255, 255}};
        for (int i = 0; i < 200; ++i) {
          const float* colour = colours[i % 5];
          GrVertex point = vertex(static_cast<float>(i * 37 % 640) + 0.5f, static_cast<float>(i * 53 % 480) + 0.5f,
                                  colour[0], colour[1], colour[2], 255.0f);
          grDrawPoint(&point);
        }
        grBufferSwap(1);
        reportFact("same", win32::headless::screenPixels() == wholePresent(width, height, mode));
      });
      EXPECT_EQ(run["same"], "1") << mode << " " << width << "x" << height << ": " << run.errorOutput;
    }
  }
}

// Random frames of every kind of drawing: whole and clipped clears, clear
// colours that change, few or many points, AA points and lines, blended and
// fogged or through the general pipeline. Reports how many presents differed from a
// whole present.
void drawRandomFramesAndCompare(int width, int height, int frames = 90, const char* mode = nullptr) {
  openTestBoard();
  std::mt19937 random(width * 7 + height);
  const auto coordinate = [&](int size) { return static_cast<float>(random() % (size * 16 + 64)) / 16.0f - 2.0f; };
  int differing = 0;
  for (int frame = 0; frame < frames; ++frame) {
    const bool newColour = frame % 17 == 5;
    grClipWindow(0, 0, 640, 480);
    grBufferClear(newColour ? 0x00406080u : 0, 0, 0xFFFF);
    if (frame % 11 == 3) {
      grClipWindow(random() % 300, random() % 200, 300 + random() % 340, 200 + random() % 280);
      grBufferClear(0x00FFFFFFu, 0, 0xFFFF);
      grClipWindow(0, 0, 640, 480);
    }
    const bool general = frame % 3 == 0;
    guColorCombineFunction(general ? GR_COLORCOMBINE_CCRGB : GR_COLORCOMBINE_ITRGB);
    GrFog_t fog[GR_FOG_TABLE_SIZE];
    guFogGenerateExp(fog, 0.5f);
    grFogTable(fog);
    grFogMode(frame % 4 == 1 ? GR_FOG_WITH_TABLE : GR_FOG_DISABLE);
    grAlphaBlendFunction(frame % 2 ? GR_BLEND_SRC_ALPHA : GR_BLEND_ONE,
                         frame % 2 ? GR_BLEND_ONE_MINUS_SRC_ALPHA : GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
    // Now and then a frame changes nearly everywhere, like the noise field.
    const int count = frame % 13 == 7 ? 4000 : static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) {
      const float level = static_cast<float>(random() % 256);
      GrVertex a = vertex(coordinate(640), coordinate(480), level, 255.0f - level, 128.0f, 200.0f, 0.5f);
      GrVertex b = vertex(coordinate(640), coordinate(480), 255.0f, level, 0.0f, 255.0f, 0.25f);
      switch (i % 3) {
        case 0: grDrawPoint(&a); break;
        case 1: grAADrawPoint(&a); break;
        default: grAADrawLine(&a, &b); break;
      }
    }
    grBufferSwap(1);
    differing += win32::headless::screenPixels() != wholePresent(width, height, mode);
  }
  reportFact("differing", differing);
}

// Only the pixels that changed are converted and shown again; the screen
// must still be exactly what presenting the whole picture gives, in every
// mode, stretched or not, and with the output gamma.
TEST(Present, ChangedPartsShowTheSameAsWholePresents) {
  const std::pair<int, int> screens[] = {{640, 480},  {1280, 960}, {1440, 1080}, {1920, 1080}, {3840, 2160},
                                         {1280, 800}, {1001, 703}, {300, 200},   {2000, 300}};
  for (const char* mode : {"aspect", "integer", "fill"}) {
    for (const auto& [width, height] : screens) {
      const IsolatedRun run = runIsolated([mode = mode, width = width, height = height] {
        setenv("SOFTGLIDE_SCALE", mode, 1);
        win32::useHeadlessDisplay(width, height);
        // Frames by the screen's size, about 25 million window pixels of
        // whole references a screen (8 million a frame at 4K); never fewer
        // than two dozen, which still hold every kind of frame above.
        drawRandomFramesAndCompare(width, height, std::clamp(25'000'000 / (width * height), 24, 90), mode);
      });
      EXPECT_EQ(run["differing"], "0") << mode << " " << width << "x" << height << ": " << run.errorOutput;
    }
  }
  const IsolatedRun gamma = runIsolated([] {
    setenv("SST_GAMMA", "1.7", 1);
    drawRandomFramesAndCompare(640, 480);
  });
  EXPECT_EQ(gamma["differing"], "0");
}

// The same on grids other than the card's: 2x, and native (1:1 in aspect
// and fill, scaled where the 8x grid is stretched), on screens whose size
// changes under them (the native grid follows at the next clear).
TEST(Present, ChangedPartsOfGridsShowTheSameAsWholePresents) {
  const struct {
    const char* resolution;
    const char* mode;
    int width, height;
  } grids[] = {{"2x", "aspect", 1920, 1080}, {"2x", "integer", 1280, 960}, {"native", "aspect", 1001, 703},
               {"native", "fill", 1920, 1080}, {"native", "integer", 2000, 1500}, {"native", "aspect", 5400, 4000}};
  for (const auto& grid : grids) {
    const IsolatedRun run = runIsolated([&grid] {
      setenv("SOFTGLIDE_RESOLUTION", grid.resolution, 1);
      setenv("SOFTGLIDE_SCALE", grid.mode, 1);
      win32::useHeadlessDisplay(grid.width, grid.height);
      // Frames by the screen's size, as above, but at least four.
      const auto frames = [](int width, int height) { return std::clamp(12'000'000 / (width * height), 4, 24); };
      drawRandomFramesAndCompare(grid.width, grid.height, frames(grid.width, grid.height), grid.mode);
      win32::headless::resizeScreen(grid.width / 2 + 7, grid.height / 2 + 3);
      drawRandomFramesAndCompare(grid.width / 2 + 7, grid.height / 2 + 3,
                                 frames(grid.width / 2 + 7, grid.height / 2 + 3), grid.mode);
      const softglide::PictureSize size = softglide::frontBufferSize();
      reportFact("grid", std::to_string(size.width) + "x" + std::to_string(size.height));
    });
    EXPECT_EQ(run["differing"], "0") << grid.resolution << " " << grid.mode << " " << grid.width << "x" << grid.height
                                     << ": " << run.errorOutput;
    if (std::string(grid.resolution) == "native" && std::string(grid.mode) == "fill") {
      EXPECT_EQ(run["grid"], "967x543");  // the screen's new size, followed
    }
  }
}

// SOFTGLIDE_SCALE takes the three modes and nothing else; a value ignored
// gets one line and leaves the default. On 1000x400, 4:3 is a 533x400
// picture at (1000 - 533) / 2 = 233 (column 232 is bar, 233 picture); 1x is
// 640x480 at (1000 - 640) / 2 = 180 (179 bar, 180 picture); fill has no bar.
TEST(Present, TheScaleSwitchIsReadStrictly) {
  using softglide::ScaleMode;
  const std::pair<const char*, std::optional<ScaleMode>> names[] = {
      {"aspect", ScaleMode::aspect}, {"integer", ScaleMode::integer}, {"fill", ScaleMode::fill},
      {"Fill", std::nullopt},        {"fill ", std::nullopt},         {" fill", std::nullopt},
      {"", std::nullopt},            {"stretch", std::nullopt},       {"integer2", std::nullopt}};
  for (const auto& [text, mode] : names) {
    EXPECT_EQ(softglide::parseScale(text), mode) << "'" << text << "'";
  }
  EXPECT_EQ(softglide::parseScale(nullptr), std::nullopt);
  const struct {
    const char* value;  // nullptr: unset
    int lines;
    const char* columns;  // the colours of columns 179, 180, 232 and 233 of row 200
  } cases[] = {{nullptr, 0, "0 0 0 16777215"},
               {"", 0, "0 0 0 16777215"},
               {"aspect", 0, "0 0 0 16777215"},
               {"Fill", 1, "0 0 0 16777215"},
               {"integer", 0, "0 16777215 16777215 16777215"},
               {"fill", 0, "16777215 16777215 16777215 16777215"}};
  for (const auto& c : cases) {
    const IsolatedRun run = runIsolated([&c] {
      if (c.value == nullptr) {
        unsetenv("SOFTGLIDE_SCALE");
      } else {
        setenv("SOFTGLIDE_SCALE", c.value, 1);
      }
      win32::useHeadlessDisplay(1000, 400);
      openTestBoard();
      grBufferClear(0xFFFFFFFFu, 0, 0xFFFF);
      grBufferSwap(1);
      const auto screen = win32::headless::screenPixels();
      std::string columns;
      for (const int x : {179, 180, 232, 233}) {
        columns += (columns.empty() ? "" : " ") + std::to_string(screen[200 * 1000 + x]);
      }
      reportFact("columns", columns);
    });
    const char* label = c.value == nullptr ? "unset" : c.value;
    EXPECT_EQ(run["columns"], c.columns) << label;
    EXPECT_EQ(std::count(run.errorOutput.begin(), run.errorOutput.end(), '\n'), c.lines) << label << ": "
                                                                                        << run.errorOutput;
    if (c.lines > 0) {
      EXPECT_NE(run.errorOutput.find("SOFTGLIDE_SCALE=\"Fill\" ignored"), std::string::npos) << run.errorOutput;
    }
  }
}

// SOFTGLIDE_RESOLUTION takes 640x480, 2x to 8x and native, nothing else; an
// ignored value gets one line and leaves the card's grid.
TEST(Present, TheResolutionSwitchIsReadStrictly) {
  using Kind = softglide::Resolution::Kind;
  const std::pair<const char*, std::optional<softglide::Resolution>> names[] = {
      {"640x480", softglide::Resolution{}},
      {"2x", softglide::Resolution{Kind::multiple, 2}},
      {"8x", softglide::Resolution{Kind::multiple, 8}},
      {"native", softglide::Resolution{Kind::native, 1}},
      {"1x", std::nullopt},
      {"9x", std::nullopt},
      {"2X", std::nullopt},
      {"2x ", std::nullopt},
      {"Native", std::nullopt},
      {"1280x960", std::nullopt},
      {"", std::nullopt}};
  for (const auto& [text, resolution] : names) {
    EXPECT_EQ(softglide::parseResolution(text), resolution) << "'" << text << "'";
  }
  EXPECT_EQ(softglide::parseResolution(nullptr), std::nullopt);
  const IsolatedRun run = runIsolated([] {
    setenv("SOFTGLIDE_RESOLUTION", "12x", 1);
    reportFact("card", softglide::readSwitches().resolution == softglide::Resolution{});
  });
  EXPECT_EQ(run["card"], "1");
  EXPECT_NE(run.errorOutput.find("SOFTGLIDE_RESOLUTION=\"12x\" ignored"), std::string::npos) << run.errorOutput;
}

// The frame log hashes the board's 640x480 front buffer, whatever the
// window and the mode: the same frames give the same log in every mode.
TEST(Present, TheFrameLogIsTheSameInEveryMode) {
  std::vector<std::string> logs;
  for (const char* mode : {"aspect", "integer", "fill"}) {
    const std::string path = ::testing::TempDir() + "frames-" + std::to_string(getpid()) + "-" + mode + ".txt";
    const IsolatedRun run = runIsolated([mode, &path] {
      setenv("SOFTGLIDE_SCALE", mode, 1);
      setenv("SOFTGLIDE_FRAMES", path.c_str(), 1);
      win32::useHeadlessDisplay(1920, 1080);
      drawRandomFramesAndCompare(1920, 1080, 40, mode);
      grGlideShutdown();
    });
    EXPECT_EQ(run["differing"], "0") << mode;
    std::ifstream file(path);
    logs.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
  }
  EXPECT_EQ(std::count(logs[0].begin(), logs[0].end(), '\n'), 40);
  EXPECT_EQ(logs[1], logs[0]);
  EXPECT_EQ(logs[2], logs[0]);
}
// Nothing is drawn whole on a timer: where neither picture was written,
// the window keeps what it shows, even something drawn over it by the
// program itself, through a hundred presents. Only where the system says
// the window lost its pixels (here, the screen's size changing) is the
// picture drawn whole again.
TEST(Present, OnlyALossOfTheWindowsPixelsRedrawsItWhole) {
  const IsolatedRun run = runIsolated([] {
    openTestBoard();
    const auto presentWhite = [] {
      grBufferClear(0x00FFFFFFu, 0, 0xFFFF);
      grBufferSwap(1);
    };
    presentWhite();
    presentWhite();
    const HDC context = GetDC(GetActiveWindow());
    PatBlt(context, 0, 0, 640, 480, BLACKNESS);
    ReleaseDC(GetActiveWindow(), context);
    for (int i = 0; i < 100; ++i) {
      presentWhite();
    }
    const std::vector<std::uint32_t> screen = win32::headless::screenPixels();
    reportFact("black", std::count(screen.begin(), screen.end(), 0u));
    win32::headless::resizeScreen(800, 600);
    presentWhite();
    reportFact("repaired", win32::headless::screenPixels() == wholePresent(800, 600));
  });
  EXPECT_EQ(run["black"], std::to_string(640 * 480));
  EXPECT_EQ(run["repaired"], "1");
}

// A whole-screen clear in the colour of the buffer's last one rewrites only
// what was drawn since; the buffer must read exactly as after a clear that
// rewrites everything (forced by a clear in another colour first), after
// every kind of drawing, clipped clears included.
TEST(Clear, SameColourClearsEqualWholeClears) {
  const IsolatedRun run = runIsolated([] {
    win32::useHeadlessDisplay(640, 480);
    openTestBoard();
    std::mt19937 random(41);
    const auto coordinate = [&](int size) { return static_cast<float>(random() % (size * 16 + 64)) / 16.0f - 2.0f; };
    const GrColor_t colours[] = {0x00000000u, 0x00406080u, 0x00FFFFFFu};
    int differing = 0;
    for (int frame = 0; frame < 60; ++frame) {
      const GrColor_t colour = colours[frame / 20];
      grClipWindow(0, 0, 640, 480);
      grBufferClear(colour, 0, 0xFFFF);
      if (frame % 7 == 3) {
        grClipWindow(random() % 300, random() % 200, 300 + random() % 340, 200 + random() % 280);
        grBufferClear(0x00FF00FFu, 0, 0xFFFF);
        grClipWindow(0, 0, 640, 480);
      }
      grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ZERO);
      const int count = static_cast<int>(random() % 200);
      for (int i = 0; i < count; ++i) {
        GrVertex a = vertex(coordinate(640), coordinate(480), 255.0f, 128.0f, 64.0f, 200.0f, 0.5f);
        GrVertex b = vertex(coordinate(640), coordinate(480), 0.0f, 255.0f, 32.0f, 255.0f, 0.25f);
        if (i % 2 != 0) {
          grAADrawLine(&a, &b);
        } else {
          grAADrawPoint(&a);
        }
      }
      grBufferSwap(0);
      grBufferSwap(0);  // the drawn buffer is the back buffer again
      grBufferClear(colour, 0, 0xFFFF);  // in the last whole clear's colour: only the drawn blocks
      grBufferSwap(0);
      const std::vector<std::uint16_t> partial = softglide::frontBuffer();
      grBufferSwap(0);
      grBufferClear(colour ^ 0x00010101u, 0, 0xFFFF);
      grBufferClear(colour, 0, 0xFFFF);  // a new colour first: everything rewritten
      grBufferSwap(0);
      differing += partial != softglide::frontBuffer();
    }
    // Known answers: white dithers to 0xFFFF and black to 0 everywhere.
    const std::vector<std::uint16_t> white = softglide::frontBuffer();
    reportFact("white", std::count(white.begin(), white.end(), 0xFFFF) == static_cast<long>(white.size()));
    reportFact("differing", differing);
  });
  EXPECT_EQ(run["differing"], "0");
  EXPECT_EQ(run["white"], "1");
}

// Loose by design: pacing is observed, never timed tightly.
TEST(Swap, PacedToSixtyHertzUnlessOverridden) {
  const IsolatedRun run = runIsolated([] {
    openTestBoard(nullptr);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 12; ++i) grBufferSwap(1);
    reportFact("paced", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() * 1000);
    openTestBoard("0");
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < 12; ++i) grBufferSwap(1);
    reportFact("unpaced", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() * 1000);
  });
  EXPECT_GT(std::atof(run["paced"].c_str()), 150.0);  // twelve periods of 16.7 ms, less the first
  EXPECT_LT(std::atof(run["unpaced"].c_str()), 150.0);
}

double swapMilliseconds(int swaps) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < swaps; ++i) grBufferSwap(1);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() * 1000;
}

// FX_GLIDE_SWAPINTERVAL, read as the board opens, takes 0 to 60; any other
// value is ignored with one line on standard error, and the program's own
// interval (1) paces the
// swaps: six of them span at least five 16.7 ms periods, 83 ms. A value
// taken as given would pace at its own rate: "2" spans ten periods. An alarm
// ends a child that sleeps for long (2^31-1 retraces is a year).
TEST(Swap, TheIntervalOverrideIsCheckedAndBounded) {
  const struct {
    const char* value;
    bool reported;
    double atLeast, below;  // milliseconds for six swaps
  } cases[] = {
      {"2147483647", true, 80, 1000}, {"99999999999", true, 80, 1000}, {"2147483648", true, 80, 1000},
      {"abc", true, 80, 1000},        {"-1", true, 80, 1000},          {"61", true, 80, 1000},
      {" 1", true, 80, 1000},         {"0x10", true, 80, 1000},        {"0", false, 0, 80},
      {"2", false, 160, 1000},        {"", false, 80, 1000},
  };
  for (const auto& test : cases) {
    const IsolatedRun run = runIsolated([&test] {
      alarm(5);
      openTestBoard(test.value);
      swapMilliseconds(1);  // starts the timeline
      reportFact("ms", swapMilliseconds(6));
    });
    const double ms = std::atof(run["ms"].c_str());
    EXPECT_TRUE(run.exited) << test.value;
    EXPECT_GE(ms, test.atLeast) << test.value;
    EXPECT_LT(ms, test.below) << test.value;
    const auto lines = std::count(run.errorOutput.begin(), run.errorOutput.end(), '\n');
    EXPECT_EQ(lines, test.reported ? 1 : 0) << test.value << ": " << run.errorOutput;
    if (test.reported) {
      EXPECT_NE(run.errorOutput.find("FX_GLIDE_SWAPINTERVAL"), std::string::npos) << run.errorOutput;
    }
  }
}

// The longest swap (60 retraces, a second) ends early when a signal comes,
// so that the program sees the signal's quit request at once.
TEST(Swap, ASignalEndsTheWait) {
  const IsolatedRun run = runIsolated([] {
    alarm(5);
    struct sigaction noted {};
    noted.sa_handler = [](int) {};
    sigaction(SIGUSR1, &noted, nullptr);
    openTestBoard("60");
    const pid_t self = getpid();
    if (fork() == 0) {
      usleep(100'000);
      kill(self, SIGUSR1);
      _exit(0);
    }
    reportFact("ms", swapMilliseconds(1));
  });
  EXPECT_LT(std::atof(run["ms"].c_str()), 600.0);
}

// Only "1" hides the board; "0" and empty leave it quietly; anything else
// leaves it with one line on standard error.
TEST(Board, OnlyOneHidesTheBoard) {
  const struct {
    const char* value;
    const char* found;
    int lines;
  } cases[] = {{"1", "0", 0},     {"0", "1", 0},  {"", "1", 0},   {"false", "1", 1},
               {"no", "1", 1},    {"00", "1", 1}, {" 0", "1", 1}, {"yes", "1", 1}};
  for (const auto& test : cases) {
    const IsolatedRun run = runIsolated([&test] {
      setenv("FX_GLIDE_NO_BOARD", test.value, 1);
      grGlideInit();
      GrHwConfiguration configuration;
      reportFact("found", grSstQueryHardware(&configuration));
      reportFact("again", grSstQueryHardware(&configuration));
    });
    EXPECT_EQ(run["found"], test.found) << test.value;
    EXPECT_EQ(run["again"], test.found) << test.value;
    EXPECT_EQ(std::count(run.errorOutput.begin(), run.errorOutput.end(), '\n'), test.lines)
        << test.value << ": " << run.errorOutput;
  }
}

}  // namespace
