// The retrace timeline's clock on Windows: the performance counter, steady
// and fine on every version from Windows 95 on (the 32-bit runtime's
// steady_clock follows the system time, which jumps when the time is set
// and on Windows 9x moves in 55 ms steps), slept on in whole milliseconds
// with the system timer at 1 ms while the board is open.
#include <windows.h>
#include <mmsystem.h>

#include "pacing.h"

namespace softglide::detail {

// Whole seconds and the remainder apart, so that counts * 10^9 never
// overflows.
long long steadyNanoseconds() {
  static const long long frequency = [] {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return value.QuadPart;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  const long long seconds = counter.QuadPart / frequency;
  const long long rest = counter.QuadPart % frequency;
  return seconds * 1'000'000'000 + rest * 1'000'000'000 / frequency;
}

void sleepUntilNanoseconds(long long time) {
  const long long remaining = (time - steadyNanoseconds()) / 1'000'000;
  if (remaining > 0) {
    Sleep(static_cast<DWORD>(remaining));
  }
}

void beginRetraces() {
  timeBeginPeriod(1);
}

void endRetraces() {
  timeEndPeriod(1);
}

}  // namespace softglide::detail
