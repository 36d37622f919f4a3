// SIGTERM and SIGINT around the saver's own window (see sdl_signals.h).
#include "sdl_signals.h"

#include <signal.h>
#include <unistd.h>

namespace win32::sdl {
namespace {

volatile sig_atomic_t pending = 0;
constexpr unsigned graceSeconds = 2;

// The close request could not be taken in time.
void endNow(int) {
  _exit(0);
}

void requestClose(int) {
  pending = 1;
  alarm(graceSeconds);
}

void setHandler(int signal, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

}  // namespace

void stopSignalsClose(bool windowUp) {
  setHandler(SIGALRM, windowUp ? endNow : SIG_DFL);
  setHandler(SIGTERM, windowUp ? requestClose : SIG_DFL);
  setHandler(SIGINT, windowUp ? requestClose : SIG_DFL);
}

bool takeStopSignal() {
  if (pending == 0) {
    return false;
  }
  pending = 0;
  return true;
}

}  // namespace win32::sdl
