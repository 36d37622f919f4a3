// The GDI calls that presenting needs: device contexts of windows,
// StretchDIBits of 32-bit pictures, PatBlt in black. Drawing lands in the
// screen buffer; releasing the device context shows it on the display.
#include <algorithm>

#include "internal.h"

namespace win32::detail {
namespace {

std::vector<std::uint32_t> screen;

// A device context is its window's handle with the low bit set.
HDC contextOf(HWND window) {
  return reinterpret_cast<HDC>(reinterpret_cast<std::uintptr_t>(window) | 1u);
}

Window* windowOf(HDC context) {
  return findWindow(reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(context) & ~std::uintptr_t{1}));
}

struct Area {
  int left, top, right, bottom;  // screen pixels, right and bottom exclusive
};

// The part of the screen that a window's client area covers.
Area visibleArea(const Window& window, const Display& display) {
  return {std::max<int>(window.rect.left, 0), std::max<int>(window.rect.top, 0),
          std::min<int>(window.rect.right, display.width()),
          std::min<int>(window.rect.bottom, display.height())};
}

}  // namespace

std::vector<std::uint32_t>& screenBuffer() {
  if (Display* display = openDisplay()) {
    screen.resize(static_cast<std::size_t>(display->width()) * display->height());
  }
  return screen;
}

}  // namespace win32::detail

using namespace win32::detail;

extern "C" {

HDC WINAPI GetDC(HWND window) {
  return findWindow(window) != nullptr && openDisplay() != nullptr ? contextOf(window) : nullptr;
}

int WINAPI ReleaseDC(HWND, HDC context) {
  Window* window = windowOf(context);
  Display* display = openDisplay();
  if (window == nullptr || display == nullptr) {
    return 0;
  }
  if (window->visible) {
    display->present(screenBuffer());
  }
  return 1;
}

// Nearest-neighbour scaling of a 32-bit BI_RGB picture (top-down when its
// height is negative) into the window, clipped to the window and the screen.
int WINAPI StretchDIBits(HDC context, int xDest, int yDest, int destWidth, int destHeight,
                         int xSource, int ySource, int sourceWidth, int sourceHeight,
                         const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  Window* window = windowOf(context);
  Display* display = openDisplay();
  if (window == nullptr || display == nullptr || bits == nullptr || info == nullptr ||
      info->bmiHeader.biBitCount != 32 || info->bmiHeader.biCompression != BI_RGB ||
      usage != DIB_RGB_COLORS || rop != SRCCOPY || destWidth <= 0 || destHeight <= 0 ||
      sourceWidth <= 0 || sourceHeight <= 0) {
    return 0;
  }
  const int imageWidth = info->bmiHeader.biWidth;
  const int imageHeight = std::abs(info->bmiHeader.biHeight);
  const bool topDown = info->bmiHeader.biHeight < 0;
  if (xSource < 0 || ySource < 0 || xSource + sourceWidth > imageWidth ||
      ySource + sourceHeight > imageHeight) {
    return 0;
  }
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  std::vector<std::uint32_t>& target = screenBuffer();
  const Area area = visibleArea(*window, *display);
  const int screenWidth = display->width();
  const int firstRow = std::max(area.top, static_cast<int>(window->rect.top) + yDest);
  const int endRow = std::min(area.bottom, static_cast<int>(window->rect.top) + yDest + destHeight);
  const int firstColumn = std::max(area.left, static_cast<int>(window->rect.left) + xDest);
  const int endColumn = std::min(area.right, static_cast<int>(window->rect.left) + xDest + destWidth);
  for (int row = firstRow; row < endRow; ++row) {
    const int destRow = row - static_cast<int>(window->rect.top) - yDest;
    const int sourceRow = ySource + static_cast<int>(static_cast<long long>(destRow) * sourceHeight / destHeight);
    const int memoryRow = topDown ? sourceRow : imageHeight - 1 - sourceRow;
    const std::uint32_t* sourceLine = pixels + static_cast<std::size_t>(memoryRow) * imageWidth;
    std::uint32_t* targetLine = target.data() + static_cast<std::size_t>(row) * screenWidth;
    for (int column = firstColumn; column < endColumn; ++column) {
      const int destColumn = column - static_cast<int>(window->rect.left) - xDest;
      const int sourceColumn =
          xSource + static_cast<int>(static_cast<long long>(destColumn) * sourceWidth / destWidth);
      targetLine[column] = sourceLine[sourceColumn] & 0x00FFFFFFu;
    }
  }
  return endRow > firstRow ? endRow - firstRow : 0;
}

BOOL WINAPI PatBlt(HDC context, int x, int y, int width, int height, DWORD rop) {
  Window* window = windowOf(context);
  Display* display = openDisplay();
  if (window == nullptr || display == nullptr || rop != BLACKNESS) {
    return FALSE;
  }
  const Area area = visibleArea(*window, *display);
  std::vector<std::uint32_t>& target = screenBuffer();
  const int left = std::max(area.left, static_cast<int>(window->rect.left) + x);
  const int right = std::min(area.right, static_cast<int>(window->rect.left) + x + width);
  const int top = std::max(area.top, static_cast<int>(window->rect.top) + y);
  const int bottom = std::min(area.bottom, static_cast<int>(window->rect.top) + y + height);
  for (int row = top; row < bottom; ++row) {
    std::fill(target.begin() + static_cast<std::ptrdiff_t>(row) * display->width() + left,
              target.begin() + static_cast<std::ptrdiff_t>(row) * display->width() + right, 0u);
  }
  return TRUE;
}

}  // extern "C"
