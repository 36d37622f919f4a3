// The GDI calls that presenting needs: device contexts of windows,
// SetDIBitsToDevice of 32-bit pictures, PatBlt in black, and clip regions
// made of rectangles, with their box. Drawing lands in the screen buffer;
// releasing the device context shows it on the display.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "internal.h"

namespace win32::detail {
namespace {

std::vector<RECT> changed;  // what drawing touched since the last present

void markChanged(int left, int top, int right, int bottom) {
  if (left < right && top < bottom) {
    changed.push_back({left, top, right, bottom});
  }
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

using PixelOrder = win32::Display::PixelOrder;

// Pixels 0x00RRGGBB (a word, or the compiler's vector of them, taken by
// reference so that no vector crosses a call) put in the screen's order:
// for the canvas's, red and blue change places (which is its own inverse)
// and alpha is 255. The order is a template argument, so that loops over
// pixels do not test it each step.
template <PixelOrder order, typename Pixels>
void putInScreenOrder(Pixels& pixels) {
  if constexpr (order == PixelOrder::rgba) {
    pixels = 0xFF000000u | (pixels & 0x0000FF00u) | (pixels >> 16 & 0xFFu) | (pixels & 0xFFu) << 16;
  }
}

// A row of 32-bit pixels without their unused top byte, in the screen's
// order, four at a time in the compiler's vector type (one instruction a
// step where the processor has a vector unit, four where it has none, as a
// plain loop would take).
template <PixelOrder order>
void copyInScreenOrder(std::uint32_t* target, const std::uint32_t* source, std::size_t count) {
  typedef std::uint32_t Four __attribute__((vector_size(16)));
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    Four pixels;
    std::memcpy(&pixels, source + i, sizeof pixels);
    pixels &= 0x00FFFFFFu;
    putInScreenOrder<order>(pixels);
    std::memcpy(target + i, &pixels, sizeof pixels);
  }
  for (; i < count; ++i) {
    target[i] = source[i] & 0x00FFFFFFu;
    putInScreenOrder<order>(target[i]);
  }
}

// A 16-bit picture of 5-6-5 words (BI_BITFIELDS with those masks, which
// follow the header where the colour table would be): the only one besides
// 32-bit BI_RGB that this GDI takes.
bool fiveSixFive(const BITMAPINFOHEADER& header, const RGBQUAD* colors) {
  if (header.biBitCount != 16 || header.biCompression != BI_BITFIELDS) {
    return false;
  }
  DWORD masks[3];
  std::memcpy(masks, colors, sizeof masks);
  return masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F;
}

// A 5-6-5 word as 0x00RRGGBB by its two bytes: red comes from the high byte,
// blue from the low one, and green's six bits, three from each, replicate
// into bits that either byte alone decides; so a pixel is two look-ups, or'd.
struct ByteTables {
  std::uint32_t high[256], low[256];
};

constexpr ByteTables makeByteTables() {
  ByteTables made{};
  for (std::uint32_t byte = 0; byte < 256; ++byte) {
    const std::uint32_t highGreen = (byte & 0x07) << 5 | (byte & 0x07) >> 1;  // green bits 5-3 and 1-0
    made.high[byte] = (((byte & 0xF8) | byte >> 5) << 16) | highGreen << 8;
    const std::uint32_t lowGreen = (byte >> 5) << 2;  // green bits 4-2
    made.low[byte] = lowGreen << 8 | (byte & 0x1F) << 3 | (byte & 0x1F) >> 2;
  }
  return made;
}

constexpr ByteTables byteTables = makeByteTables();

// 5-6-5 words as 0x00RRGGBB in the screen's order, each channel's bits
// replicated into the low ones (31 is 255, as Wine converts too): eight at
// a time in the compiler's vector types where the processor has a vector
// unit (without one they would be taken apart lane by lane), the rest by
// the bytes.
template <PixelOrder order>
void replicateFiveSixFive(std::uint32_t* target, const std::uint16_t* source, std::size_t count) {
  std::size_t i = 0;
#if !defined(__i386__) || defined(__SSE2__)
  typedef std::uint16_t Words __attribute__((vector_size(16)));
  typedef std::uint32_t Pixels __attribute__((vector_size(32)));
  for (; i + 8 <= count; i += 8) {
    Words words;
    std::memcpy(&words, source + i, sizeof words);
    const Pixels pixel = __builtin_convertvector(words, Pixels);
    const Pixels red = ((pixel >> 8) & 0xF8) | (pixel >> 13);
    const Pixels green = ((pixel >> 3) & 0xFC) | ((pixel >> 9) & 0x03);
    const Pixels blue = ((pixel << 3) & 0xF8) | ((pixel >> 2) & 0x07);
    Pixels result = (red << 16) | (green << 8) | blue;
    putInScreenOrder<order>(result);
    std::memcpy(target + i, &result, sizeof result);
  }
#endif
  for (; i < count; ++i) {
    target[i] = byteTables.high[source[i] >> 8] | byteTables.low[source[i] & 0xFF];
    putInScreenOrder<order>(target[i]);
  }
}

// The two kinds of rows that SetDIBitsToDevice writes, for the screen's
// order: chosen once a call.
struct RowWriters {
  void (*copy)(std::uint32_t* target, const std::uint32_t* source, std::size_t count);
  void (*replicate)(std::uint32_t* target, const std::uint16_t* source, std::size_t count);
};

RowWriters rowWriters(PixelOrder order) {
  if (order == PixelOrder::rgba) {
    return {copyInScreenOrder<PixelOrder::rgba>, replicateFiveSixFive<PixelOrder::rgba>};
  }
  return {copyInScreenOrder<PixelOrder::xrgb>, replicateFiveSixFive<PixelOrder::xrgb>};
}

// The screen span [first, end) that a window offset plus a start and a length
// cover, inside [low, high); in 64 bits, so that no argument can overflow.
void span(long long origin, long long start, long long length, int low, int high, int& first, int& end) {
  first = static_cast<int>(std::clamp(origin + start, static_cast<long long>(low), static_cast<long long>(high)));
  end = static_cast<int>(
      std::clamp(origin + start + length, static_cast<long long>(first), static_cast<long long>(high)));
}

// The part of the screen that a window's client area covers.
Area visibleArea(const Window& window, const Display& display) {
  return {std::max<int>(window.rect.left, 0), std::max<int>(window.rect.top, 0),
          std::min<int>(window.rect.right, display.width()), std::min<int>(window.rect.bottom, display.height())};
}

// Regions by handle, and the clip region selected into each window's
// device context (none: drawing is clipped to the window alone). A device
// context from GetDC starts without one, as a common one does. A present
// makes, selects and deletes regions many times a frame: the few that live
// at once are searched in a list, and their rectangle lists are kept for the
// next ones rather than freed. Handles are never used twice.
struct Region {
  HRGN handle;
  std::vector<RECT> rectangles;
};
std::vector<Region> regions;
std::vector<std::vector<RECT>> spareLists;
std::uintptr_t lastRegion = 0;
struct Clip {
  HWND window;
  bool selected;
  std::vector<RECT> rectangles;
};
std::vector<Clip> clips;

Region* findRegion(HRGN handle) {
  for (Region& region : regions) {
    if (region.handle == handle) {
      return &region;
    }
  }
  return nullptr;
}

Clip* clipOf(HWND window) {
  for (Clip& clip : clips) {
    if (clip.window == window) {
      return clip.selected ? &clip : nullptr;
    }
  }
  return nullptr;
}

void selectNoClip(HWND window) {
  for (Clip& clip : clips) {
    if (clip.window == window) {
      clip.selected = false;
    }
  }
}

void selectClip(HWND window, const std::vector<RECT>& rectangles) {
  for (Clip& clip : clips) {
    if (clip.window == window) {
      clip.selected = true;
      clip.rectangles.assign(rectangles.begin(), rectangles.end());
      return;
    }
  }
  clips.push_back({window, true, rectangles});
}

// The parts of area that drawing may touch: area itself, or its overlap
// with each rectangle of the clip region (client coordinates). Valid until
// the next call.
std::vector<Area> parts;  // drawableParts' answer

const std::vector<Area>& drawableParts(const Window& window, const Area& area) {
  parts.clear();
  const Clip* clip = clipOf(window.handle);
  if (clip == nullptr) {
    parts.push_back(area);
    return parts;
  }
  for (const RECT& rect : clip->rectangles) {
    int left = 0, right = 0, top = 0, bottom = 0;
    span(window.rect.left, rect.left, static_cast<long long>(rect.right) - rect.left, area.left, area.right, left,
         right);
    span(window.rect.top, rect.top, static_cast<long long>(rect.bottom) - rect.top, area.top, area.bottom, top, bottom);
    if (left < right && top < bottom) {
      parts.push_back({left, top, right, bottom});
    }
  }
  return parts;
}

}  // namespace

std::vector<std::uint32_t> screenCopy() {
  std::vector<std::uint32_t> copy;
  if (Display* display = openDisplay()) {
    const Display::Memory memory = display->screenMemory();
    for (int y = 0; memory.pixels != nullptr && y < display->height(); ++y) {
      copy.insert(copy.end(), memory.pixels + y * memory.pitch, memory.pixels + y * memory.pitch + display->width());
    }
  }
  return copy;
}

}  // namespace win32::detail

using namespace win32::detail;
using win32::Display;

extern "C" {

HDC WINAPI GetDC(HWND window) {
  if (findWindow(window) == nullptr || openDisplay() == nullptr) {
    return nullptr;
  }
  selectNoClip(window);
  return contextOf(window);
}

int WINAPI ReleaseDC(HWND, HDC context) {
  Window* window = windowOf(context);
  Display* display = openDisplay();
  if (window == nullptr || display == nullptr) {
    return 0;
  }
  selectNoClip(window->handle);
  if (window->visible) {
    const bool shown = display->present(changed);
    changed.clear();
    return shown ? 1 : 0;
  }
  return 1;
}

// A 32-bit BI_RGB picture copied 1:1 into the window, clipped to the window,
// the screen and the clip region. As on Windows, the bits hold lines scan
// lines from startScan on, and the source rectangle's top row lies
// startScan + lines - (ySource + height) rows below the top of those lines
// (the source y counts from the bottom of the lines, for top-down pictures
// too). Returns the number of scan lines, or 0 for what it cannot do.
int WINAPI SetDIBitsToDevice(HDC context, int xDest, int yDest, DWORD width, DWORD height, int xSource, int ySource,
                             UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  Window* window = windowOf(context);
  Display* display = openDisplay();
  if (window == nullptr || display == nullptr || bits == nullptr || info == nullptr || usage != DIB_RGB_COLORS ||
      info->bmiHeader.biWidth <= 0 || info->bmiHeader.biHeight == 0) {
    return 0;
  }
  const bool words = fiveSixFive(info->bmiHeader, info->bmiColors);
  if (!words && (info->bmiHeader.biBitCount != 32 || info->bmiHeader.biCompression != BI_RGB)) {
    return 0;
  }
  const long long imageWidth = info->bmiHeader.biWidth;
  const long long imageHeight = std::abs(static_cast<long long>(info->bmiHeader.biHeight));
  const bool topDown = info->bmiHeader.biHeight < 0;
  if (startScan >= imageHeight) {
    return 0;
  }
  const long long lineCount = topDown ? lines : std::min<long long>(lines, imageHeight - startScan);
  // The source rectangle in the lines given, counted from their top row.
  const long long sourceTop =
      static_cast<long long>(startScan) + lineCount - (static_cast<long long>(ySource) + height);
  const long long columnFirst = std::max<long long>(xSource, 0);
  const long long columnEnd = std::min<long long>(static_cast<long long>(xSource) + width, imageWidth);
  const long long rowFirst = std::max<long long>(sourceTop, 0);
  const long long rowEnd = std::min<long long>(sourceTop + height, lineCount);
  const Display::Memory target = display->screenMemory();
  if (target.pixels == nullptr) {
    return 0;  // the display has no memory for the screen
  }
  if (columnFirst >= columnEnd || rowFirst >= rowEnd) {
    return static_cast<int>(lineCount);
  }
  // Screen pixel (x, y) shows source column x - shiftX and line y - shiftY.
  const long long shiftX = static_cast<long long>(window->rect.left) + xDest - xSource;
  const long long shiftY = static_cast<long long>(window->rect.top) + yDest - sourceTop;
  const Area visible = visibleArea(*window, *display);
  Area whole{};
  span(shiftX, columnFirst, columnEnd - columnFirst, visible.left, visible.right, whole.left, whole.right);
  span(shiftY, rowFirst, rowEnd - rowFirst, visible.top, visible.bottom, whole.top, whole.bottom);
  // Rows of 32-bit pixels are a whole number of words; rows of 16-bit ones
  // are padded to one.
  const long long rowWords = words ? (imageWidth + 1) / 2 : imageWidth;
  const RowWriters writers = rowWriters(target.order);
  for (const Area& part : drawableParts(*window, whole)) {
    if (part.left >= part.right || part.top >= part.bottom) {
      continue;
    }
    markChanged(part.left, part.top, part.right, part.bottom);
    for (int y = part.top; y < part.bottom; ++y) {
      const long long line = y - shiftY;
      const long long memoryRow = topDown ? line : lineCount - 1 - line;
      std::uint32_t* targetRow = target.pixels + static_cast<std::size_t>(y) * target.pitch + part.left;
      const std::size_t count = static_cast<std::size_t>(part.right - part.left);
      const long long column = part.left - shiftX;
      if (words) {
        writers.replicate(targetRow, static_cast<const std::uint16_t*>(bits) + memoryRow * rowWords * 2 + column,
                          count);
      } else {
        writers.copy(targetRow, static_cast<const std::uint32_t*>(bits) + memoryRow * rowWords + column, count);
      }
    }
  }
  return static_cast<int>(lineCount);
}

BOOL WINAPI PatBlt(HDC context, int x, int y, int width, int height, DWORD rop) {
  Window* window = windowOf(context);
  Display* display = openDisplay();
  if (window == nullptr || display == nullptr || rop != BLACKNESS) {
    return FALSE;
  }
  const Area visible = visibleArea(*window, *display);
  const Display::Memory target = display->screenMemory();
  if (target.pixels == nullptr) {
    return FALSE;
  }
  Area whole{};
  span(window->rect.left, x, width, visible.left, visible.right, whole.left, whole.right);
  span(window->rect.top, y, height, visible.top, visible.bottom, whole.top, whole.bottom);
  std::uint32_t black = 0;
  if (target.order == PixelOrder::rgba) {
    putInScreenOrder<PixelOrder::rgba>(black);
  }
  for (const Area& part : drawableParts(*window, whole)) {
    markChanged(part.left, part.top, part.right, part.bottom);
    for (int row = part.top; row < part.bottom; ++row) {
      std::fill(target.pixels + static_cast<std::size_t>(row) * target.pitch + part.left,
                target.pixels + static_cast<std::size_t>(row) * target.pitch + part.right, black);
    }
  }
  return TRUE;
}

// The rectangles are kept as given; overlapping ones are drawn twice, which
// gives the same pixels as drawing their union once.
HRGN WINAPI ExtCreateRegion(const XFORM* transform, DWORD bytes, const RGNDATA* data) {
  if (transform != nullptr || data == nullptr || bytes < sizeof(RGNDATAHEADER) ||
      data->rdh.dwSize != sizeof(RGNDATAHEADER) || data->rdh.iType != RDH_RECTANGLES ||
      data->rdh.nCount > (bytes - sizeof(RGNDATAHEADER)) / sizeof(RECT)) {
    return nullptr;
  }
  std::vector<RECT> rects;
  if (!spareLists.empty()) {
    rects = std::move(spareLists.back());
    spareLists.pop_back();
    rects.clear();
  }
  rects.reserve(data->rdh.nCount);
  const char* next = reinterpret_cast<const char*>(data) + sizeof(RGNDATAHEADER);
  for (DWORD i = 0; i < data->rdh.nCount; ++i, next += sizeof(RECT)) {
    RECT rect;
    std::memcpy(&rect, next, sizeof rect);
    if (rect.left < rect.right && rect.top < rect.bottom) {
      rects.push_back(rect);
    }
  }
  const HRGN region = reinterpret_cast<HRGN>(++lastRegion << 4);
  regions.push_back({region, std::move(rects)});
  return region;
}

// The region is copied: it may be deleted once selected. Null selects none.
int WINAPI SelectClipRgn(HDC context, HRGN region) {
  Window* window = windowOf(context);
  if (window == nullptr) {
    return ERROR;
  }
  if (region == nullptr) {
    selectNoClip(window->handle);
    return SIMPLEREGION;
  }
  const Region* found = findRegion(region);
  if (found == nullptr) {
    return ERROR;
  }
  selectClip(window->handle, found->rectangles);
  return found->rectangles.empty() ? NULLREGION : (found->rectangles.size() == 1 ? SIMPLEREGION : COMPLEXREGION);
}

// The box around what drawing through the context may touch, in client
// coordinates: the window's part of the screen, and of that the clip
// region's rectangles when one is selected.
int WINAPI GetClipBox(HDC context, RECT* box) {
  Window* window = windowOf(context);
  Display* display = openDisplay();
  if (window == nullptr || display == nullptr || box == nullptr) {
    return ERROR;
  }
  const Area visible = visibleArea(*window, *display);
  const std::vector<Area>& parts = drawableParts(*window, visible);
  Area bound{0, 0, 0, 0};
  int count = 0;
  for (const Area& part : parts) {
    if (part.left >= part.right || part.top >= part.bottom) {
      continue;
    }
    bound = count++ == 0 ? part
                         : Area{std::min(bound.left, part.left), std::min(bound.top, part.top),
                                std::max(bound.right, part.right), std::max(bound.bottom, part.bottom)};
  }
  *box = {bound.left - window->rect.left, bound.top - window->rect.top, bound.right - window->rect.left,
          bound.bottom - window->rect.top};
  if (count == 0) {
    *box = {0, 0, 0, 0};
    return NULLREGION;
  }
  return count == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// The window pixel at client (x, y) as 0x00BBGGRR, or CLR_INVALID where
// drawing through the context could not reach.
COLORREF WINAPI GetPixel(HDC context, int x, int y) {
  Window* window = windowOf(context);
  Display* display = openDisplay();
  if (window == nullptr || display == nullptr) {
    return CLR_INVALID;
  }
  const Display::Memory memory = display->screenMemory();
  const long long screenX = static_cast<long long>(window->rect.left) + x;
  const long long screenY = static_cast<long long>(window->rect.top) + y;
  const Area visible = visibleArea(*window, *display);
  if (memory.pixels == nullptr || screenX < visible.left || screenX >= visible.right || screenY < visible.top ||
      screenY >= visible.bottom) {
    return CLR_INVALID;
  }
  const std::uint32_t pixel = memory.pixels[static_cast<std::size_t>(screenY) * memory.pitch + screenX];
  // Bytes R, G, B are a COLORREF's own order.
  return memory.order == PixelOrder::rgba ? pixel & 0x00FFFFFFu
                                          : (pixel >> 16 & 0xFF) | (pixel & 0xFF00) | (pixel & 0xFF) << 16;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
  Region* found = findRegion(static_cast<HRGN>(object));
  if (found == nullptr) {
    return FALSE;
  }
  spareLists.push_back(std::move(found->rectangles));
  if (found != &regions.back()) {
    *found = std::move(regions.back());
  }
  regions.pop_back();
  return TRUE;
}

}  // extern "C"
