// Message boxes through SDL, bound to the process: SDL's X11 box runs in a
// forked child, which is told to die with its parent and is closed by the
// signals that would otherwise be lost while the parent waits for it.
#include "sdl_message_box.h"

#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <iterator>
#include <new>
#include <cstdio>

namespace win32::sdl {
namespace {

// Shared with the box's child, which records itself there.
struct BoxState {
  std::atomic<int> open;       // a box is being shown
  std::atomic<int> parent;     // the process showing it
  std::atomic<int> child;      // SDL's box process, 0 until it runs
  std::atomic<int> cancelled;  // a signal asked the box to close
};
static_assert(std::atomic<int>::is_always_lock_free);

BoxState* state = nullptr;
constexpr int closingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// In the child of any fork made while a box is open (SDL's box process).
void boxChildStarts() {
  if (state == nullptr || state->open.load() == 0) {
    return;
  }
  for (const int signal : closingSignals) {
    ::signal(signal, SIG_DFL);
  }
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The parent may have ended before the request above took effect.
  if (getppid() != state->parent.load() || state->cancelled.load() != 0) {
    _exit(1);
  }
  state->child.store(getpid());
  if (state->cancelled.load() != 0) {
    _exit(1);
  }
}

void closeBox(int) {
  state->cancelled.store(1);
  if (const int child = state->child.load(); child > 0) {
    kill(child, SIGKILL);
  }
}

bool prepare() {
  static const bool ready = [] {
    void* shared = mmap(nullptr, sizeof(BoxState), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) {
      return false;
    }
    state = new (shared) BoxState{};
    return pthread_atfork(nullptr, nullptr, boxChildStarts) == 0;
  }();
  return ready;
}

}  // namespace

int showMessageBox(SDL_Window* owner, const char* text, const char* caption, UINT type) {
  const Uint32 flags = (type & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  const bool guarded = prepare();
  struct sigaction previous[std::size(closingSignals)];
  if (guarded) {
    state->parent.store(getpid());
    state->child.store(0);
    state->cancelled.store(0);
    state->open.store(1);
    struct sigaction closing {};
    closing.sa_handler = closeBox;
    sigemptyset(&closing.sa_mask);
    for (std::size_t i = 0; i < std::size(closingSignals); ++i) {
      sigaction(closingSignals[i], &closing, &previous[i]);
    }
  }
  const int shown = SDL_ShowSimpleMessageBox(flags, caption, text, owner);
  if (guarded) {
    state->open.store(0);
    for (std::size_t i = 0; i < std::size(closingSignals); ++i) {
      sigaction(closingSignals[i], &previous[i], nullptr);
    }
  }
  if (shown != 0) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
  }
  return IDOK;
}

}  // namespace win32::sdl
