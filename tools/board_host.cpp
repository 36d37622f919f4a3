// The board's window for programs other than the saver.
#include "board_host.h"

namespace {

LRESULT CALLBACK plainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND showBoardWindow() {
  static const bool registered = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = plainProcedure;
    windowClass.lpszClassName = "BoardHost";
    return RegisterClassA(&windowClass) != 0;
  }();
  if (!registered) {
    return nullptr;
  }
  const HWND window = CreateWindowExA(0, "BoardHost", "Glide", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                      GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, nullptr, nullptr);
  if (window != nullptr) {
    ShowWindow(window, SW_SHOW);
  }
  return window;
}

bool openBoard() {
  grGlideInit();
  GrHwConfiguration configuration;
  if (!grSstQueryHardware(&configuration)) {
    return false;
  }
  grSstSelect(0);
  return grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR, GR_ORIGIN_LOWER_LEFT, 2, 1) !=
         FXFALSE;
}
