// The retrace timeline's clock in a browser page: the page's own clock
// (performance.now(), monotonic), and sleeping as giving the page its turn
// (Sleep unwinds to the browser), in whole milliseconds.
#include <emscripten.h>
#include <windows.h>

#include "pacing.h"

namespace softglide::detail {

long long steadyNanoseconds() {
  return static_cast<long long>(emscripten_get_now() * 1e6);
}

void sleepUntilNanoseconds(long long time) {
  const double remaining = (static_cast<double>(time) / 1e6) - emscripten_get_now();
  if (remaining >= 1.0) {
    Sleep(static_cast<DWORD>(remaining));
  }
}

void beginRetraces() {}
void endRetraces() {}

}  // namespace softglide::detail
