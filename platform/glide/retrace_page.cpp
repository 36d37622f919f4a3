// The retrace timeline's clock in a browser page: the page's monotonic
// clock, and sleeping as giving the page its turn (Sleep unwinds to the
// browser), in whole milliseconds.
#include <windows.h>

#include <time.h>

#include "pacing.h"

namespace softglide::detail {

long long steadyNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void sleepUntilNanoseconds(long long time) {
  const long long remaining = (time - steadyNanoseconds()) / 1'000'000;
  if (remaining > 0) {
    Sleep(static_cast<DWORD>(remaining));
  }
}

void beginRetraces() {}
void endRetraces() {}

}  // namespace softglide::detail
