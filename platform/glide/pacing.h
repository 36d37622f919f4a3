// Pacing buffer swaps to the board's own 60 Hz retrace, on a steady timeline
// that starts when the board is opened. The clock and the sleep are the
// system's: retrace_posix.cpp, retrace_windows.cpp, retrace_page.cpp.
#pragma once

namespace softglide::detail {

struct RetraceTimeline {
  long long startNanoseconds = 0;  // on the system's steady clock
  long long retracesWaited = 0;    // the last retrace a swap waited for
};

// Starts the timeline when the board opens (and, on Windows, sets the
// system timer to 1 ms); stopped when the board shuts down.
void startRetraceClock(RetraceTimeline& timeline);
void stopRetraceClock();

// Sleeps until the interval-th retrace from now, never to one already
// waited for.
void waitForRetrace(RetraceTimeline& timeline, int interval);

// The system's side: a steady clock in nanoseconds, sleeping until a time
// on it (a signal may end the sleep early, where the system has them, so
// that the program sees the signal, or its quit request, now), and what the
// system needs around a run of swaps.
long long steadyNanoseconds();
void sleepUntilNanoseconds(long long time);
void beginRetraces();
void endRetraces();

}  // namespace softglide::detail
