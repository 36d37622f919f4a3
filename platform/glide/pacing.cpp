// Buffer swaps paced to the board's own 60 Hz retrace: sleeps, never spins.
#include "pacing.h"

#include <algorithm>

#include <windows.h>

#include "environment.h"

#ifdef _WIN32
#include <mmsystem.h>
#else
#include <time.h>
#endif

namespace softglide::detail {
namespace {

using Clock = RetraceClock;
constexpr auto retracePeriod = std::chrono::duration<double>(1.0 / 60.0);

// On Windows with the system timer at 1 ms while the board is open; in a
// browser page, giving the page its turn. Elsewhere a signal ends the sleep
// early (the swap then comes a little soon), so that the program sees it,
// or its quit request, now.
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

}  // namespace

int effectiveInterval(int requested) {
  return swapIntervalOverride().value_or(requested);
}

void waitForRetrace(RetraceTimeline& timeline, int interval) {
  const auto elapsed = std::chrono::duration<double>(Clock::now() - timeline.start);
  const long long passed = static_cast<long long>(elapsed / retracePeriod);
  const long long target = std::max(passed + interval, timeline.retracesWaited + 1);
  timeline.retracesWaited = target;
  sleepUntil(timeline.start + std::chrono::duration_cast<Clock::duration>(target * retracePeriod));
}

void startRetraceClock(RetraceTimeline& timeline) {
#ifdef _WIN32
  timeBeginPeriod(1);
#endif
  timeline.start = Clock::now();
  timeline.retracesWaited = 0;
}

void stopRetraceClock() {
#ifdef _WIN32
  timeEndPeriod(1);
#endif
}

}  // namespace softglide::detail
