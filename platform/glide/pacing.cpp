// Buffer swaps paced to the board's own 60 Hz retrace: sleeps, never spins.
#include "pacing.h"

#include <algorithm>

namespace softglide::detail {
namespace {

constexpr long long retracesPerSecond = 60;
constexpr long long nanosecondsPerSecond = 1'000'000'000;

}  // namespace

void waitForRetrace(RetraceTimeline& timeline, int interval) {
  const long long elapsed = steadyNanoseconds() - timeline.startNanoseconds;
  const long long passed = elapsed * retracesPerSecond / nanosecondsPerSecond;
  const long long target = std::max(passed + interval, timeline.retracesWaited + 1);
  timeline.retracesWaited = target;
  sleepUntilNanoseconds(timeline.startNanoseconds + target * nanosecondsPerSecond / retracesPerSecond);
}

void startRetraceClock(RetraceTimeline& timeline) {
  beginRetraces();
  timeline.startNanoseconds = steadyNanoseconds();
  timeline.retracesWaited = 0;
}

void stopRetraceClock() {
  endRetraces();
}

}  // namespace softglide::detail
