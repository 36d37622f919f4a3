// The retrace timeline's clock on Linux: CLOCK_MONOTONIC, slept on until an
// absolute time, so that the swaps keep to the timeline however long each
// frame took. A signal ends the sleep early (the swap then comes a little
// soon).
#include <time.h>

#include "pacing.h"

namespace softglide::detail {

long long steadyNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void sleepUntilNanoseconds(long long time) {
  if (time <= 0) {
    return;
  }
  timespec wake{};
  wake.tv_sec = static_cast<time_t>(time / 1'000'000'000);
  wake.tv_nsec = static_cast<long>(time % 1'000'000'000);
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
}

void beginRetraces() {}
void endRetraces() {}

}  // namespace softglide::detail
