// Buffer swaps paced to the board's own 60 Hz retrace: sleeps, never spins.
#include "pacing.h"

#include <algorithm>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>
#else
#include <thread>
#endif

namespace softglide::detail {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto retracePeriod = std::chrono::duration<double>(1.0 / 60.0);

// On Windows with the system timer at 1 ms while the board is open.
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

}  // namespace

int effectiveInterval(int requested) {
  const char* value = std::getenv("FX_GLIDE_SWAPINTERVAL");
  if (value == nullptr || value[0] == '\0') {
    return requested;
  }
  return std::atoi(value);
}

void waitForRetrace(RetraceClock& clock, int interval) {
  const auto elapsed = std::chrono::duration<double>(Clock::now() - clock.start);
  const long long passed = static_cast<long long>(elapsed / retracePeriod);
  const long long target = std::max(passed + interval, clock.retracesWaited + 1);
  clock.retracesWaited = target;
  sleepUntil(clock.start + std::chrono::duration_cast<Clock::duration>(target * retracePeriod));
}

void startRetraceClock(RetraceClock& clock) {
#ifdef _WIN32
  timeBeginPeriod(1);
#endif
  clock.start = Clock::now();
  clock.retracesWaited = 0;
}

void stopRetraceClock() {
#ifdef _WIN32
  timeEndPeriod(1);
#endif
}

}  // namespace softglide::detail
