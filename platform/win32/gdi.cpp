// The GDI calls that presenting needs: device contexts of windows,
// StretchDIBits of 32-bit pictures, PatBlt in black. Drawing lands in the
// screen buffer; releasing the device context shows it on the display.
#include <algorithm>
#include <cstring>

#include "internal.h"

namespace win32::detail {
namespace {

std::vector<int> sourceColumns;
RECT changed = {0, 0, 0, 0};  // what drawing touched since the last present

void markChanged(int left, int top, int right, int bottom) {
  if (left >= right || top >= bottom) {
    return;
  }
  if (changed.left >= changed.right) {
    changed = {left, top, right, bottom};
    return;
  }
  changed = {std::min<LONG>(changed.left, left), std::min<LONG>(changed.top, top),
             std::max<LONG>(changed.right, right), std::max<LONG>(changed.bottom, bottom)};
}

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
// A row of 32-bit pixels without their unused top byte, four at a time.
void copyWithoutTopByte(std::uint32_t* target, const std::uint32_t* source, std::size_t count) {
  typedef std::uint32_t Four __attribute__((vector_size(16)));
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    Four pixels;
    std::memcpy(&pixels, source + i, sizeof pixels);
    pixels &= 0x00FFFFFFu;
    std::memcpy(target + i, &pixels, sizeof pixels);
  }
  for (; i < count; ++i) {
    target[i] = source[i] & 0x00FFFFFFu;
  }
}

// The screen span [first, end) that a window offset plus a start and a length
// cover, inside [low, high); in 64 bits, so that no argument can overflow.
void span(long long origin, long long start, long long length, int low, int high, int& first, int& end) {
  first = static_cast<int>(std::clamp(origin + start, static_cast<long long>(low), static_cast<long long>(high)));
  end = static_cast<int>(std::clamp(origin + start + length, static_cast<long long>(first), static_cast<long long>(high)));
}

Area visibleArea(const Window& window, const Display& display) {
  return {std::max<int>(window.rect.left, 0), std::max<int>(window.rect.top, 0),
          std::min<int>(window.rect.right, display.width()),
          std::min<int>(window.rect.bottom, display.height())};
}

}  // namespace

std::vector<std::uint32_t> screenCopy() {
  std::vector<std::uint32_t> copy;
  if (Display* display = openDisplay()) {
    const Display::Memory memory = display->screenMemory();
    for (int y = 0; y < display->height(); ++y) {
      copy.insert(copy.end(), memory.pixels + y * memory.pitch, memory.pixels + y * memory.pitch + display->width());
    }
  }
  return copy;
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
    display->present(changed);
    changed = {0, 0, 0, 0};
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
  if (xSource < 0 || ySource < 0 || static_cast<long long>(xSource) + sourceWidth > imageWidth ||
      static_cast<long long>(ySource) + sourceHeight > imageHeight) {
    return 0;
  }
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  const Display::Memory target = display->screenMemory();
  const Area area = visibleArea(*window, *display);
  int firstRow = 0, endRow = 0, firstColumn = 0, endColumn = 0;
  span(window->rect.top, yDest, destHeight, area.top, area.bottom, firstRow, endRow);
  span(window->rect.left, xDest, destWidth, area.left, area.right, firstColumn, endColumn);
  markChanged(firstColumn, firstRow, endColumn, endRow);
  // Which source column each screen column shows, worked out once.
  std::vector<int>& columns = sourceColumns;
  columns.resize(static_cast<std::size_t>(std::max(endColumn - firstColumn, 0)));
  for (int column = firstColumn; column < endColumn; ++column) {
    const long long destColumn = column - static_cast<long long>(window->rect.left) - xDest;
    columns[column - firstColumn] = xSource + static_cast<int>(destColumn * sourceWidth / destWidth);
  }
  int previousSourceRow = -1;
  for (int row = firstRow; row < endRow; ++row) {
    const long long destRow = row - static_cast<long long>(window->rect.top) - yDest;
    const int sourceRow = ySource + static_cast<int>(destRow * sourceHeight / destHeight);
    std::uint32_t* targetLine = target.pixels + static_cast<std::size_t>(row) * target.pitch;
    if (sourceRow == previousSourceRow) {
      // A row repeated by vertical scaling is the line above it again.
      std::copy(targetLine - target.pitch + firstColumn, targetLine - target.pitch + endColumn, targetLine + firstColumn);
      continue;
    }
    previousSourceRow = sourceRow;
    const int memoryRow = topDown ? sourceRow : imageHeight - 1 - sourceRow;
    const std::uint32_t* sourceLine = pixels + static_cast<std::size_t>(memoryRow) * imageWidth;
    if (sourceWidth == destWidth && !columns.empty()) {
      copyWithoutTopByte(targetLine + firstColumn, sourceLine + columns[0], columns.size());
      continue;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
      targetLine[firstColumn + i] = sourceLine[columns[i]] & 0x00FFFFFFu;
    }
  }
  return endRow > firstRow && endColumn > firstColumn ? endRow - firstRow : 0;
}

BOOL WINAPI PatBlt(HDC context, int x, int y, int width, int height, DWORD rop) {
  Window* window = windowOf(context);
  Display* display = openDisplay();
  if (window == nullptr || display == nullptr || rop != BLACKNESS) {
    return FALSE;
  }
  const Area area = visibleArea(*window, *display);
  const Display::Memory target = display->screenMemory();
  int left = 0, right = 0, top = 0, bottom = 0;
  span(window->rect.left, x, width, area.left, area.right, left, right);
  span(window->rect.top, y, height, area.top, area.bottom, top, bottom);
  markChanged(left, top, right, bottom);
  for (int row = top; row < bottom; ++row) {
    std::fill(target.pixels + static_cast<std::size_t>(row) * target.pitch + left,
              target.pixels + static_cast<std::size_t>(row) * target.pitch + right, 0u);
  }
  return TRUE;
}

}  // extern "C"
