// The clock of the board's 60 Hz timeline: steady_clock, except on Windows,
// where the runtime of the 32-bit build (mingw-w64's win32 thread model)
// derives steady_clock from the system time, which jumps when the time is
// set and, on Windows 9x, moves in 55 ms steps. The performance counter is
// steady and fine on every version from Windows 95 on.
#pragma once

#include <chrono>

#ifdef _WIN32
#include <windows.h>
#endif

namespace softglide::detail {

#ifdef _WIN32
struct RetraceClock {
  using rep = long long;
  using period = std::nano;
  using duration = std::chrono::nanoseconds;
  using time_point = std::chrono::time_point<RetraceClock>;
  static constexpr bool is_steady = true;

  // Whole seconds and the remainder apart, so that counts * 10^9 never
  // overflows.
  static time_point now() {
    static const long long frequency = [] {
      LARGE_INTEGER value;
      QueryPerformanceFrequency(&value);
      return value.QuadPart;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const long long seconds = counter.QuadPart / frequency;
    const long long rest = counter.QuadPart % frequency;
    return time_point(duration(seconds * 1000000000LL + rest * 1000000000LL / frequency));
  }
};
#else
using RetraceClock = std::chrono::steady_clock;
#endif

}  // namespace softglide::detail
