// Whole saver frames on the headless display with pacing off, each drawn
// and presented by the saver's own drawFrame: an opening frame (noise lit)
// and a flight frame. (What presenting alone costs: bench_glide.)
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_support.h"
#include "ratios.h"
#include "effect/frame.h"
#include "effect/scene.h"

namespace {

// The saver's own start-up on the bench's headless screen, then 256 frames
// so that the flight has begun.
void startSaver() {
  static bool started = false;
  if (started) {
    return;
  }
  started = true;
  openBenchBoard();
  for (int frame = 0; frame < 256; ++frame) {
    drawFrame();
  }
}

// The noise is lit again at a middle level, as in frame 128.
void lightNoise() {
  for (int i = 0; i < twinkleCount; ++i) {
    twinkleVertices[i].r = twinkleVertices[i].g = twinkleVertices[i].b = 127.0f;
  }
}

// One frame of the opening, the noise lit; a function of its own, as
// drawFlightFrame below.
[[gnu::noinline]] void drawOpeningFrame() {
  lightNoise();
  drawFrame();
}

void OpeningFrame(benchmark::State& state) {
  startSaver();
  for (auto _ : state) {
    drawOpeningFrame();
  }
}
BENCHMARK(OpeningFrame)->Unit(benchmark::kMicrosecond);

// One frame of the flight; a function of its own, so that a profiler can
// count what it costs apart from the rest (valgrind --tool=callgrind
// --toggle-collect=drawFlightFrame).
[[gnu::noinline]] void drawFlightFrame() {
  drawFrame();
}

void FlightFrame(benchmark::State& state) {
  startSaver();
  // The opening frames measured before lit the noise again: it fades first.
  while (twinkleVertices[0].r > 0.0f) {
    drawFrame();
  }
  for (auto _ : state) {
    drawFlightFrame();
  }
}
BENCHMARK(FlightFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

// The memory floor of a frame: clearing the 16-bit back buffer and
// converting a cleared (black) 16-bit frame into the 32-bit presented
// picture through a 65536-entry table, as showing a whole frame must at the
// least.
void MemoryFloor(benchmark::State& state) {
  std::vector<std::uint32_t> table(65536);
  for (std::uint32_t word = 0; word < table.size(); ++word) {
    table[word] = (word >> 11) << 19 | ((word >> 5) & 0x3F) << 10 | (word & 0x1F) << 3;
  }
  std::vector<std::uint16_t> frame(640 * 480);
  const std::vector<std::uint16_t> source(640 * 480, 0);
  std::vector<std::uint32_t> picture(640 * 480);
  for (auto _ : state) {
    std::memset(frame.data(), 0, frame.size() * sizeof frame[0]);
    for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = table[source[i]];
    benchmark::DoNotOptimize(frame.data());
    benchmark::DoNotOptimize(picture.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(MemoryFloor)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return runWithRatios(argc, argv,
                       {{"flight frame / memory floor", "FlightFrame", "MemoryFloor"},
                        {"opening frame / memory floor", "OpeningFrame", "MemoryFloor"}});
}
