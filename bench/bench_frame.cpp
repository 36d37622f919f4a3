// Whole saver frames on the headless display with pacing off: an opening
// frame (noise lit) and a flight frame, each drawn only and drawn and
// presented.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "app/screenwindow.h"
#include "bench_support.h"
#include "ratios.h"
#include "device/glide.h"
#include "device/glidesystem.h"
#include "effect/frame.h"
#include "effect/scene.h"
#include "effect/streaks.h"

namespace {

// The saver's own start-up on the bench's headless screen, then 256 frames
// so that the flight has begun.
void startSaver() {
  static bool started = false;
  if (started) {
    return;
  }
  started = true;
  prepareBenchDisplay();
  createScreenWindow();
  openGlideDevice();
  setupScene();
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

void drawWithoutSwap() {
  grBufferClear(0, 0, 0xFFFF);
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  if (drawNoiseLayer() == 0) {
    starBrightness = 255.0f;
    drawStarStreaks();
  }
}

void OpeningFrameDraw(benchmark::State& state) {
  startSaver();
  for (auto _ : state) {
    lightNoise();
    drawWithoutSwap();
  }
}
BENCHMARK(OpeningFrameDraw)->Unit(benchmark::kMicrosecond);

void OpeningFrameDrawAndPresent(benchmark::State& state) {
  startSaver();
  for (auto _ : state) {
    lightNoise();
    drawFrame();
  }
}
BENCHMARK(OpeningFrameDrawAndPresent)->Unit(benchmark::kMicrosecond);

void FlightFrameDraw(benchmark::State& state) {
  startSaver();
  for (auto _ : state) {
    drawWithoutSwap();
  }
}
BENCHMARK(FlightFrameDraw)->Unit(benchmark::kMicrosecond);

void FlightFrameDrawAndPresent(benchmark::State& state) {
  startSaver();
  for (auto _ : state) {
    drawFrame();
  }
}
BENCHMARK(FlightFrameDrawAndPresent)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

// The memory floor of a frame: clearing the 16-bit back buffer and writing
// the 32-bit presented picture once.
void MemoryFloor(benchmark::State& state) {
  std::vector<std::uint16_t> frame(640 * 480);
  std::vector<std::uint32_t> source(640 * 480, 0x00808080u);
  std::vector<std::uint32_t> picture(640 * 480);
  for (auto _ : state) {
    std::memset(frame.data(), 0, frame.size() * sizeof frame[0]);
    std::memcpy(picture.data(), source.data(), picture.size() * sizeof picture[0]);
    benchmark::DoNotOptimize(frame.data());
    benchmark::DoNotOptimize(picture.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(MemoryFloor)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return runWithRatios(argc, argv,
                       {{"flight frame (draw + present) / memory floor", "FlightFrameDrawAndPresent", "MemoryFloor"},
                        {"opening frame (draw + present) / memory floor", "OpeningFrameDrawAndPresent", "MemoryFloor"}});
}
