// The star-field effect on the software board, read through its Glide call
// trace and its pictures. Each case runs in a fresh child process, since the
// effect is process-wide state that starts from fixed initial values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "effect/frame.h"
#include "effect/heap.h"
#include "effect/random.h"
#include "effect/scene.h"
#include "effect/sparkles.h"
#include "effect/streaks.h"
#include "effect/wipe.h"
#include "isolated.h"
#include "saver_fixture.h"
#include "win32/display.h"

namespace {

std::string text(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.9g", value);
  return buffer;
}

std::string point(double x, double y) {
  return text(x) + "," + text(y);
}

TEST(SceneSetup, PoolsGeneratorsAndRenderState) {
  const IsolatedRun run = runIsolated([] {
    prepareHeadless();
    const std::size_t before = softglide::trace().size() + 4;  // after init, query, select, open
    reportFact("result", startEffect());
    for (int i = 0; i < 3; ++i) {
      const StarPoint& star = starField[i];
      reportFact("star" + std::to_string(i), text(star.x) + " " + text(star.y) + " " + text(star.z) + " " + text(star.w));
    }
    bool onGrid = true;
    float lowest = 100.0f, highestXY = -100.0f, highestZ = -100.0f;
    for (int i = 0; i < starCount; ++i) {
      for (const float value : {starField[i].x, starField[i].y, starField[i].z}) {
        const long k = std::lround((value + 0.5) * 100.0);
        onGrid &= value == static_cast<float>(k / 100.0 - 0.5);
        lowest = std::min(lowest, value);
      }
      highestXY = std::max({highestXY, starField[i].x, starField[i].y});
      highestZ = std::max(highestZ, starField[i].z);
    }
    reportFact("onGrid", onGrid);
    reportFact("ranges", text(lowest) + " " + text(highestXY) + " " + text(highestZ));
    reportFact("randomSteps", stepsFromStart(randomState));
    reportFact("randCalls", stepsFromStart(effect::randState));
    for (int i = 0; i < 2; ++i) {
      const GrVertex& sparkle = sparkleVertices[i];
      reportFact("sparkle" + std::to_string(i), point(sparkle.x, sparkle.y) + " " + text(sparkle.oow) + " " +
                                                   text(sparkle.a) + " " + text(sparkle.r));
    }
    const GrVertex& noise = twinkleVertices[0];
    reportFact("noise0", point(noise.x, noise.y) + " " + text(noise.oow) + " " + text(noise.a) + " " + text(noise.r));
    std::string state;
    const auto& calls = softglide::trace();
    for (std::size_t i = before; i < calls.size(); ++i) {
      state += calls[i].name == "grFogTable" ? "grFogTable(...)" : calls[i].text();
      state += ";";
    }
    reportFact("state", state);
    reportFact("fogTable", text(fogTable[0]) + " " + text(fogTable[63]));
  });
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run["result"], "1");
  EXPECT_EQ(run["star0"], text(0.17f) + " " + text(-0.26f) + " " + text(2.68f) + " 1");
  EXPECT_EQ(run["star1"], text(0.20f) + " " + text(-0.27f) + " " + text(6.71f) + " 1");
  EXPECT_EQ(run["star2"], text(-0.20f) + " " + text(0.15f) + " " + text(0.79f) + " 1");
  EXPECT_EQ(run["onGrid"], "1");
  EXPECT_EQ(run["ranges"].substr(0, run["ranges"].rfind(' ')), text(-0.48f) + " " + text(0.5f));
  EXPECT_LE(std::atof(run["ranges"].substr(run["ranges"].rfind(' ')).c_str()), 9.5f);
  EXPECT_EQ(run["randomSteps"], "3778");  // 3000 star draws and 100 sparkle draws, with rejections
  EXPECT_EQ(run["randCalls"], "6200");
  EXPECT_EQ(run["sparkle0"], "198,478 " + text(0.1f) + " 255 255");
  EXPECT_EQ(run["sparkle1"], "513,235 1 255 255");
  EXPECT_EQ(run["noise0"], "463,30 1 255 255");
  EXPECT_EQ(run["state"],
            "grColorCombine(1, 0, 1, 2, 0);grAlphaCombine(1, 0, 0, 2, 0);grFogMode(2);grFogColorValue(0);"
            "guFogGenerateExp(" + text(0.9f) + ");grFogTable(...);grAlphaBlendFunction(1, 5, 0, 0);");
  EXPECT_EQ(run["fogTable"].substr(run["fogTable"].find(' ') + 1), "255");
}

TEST(SceneSetup, RefusedAllocationsEndTheSetup) {
  for (int refused = 1; refused <= 3; ++refused) {
    const IsolatedRun run = runIsolated([refused] {
      prepareHeadless();
      heapTesting::refuseAllocation(refused);
      reportFact("result", startEffect());
      reportFact("stateCalls", callsNamed("grAlphaBlendFunction").size() + callsNamed("grFogTable").size());
      reportFact("pools", std::to_string(starField != nullptr) + std::to_string(sparkleVertices != nullptr) +
                              std::to_string(twinkleVertices != nullptr));
    });
    ASSERT_EQ(run.exitCode, 0) << run.errorOutput;  // no leak of the pools taken before
    EXPECT_EQ(run["result"], "0") << refused;
    EXPECT_EQ(run["stateCalls"], refused == 3 ? "2" : "0") << refused;
    EXPECT_EQ(run["pools"], "000") << refused;
  }
}

TEST(Frames, TheFirstFrameOfTheOpening) {
  const IsolatedRun run = runIsolated([] {
    prepareHeadless();
    startEffect();
    const std::size_t start = softglide::trace().size();
    drawFrame();
    const auto& calls = softglide::trace();
    reportFact("head", calls[start].text() + ";" + calls[start + 1].text());
    const auto points = callsNamed("grDrawPoint", start);
    reportFact("points", points.size());
    reportFact("noise0", point(points[0].arguments[0], points[0].arguments[1]) + " " +
                             point(points[1].arguments[0], points[1].arguments[1]) + " level " +
                             text(points[0].arguments[2]));
    const auto sparkles = callsNamed("grAADrawPoint", start);
    reportFact("sparkles", sparkles.size());
    reportFact("sparkleColour", text(sparkles[0].arguments[2]));
    const auto lines = callsNamed("grAADrawLine", start);
    reportFact("streakHeadColour", text(lines.at(0).arguments[7 + 2]));
    reportFact("last", calls.back().text());
    reportFact("cameraDepth", text(cameraDepth));
    reportFact("divisor", text(cameraStepDivisor));
    reportFact("brightness", text(starBrightness));
    // Order within the frame: noise under sparkles under streaks.
    std::size_t lastPoint = 0, firstSparkle = calls.size(), lastSparkle = 0, firstLine = calls.size();
    for (std::size_t i = start; i < calls.size(); ++i) {
      if (calls[i].name == "grDrawPoint") lastPoint = i;
      if (calls[i].name == "grAADrawPoint") firstSparkle = std::min(firstSparkle, i), lastSparkle = i;
      if (calls[i].name == "grAADrawLine") firstLine = std::min(firstLine, i);
    }
    reportFact("layered", lastPoint < firstSparkle && lastSparkle < firstLine);
  });
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run["head"], "grBufferClear(0, 0, 65535);guColorCombineFunction(2)");
  EXPECT_EQ(run["points"], "6000");
  EXPECT_EQ(run["noise0"], "290,278 580,76 level 254");
  EXPECT_EQ(run["sparkles"], "100");
  EXPECT_EQ(run["sparkleColour"], "1");
  EXPECT_EQ(run["streakHeadColour"], "1");
  EXPECT_EQ(run["last"], "grBufferSwap(1)");
  EXPECT_EQ(run["cameraDepth"], text(-0.45f));
  EXPECT_EQ(run["divisor"], "1");
  EXPECT_EQ(run["brightness"], "1");
  EXPECT_EQ(run["layered"], "1");
}

// Frames 255 and 256 around the end of the opening, the slow flight after
// it, the sparkles throughout, and golden pictures of chosen frames.
TEST(Frames, OpeningFlightSparklesAndGoldenPictures) {
  const IsolatedRun run = runIsolated([] {
    prepareHeadless();
    startEffect();
    std::set<std::string> sparkleOows;
    std::string brightnessErrors;
    for (int frame = 1; frame <= 600; ++frame) {
      const std::size_t start = softglide::trace().size();
      const std::uint32_t randBefore = effect::randState;
      const float depthBefore = cameraDepth;
      drawFrame();
      const auto sparkles = callsNamed("grAADrawPoint", start);
      if (sparkles.size() != 100) brightnessErrors += "count@" + std::to_string(frame);
      for (const auto& sparkle : sparkles) {
        sparkleOows.insert(text(sparkle.arguments[6]));
        if (sparkle.arguments[2] != std::min(frame, 255)) brightnessErrors += " colour@" + std::to_string(frame);
      }
      if (frame == 255) {
        reportFact("points255", callsNamed("grDrawPoint", start).size());
        reportFact("level255", text(callsNamed("grDrawPoint", start)[0].arguments[2]));
        bool allDark = true;
        for (int i = 0; i < twinkleCount; ++i) allDark &= twinkleVertices[i].r == 0.0f && twinkleVertices[i].b == 0.0f;
        reportFact("allDark", allDark);
      }
      if (frame == 256) {
        reportFact("points256", callsNamed("grDrawPoint", start).size());
        reportFact("randCalls256", effect::randState != randBefore);
        reportFact("divisor256", text(cameraStepDivisor));
        reportFact("step256", text(cameraDepth - depthBefore));
        reportFact("expectedStep", text(static_cast<float>(depthBefore + 0.05f / 6.5f) - depthBefore));
        reportFact("brightness256", text(starBrightness));
      }
      if (frame == 1 || frame == 128 || frame == 255 || frame == 256 || frame == 600) {
        reportFact("hash" + std::to_string(frame), std::to_string(pictureHash()));
      }
    }
    reportFact("sparkleOows", [&] {
      std::string all;
      for (const auto& value : sparkleOows) all += value + " ";
      return all;
    }());
    reportFact("sparkleErrors", brightnessErrors);
  });
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run["points255"], "6000");
  EXPECT_EQ(run["level255"], "0");
  EXPECT_EQ(run["allDark"], "1");
  EXPECT_EQ(run["points256"], "0");
  EXPECT_EQ(run["randCalls256"], "0");
  EXPECT_EQ(run["divisor256"], "6.5");
  EXPECT_EQ(run["step256"], run["expectedStep"]);
  EXPECT_EQ(run["brightness256"], "255");
  EXPECT_EQ(run["sparkleOows"], text(0.6f) + " " + text(0.7f) + " " + text(0.8f) + " ");
  EXPECT_EQ(run["sparkleErrors"], "");
  // Any change to the picture sequence shows here. These are the board's
  // frames, taken from its output once; test_glide_fixed.cpp
  // (SaverFrames.EveryFrameEqualsTheReferenceBoard) checks every frame up
  // to 600 equal to the reference board's, which draws from the formulas
  // alone, and these five hashes equal to that board's.
  EXPECT_EQ(run["hash1"], "12681673275979810232");    // the first frame of the opening
  EXPECT_EQ(run["hash128"], "1821090831763949964");   // the middle of the opening
  EXPECT_EQ(run["hash255"], "18121645478081337710");  // the opening's last frame
  EXPECT_EQ(run["hash256"], "18385899923877337187");  // the flight's first frame
  EXPECT_EQ(run["hash600"], "16607493710703871856");  // into the flight
}

// Stars placed by hand, with the viewer held at depth 0 for one pass so that
// the scene is not moved: on-screen tests, put-back and streak tails.
TEST(StarStreaks, VisibilityPutBackAndTails) {
  const IsolatedRun run = runIsolated([] {
    prepareHeadless();
    startEffect();
    cameraDepth = -cameraStep;  // the pass moves it to exactly 0
    const StarPoint placed[] = {
        {-2.0f, -2.0f, 2.0f, 1.0f, {}},                 // head (0, 0)
        {-1.0f - 1.0f / 640.0f, -1.0f - 1.0f / 480.0f, 1.0f, 1.0f, {}},  // head near (-0.5, -0.5)
        {0.9996875f, 0.99958333f, 1.0f, 1.0f, {}},      // head near (639.9, 479.9)
        {0.0f, 0.0f, 3.0f, 1.0f, {}},                   // head (320, 240): a zero-length streak
        {1.0f, 0.0f, 1.0f, 1.0f, {}},                   // sx exactly 640: put back
        {0.0f, 1.0f, 1.0f, 1.0f, {}},                   // sy exactly 480: put back
        {0.1f, 0.1f, 0.0f, 1.0f, {}},                   // depth zero: put back
        {0.1f, 0.1f, -1.0f, 1.0f, {}},                  // behind the viewer, on the screen: drawn
    };
    starCount = 8;
    for (int i = 0; i < 8; ++i) starField[i] = placed[i];
    const std::size_t start = softglide::trace().size();
    drawStarStreaks();
    std::string tails;
    for (const auto& line : callsNamed("grAADrawLine", start)) {
      const auto& a = line.arguments;
      tails += point(a[7], a[8]) + ">" + point(a[0], a[1]) + " oow " + text(a[13]) + "/" + text(a[6]) + " rgb " +
               text(a[2]) + "/" + text(a[9]) + "; ";
    }
    reportFact("lines", callsNamed("grAADrawLine", start).size());
    reportFact("tails", tails);
    reportFact("cameraDepth", text(cameraDepth));
    std::string putBack;
    for (int i = 4; i < 7; ++i) {
      const float z = starField[i].z;
      const long k = std::lround((z + 0.5) * 100.0);
      putBack += std::to_string(z >= 4.5f && z <= 9.5f && z == static_cast<float>(k / 100.0 - 0.5)) ;
    }
    reportFact("putBack", putBack);
    reportFact("keptDepth", text(starField[7].z));
  });
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run["cameraDepth"], "0");
  EXPECT_EQ(run["lines"], "5");
  const std::string tails = run["tails"];
  EXPECT_NE(tails.find("0,0>21,16 oow 0.5/" + text(0.002f) + " rgb 0/0"), std::string::npos) << tails;
  EXPECT_NE(tails.find(">20,15 "), std::string::npos) << tails;
  EXPECT_NE(tails.find(">618,463 "), std::string::npos) << tails;
  EXPECT_NE(tails.find("320,240>320,240 oow " + text(1.0f / 3.0f)), std::string::npos) << tails;
  EXPECT_NE(tails.find(" oow -1/"), std::string::npos) << tails;  // negative depth, still drawn
  EXPECT_EQ(run["putBack"], "111");
  EXPECT_EQ(run["keptDepth"], "-1");
}

// Heads placed so that their projections land on values worked out by hand
// (single-precision steps of x/z, 1 + that, times 0.5, times 640 or 480):
// the tails, and the strict bounds of the screen. Each expected number is
// derived in the comment beside it, not taken from a run.
TEST(StarStreaks, TailsAndBoundsWorkedOutByHand) {
  struct Placed {
    float x, y;
    const char* what;
  };
  const Placed placed[] = {
      // sx = 277.1428527832031 (0x1.152492p+8); tail 277.1428527832031 +
      // 42.8571472167969 / 15 = 279.9999959..., cut to 279. In single
      // precision the sum rounds up to 280.0.
      {-0x1.124926p-3f, 0.0f, "tail x"},
      // sy = 274.28570556640625; tail 274.28570556640625 - 34.2857055664 / 15
      // = 271.9999918..., cut to 271 (272 in single precision).
      {0.0f, 0x1.249238p-3f, "tail y"},
      // sx = 639.99993896484375, the largest single below 640: drawn, tail
      // 639.99993896 - 319.99993896 / 15 = 618.666..., cut to 618.
      {0x1.fffff6p-1f, 0.0f, "right edge"},
      // The nearest values the projection can give around -1.0 (it steps
      // x/z + 1 in units of 2^-23, so -1.0 itself is out of reach):
      // sx = -0.9999847412109375 is drawn, sx = -1.0000228881835938 is not.
      {-0x1.00ccccp+0f, 0.0f, "left inside"},
      {-0x1.00cccep+0f, 0.0f, "left outside"},
      // sy = -0.9999847412109375 drawn, sy = -1.0000133514404297 not.
      {0.0f, -0x1.01111p+0f, "bottom inside"},
      {0.0f, -0x1.011112p+0f, "bottom outside"},
      // sx = 640.0 exactly: off the screen (the bound is strict).
      {1.0f, 0.0f, "right outside"},
  };
  const IsolatedRun run = runIsolated([&placed] {
    prepareHeadless();
    startEffect();
    cameraDepth = -cameraStep;  // the pass moves the viewer to exactly 0
    starCount = 8;
    for (int i = 0; i < starCount; ++i) starField[i] = {placed[i].x, placed[i].y, 1.0f, 1.0f, {}};
    const std::size_t start = softglide::trace().size();
    drawStarStreaks();
    std::string lines;
    for (const auto& line : callsNamed("grAADrawLine", start)) {
      const auto& a = line.arguments;  // tail x y r g b a oow, then head
      char text[160];
      std::snprintf(text, sizeof text, "%.17g,%.17g>%.17g,%.17g; ", a[7], a[8], a[0], a[1]);
      lines += text;
    }
    reportFact("lines", lines);
    std::string putBack;
    for (int i = 0; i < starCount; ++i) putBack += starField[i].z == 1.0f ? "." : "b";
    reportFact("putBack", putBack);
  });
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run["lines"],
            "277.14285278320312,240>279,240; "
            "320,274.28570556640625>320,271; "
            "639.99993896484375,240>618,240; "
            "-0.9999847412109375,240>20,240; "
            "320,-0.9999847412109375>320,15; ");
  // -0.99998474 + 320.99998474 / 15 = 20.3999...; -0.99998474 + 240.99998474 / 15 = 15.0666...
  EXPECT_EQ(run["putBack"], "....b.bb");
}

// The viewer moving while stars are put back: the new depth is
// k / 100 - 0.5 plus the depth this pass moved to, summed wider than single
// and rounded once; the generator gives the 100 sparkle draws first, then
// one draw per star put back, in star order. The expected draws come from a
// generator written here from its definition.
TEST(StarStreaks, PutBackWhileTheViewerMoves) {
  const IsolatedRun run = runIsolated([] {
    prepareHeadless();
    startEffect();
    cameraDepth = 3.3f;  // moves to 3.3f + 0.05f = 0x1.accccc p+1 (3.3499999046...)
    starCount = 40;
    // Even stars lie behind the viewer far to the side (off the screen),
    // odd ones straight ahead of it (drawn).
    for (int i = 0; i < starCount; ++i) {
      starField[i] = i % 2 == 0 ? StarPoint{100.0f, 0.0f, 0.0f, 1.0f, {}} : StarPoint{0.0f, 0.0f, 6.0f, 1.0f, {}};
    }
    std::uint32_t state = randomState;
    auto upTo = [&state](std::uint32_t bound) {
      int width = 1;
      while ((std::uint32_t{1} << width) <= bound) ++width;
      for (;;) {
        state = state * 1103515245u + 12345u;
        const std::uint32_t candidate = (state & 0x7FFFFFFFu) >> (31 - width);
        if (candidate <= bound) return candidate;
      }
    };
    for (int i = 0; i < 100; ++i) upTo(2);
    const double movedTo = 0x1.accccc0p+1;
    std::string wrong;
    int singleWouldDiffer = 0;
    drawStarStreaks();
    reportFact("cameraDepth", cameraDepth == static_cast<float>(movedTo));
    for (int i = 0; i < starCount; ++i) {
      if (i % 2 == 1) {
        if (starField[i].z != 6.0f) wrong += " kept" + std::to_string(i);
        continue;
      }
      const std::int32_t k = 500 + static_cast<std::int32_t>(upTo(500));
      const float expected = static_cast<float>(k / 100.0 - 0.5 + movedTo);
      volatile float inSingle = static_cast<float>(k);  // each step stored, so rounded to single
      inSingle = inSingle / 100.0f;
      inSingle = inSingle - 0.5f;
      inSingle = inSingle + static_cast<float>(movedTo);
      singleWouldDiffer += inSingle != expected;
      if (starField[i].z != expected) wrong += " z" + std::to_string(i);
    }
    reportFact("wrong", wrong);
    reportFact("stateAfter", randomState == state);
    reportFact("discriminates", singleWouldDiffer > 0);
  });
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run["cameraDepth"], "1");
  EXPECT_EQ(run["wrong"], "");
  EXPECT_EQ(run["stateAfter"], "1");
  EXPECT_EQ(run["discriminates"], "1");  // single-precision sums would fail this test
}

TEST(StarStreaks, ARefusedWorkingArraySkipsTheStarsAndLeaksNothing) {
  for (int refused = 1; refused <= 2; ++refused) {
    const IsolatedRun run = runIsolated([refused] {
      prepareHeadless();
      startEffect();
      const float depth = cameraDepth;
      const std::size_t start = softglide::trace().size();
      heapTesting::refuseAllocation(refused);
      drawStarStreaks();
      reportFact("drawn", callsNamed("grAADrawLine", start).size() + callsNamed("grAADrawPoint", start).size());
      reportFact("moved", cameraDepth != depth);
      drawStarStreaks();
      reportFact("next", callsNamed("grAADrawPoint", start).size());
    });
    ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
    EXPECT_EQ(run["drawn"], "0");
    EXPECT_EQ(run["moved"], "0");
    EXPECT_EQ(run["next"], "100");
  }
}

// After about 1.7e7 frames the viewer's depth reaches 131072, where adding
// the slow step no longer changes a single; the stars then stand still while
// the sparkles keep twinkling, and the saver runs on.
TEST(StarStreaks, TheFlightStopsAtTheLimitOfSinglePrecision) {
  const IsolatedRun run = runIsolated([] {
    prepareHeadless();
    startEffect();
    for (int frame = 0; frame < 256; ++frame) drawFrame();  // into the slow flight
    cameraDepth = 131071.98f;
    std::string depths;
    for (int frame = 0; frame < 4; ++frame) {
      drawFrame();
      depths += text(cameraDepth) + " ";
    }
    auto framePictures = [] {
      const std::size_t start = softglide::trace().size();
      drawFrame();
      std::string lines;
      for (const auto& line : callsNamed("grAADrawLine", start)) lines += line.text();
      std::string sparkles;
      for (const auto& sparkle : callsNamed("grAADrawPoint", start)) sparkles += sparkle.text();
      return std::make_pair(lines, sparkles);
    };
    for (int frame = 0; frame < 50; ++frame) drawFrame();  // every star that left the screen is back
    const auto first = framePictures();
    const auto second = framePictures();
    reportFact("depths", depths);
    reportFact("starsStill", first.first == second.first && !first.first.empty());
    reportFact("sparklesMove", first.second != second.second);
    reportFact("depthAfter", text(cameraDepth));
  });
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run["depths"], "131071.984 131071.992 131072 131072 ");
  EXPECT_EQ(run["depthAfter"], "131072");
  EXPECT_EQ(run["starsStill"], "1");
  EXPECT_EQ(run["sparklesMove"], "1");
}

TEST(ClosingWipe, TwentyShrinkingFramesThenThePoolsGo) {
  const IsolatedRun run = runIsolated([] {
    prepareHeadless();
    startEffect();
    drawFrame();
    const void* pools[3] = {twinkleVertices, starField, sparkleVertices};
    std::string releases;
    heapTesting::observeReleases([&](void* block) {
      for (int i = 0; i < 3; ++i) {
        if (block == pools[i]) releases += std::to_string(i) + "@" + std::to_string(softglide::swapCount()) + " ";
      }
    });
    const std::size_t start = softglide::trace().size();
    std::string frames;
    playClosingWipe();
    const auto& calls = softglide::trace();
    for (std::size_t i = start; i < calls.size(); ++i) frames += calls[i].text() + ";";
    reportFact("calls", frames);
    reportFact("releases", releases);
  });
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  std::string expected;
  for (int n = 640; n > 0; n -= 32) {
    const int h = n * 3 / 4;
    expected += "grClipWindow(0, 0, 640, 480);grBufferClear(0, 0, 65535);grClipWindow(" + std::to_string(640 - n) +
                ", " + std::to_string(480 - h) + ", " + std::to_string(n) + ", " + std::to_string(h) +
                ");grBufferClear(4294967295, 0, 65535);grBufferSwap(1);";
  }
  EXPECT_EQ(run["calls"], expected);
  EXPECT_EQ(run["releases"], "0@21 1@21 2@21 ");  // twinkle, star, sparkle pools after the 20th swap
}

TEST(ClosingWipe, PicturesOfTheWipe) {
  const IsolatedRun run = runIsolated([] {
    prepareHeadless();
    startEffect();
    drawFrame();
    std::string whiteCounts;
    int frame = 0;
    win32::headless::observePresents([&](const std::vector<std::uint32_t>& screen) {
      ++frame;
      int white = 0;
      for (const std::uint32_t pixel : screen) white += pixel == 0xFFFFFFu;
      whiteCounts += std::to_string(white) + " ";
    });
    playClosingWipe();
    reportFact("white", whiteCounts);
  });
  ASSERT_EQ(run.exitCode, 0) << run.errorOutput;
  EXPECT_EQ(run["white"], "307200 248832 196608 150528 110592 76800 49152 27648 12288 3072 0 0 0 0 0 0 0 0 0 0 ");
}

}  // namespace
