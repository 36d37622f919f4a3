// The SDL2 display, the product's screen on Linux: one borderless
// full-screen window of the desktop's size on X11 or a Wayland compositor
// (or, for a screen-saver hack, the daemon's X window, adopted), SDL input
// as the Windows messages it stands for, SDL message boxes. Needs SDL2 and,
// for what SDL leaves out, Xlib on X11 (visuals, a lost server, unnamed
// keys, adopted windows, a screen that changes size) and libwayland-client
// on Wayland (the picture's buffers). Its pacing is the Glide swap's: it
// never waits for the monitor. Over an adopted window it reads no input and
// shows no box. On Wayland it cannot name keys SDL does not know (they do
// not end the saver there).
#include <SDL.h>
#include <SDL_syswm.h>
#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sdl_driver.h"
#include "sdl_keys.h"
#include "sdl_message_box.h"
#include "sdl_routes.h"
#include "sdl_signals.h"
#include "sdl_wayland.h"
#include "sdl_x11.h"
#include "win32/driver.h"
#include "win32/sdl.h"

namespace win32::sdl {
namespace {

WPARAM mouseKeyFlags(Uint32 buttons) {
  const SDL_Keymod modifiers = SDL_GetModState();
  WPARAM flags = 0;
  if (buttons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
  if (modifiers & KMOD_SHIFT) flags |= MK_SHIFT;
  if (modifiers & KMOD_CTRL) flags |= MK_CONTROL;
  return flags;
}

// SDL's start on X11 (Xlib's locale database among it) does not check
// every allocation it makes: with the address space all but used up it can
// crash instead of failing. It takes about 1.3 MB; unless 2 MB can be had,
// the display is not opened.
bool roomToStart() {
  constexpr std::size_t room = std::size_t{2} << 20;
  void* const block = mmap(nullptr, room, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (block == MAP_FAILED) {
    return false;
  }
  munmap(block, room);
  return true;
}

InputEvent keyEvent(const SDL_KeyboardEvent& event) {
  return keyMessage(virtualKeyOf(event.keysym), static_cast<unsigned>(event.keysym.scancode), event.type == SDL_KEYUP,
                    (event.keysym.mod & KMOD_ALT) != 0, event.repeat != 0);
}

InputEvent buttonEvent(const SDL_MouseButtonEvent& event) {
  const bool down = event.type == SDL_MOUSEBUTTONDOWN;
  UINT message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
  if (event.button == SDL_BUTTON_RIGHT) message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
  if (event.button == SDL_BUTTON_MIDDLE) message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
  return {message, mouseKeyFlags(SDL_GetMouseState(nullptr, nullptr)), MAKELPARAM(event.x, event.y)};
}

class SdlDisplay final : public Display {
 public:
  explicit SdlDisplay(std::uint32_t foreignWindow) : foreign_(foreignWindow) {}
  ~SdlDisplay() override {
    route_.reset();
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    if (started_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  bool open() override {
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // On X11 the window surface is the system's own shared-memory image, not
    // a texture drawn by a (possibly software) OpenGL renderer; on Wayland
    // the display shares its own buffers with the compositor.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // What a signal does is the saver's to say (sdl_signals.h), also while
    // SDL waits for a server that does not answer.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (!roomToStart()) {
      std::fputs("win32: no memory to open the display\n", stderr);
      return false;
    }
    if (foreign_ != 0) {
      return adoptForeignWindow();
    }
    const char* drivers =
        preferredVideoDrivers(std::getenv("SDL_VIDEODRIVER"), std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"));
    if (drivers != nullptr) {
      SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers);
    }
    if (!startVideo(drivers != nullptr)) {
      // The session names a display that SDL could not start on: said why.
      if (drivers != nullptr) {
        std::fprintf(stderr, "win32: cannot open the display: %s\n", SDL_GetError());
      }
      return false;
    }
    started_ = true;
    const bool real = realDisplay();
    if (real && openWindow()) {
      route_ = chooseRoute(window_, kind_);
      return true;
    }
    // A display that is there but fails is said so. Either way the video
    // subsystem is shut again, on a fallback driver too (no server
    // reached): SDL's message boxes crash over a half-started one.
    if (real) {
      std::fprintf(stderr, "win32: cannot open the display: %s\n", SDL_GetError());
    }
    if (window_ != nullptr) {
      SDL_DestroyWindow(window_);
      window_ = nullptr;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    started_ = false;
    return false;
  }

  int width() const override { return width_; }
  int height() const override { return height_; }

  // Once the server is gone SDL must not be asked to wait for it. An
  // adopted window is its owner's to map, raise and name.
  void setWindowShown(bool shown, const std::string& title) override {
    if (kind_ == WindowKind::adopted) {
      return;
    }
    if (lost()) {
      shown_ = false;
      return;
    }
    SDL_SetWindowTitle(window_, title.c_str());
    if (shown) {
      SDL_ShowWindow(window_);
      SDL_RaiseWindow(window_);
      shown_ = true;
      exposed_ = true;
    } else {
      if (kind_ == WindowKind::saverX11) {
        releaseScreen(window_);
      }
      SDL_HideWindow(window_);
      shown_ = false;
    }
    stopSignalsClose(shown_);
  }

  void setCursorVisible(bool visible) override {
    if (kind_ != WindowKind::adopted && !lost()) {
      SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    }
  }

  bool collectInput(std::deque<InputEvent>& input, bool wait) override {
    holdScreenWhileShown();
    SDL_Event event;
    bool any = false;
    while (SDL_PollEvent(&event) || (wait && !any && !lost() && SDL_WaitEvent(&event))) {
      any |= translate(event, input);
    }
    holdScreenWhileShown();  // again at once, after a focus event freed the keyboard
    // SIGTERM or SIGINT while the window is up: the desktop's close request.
    if (takeStopSignal() && postCloseRequest()) {
      any = true;
    }
    // A display that went away, or a picture that can no longer be had, ends
    // the saver as the desktop's close request does.
    if ((lost() || route_->ended()) && !closeRequested_) {
      closeRequested_ = true;
      if (postCloseRequest()) {
        return true;
      }
    }
    return !(wait && !any && lost());
  }

  // The route's memory (sdl_routes.h); a route that can no longer serve
  // hands over to the next, whose first picture is shown whole.
  Memory screenMemory() override {
    for (;;) {
      const Memory memory = route_->memory(width_, height_);
      std::unique_ptr<PictureRoute> next = route_->replacement();
      if (next == nullptr) {
        return memory;
      }
      route_ = std::move(next);
      exposed_ = true;
    }
  }

  // Only what GDI changed since the last present is shown anew; after an
  // expose (or a new size, or the window shown) the desktop wants the
  // whole window again. Nothing to show counts as shown; a picture that
  // could not be shown is a failure, reported once on standard error.
  bool present(const std::vector<RECT>& changed) override {
    if (lost()) {
      return false;
    }
    const std::vector<RECT> whole{RECT{0, 0, width_, height_}};
    const bool shown = route_->show(exposed_ ? whole : changed, width_, height_, shown_);
    exposed_ = false;
    if (!shown) {
      return failed();
    }
    return !lost();
  }

  // Over the daemon's window nobody could dismiss a dialog. Over the
  // saver's own the box gets the keyboard and may lie above it; a Wayland
  // compositor keeps a full-screen window above any other, so there the
  // window is taken down for good (the boxes shown over it end the saver).
  int messageBox(HWND, const char* text, const char* caption, UINT type) override {
    if (kind_ == WindowKind::adopted || lost()) {
      std::fprintf(stderr, "%s: %s\n", caption, text);
      return IDOK;
    }
    if (shown_ && kind_ == WindowKind::saverX11) {
      releaseScreen(window_);
    }
    if (shown_ && kind_ == WindowKind::wayland) {
      SDL_HideWindow(window_);
      shown_ = false;
      stopSignalsClose(false);
      return showMessageBox(nullptr, text, caption, type);
    }
    return showMessageBox(shown_ ? window_ : nullptr, text, caption, type);
  }

 private:
  // SDL's video subsystem. A display server that is there may refuse a
  // connection now and then while busy (Xvfb does, one in fifty on a loaded
  // machine): where the session names a display, a failed start is tried
  // again four times, a tenth of a second apart.
  static bool startVideo(bool displayNamed) {
    for (int attempt = 0;; ++attempt) {
      if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
        return true;
      }
      if (!displayNamed || attempt == 4) {
        return false;
      }
      SDL_Delay(100);
    }
  }

  // The foreign window is checked before it gets here; if it has gone since,
  // the X error ends the process (see adoptingWindow).
  bool adoptForeignWindow() {
    // The window is an X window whatever driver the environment asks for.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      return false;
    }
    started_ = true;
    kind_ = WindowKind::adopted;
    adoptingWindow(foreign_);
    window_ = SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(foreign_)));
    if (window_ == nullptr) {
      return false;
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11) {
      keepInputAway(info.info.x11.display, foreign_);
    }
    surviveLostDisplay(window_);
    SDL_GetWindowSize(window_, &width_, &height_);
    if (width_ <= 0 || height_ <= 0) {
      return false;
    }
    route_ = chooseRoute(window_, kind_);
    return true;
  }

  // On X11 the window is the saver's own, made on the screen DISPLAY names
  // and handed to SDL (sdl_x11.h); elsewhere SDL's full-screen window of
  // the desktop's size.
  bool openWindow() {
    std::uint32_t xWindow = 0;
    if (onX11()) {
      // Any window of SDL's shows its connection to the server.
      SDL_Window* probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
      if (probe == nullptr) {
        return false;
      }
      xWindow = createSaverWindow(probe, width_, height_);
      SDL_DestroyWindow(probe);
    }
    if (xWindow != 0) {
      window_ = SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(xWindow)));
      kind_ = WindowKind::saverX11;
    } else {
      SDL_DisplayMode mode;
      if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0) {
        return false;
      }
      width_ = mode.w;
      height_ = mode.h;
      window_ = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width_, height_,
                                 SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
      const char* driver = SDL_GetCurrentVideoDriver();
      kind_ = driver != nullptr && std::strcmp(driver, "wayland") == 0 ? WindowKind::wayland : WindowKind::sdl;
    }
    if (window_ == nullptr || width_ <= 0 || height_ <= 0) {
      return false;
    }
    surviveLostDisplay(window_);
    return true;
  }

  // With no desktop to show on, SDL falls back to drivers that show nothing;
  // those count as a display only when asked for by name (tests do).
  static bool realDisplay() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) {
      return false;
    }
    if (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0) {
      return true;
    }
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    return requested != nullptr && std::strstr(requested, driver) != nullptr;
  }

  // The X server or the compositor has gone away.
  bool lost() const {
    return lostDisplay() ||
           (kind_ == WindowKind::wayland && (lostCompositor(window_) || (route_ != nullptr && route_->lost())));
  }

  // While the saver's own X window is up it holds the keyboard and stays
  // above other windows (sdl_x11.h); a compositor does both for a
  // full-screen window that has the focus.
  void holdScreenWhileShown() {
    if (shown_ && kind_ == WindowKind::saverX11 && !lost()) {
      holdScreen(window_);
    }
  }

  bool failed() {
    if (!reportedFailure_ && !lost()) {
      reportedFailure_ = true;
      std::fprintf(stderr, "win32: %s\n", route_->failure().c_str());
    }
    return false;
  }

  // The window follows the desktop's size, and so do the screen and the
  // windows that covered it.
  void resized() {
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window_, &width, &height);
    if (width <= 0 || height <= 0 || (width == width_ && height == height_)) {
      return;
    }
    const int oldWidth = width_;
    const int oldHeight = height_;
    width_ = width;
    height_ = height;
    screenResized(oldWidth, oldHeight, width, height);
  }

  // True when the event became a message; a close request is posted. An
  // adopted window gives no input, only its changes of size.
  bool translate(const SDL_Event& event, std::deque<InputEvent>& input) {
    if (kind_ == WindowKind::adopted && event.type != SDL_WINDOWEVENT) {
      return false;
    }
    switch (event.type) {
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        input.push_back(keyEvent(event.key));
        return true;
      case SDL_MOUSEMOTION:
        input.push_back({WM_MOUSEMOVE, mouseKeyFlags(event.motion.state), MAKELPARAM(event.motion.x, event.motion.y)});
        return true;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        input.push_back(buttonEvent(event.button));
        return true;
      case SDL_MOUSEWHEEL: {
        int x = 0;
        int y = 0;
        const Uint32 buttons = SDL_GetMouseState(&x, &y);
        const WPARAM wParam = MAKEWPARAM(mouseKeyFlags(buttons), static_cast<short>(event.wheel.y * WHEEL_DELTA));
        input.push_back({WM_MOUSEWHEEL, wParam, MAKELPARAM(x, y)});
        return true;
      }
      case SDL_WINDOWEVENT:
        windowEvent(event.window);
        return false;
      case SDL_SYSWMEVENT:
        return systemEvent(*event.syswm.msg, input);
      case SDL_QUIT:
        return postCloseRequest();
      default:
        return false;
    }
  }

  void windowEvent(const SDL_WindowEvent& event) {
    switch (event.event) {
      case SDL_WINDOWEVENT_FOCUS_GAINED:
      case SDL_WINDOWEVENT_FOCUS_LOST:
        if (kind_ == WindowKind::saverX11) {
          keyboardMayBeFree();
        }
        break;
      case SDL_WINDOWEVENT_SIZE_CHANGED:
        resized();
        exposed_ = true;
        break;
      case SDL_WINDOWEVENT_EXPOSED:
        exposed_ = true;
        break;
      case SDL_WINDOWEVENT_ENTER:
        // SDL reports the pointer entering a Wayland window as a move to
        // where it entered; it is no move of the user's (the window appeared
        // under the pointer, or what covered it went away), as on X11.
        if (kind_ == WindowKind::wayland) {
          SDL_Event motion;
          if (SDL_PeepEvents(&motion, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 &&
              motion.type == SDL_MOUSEMOTION) {
            SDL_PeepEvents(&motion, 1, SDL_GETEVENT, SDL_MOUSEMOTION, SDL_MOUSEMOTION);
          }
        }
        break;
      default:
        break;
    }
  }

  // An X event: the saver's own window's (sdl_x11.h), or a key SDL could
  // not name.
  bool systemEvent(const SDL_SysWMmsg& message, std::deque<InputEvent>& input) {
    if (kind_ == WindowKind::saverX11 && screenEvent(window_, message)) {
      return false;
    }
    SDL_Event next;
    const bool hasNext = SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1;
    if (const auto key = unnamedKey(message, hasNext ? &next : nullptr)) {
      input.push_back(*key);
      return true;
    }
    return false;
  }

  const std::uint32_t foreign_;
  WindowKind kind_ = WindowKind::sdl;
  SDL_Window* window_ = nullptr;
  std::unique_ptr<PictureRoute> route_;
  int width_ = 0;
  int height_ = 0;
  bool started_ = false;
  bool shown_ = false;
  bool exposed_ = false;  // the whole window is to be shown at the next present
  bool closeRequested_ = false;
  bool reportedFailure_ = false;
};

}  // namespace

}  // namespace win32::sdl

void win32::useSdlDisplay() {
  useDisplay(std::make_unique<sdl::SdlDisplay>(0));
}

std::string win32::useSdlDisplayInWindow(std::uint32_t window) {
  std::string problem;
  const std::uint32_t checked = sdl::checkForeignWindow(window, problem);
  if (problem.empty()) {
    useDisplay(std::make_unique<sdl::SdlDisplay>(checked));
  }
  return problem;
}
