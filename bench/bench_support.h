// Shared set-up of the benchmarks: a headless 640x480 screen, pacing off.
#pragma once

#include <utility>
#include <vector>

#include "device/glide.h"

// Noise points, sparkles and streaks shaped like the saver's: 6000 points,
// 100 sparkles, 1000 streaks running 1/15 of the way to the centre (1 to 30
// pixels along their major axis, about 4 on average).
struct BenchScene {
  std::vector<GrVertex> points;
  std::vector<GrVertex> sparkles;
  std::vector<std::pair<GrVertex, GrVertex>> streaks;
};
const BenchScene& scene();

// Selects the headless 640x480 screen and turns pacing off.
void prepareBenchDisplay();

// Opens the software board on a headless window with the saver's render
// state: iterated colour and alpha, exponential table fog, source-alpha
// blending.
void openBenchBoard();
