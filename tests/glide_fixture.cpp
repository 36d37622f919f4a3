// The pixel-test board.
#include "glide_fixture.h"

#include <cstdlib>

#include "win32/display.h"

namespace {

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

namespace {
struct HeadlessByDefault {
  HeadlessByDefault() { win32::useHeadlessDisplay(640, 480); }
} headlessByDefault;
}  // namespace

void openTestBoard() {
  setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  static HWND window = nullptr;
  if (window == nullptr) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = plainProc;
    windowClass.lpszClassName = "GlideTest";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, "GlideTest", "Glide", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                             GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
  }
  grGlideShutdown();
  grGlideInit();
  GrHwConfiguration configuration;
  grSstQueryHardware(&configuration);
  grSstSelect(0);
  grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR, GR_ORIGIN_LOWER_LEFT, 2, 1);
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
