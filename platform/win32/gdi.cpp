// The GDI calls that presenting needs: device contexts of windows,
// StretchDIBits of 32-bit pictures, PatBlt in black, and clip regions made
// of rectangles. Drawing lands in the screen buffer; releasing the device
// context shows it on the display.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "internal.h"

namespace win32::detail {
namespace {

// Which source column each screen column of the last stretch showed, and
// where the run of screen columns showing the same source column ends; which
// source row each screen row showed. Kept for the next stretch with the same
// geometry, which is every present of a picture.
struct SourceTable {
  std::array<long long, 6> key{};
  std::vector<int> sources;  // by screen column (or row) from the first drawn
  std::vector<int> runEnds;  // the first index past the run of equal sources
  // For an enlarging stretch, the eight columns from each one on as source
  // offsets from its own source, one byte each (0 past the last column):
  // eight screen pixels never show more than eight source pixels then.
  bool enlarging = false;
  std::vector<std::uint64_t> eights;
};
SourceTable sourceColumns;
SourceTable sourceRows;
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

// A row of 32-bit pixels without their unused top byte. A plain loop: the
// compiler makes it vector code where the processor has a vector unit, and
// leaves it a word at a time where it has none (vector types would be taken
// apart lane by lane there).
void copyWithoutTopByte(std::uint32_t* target, const std::uint32_t* source, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    target[i] = source[i] & 0x00FFFFFFu;
  }
}

// Screen pixels [first, end) of a row, each from the source pixel its
// column shows, a run of equal columns at a time, without the unused top
// byte; target holds pixel first.
void stretchRow(std::uint32_t* target, const std::uint32_t* source, const SourceTable& columns, int first, int end) {
  const int* sources = columns.sources.data();
  const int* runEnds = columns.runEnds.data();
  for (int i = first; i < end;) {
    const std::uint32_t pixel = source[sources[i]] & 0x00FFFFFFu;
    const int stop = std::min(runEnds[i], end);
    for (; i < stop; ++i) {
      target[i - first] = pixel;
    }
  }
}

#if defined(__x86_64__) || defined(__i386__)
// With AVX2 an enlarged row takes eight screen pixels a step: the eight
// source pixels from the first one's, put in place by one permutation from
// the table (the last, partial step stores only what is left). Source pixels
// are read eight at a time only inside the source row (rowWidth pixels).
__attribute__((target("avx2"))) void stretchRowAvx2(std::uint32_t* target, const std::uint32_t* source,
                                                    int rowWidth, const SourceTable& columns, int first, int end) {
  const int* sources = columns.sources.data();
  const __m256i noTopByte = _mm256_set1_epi32(0x00FFFFFF);
  int i = first;
  for (; i < end; i += 8) {
    const int from = sources[i];
    if (from + 8 > rowWidth) {
      break;
    }
    __m256i pixels;
    std::memcpy(&pixels, source + from, sizeof pixels);
    __m128i offsets = _mm_setzero_si128();
    std::memcpy(&offsets, columns.eights.data() + i, sizeof columns.eights[0]);
    const __m256i placed =
        _mm256_and_si256(_mm256_permutevar8x32_epi32(pixels, _mm256_cvtepu8_epi32(offsets)), noTopByte);
    if (end - i >= 8) {
      std::memcpy(target + (i - first), &placed, sizeof placed);
    } else {
      const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
      const __m256i lanesLeft = _mm256_cmpgt_epi32(_mm256_set1_epi32(end - i), lanes);
      _mm256_maskstore_epi32(reinterpret_cast<int*>(target + (i - first)), lanesLeft, placed);
    }
  }
  if (i < end) {
    stretchRow(target + (i - first), source, columns, i, end);
  }
}
#endif

void scaleRow(std::uint32_t* target, const std::uint32_t* source, [[maybe_unused]] int rowWidth,
              const SourceTable& columns, int first, int end) {
#if defined(__x86_64__) || defined(__i386__)
  // SOFTGLIDE_NO_AVX2=1 keeps the process to the plain paths, here as in
  // the software Glide (which reports any other value as ignored).
  static const bool avx2 = [] {
    const char* off = std::getenv("SOFTGLIDE_NO_AVX2");
    return __builtin_cpu_supports("avx2") && (off == nullptr || std::strcmp(off, "1") != 0);
  }();
  if (avx2 && columns.enlarging) {
    stretchRowAvx2(target, source, rowWidth, columns, first, end);
    return;
  }
#endif
  stretchRow(target, source, columns, first, end);
}

// A row repeated by vertical scaling (the two never overlap), in copies of
// a fixed size that the compiler makes a few moves each: eight pixels a
// step, the last step overlapping the one before.
void copyRow(std::uint32_t* target, const std::uint32_t* source, int count) {
  constexpr std::size_t eight = 8 * sizeof *target;
  if (count >= 8) {
    int i = 0;
    for (; i + 8 <= count; i += 8) {
      std::memcpy(target + i, source + i, eight);
    }
    if (i < count) {
      std::memcpy(target + count - 8, source + count - 8, eight);
    }
  } else if (count >= 4) {
    std::memcpy(target, source, eight / 2);
    std::memcpy(target + count - 4, source + count - 4, eight / 2);
  } else {
    for (int i = 0; i < count; ++i) {
      target[i] = source[i];
    }
  }
}

// The screen span [first, end) that a window offset plus a start and a length
// cover, inside [low, high); in 64 bits, so that no argument can overflow.
void span(long long origin, long long start, long long length, int low, int high, int& first, int& end) {
  first = static_cast<int>(std::clamp(origin + start, static_cast<long long>(low), static_cast<long long>(high)));
  end = static_cast<int>(std::clamp(origin + start + length, static_cast<long long>(first), static_cast<long long>(high)));
}

// The source pixel under the centre of destination pixel i (0 <= i < destSize).
int nearestSource(long long i, int sourceSize, int destSize) {
  return static_cast<int>((2 * i + 1) * sourceSize / (2 * static_cast<long long>(destSize)));
}

// The source pixel each screen pixel in [low, high) shows when sourceSize
// pixels from sourceStart are stretched onto destSize from screen position
// origin, and the runs of equal ones; kept while the geometry stays.
void fillSources(SourceTable& table, long long origin, int destSize, int sourceStart, int sourceSize, int low,
                 int high) {
  const std::array<long long, 6> key = {origin, destSize, sourceStart, sourceSize, low, high};
  if (key == table.key && !table.sources.empty()) {
    return;
  }
  table.key = key;
  const std::size_t count = static_cast<std::size_t>(std::max(high - low, 0));
  table.sources.resize(count);
  table.runEnds.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    table.sources[i] = sourceStart + nearestSource(low + static_cast<long long>(i) - origin, sourceSize, destSize);
  }
  for (std::size_t i = count; i-- > 0;) {
    const bool runGoesOn = i + 1 < count && table.sources[i + 1] == table.sources[i];
    table.runEnds[i] = runGoesOn ? table.runEnds[i + 1] : static_cast<int>(i + 1);
  }
  table.enlarging = destSize >= sourceSize;
  table.eights.assign(table.enlarging ? count : 0, 0);
  for (std::size_t i = 0; i < table.eights.size(); ++i) {
    for (std::size_t k = 1; k < 8 && i + k < count; ++k) {
      table.eights[i] |= static_cast<std::uint64_t>(table.sources[i + k] - table.sources[i]) << (8 * k);
    }
  }
}

// The part of the screen that a window's client area covers.
Area visibleArea(const Window& window, const Display& display) {
  return {std::max<int>(window.rect.left, 0), std::max<int>(window.rect.top, 0),
          std::min<int>(window.rect.right, display.width()),
          std::min<int>(window.rect.bottom, display.height())};
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
const std::vector<Area>& drawableParts(const Window& window, const Area& area) {
  static std::vector<Area> parts;
  parts.clear();
  const Clip* clip = clipOf(window.handle);
  if (clip == nullptr) {
    parts.push_back(area);
    return parts;
  }
  for (const RECT& rect : clip->rectangles) {
    int left = 0, right = 0, top = 0, bottom = 0;
    span(window.rect.left, rect.left, static_cast<long long>(rect.right) - rect.left, area.left, area.right, left, right);
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

// Nearest-neighbour scaling of a 32-bit BI_RGB picture (top-down when its
// height is negative) into the window, clipped to the window and the screen.
// Each screen pixel shows the source pixel under its centre, as Windows'
// GDI does.
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
  if (target.pixels == nullptr) {
    return 0;  // the display has no memory for the screen
  }
  const Area visible = visibleArea(*window, *display);
  Area whole{};
  span(window->rect.top, yDest, destHeight, visible.top, visible.bottom, whole.top, whole.bottom);
  span(window->rect.left, xDest, destWidth, visible.left, visible.right, whole.left, whole.right);
  // Which source column and row each screen column and row shows, worked
  // out once for a geometry.
  fillSources(sourceColumns, static_cast<long long>(window->rect.left) + xDest, destWidth, xSource, sourceWidth,
              whole.left, whole.right);
  fillSources(sourceRows, static_cast<long long>(window->rect.top) + yDest, destHeight, ySource, sourceHeight,
              whole.top, whole.bottom);
  const std::vector<int>& rows = sourceRows.sources;
  // Every part maps its screen pixels as the whole picture does, so a
  // picture drawn in parts is the same as one drawn at once. Each source
  // row a part shows is scaled once; the screen rows repeating it are
  // copies of the line above.
  for (const Area& part : drawableParts(*window, whole)) {
    if (part.left >= part.right || part.top >= part.bottom) {
      continue;
    }
    markChanged(part.left, part.top, part.right, part.bottom);
    const int first = part.left - whole.left;
    const int end = part.right - whole.left;
    const int width = end - first;
    int previousSourceRow = -1;
    for (int row = part.top; row < part.bottom; ++row) {
      const int sourceRow = rows[static_cast<std::size_t>(row - whole.top)];
      std::uint32_t* targetLine = target.pixels + static_cast<std::size_t>(row) * target.pitch + part.left;
      if (sourceRow == previousSourceRow) {
        copyRow(targetLine, targetLine - target.pitch, width);
        continue;
      }
      previousSourceRow = sourceRow;
      const int memoryRow = topDown ? sourceRow : imageHeight - 1 - sourceRow;
      const std::uint32_t* sourceLine = pixels + static_cast<std::size_t>(memoryRow) * imageWidth;
      if (sourceWidth == destWidth) {
        copyWithoutTopByte(targetLine, sourceLine + sourceColumns.sources[static_cast<std::size_t>(first)],
                           static_cast<std::size_t>(width));
        continue;
      }
      scaleRow(targetLine, sourceLine, imageWidth, sourceColumns, first, end);
    }
  }
  return whole.bottom > whole.top && whole.right > whole.left ? whole.bottom - whole.top : 0;
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
  for (const Area& part : drawableParts(*window, whole)) {
    markChanged(part.left, part.top, part.right, part.bottom);
    for (int row = part.top; row < part.bottom; ++row) {
      std::fill(target.pixels + static_cast<std::size_t>(row) * target.pitch + part.left,
                target.pixels + static_cast<std::size_t>(row) * target.pitch + part.right, 0u);
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
