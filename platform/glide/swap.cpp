// Buffer swaps paced to the board's own 60 Hz retrace, and presenting the
// front buffer into the window through GDI, letterboxed to 4:3.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <utility>
#include <vector>

#include "board.h"
#include "environment.h"
#include "pixel.h"
#include "runlog.h"

#ifdef _WIN32
#include <mmsystem.h>
#else
#include <time.h>
#endif

namespace softglide::detail {
namespace {

using Clock = RetraceClock;
constexpr auto retracePeriod = std::chrono::duration<double>(1.0 / 60.0);

// FX_GLIDE_SWAPINTERVAL, when set to a valid interval, overrides the
// program's swap interval.
int effectiveInterval(int requested) {
  return swapIntervalOverride().value_or(requested);
}

// Sleeps, never spins: on Windows with the system timer at 1 ms while the
// board is open; in a browser page, giving the page its turn. Elsewhere a
// signal ends the sleep early (the swap then comes a little soon), so that
// the program sees it, or its quit request, now.
void sleepUntil(Clock::time_point target) {
#if defined(_WIN32) || defined(__EMSCRIPTEN__)
  const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(target - Clock::now());
  if (remaining.count() > 0) {
    Sleep(static_cast<DWORD>(remaining.count()));
  }
#else
  static_assert(Clock::is_steady);  // std::chrono::steady_clock is CLOCK_MONOTONIC
  const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(target.time_since_epoch()).count();
  if (since <= 0) {
    return;
  }
  timespec wake{};
  wake.tv_sec = static_cast<time_t>(since / 1'000'000'000);
  wake.tv_nsec = static_cast<long>(since % 1'000'000'000);
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
#endif
}

// Sleeps until the interval-th retrace from now on a steady timeline that
// starts when the board is opened.
void waitForRetrace(Board& state, int interval) {
  const auto elapsed = std::chrono::duration<double>(Clock::now() - state.timelineStart);
  const long long passed = static_cast<long long>(elapsed / retracePeriod);
  const long long target = std::max(passed + interval, state.retracesWaited + 1);
  state.retracesWaited = target;
  sleepUntil(state.timelineStart + std::chrono::duration_cast<Clock::duration>(target * retracePeriod));
}

// The output gamma that SST_GAMMA sets (1.0 when unset).
double outputGamma() {
  static const double gamma = [] {
    if (const char* value = std::getenv("SST_GAMMA")) {
      const double parsed = std::atof(value);
      if (parsed > 0.0 && std::isfinite(parsed)) {
        return parsed;
      }
    }
    return 1.0;
  }();
  return gamma;
}

// 5-6-5 to 0x00RRGGBB by bit replication, through the output gamma.
const std::array<std::uint32_t, 65536>& presentTable() {
  static const std::array<std::uint32_t, 65536> table = [] {
    const double gamma = outputGamma();
    std::array<std::uint8_t, 256> curve{};
    for (int level = 0; level < 256; ++level) {
      curve[level] = static_cast<std::uint8_t>(std::lround(255.0 * std::pow(level / 255.0, 1.0 / gamma)));
    }
    std::array<std::uint32_t, 65536> result{};
    for (std::uint32_t word = 0; word < 65536; ++word) {
      const auto pixel = static_cast<std::uint16_t>(word);
      result[word] = static_cast<std::uint32_t>(curve[pixel::red8(pixel)]) << 16 |
                     static_cast<std::uint32_t>(curve[pixel::green8(pixel)]) << 8 | curve[pixel::blue8(pixel)];
    }
    return result;
  }();
  return table;
}

// The first run of neighbouring set bits in blocks, as [first, end); the
// run is taken out of blocks.
[[gnu::always_inline]] inline std::pair<int, int> firstRun(std::uint64_t& blocks) {
  const int first = std::countr_zero(blocks);
  const int end = first + std::countr_one(blocks >> first);
  blocks &= end < 64 ? ~std::uint64_t{0} << end : 0;
  return {first, end};
}

// Bit replication, eight pixels at a time with the compiler's vector types;
// the same values as the table without gamma.
[[gnu::always_inline]] inline void replicateBits(const std::uint16_t* source, std::uint32_t* target,
                                                 std::size_t count) {
  typedef std::uint16_t Words __attribute__((vector_size(16)));
  typedef std::uint32_t Pixels __attribute__((vector_size(32)));
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    Words words;
    std::memcpy(&words, source + i, sizeof words);
    const Pixels pixel = __builtin_convertvector(words, Pixels);
    const Pixels red = ((pixel >> 8) & 0xF8) | (pixel >> 13);
    const Pixels green = ((pixel >> 3) & 0xFC) | ((pixel >> 9) & 0x03);
    const Pixels blue = ((pixel << 3) & 0xF8) | ((pixel >> 2) & 0x07);
    const Pixels result = (red << 16) | (green << 8) | blue;
    std::memcpy(target + i, &result, sizeof result);
  }
  for (; i < count; ++i) {
    const std::uint32_t pixel = source[i];
    const std::uint32_t red = ((pixel >> 8) & 0xF8) | (pixel >> 13);
    const std::uint32_t green = ((pixel >> 3) & 0xFC) | ((pixel >> 9) & 0x03);
    const std::uint32_t blue = ((pixel << 3) & 0xF8) | ((pixel >> 2) & 0x07);
    target[i] = (red << 16) | (green << 8) | blue;
  }
}

// The runs of changed blocks of one memory row.
[[gnu::always_inline]] inline void replicateBlocks(const std::uint16_t* source, std::uint32_t* target,
                                                   std::uint64_t blocks) {
  while (blocks != 0) {
    const auto [first, end] = firstRun(blocks);
    const std::size_t offset = static_cast<std::size_t>(first) * blockWidth;
    replicateBits(source + offset, target + offset, static_cast<std::size_t>(end - first) * blockWidth);
  }
}

void replicateRowBlocks(const std::uint16_t* source, std::uint32_t* target, std::uint64_t blocks) {
  replicateBlocks(source, target, blocks);
}

#if defined(__x86_64__) || defined(__i386__)
// Processors with AVX2 do eight pixels in one register instead of two.
__attribute__((target("avx2"))) void replicateBitsAvx2(const std::uint16_t* source, std::uint32_t* target,
                                                       std::size_t count) {
  replicateBits(source, target, count);
}

__attribute__((target("avx2"))) void replicateRowBlocksAvx2(const std::uint16_t* source, std::uint32_t* target,
                                                            std::uint64_t blocks) {
  replicateBlocks(source, target, blocks);
}
#endif

// The changed blocks of one memory row, converted as convertPicture does.
void convertRowBlocks(const std::uint16_t* source, std::uint32_t* target, std::uint64_t blocks) {
  if (outputGamma() != 1.0) {
    while (blocks != 0) {
      const auto [first, end] = firstRun(blocks);
      const std::size_t offset = static_cast<std::size_t>(first) * blockWidth;
      convertPicture(source + offset, target + offset, static_cast<std::size_t>(end - first) * blockWidth);
    }
    return;
  }
#if defined(__x86_64__) || defined(__i386__)
  if (hasAvx2()) {
    replicateRowBlocksAvx2(source, target, blocks);
    return;
  }
#endif
  replicateRowBlocks(source, target, blocks);
}

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
void presentBand(HDC context, const Placement& picture, const std::uint16_t* source,
                 const std::uint64_t* changed, int first, int rows, bool whole) {
  constexpr int groupRows = 8;  // rows that share the clip rectangles
  constexpr int rowBlocks = screenWidth / blockWidth;
  constexpr std::uint64_t allBlocks = (std::uint64_t{1} << rowBlocks) - 1;
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
      convertRowBlocks(source + offset, band.data() + static_cast<std::size_t>(row - first) * screenWidth, converted);
    }
    if (!wholeBand) {
      addRectangles(blocks, group, groupEnd, picture.left, picture.top, picture.width, picture.height, rectangles);
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

}  // namespace

bool avx2Allowed = true;

// SOFTGLIDE_NO_AVX2=1 keeps a process to the plain paths, as allowAvx2(false).
bool hasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool avx2 = [] {
    const char* off = std::getenv("SOFTGLIDE_NO_AVX2");
    return __builtin_cpu_supports("avx2") && (off == nullptr || off[0] == '\0' || std::strcmp(off, "0") == 0);
  }();
  return avx2 && avx2Allowed;
#else
  return false;
#endif
}

void convertWithoutGamma(const std::uint16_t* source, std::uint32_t* target, std::size_t count) {
#if defined(__x86_64__) || defined(__i386__)
  if (hasAvx2()) {
    replicateBitsAvx2(source, target, count);
    return;
  }
#endif
  replicateBits(source, target, count);
}

void startRetraceClock() {
#ifdef _WIN32
  timeBeginPeriod(1);
#endif
  board().timelineStart = Clock::now();
}

void stopRetraceClock() {
#ifdef _WIN32
  timeEndPeriod(1);
#endif
}

void presentFrontBuffer() {
  Board& state = board();
  const HDC context = GetDC(state.window);
  if (context == nullptr) {
    return;
  }
  RECT client{};
  GetClientRect(state.window, &client);
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
  // their clears, when the clears had the same colour. Only those are
  // converted and shown, except on the first present, after a size change
  // or a new clear colour, and once a second, so that anything that drew
  // over the window is painted over in the end.
  const int front = 1 - state.back;
  const BufferChanges& now = state.changes[front];
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
    changed[row] = now.blocks[row] | shown.blocks[row];
  }
  const Placement picture{left, top, pictureWidth, pictureHeight};
  const int bandRows = bandRowsFor(pictureHeight);
  for (int first = 0; first < screenHeight; first += bandRows) {
    presentBand(context, picture, state.buffers[front].data(), changed.data(), first,
                std::min(bandRows, screenHeight - first), whole);
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
  ReleaseDC(state.window, context);
}

}  // namespace softglide::detail

namespace softglide {

void allowAvx2(bool allowed) {
  detail::avx2Allowed = allowed;
}

void convertPicture(const std::uint16_t* source, std::uint32_t* target, std::size_t count) {
  if (detail::outputGamma() == 1.0) {
    detail::convertWithoutGamma(source, target, count);
    return;
  }
  const auto& table = detail::presentTable();
  for (std::size_t i = 0; i < count; ++i) {
    target[i] = table[source[i]];
  }
}

}  // namespace softglide

using namespace softglide::detail;

FX_ENTRY void FX_CALL grBufferSwap(int swapInterval) {
  traceCall("grBufferSwap", {static_cast<double>(swapInterval)});
  if (!ready()) {
    return;
  }
  Board& state = board();
  const int interval = effectiveInterval(swapInterval);
  if (interval > 0) {
    waitForRetrace(state, interval);
  }
  state.back = 1 - state.back;
  ++state.swaps;
  const std::vector<std::uint16_t>& front = state.buffers[1 - state.back];
  logFrame(state.swaps, front.data(), front.size());
  presentFrontBuffer();
}
