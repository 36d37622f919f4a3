// The software board's primitives and presenting, each on one 640x480 frame,
// with the saver's render state (table fog, source-alpha blending).
#include <benchmark/benchmark.h>


#include "bench_support.h"
#include "ratios.h"
#include "softglide.h"

#include <vector>
#include "device/glide.h"

namespace {

void Clear(benchmark::State& state) {
  openBenchBoard();
  for (auto _ : state) {
    grBufferClear(0, 0, 0xFFFF);
  }
}
BENCHMARK(Clear)->Unit(benchmark::kMicrosecond);

void NoisePoints6000(benchmark::State& state) {
  openBenchBoard();
  for (auto _ : state) {
    for (const GrVertex& v : scene().points) grDrawPoint(&v);
  }
}
BENCHMARK(NoisePoints6000)->Unit(benchmark::kMicrosecond);

void SparklePoints100(benchmark::State& state) {
  openBenchBoard();
  for (auto _ : state) {
    for (const GrVertex& v : scene().sparkles) grAADrawPoint(&v);
  }
}
BENCHMARK(SparklePoints100)->Unit(benchmark::kMicrosecond);

void StreakLines1000(benchmark::State& state) {
  openBenchBoard();
  for (auto _ : state) {
    for (const auto& [tail, head] : scene().streaks) grAADrawLine(&tail, &head);
  }
}
BENCHMARK(StreakLines1000)->Unit(benchmark::kMicrosecond);

// Clear and every primitive of a flight frame: no noise, 100 sparkles,
// about 1000 streaks.
void OpeningPrimitives(benchmark::State& state) {
  openBenchBoard();
  for (auto _ : state) {
    grBufferClear(0, 0, 0xFFFF);
    for (const GrVertex& v : scene().points) grDrawPoint(&v);
    for (const GrVertex& v : scene().sparkles) grAADrawPoint(&v);
    for (const auto& [tail, head] : scene().streaks) grAADrawLine(&tail, &head);
  }
}
BENCHMARK(OpeningPrimitives)->Unit(benchmark::kMicrosecond);

void FlightPrimitives(benchmark::State& state) {
  openBenchBoard();
  for (auto _ : state) {
    grBufferClear(0, 0, 0xFFFF);
    for (const GrVertex& v : scene().sparkles) grAADrawPoint(&v);
    for (const auto& [tail, head] : scene().streaks) grAADrawLine(&tail, &head);
  }
}
BENCHMARK(FlightPrimitives)->Unit(benchmark::kMicrosecond);

// A clear and the swap without pacing, presenting the whole picture (the
// clear colour changes every frame, so nothing can be left as it was): the
// clear, the 5-6-5 to 32-bit conversion and the GDI calls into a 640x480
// headless screen. A flight frame presents only what changed; see
// bench_frame.
void ClearAndPresentWhole(benchmark::State& state) {
  openBenchBoard();
  GrColor_t color = 0;
  for (auto _ : state) {
    color ^= 0x00010101u;
    grBufferClear(color, 0, 0xFFFF);
    grBufferSwap(0);
  }
}
BENCHMARK(ClearAndPresentWhole)->Unit(benchmark::kMicrosecond);

// The 5-6-5 to 32-bit conversion alone, over one frame.
void PresentConversion(benchmark::State& state) {
  std::vector<std::uint16_t> frame(640 * 480);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint16_t>(i * 2654435761u >> 7);
  std::vector<std::uint32_t> picture(frame.size());
  for (auto _ : state) {
    softglide::convertPicture(frame.data(), picture.data(), frame.size());
    benchmark::DoNotOptimize(picture.data());
  }
}
BENCHMARK(PresentConversion)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return runWithRatios(argc, argv, {{"OSMesa peer / ours, opening primitives", "PeerOpeningPrimitives", "OpeningPrimitives"}});
}
