// Benchmark set-up.
#include "bench_support.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "app/screenwindow.h"
#include "device/glide.h"
#include "device/glidesystem.h"
#include "effect/scene.h"
#include "win32/display.h"

void prepareBenchDisplay() {
  setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  win32::useHeadlessDisplay(640, 480);
}

void openBenchBoard() {
  static bool opened = false;
  if (opened) {
    return;
  }
  opened = true;
  prepareBenchDisplay();
  // The saver's own start-up: its window, its board and its render state.
  createScreenWindow();
  openGlideDevice();
  setupScene();
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
}

const BenchScene& scene() {
  static const BenchScene built = [] {
    BenchScene s;
    std::mt19937 random(42);
    for (int i = 0; i < 6000; ++i) {
      GrVertex v{};
      v.x = static_cast<float>(random() % 640);
      v.y = static_cast<float>(random() % 480);
      v.r = v.g = v.b = 128.0f;
      v.a = 255.0f;
      v.oow = 1.0f;
      s.points.push_back(v);
    }
    for (int i = 0; i < 100; ++i) {
      GrVertex v{};
      v.x = static_cast<float>(random() % 640);
      v.y = static_cast<float>(random() % 480);
      v.r = v.g = v.b = 255.0f;
      v.a = 255.0f;
      v.oow = 0.6f + 0.1f * static_cast<float>(random() % 3);
      s.sparkles.push_back(v);
    }
    std::exponential_distribution<float> distance(1.0f / 60.0f);
    for (int i = 0; i < 1000; ++i) {
      const float angle = static_cast<float>(random() % 6283) / 1000.0f;
      const float reach = std::min(distance(random) + 5.0f, 400.0f);
      GrVertex head{};
      head.x = std::clamp(320.0f + reach * std::cos(angle), 0.0f, 639.0f);
      head.y = std::clamp(240.0f + reach * std::sin(angle), 0.0f, 479.0f);
      head.r = head.g = head.b = 255.0f;
      head.a = 255.0f;
      head.oow = 1.0f / (0.5f + static_cast<float>(random() % 900) / 100.0f);
      GrVertex tail = head;
      tail.x = static_cast<float>(static_cast<int>(head.x + (320.0f - head.x) / 15.0f));
      tail.y = static_cast<float>(static_cast<int>(head.y + (240.0f - head.y) / 15.0f));
      tail.r = tail.g = tail.b = 0.0f;
      tail.oow = 0.002f;
      s.streaks.push_back({tail, head});
    }
    return s;
  }();
  return built;
}

