// Frame composition and the noise layer: for the first 255 frames 3000 noise
// points fade from grey level 254 to 0 while the stars fade in.
#include "effect/frame.h"

#include <bit>
#include <cstdint>

#include "device/glide.h"
#include "effect/random.h"
#include "effect/scene.h"
#include "effect/streaks.h"

float starBrightness = 0.0f;

namespace {

// The noise is faded when its level, the red of record 0, is zero of
// either sign.
bool noiseFaded() {
  return (std::bit_cast<std::uint32_t>(twinkleVertices[0].r) & 0x7FFFFFFFu) == 0;
}

// Every point is drawn twice: at (a mod 640, b mod 480) and at
// (2a mod 640, 2b mod 480), so the second copy lies on even pixels.
void scatterNoise() {
  for (std::int32_t i = 0; i < twinkleCount; ++i) {
    GrVertex& point = twinkleVertices[i];
    const int a = effect::rand();
    const int b = effect::rand();
    point.x = static_cast<float>(a % 640);
    point.y = static_cast<float>(b % 480);
    point.r += -1.0f;
    point.g += -1.0f;
    point.b += -1.0f;
    grDrawPoint(&point);
    point.x = static_cast<float>((2 * a) % 640);
    point.y = static_cast<float>((2 * b) % 480);
    grDrawPoint(&point);
  }
}

}  // namespace

int drawNoiseLayer() {
  if (noiseFaded()) {
    cameraStepDivisor = 7.0f;
    return 0;
  }
  scatterNoise();
  starBrightness += 1.0f;
  drawStarStreaks();
  return 1;
}

void drawFrame() {
  grBufferClear(0, 0, 0xFFFF);
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  if (drawNoiseLayer() == 0) {
    starBrightness = 255.0f;
    drawStarStreaks();
  }
  grBufferSwap(1);
}
