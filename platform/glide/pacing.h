// Pacing buffer swaps to the board's own 60 Hz retrace, on a steady timeline
// that starts when the board is opened.
#pragma once

#include <chrono>

#include "retraceclock.h"

namespace softglide::detail {

struct RetraceTimeline {
  RetraceClock::time_point start;
  long long retracesWaited = 0;  // the last retrace a swap waited for
};

// Starts the timeline when the board opens (and, on Windows, sets the
// system timer to 1 ms); stopped when the board shuts down.
void startRetraceClock(RetraceTimeline& timeline);
void stopRetraceClock();

// The swap interval in force: FX_GLIDE_SWAPINTERVAL, when set to a valid
// interval, overrides the program's.
int effectiveInterval(int requested);

// Sleeps until the interval-th retrace from now, never to one already
// waited for.
void waitForRetrace(RetraceTimeline& timeline, int interval);

}  // namespace softglide::detail
