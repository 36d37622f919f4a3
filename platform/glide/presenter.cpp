// Presenting the front buffer into the window through GDI, letterboxed to
// 4:3: the blocks that changed since the last present are converted a band
// at a time and stretched through a clip region made of their rectangles.
#include "presenter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <numeric>
#include <vector>

#include "conversion.h"

namespace softglide::detail {
namespace {

// The screen span [first, end) showing picture span [low, high) when
// pictureSize pixels are stretched to screenSize: the pixels i whose source
// floor(i * pictureSize / screenSize) lies in it, and when stretched one
// more on each side, for a GDI that rounds otherwise.
void screenSpan(int low, int high, int pictureSize, int screenSize, int& first, int& end) {
  const auto edge = [&](int picture) {
    return static_cast<int>((static_cast<long long>(picture) * screenSize + pictureSize - 1) / pictureSize);
  };
  first = edge(low);
  end = edge(high);
  if (pictureSize != screenSize) {
    first = std::max(first - 1, 0);
    end = std::min(end + 1, screenSize);
  }
}

// The blocks beside changed ones too: a stretched picture's clip
// rectangles reach one screen pixel further, which may show them.
std::uint64_t withNeighbours(std::uint64_t blocks, std::uint64_t allBlocks) {
  return (blocks | blocks << 1 | blocks >> 1) & allBlocks;
}

// Rows of the picture are converted and stretched a band at a time through
// one small buffer that stays in the cache. A band is a whole number of the
// stretch's periods (the fewest picture rows that fill a whole number of
// screen rows), so that stretching the bands one by one shows every screen
// row exactly as stretching the whole picture would.
int bandRowsFor(int pictureHeight) {
  constexpr int preferred = 32;
  const int period = screenHeight / std::gcd(screenHeight, pictureHeight);
  return period <= preferred ? period * (preferred / period) : period;
}

// The screen rectangles showing the blocks of memory rows [first, end):
// one for each run of them.
void addRectangles(std::uint64_t blocks, int first, int end, int left, int top, int pictureWidth,
                   int pictureHeight, std::vector<RECT>& rectangles) {
  int firstRow = 0, endRow = 0;
  screenSpan(first, end, screenHeight, pictureHeight, firstRow, endRow);
  while (blocks != 0) {
    const auto [firstBlock, endBlock] = firstRun(blocks);
    int firstColumn = 0, endColumn = 0;
    screenSpan(firstBlock * blockWidth, endBlock * blockWidth, screenWidth, pictureWidth, firstColumn, endColumn);
    rectangles.push_back({left + firstColumn, top + firstRow, left + endColumn, top + endRow});
  }
}

// The first and last pixel in [low, high) of a memory row where the two
// pictures differ; the span's blocks are known to differ.
void differingSpan(const std::uint16_t* picture, const std::uint16_t* previous, int low, int high, int& first,
                   int& last) {
  first = low;
  while (first < high - 1 && picture[first] == previous[first]) {
    ++first;
  }
  last = high - 1;
  while (last > first && picture[last] == previous[last]) {
    --last;
  }
}

// The screen rectangles showing the pixels of memory row that differ from
// the previous picture, one for each run of differing blocks, cut to the
// pixels that differ: on an enlarged picture each block is several screen
// pixels wide, which would all be stretched again for one changed pixel.
void addRowRectangles(std::uint64_t blocks, int row, const std::uint16_t* source, const std::uint16_t* previous,
                      int left, int top, int pictureWidth, int pictureHeight, std::vector<RECT>& rectangles) {
  int firstRow = 0, endRow = 0;
  screenSpan(row, row + 1, screenHeight, pictureHeight, firstRow, endRow);
  const std::size_t offset = static_cast<std::size_t>(row) * screenWidth;
  while (blocks != 0) {
    const auto [firstBlock, endBlock] = firstRun(blocks);
    int firstPixel = 0, lastPixel = 0;
    differingSpan(source + offset, previous + offset, firstBlock * blockWidth, endBlock * blockWidth, firstPixel,
                  lastPixel);
    int firstColumn = 0, endColumn = 0;
    screenSpan(firstPixel, lastPixel + 1, screenWidth, pictureWidth, firstColumn, endColumn);
    rectangles.push_back({left + firstColumn, top + firstRow, left + endColumn, top + endRow});
  }
}

// Limits drawing through the device context to the rectangles.
void clipTo(HDC context, const std::vector<RECT>& rectangles) {
  static std::vector<unsigned char> data;
  RGNDATAHEADER header{};
  header.dwSize = sizeof header;
  header.iType = RDH_RECTANGLES;
  header.nCount = static_cast<DWORD>(rectangles.size());
  header.rcBound = {0, 0, 0, 0};
  for (const RECT& rect : rectangles) {
    if (header.rcBound.left >= header.rcBound.right) {
      header.rcBound = rect;
    }
    header.rcBound = {std::min(header.rcBound.left, rect.left), std::min(header.rcBound.top, rect.top),
                      std::max(header.rcBound.right, rect.right), std::max(header.rcBound.bottom, rect.bottom)};
  }
  data.resize(sizeof header + rectangles.size() * sizeof(RECT));
  std::memcpy(data.data(), &header, sizeof header);
  if (!rectangles.empty()) {
    std::memcpy(data.data() + sizeof header, rectangles.data(), rectangles.size() * sizeof(RECT));
  }
  const HRGN region =
      ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<const RGNDATA*>(data.data()));
  SelectClipRgn(context, region);
  DeleteObject(region);
}

// Where the picture lies in the window's client area.
struct Placement {
  int left, top, width, height;
};

// Memory rows [first, first + rows) of the picture onto the screen: all of
// them when whole, else the blocks that changed. In groups of rows, the
// blocks changed in any row of the group are converted in all of them and
// shown; the rest of the band buffer holds other rows' pixels, which the
// clip region keeps off the screen. A band that changed nearly everywhere
// (the noise field) is shown whole.
void presentBand(HDC context, const Placement& picture, const std::uint16_t* source, const std::uint16_t* previous,
                 const std::uint64_t* changed, int first, int rows, bool whole, double gamma) {
  constexpr int groupRows = 4;  // rows that share the clip rectangles
  static std::vector<std::uint32_t> band;
  static std::vector<RECT> rectangles;
  std::array<std::uint64_t, screenHeight / groupRows> groupBlocks{};
  int changedBlocks = 0;
  for (int group = first; group < first + rows; group += groupRows) {
    const int groupEnd = std::min(group + groupRows, first + rows);
    std::uint64_t& blocks = groupBlocks[(group - first) / groupRows];
    for (int row = group; row < groupEnd; ++row) {
      blocks |= changed[row];
    }
    changedBlocks += std::popcount(blocks) * (groupEnd - group);
  }
  if (changedBlocks == 0 && !whole) {
    return;
  }
  const bool wholeBand = whole || changedBlocks * 4 >= rows * rowBlocks * 3;
  // Clip rectangles reach one screen pixel beyond the changed blocks of a
  // stretched picture, which shows the blocks and two rows beside them.
  const bool widened = !wholeBand && (picture.width != screenWidth || picture.height != screenHeight);
  // An enlarged picture is clipped to the pixels that differ from the
  // previous picture, row by row (its blocks are compared with it already).
  const bool enlarged = widened && picture.width > screenWidth && picture.height > screenHeight;
  band.resize(static_cast<std::size_t>(rows) * screenWidth);
  rectangles.clear();
  for (int group = first; group < first + rows; group += groupRows) {
    const int groupEnd = std::min(group + groupRows, first + rows);
    const std::uint64_t blocks = wholeBand ? allBlocks : groupBlocks[(group - first) / groupRows];
    const std::uint64_t converted = widened ? withNeighbours(blocks, allBlocks) : blocks;
    const int convertedFirst = widened ? std::max(group - 2, first) : group;
    const int convertedEnd = widened ? std::min(groupEnd + 2, first + rows) : groupEnd;
    for (int row = convertedFirst; row < convertedEnd && blocks != 0; ++row) {
      const std::size_t offset = static_cast<std::size_t>(row) * screenWidth;
      convertRowBlocks(source + offset, band.data() + static_cast<std::size_t>(row - first) * screenWidth, converted,
                       gamma);
    }
    if (wholeBand) {
      continue;
    }
    if (!enlarged) {
      addRectangles(blocks, group, groupEnd, picture.left, picture.top, picture.width, picture.height, rectangles);
      continue;
    }
    for (int row = group; row < groupEnd; ++row) {
      addRowRectangles(changed[row], row, source, previous, picture.left, picture.top, picture.width, picture.height,
                       rectangles);
    }
  }
  if (!wholeBand) {
    clipTo(context, rectangles);
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = screenWidth;
  info.bmiHeader.biHeight = -rows;  // top-down: the band's first memory row is its top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const int screenTop = picture.top + first * picture.height / screenHeight;
  const int screenBottom = picture.top + (first + rows) * picture.height / screenHeight;
  StretchDIBits(context, picture.left, screenTop, picture.width, screenBottom - screenTop, 0, 0, screenWidth, rows,
                band.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  if (!wholeBand) {
    SelectClipRgn(context, nullptr);
  }
}

// Of the candidate blocks of a memory row, those whose pixels differ
// between the two pictures.
std::uint64_t differingBlocks(const std::uint16_t* picture, const std::uint16_t* previous, int row,
                              std::uint64_t candidates) {
  const std::size_t offset = static_cast<std::size_t>(row) * screenWidth;
  std::uint64_t differing = 0;
  while (candidates != 0) {
    const int block = std::countr_zero(candidates);
    candidates &= candidates - 1;
    const std::size_t start = offset + static_cast<std::size_t>(block) * blockWidth;
    std::uint64_t words[2][blockWidth / 4];
    std::memcpy(words[0], picture + start, sizeof words[0]);
    std::memcpy(words[1], previous + start, sizeof words[1]);
    std::uint64_t difference = 0;
    for (int i = 0; i < blockWidth / 4; ++i) {
      difference |= words[0][i] ^ words[1][i];
    }
    differing |= difference != 0 ? std::uint64_t{1} << block : 0;
  }
  return differing;
}

}  // namespace

void presentPicture(HWND window, const std::uint16_t* source, const std::uint16_t* previous,
                    const BufferChanges& now, double gamma, PresenterState& state) {
  const HDC context = GetDC(window);
  if (context == nullptr) {
    state.presented = false;  // the window missed this picture: the next one is shown whole
    return;
  }
  RECT client{};
  GetClientRect(window, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  int pictureWidth = width;
  int pictureHeight = width * 3 / 4;
  if (pictureHeight > height) {
    pictureHeight = height;
    pictureWidth = height * 4 / 3;
  }
  const int left = (width - pictureWidth) / 2;
  const int top = (height - pictureHeight) / 2;

  // After the first present only the blocks that differ from the picture
  // shown last can have changed: those written in either picture since
  // their clears, when the clears had the same colour, and of those the
  // ones whose pixels differ from the previous picture's. Only those are
  // converted and shown, except on the first present, after a size change
  // or a new clear colour, and once a second, so that anything that drew
  // over the window is painted over in the end.
  const BufferChanges& shown = state.shown;
  const bool sameClear = now.red == shown.red && now.green == shown.green && now.blue == shown.blue;
  const bool sameSize = width == state.paintedWidth && height == state.paintedHeight;
  const bool refresh = ++state.presentsSinceWhole >= 60;
  // A picture shrunk to under half its size is shown whole: its clip
  // rectangles would need more than one pixel to spare.
  const bool tiny = 2 * pictureWidth < screenWidth || 2 * pictureHeight < screenHeight;
  const bool whole = !state.presented || !sameClear || !sameSize || refresh || tiny;
  if (whole) {
    state.presentsSinceWhole = 0;
  }
  static std::array<std::uint64_t, screenHeight> changed;
  for (int row = 0; row < screenHeight; ++row) {
    changed[row] = whole ? now.blocks[row] | shown.blocks[row]
                         : differingBlocks(source, previous, row, now.blocks[row] | shown.blocks[row]);
  }
  const Placement picture{left, top, pictureWidth, pictureHeight};
  const int bandRows = bandRowsFor(pictureHeight);
  for (int first = 0; first < screenHeight; first += bandRows) {
    presentBand(context, picture, source, previous, changed.data(), first,
                std::min(bandRows, screenHeight - first), whole, gamma);
  }
  state.shown = now;
  state.presented = true;
  // The bars beside the picture are the presenter's to paint: on the first
  // present and whenever the window's size changes.
  if (width != state.paintedWidth || height != state.paintedHeight) {
    PatBlt(context, 0, 0, left, height, BLACKNESS);
    PatBlt(context, left + pictureWidth, 0, width - left - pictureWidth, height, BLACKNESS);
    PatBlt(context, left, 0, pictureWidth, top, BLACKNESS);
    PatBlt(context, left, top + pictureHeight, pictureWidth, height - top - pictureHeight, BLACKNESS);
    state.paintedWidth = width;
    state.paintedHeight = height;
  }
  if (ReleaseDC(window, context) == 0) {
    state.presented = false;  // not shown after all: the next picture is shown whole
  }
}

}  // namespace softglide::detail
