// The software board as a whole, each case in a fresh process: opening
// rules, the no-board switch, presenting and swap pacing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

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

// Loose by design: pacing is observed, never timed tightly.
TEST(Swap, PacedToSixtyHertzUnlessOverridden) {
  const IsolatedRun run = runIsolated([] {
    openTestBoard();
    unsetenv("FX_GLIDE_SWAPINTERVAL");
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 12; ++i) grBufferSwap(1);
    reportFact("paced", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() * 1000);
    setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < 12; ++i) grBufferSwap(1);
    reportFact("unpaced", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() * 1000);
  });
  EXPECT_GT(std::atof(run["paced"].c_str()), 150.0);  // twelve periods of 16.7 ms, less the first
  EXPECT_LT(std::atof(run["unpaced"].c_str()), 150.0);
}

}  // namespace
