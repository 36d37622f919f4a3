// Saver test helpers.
#include "saver_fixture.h"

#include <cstdlib>

#include "app/screenwindow.h"
#include "device/glidesystem.h"
#include "effect/scene.h"
#include "win32/display.h"

void prepareHeadless(int width, int height) {
  setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  win32::useHeadlessDisplay(width, height);
  softglide::setTracing(true);
}

int startEffect() {
  createScreenWindow();
  openGlideDevice();
  return setupScene();
}

long long stepsFromStart(std::uint32_t state) {
  std::uint32_t current = 1;
  for (long long steps = 0; steps < 100'000'000; ++steps) {
    if (current == state) {
      return steps;
    }
    current = current * 1103515245u + 12345u;
  }
  return -1;
}

std::vector<softglide::TraceCall> callsNamed(const std::string& name, std::size_t from) {
  std::vector<softglide::TraceCall> result;
  const auto& calls = softglide::trace();
  for (std::size_t i = from; i < calls.size(); ++i) {
    if (calls[i].name == name) {
      result.push_back(calls[i]);
    }
  }
  return result;
}

std::uint64_t pictureHash() {
  std::uint64_t hash = 1469598103934665603ull;
  for (const std::uint16_t word : softglide::frontBuffer()) {
    hash = (hash ^ word) * 1099511628211ull;
  }
  return hash;
}
