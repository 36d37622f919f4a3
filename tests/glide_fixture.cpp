// The pixel-test board.
#include "glide_fixture.h"

#include <cstdlib>

#include "board_host.h"
#include "win32/display.h"

namespace {
struct HeadlessByDefault {
  HeadlessByDefault() { win32::useHeadlessDisplay(640, 480); }
} headlessByDefault;
}  // namespace

void openTestBoard(const char* swapInterval) {
  if (swapInterval == nullptr) {
    unsetenv("FX_GLIDE_SWAPINTERVAL");
  } else {
    setenv("FX_GLIDE_SWAPINTERVAL", swapInterval, 1);
  }
  // The board's window covers the screen: a test that chose another
  // screen (in a child process of its own, after a test before it in the
  // process made the window) gets a window of that size, or a native grid
  // would follow the old one.
  static HWND window = nullptr;
  static int windowWidth = 0, windowHeight = 0;
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  if (window == nullptr || width != windowWidth || height != windowHeight) {
    if (window != nullptr) {
      DestroyWindow(window);
    }
    window = showBoardWindow();
    windowWidth = width;
    windowHeight = height;
  }
  grGlideShutdown();
  openBoard();
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_CONSTANT, FXFALSE);
  grFogMode(GR_FOG_DISABLE);
  grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
  grBufferClear(0, 0, 0xFFFF);
}

std::vector<std::uint16_t> swapAndRead() {
  grBufferSwap(1);
  return softglide::frontBuffer();
}

std::uint16_t pixelAt(const std::vector<std::uint16_t>& picture, int x, int y) {
  return picture[static_cast<std::size_t>(479 - y) * 640 + x];
}

GrVertex vertex(float x, float y, float r, float g, float b, float a, float oow) {
  GrVertex v{};
  v.x = x;
  v.y = y;
  v.r = r;
  v.g = g;
  v.b = b;
  v.a = a;
  v.oow = oow;
  return v;
}
