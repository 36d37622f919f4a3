// The buffer swap: paced to the board's retrace, then the new front buffer
// is presented into the window.
#include "board.h"
#include "pacing.h"
#include "presenter.h"
#include "runlog.h"
#include "trace.h"

using namespace softglide::detail;

FX_ENTRY void FX_CALL grBufferSwap(int swapInterval) {
  traceArguments("grBufferSwap", swapInterval);
  if (!ready()) {
    return;
  }
  Board& state = board();
  // FX_GLIDE_SWAPINTERVAL, read when the board opened, overrides the
  // program's interval.
  const int interval = state.switches.swapInterval.value_or(swapInterval);
  if (interval > 0) {
    waitForRetrace(state.retraceTimeline, interval);
  }
  state.back = 1 - state.back;
  ++state.swaps;
  const int front = 1 - state.back;
  logFrame(state.swaps, state.buffers[front].data(), state.buffers[front].size());
  // The back buffer still holds the picture presented by the last swap.
  presentPicture(state.window, {state.buffers[front].data(), state.written[front]},
                 {state.buffers[state.back].data(), state.written[state.back]}, state.switches.gamma,
                 state.switches.scale, state.presenter);
}
