// glide-scene: draws one fixed test scene through whatever Glide it is
// linked with (noise points, a fan of anti-aliased lines under table fog, a
// row of anti-aliased points, a clip-window clear) and writes what the board
// presents as a PNG, to compare boards and look at the pixel arithmetic.
//
//   glide-scene OUT.png
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "board_host.h"
#include "device/glide.h"
#include "effect/scene.h"
#include "pngfile.h"
#include "win32/display.h"

namespace {

GrVertex vertex(float x, float y, float level, float a, float oow) {
  GrVertex v{};
  v.x = x;
  v.y = y;
  v.r = v.g = v.b = level;
  v.a = a;
  v.oow = oow;
  return v;
}

// The saver's own render state (and its pools, which the scene leaves
// alone): iterated colour and alpha, exponential table fog towards black,
// source-alpha blending.
void drawScene() {
  setupScene();
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  grBufferClear(0, 0, 0xFFFF);
  // A grey clip-window clear in the lower left corner (origin lower left).
  grClipWindow(20, 20, 220, 120);
  grBufferClear(0x00606060u, 0, 0xFFFF);
  grClipWindow(0, 0, 640, 480);
  // Noise points in the upper left, two grey levels.
  std::uint32_t seed = 1;
  for (int i = 0; i < 3000; ++i) {
    seed = seed * 1103515245u + 12345u;
    const float x = static_cast<float>((seed >> 16) % 200) + 20.0f;
    seed = seed * 1103515245u + 12345u;
    const float y = static_cast<float>((seed >> 16) % 200) + 260.0f;
    GrVertex point = vertex(x, y, i % 2 ? 255.0f : 128.0f, 255.0f, 1.0f);
    grDrawPoint(&point);
  }
  // A fan of streaks around (430, 240): black tails far in the fog, white
  // heads near, every angle of the major axes.
  for (int i = 0; i < 48; ++i) {
    const float angle = static_cast<float>(i) * 6.2831853f / 48.0f;
    GrVertex tail = vertex(430.0f + 20.0f * std::cos(angle), 240.0f + 20.0f * std::sin(angle), 0.0f, 255.0f, 0.002f);
    GrVertex head = vertex(430.0f + 180.0f * std::cos(angle), 240.0f + 180.0f * std::sin(angle), 255.0f, 255.0f, 1.0f);
    grAADrawLine(&tail, &head);
  }
  // A row of anti-aliased points at quarter-pixel offsets and three depths.
  for (int i = 0; i < 16; ++i) {
    GrVertex point = vertex(250.0f + 12.0f * i + 0.25f * (i % 4), 40.0f + 0.25f * (i % 4), 255.0f, 255.0f,
                            0.6f + 0.1f * static_cast<float>(i % 3));
    grAADrawPoint(&point);
  }
  grBufferSwap(0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: glide-scene OUT.png\n");
    return 2;
  }
  setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  win32::useHeadlessDisplay(640, 480);
  showBoardWindow();
  if (!openBoard()) {
    std::fprintf(stderr, "glide-scene: no Glide board\n");
    return 1;
  }
  drawScene();
  const bool written = writePng(argv[1], win32::headless::screenPixels(), 640, 480);
  grGlideShutdown();
  return written ? 0 : 1;
}
