// Buffer swaps paced to the board's own 60 Hz retrace, and presenting the
// front buffer into the window through GDI, letterboxed to 4:3.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "board.h"
#include "pixel.h"

#ifdef _WIN32
#include <mmsystem.h>
#else
#include <thread>
#endif

namespace softglide::detail {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto retracePeriod = std::chrono::duration<double>(1.0 / 60.0);

// FX_GLIDE_SWAPINTERVAL, when set, overrides the program's swap interval.
int effectiveInterval(int requested) {
  const char* value = std::getenv("FX_GLIDE_SWAPINTERVAL");
  if (value == nullptr || value[0] == '\0') {
    return requested;
  }
  return std::atoi(value);
}

// Sleeps, never spins: on Windows with the system timer at 1 ms while the
// board is open.
void sleepUntil(Clock::time_point target) {
#ifdef _WIN32
  const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(target - Clock::now());
  if (remaining.count() > 0) {
    Sleep(static_cast<DWORD>(remaining.count()));
  }
#else
  std::this_thread::sleep_until(target);
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

std::vector<std::uint32_t> presentPixels;

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

#if defined(__x86_64__) || defined(__i386__)
// Processors with AVX2 do eight pixels in one register instead of two.
__attribute__((target("avx2"))) void replicateBitsAvx2(const std::uint16_t* source, std::uint32_t* target,
                                                       std::size_t count) {
  replicateBits(source, target, count);
}
#endif



}  // namespace

void convertWithoutGamma(const std::uint16_t* source, std::uint32_t* target, std::size_t count) {
#if defined(__x86_64__) || defined(__i386__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
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

  const std::vector<std::uint16_t>& front = state.buffers[1 - state.back];
  presentPixels.resize(front.size());
  convertPicture(front.data(), presentPixels.data(), front.size());
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = screenWidth;
  info.bmiHeader.biHeight = -screenHeight;  // top-down: memory row 0 is the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  StretchDIBits(context, left, top, pictureWidth, pictureHeight, 0, 0, screenWidth, screenHeight,
                presentPixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
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
  presentFrontBuffer();
}
