// The SDL2 display, the product's screen on Linux: one borderless
// full-screen window of the desktop's size (or, for a screen-saver hack,
// the daemon's X window, adopted), SDL input as the Windows messages it
// stands for, SDL message boxes. Needs SDL2 and, for what SDL leaves out
// (visuals, a lost server, unnamed keys, adopted windows), Xlib. Its pacing
// is the Glide swap's: it never waits for the monitor. Over an adopted
// window it reads no input and shows no box.
#include <SDL.h>
#include <SDL_syswm.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "sdl_damage.h"
#include "sdl_keys.h"
#include "sdl_message_box.h"
#include "sdl_signals.h"
#include "sdl_shm.h"
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
    shared_.reset();
    if (source_ != nullptr) SDL_FreeSurface(source_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    if (started_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  bool open() override {
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The window surface is the system's own shared-memory image, not a
    // texture drawn by a (possibly software) OpenGL renderer.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // What a signal does is the saver's to say (sdl_signals.h), also while
    // SDL waits for an X server that does not answer.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (!roomToStart()) {
      std::fputs("win32: no memory to open the display\n", stderr);
      return false;
    }
    if (foreign_ != 0) {
      return adoptForeignWindow();
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      return false;
    }
    started_ = true;
    const bool real = realDisplay();
    if (real && openWindow()) {
      return true;
    }
    // A display that is there but fails is said so. Either way the video
    // subsystem is shut again, on a fallback driver too (no X server
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

  // Once the X server is gone SDL must not be asked to wait for it. An
  // adopted window is its owner's to map, raise and name.
  void setWindowShown(bool shown, const std::string& title) override {
    if (foreign_ != 0) {
      return;
    }
    if (lostDisplay()) {
      shown_ = false;
      return;
    }
    SDL_SetWindowTitle(window_, title.c_str());
    if (shown) {
      SDL_ShowWindow(window_);
      SDL_RaiseWindow(window_);
      shown_ = true;
    } else {
      releaseScreen(window_);
      SDL_HideWindow(window_);
      shown_ = false;
    }
    stopSignalsClose(shown_);
  }

  void setCursorVisible(bool visible) override {
    if (foreign_ == 0 && !lostDisplay()) {
      SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    }
  }


  bool collectInput(std::deque<InputEvent>& input, bool wait) override {
    if (shown_ && ownXWindow_ && !lostDisplay()) {
      holdScreen(window_);
    }
    SDL_Event event;
    bool any = false;
    while (SDL_PollEvent(&event) || (wait && !any && !lostDisplay() && SDL_WaitEvent(&event))) {
      any |= translate(event, input);
    }
    if (shown_ && ownXWindow_ && !lostDisplay()) {
      holdScreen(window_);  // again at once, after a focus event freed the keyboard
    }
    // SIGTERM or SIGINT while the window is up: the desktop's close request.
    if (takeStopSignal() && postCloseRequest()) {
      any = true;
    }
    // A display that went away ends the saver as the desktop's close
    // request does.
    if ((lostDisplay() || outOfMemory_) && !closeRequested_) {
      closeRequested_ = true;
      if (postCloseRequest()) {
        return true;
      }
    }
    return !(wait && !any && lostDisplay());
  }

  // On X11 GDI draws into memory shared with the X server, and the changed
  // tiles are handed over without waiting for the server (sdl_shm.cpp).
  // Elsewhere, or where the server cannot share memory with this client,
  // GDI draws straight into the window's own surface (shared memory on
  // X11 too, but shown with a round trip each frame) when it is 0x00RRGGBB
  // of the screen's size: no renderer, no texture upload, no copy.
  // Otherwise (16, 8 or 30-bit screens, or a surface not yet of the new
  // size) a private buffer stands in and SDL converts what changed into the
  // surface at present.
  Memory screenMemory() override {
    if (!sharedTried_ && !lostDisplay()) {
      sharedTried_ = true;
      shared_ = SharedScreen::open(window_);
    }
    if (shared_ != nullptr) {
      std::size_t pitch = 0;
      if (std::uint32_t* pixels = shared_->pixels(width_, height_, pitch)) {
        return {pixels, pitch};
      }
      shared_.reset();  // no memory to share at this size: the surface from now on
      exposed_ = true;
    }
    SDL_Surface* surface = windowSurface();
    if (surface != nullptr && surface->format->format == SDL_PIXELFORMAT_RGB888 && surface->w == width_ &&
        surface->h == height_ && !SDL_MUSTLOCK(surface)) {
      direct_ = true;
      return {static_cast<std::uint32_t*>(surface->pixels), static_cast<std::size_t>(surface->pitch) / 4};
    }
    direct_ = false;
    const std::size_t size = static_cast<std::size_t>(width_) * height_;
    if (fallback_.size() != size) {
      if (source_ != nullptr) SDL_FreeSurface(source_);
      source_ = nullptr;
      // Without the memory there is no picture to show: the saver ends as
      // when the display is lost (a close request).
      try {
        fallback_.assign(size, 0);
      } catch (const std::bad_alloc&) {
        fallback_ = {};
        if (!outOfMemory_) {
          outOfMemory_ = true;
          std::fprintf(stderr, "win32: no memory for a %dx%d picture; ending as if the display were gone\n", width_,
                       height_);
        }
        return {nullptr, 0};
      }
    }
    return {fallback_.data(), static_cast<std::size_t>(width_)};
  }

  // Only the tiles GDI changed since the last present are shown anew, each
  // run of them a request of its own, so that the server copies little more
  // than what changed; where fewer requests cost less, runs are joined
  // across small gaps or the whole bounding box is sent. After an expose the
  // desktop wants the whole window again. Nothing to show counts as shown; a
  // picture that could not be shown is a failure, reported once on standard
  // error.
  bool present(const std::vector<RECT>& changed) override {
    if (lostDisplay()) {
      return false;
    }
    if (shared_ != nullptr) {
      const std::vector<RECT> exposed{RECT{0, 0, width_, height_}};
      const std::vector<RECT> areas = areasToSend(exposed_ ? exposed : changed, width_, height_);
      exposed_ = false;
      shownAreas_.clear();
      for (const RECT& area : areas) {
        shownAreas_.push_back({area.left, area.top, area.right - area.left, area.bottom - area.top});
      }
      if (!shared_->put(shownAreas_)) {
        return failed("cannot show the picture");
      }
      return true;
    }
    SDL_Surface* surface = windowSurface();
    int width = width_;
    int height = height_;
    if (surface != nullptr) {
      width = std::min(width, surface->w);
      height = std::min(height, surface->h);
    }
    const std::vector<RECT> exposed{RECT{0, 0, width_, height_}};
    const std::vector<RECT> areas = areasToSend(exposed_ ? exposed : changed, width, height);
    exposed_ = false;
    if (areas.empty()) {
      return true;
    }
    shownAreas_.clear();
    for (const RECT& area : areas) {
      shownAreas_.push_back({area.left, area.top, area.right - area.left, area.bottom - area.top});
    }
    if (surface == nullptr) {
      // No SDL surface for this screen's pixels: Xlib converts.
      for (const SDL_Rect& shown : shownAreas_) {
        if (!putPicture(window_, fallback_.data(), static_cast<std::size_t>(width_), shown)) {
          return failed("cannot show the picture");
        }
      }
      return !lostDisplay();
    }
    if (!direct_) {
      for (const SDL_Rect& shown : shownAreas_) {
        if (!convertInto(surface, shown)) {
          return failed("cannot convert the picture to the screen's pixels");
        }
      }
    }
    if (SDL_UpdateWindowSurfaceRects(window_, shownAreas_.data(), static_cast<int>(shownAreas_.size())) != 0) {
      return failed("cannot show the window surface");
    }
    return !lostDisplay();
  }

  // Over the daemon's window nobody could dismiss a dialog. Over the
  // saver's own the box gets the keyboard and may lie above it.
  int messageBox(HWND, const char* text, const char* caption, UINT type) override {
    if (foreign_ != 0 || lostDisplay()) {
      std::fprintf(stderr, "%s: %s\n", caption, text);
      return IDOK;
    }
    if (shown_ && ownXWindow_) {
      releaseScreen(window_);
    }
    return showMessageBox(shown_ ? window_ : nullptr, text, caption, type);
  }

 private:
  // The foreign window is checked before it gets here; if it has gone since,
  // the X error ends the process (see adoptingWindow).
  bool adoptForeignWindow() {
    // The window is an X window whatever driver the environment asks for.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      return false;
    }
    started_ = true;
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
    return width_ > 0 && height_ > 0;
  }

  // On X11 the window is the saver's own, made on the screen DISPLAY names
  // and handed to SDL (sdl_x11.h); elsewhere SDL's full-screen window of
  // the desktop's size.
  bool openWindow() {
    std::uint32_t xWindow = 0;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && std::strcmp(driver, "x11") == 0) {
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
      ownXWindow_ = window_ != nullptr;
    } else {
      SDL_DisplayMode mode;
      if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0) {
        return false;
      }
      width_ = mode.w;
      height_ = mode.h;
      window_ = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width_, height_,
                                 SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
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

  // The window's surface, or null where SDL has no surface format for the
  // screen's pixels (then it is not asked again).
  SDL_Surface* windowSurface() {
    if (!surfaceChecked_) {
      surfaceChecked_ = true;
      noSurface_ = needsPutPicture(window_);  // its colours through a colour map
    }
    if (noSurface_) {
      return nullptr;
    }
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    noSurface_ = surface == nullptr;
    return surface;
  }

  // The private buffer, converted by SDL into the surface's format.
  bool convertInto(SDL_Surface* surface, SDL_Rect rect) {
    if (fallback_.size() != static_cast<std::size_t>(width_) * height_) {
      return false;
    }
    if (source_ == nullptr) {
      source_ = SDL_CreateRGBSurfaceWithFormatFrom(fallback_.data(), width_, height_, 32, width_ * 4,
                                                   SDL_PIXELFORMAT_RGB888);
      if (source_ == nullptr) {
        return false;
      }
      SDL_SetSurfaceBlendMode(source_, SDL_BLENDMODE_NONE);
    }
    SDL_Rect target = rect;
    return SDL_BlitSurface(source_, &rect, surface, &target) == 0;
  }

  bool failed(const char* what) {
    if (!reportedFailure_ && !lostDisplay()) {
      reportedFailure_ = true;
      std::fprintf(stderr, "win32: %s: %s\n", what, SDL_GetError());
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
    if (foreign_ != 0 && event.type != SDL_WINDOWEVENT) {
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
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED || event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
          keyboardMayBeFree();
        }
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
          resized();
        }
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
          exposed_ = true;
        }
        return false;
      case SDL_SYSWMEVENT: {
        if (ownXWindow_ && screenEvent(window_, *event.syswm.msg)) {
          return false;
        }
        SDL_Event next;
        const bool hasNext = SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1;
        if (const auto key = unnamedKey(*event.syswm.msg, hasNext ? &next : nullptr)) {
          input.push_back(*key);
          return true;
        }
        return false;
      }
      case SDL_QUIT:
        return postCloseRequest();
      default:
        return false;
    }
  }

  const std::uint32_t foreign_;
  SDL_Window* window_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  bool started_ = false;
  bool shown_ = false;
  bool exposed_ = false;
  bool direct_ = false;
  bool closeRequested_ = false;
  bool reportedFailure_ = false;
  bool noSurface_ = false;
  bool surfaceChecked_ = false;  // whether the window's visual wants putPicture
  bool ownXWindow_ = false;  // made by us on X11 (not adopted from a daemon)
  bool outOfMemory_ = false;  // the picture's buffer could not be had
  bool sharedTried_ = false;
  std::unique_ptr<SharedScreen> shared_;  // the screen shared with the X server, when there is one
  std::vector<std::uint32_t> fallback_;
  std::vector<SDL_Rect> shownAreas_;
  SDL_Surface* source_ = nullptr;  // fallback_ as an SDL surface
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
