// Buffer swaps paced to the board's own 60 Hz retrace, and presenting the
// front buffer into the window through GDI, letterboxed to 4:3.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

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

// 5-6-5 to 0x00RRGGBB by bit replication, through the output gamma that
// SST_GAMMA sets (1.0 when unset).
const std::array<std::uint32_t, 65536>& presentTable() {
  static const std::array<std::uint32_t, 65536> table = [] {
    double gamma = 1.0;
    if (const char* value = std::getenv("SST_GAMMA")) {
      const double parsed = std::atof(value);
      if (parsed > 0.0 && std::isfinite(parsed)) {
        gamma = parsed;
      }
    }
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

}  // namespace

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

  const auto& table = presentTable();
  const std::vector<std::uint16_t>& front = state.buffers[1 - state.back];
  presentPixels.resize(front.size());
  for (std::size_t i = 0; i < front.size(); ++i) {
    presentPixels[i] = table[front[i]];
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = screenWidth;
  info.bmiHeader.biHeight = -screenHeight;  // top-down: memory row 0 is the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  StretchDIBits(context, left, top, pictureWidth, pictureHeight, 0, 0, screenWidth, screenHeight,
                presentPixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  // The bars beside the picture are the presenter's to paint.
  PatBlt(context, 0, 0, left, height, BLACKNESS);
  PatBlt(context, left + pictureWidth, 0, width - left - pictureWidth, height, BLACKNESS);
  PatBlt(context, left, 0, pictureWidth, top, BLACKNESS);
  PatBlt(context, left, top + pictureHeight, pictureWidth, height - top - pictureHeight, BLACKNESS);
  ReleaseDC(state.window, context);
}

}  // namespace softglide::detail

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
