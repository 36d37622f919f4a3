// The SDL display's routes for the picture: memory shared with the X server
// (sdl_shm.h) or with a Wayland compositor (sdl_wayland.h), SDL's window
// surface drawn into directly or through a private buffer, and Xlib's
// conversion of that buffer (sdl_x11.h).
#include "sdl_routes.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <utility>

#include "sdl_damage.h"
#include "sdl_shm.h"
#include "sdl_wayland.h"
#include "sdl_x11.h"

namespace win32::sdl {
namespace {

std::vector<SDL_Rect> toSdlRects(const std::vector<RECT>& rectangles) {
  std::vector<SDL_Rect> result;
  result.reserve(rectangles.size());
  for (const RECT& rect : rectangles) {
    result.push_back({rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top});
  }
  return result;
}

std::string withSdlError(const char* what) {
  return std::string(what) + ": " + SDL_GetError();
}

// The picture in memory of our own, for a screen that SDL or Xlib converts.
class PrivatePicture {
 public:
  PrivatePicture() = default;
  PrivatePicture(const PrivatePicture&) = delete;
  PrivatePicture& operator=(const PrivatePicture&) = delete;
  ~PrivatePicture() {
    if (source_ != nullptr) SDL_FreeSurface(source_);
  }

  // Without the memory there is no picture to show: the saver ends as when
  // the display is lost (outOfMemory), said once on standard error.
  Display::Memory memory(int width, int height) {
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (pixels_.size() != size || width_ != width) {
      if (source_ != nullptr) SDL_FreeSurface(source_);
      source_ = nullptr;
      try {
        pixels_.assign(size, 0);
      } catch (const std::bad_alloc&) {
        pixels_ = {};
        if (!outOfMemory_) {
          outOfMemory_ = true;
          std::fprintf(stderr, "win32: no memory for a %dx%d picture; ending as if the display were gone\n", width,
                       height);
        }
        return {nullptr, 0};
      }
      width_ = width;
      height_ = height;
    }
    return {pixels_.data(), static_cast<std::size_t>(width_)};
  }

  bool outOfMemory() const { return outOfMemory_; }
  const std::uint32_t* pixels() const { return pixels_.data(); }
  std::size_t pitch() const { return static_cast<std::size_t>(width_); }

  // The area, converted by SDL into the surface's format.
  bool convertInto(SDL_Surface* surface, SDL_Rect area) {
    if (pixels_.empty()) {
      return false;
    }
    if (source_ == nullptr) {
      source_ = SDL_CreateRGBSurfaceWithFormatFrom(pixels_.data(), width_, height_, 32, width_ * 4,
                                                   SDL_PIXELFORMAT_RGB888);
      if (source_ == nullptr) {
        return false;
      }
      SDL_SetSurfaceBlendMode(source_, SDL_BLENDMODE_NONE);
    }
    SDL_Rect target = area;
    return SDL_BlitSurface(source_, &area, surface, &target) == 0;
  }

 private:
  std::vector<std::uint32_t> pixels_;
  int width_ = 0;
  int height_ = 0;
  bool outOfMemory_ = false;
  SDL_Surface* source_ = nullptr;  // pixels_ as an SDL surface
};

// Xlib converts the private picture into the window's visual: colour maps
// (an 8-bit PseudoColor screen's window, which a daemon may give a hack) and
// true-colour visuals SDL has no surface format for (8-bit 3-3-2, 30-bit).
class XlibRoute final : public PictureRoute {
 public:
  explicit XlibRoute(SDL_Window* window) : window_(window) {}
  Display::Memory memory(int width, int height) override { return picture_.memory(width, height); }
  bool show(const std::vector<RECT>& changed, int width, int height, bool) override {
    for (const SDL_Rect& area : toSdlRects(areasToSend(changed, width, height))) {
      if (!putPicture(window_, picture_.pixels(), picture_.pitch(), area)) {
        return false;
      }
    }
    return !lostDisplay();
  }
  std::string failure() const override { return "cannot show the picture through Xlib"; }
  bool ended() const override { return picture_.outOfMemory(); }

 private:
  SDL_Window* window_;
  PrivatePicture picture_;
};

// SDL's window surface (on X11 the system's own shared image, shown with a
// round trip each frame): GDI draws straight into it when it is 0x00RRGGBB
// of the screen's size (no texture, no copy), else into the private picture,
// which SDL converts into it (16-bit screens, a surface not yet of the new
// size).
class WindowSurfaceRoute final : public PictureRoute {
 public:
  explicit WindowSurfaceRoute(SDL_Window* window) : window_(window) {}

  Display::Memory memory(int width, int height) override {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    noSurface_ = surface == nullptr;
    if (surface != nullptr && surface->format->format == SDL_PIXELFORMAT_RGB888 && surface->w == width &&
        surface->h == height && !SDL_MUSTLOCK(surface)) {
      direct_ = true;
      return {static_cast<std::uint32_t*>(surface->pixels), static_cast<std::size_t>(surface->pitch) / 4};
    }
    direct_ = false;
    return picture_.memory(width, height);
  }

  bool show(const std::vector<RECT>& changed, int width, int height, bool) override {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (surface == nullptr) {
      noSurface_ = true;
      failure_ = withSdlError("the window has no surface");
      return false;
    }
    const std::vector<SDL_Rect> areas =
        toSdlRects(areasToSend(changed, std::min(width, surface->w), std::min(height, surface->h)));
    if (areas.empty()) {
      return true;
    }
    if (!direct_) {
      for (const SDL_Rect& area : areas) {
        if (!picture_.convertInto(surface, area)) {
          failure_ = withSdlError("cannot convert the picture to the screen's pixels");
          return false;
        }
      }
    }
    if (SDL_UpdateWindowSurfaceRects(window_, areas.data(), static_cast<int>(areas.size())) != 0) {
      failure_ = withSdlError("cannot show the window surface");
      return false;
    }
    return !lostDisplay();
  }

  std::string failure() const override { return failure_; }
  bool ended() const override { return picture_.outOfMemory(); }

  // SDL has no surface format for some X visuals (30-bit, 3-3-2): Xlib
  // converts for them.
  std::unique_ptr<PictureRoute> replacement() override {
    if (noSurface_ && onX11()) {
      return std::make_unique<XlibRoute>(window_);
    }
    return nullptr;
  }

 private:
  SDL_Window* window_;
  PrivatePicture picture_;
  bool direct_ = false;  // GDI draws into the surface itself this frame
  bool noSurface_ = false;
  std::string failure_;
};

// The screen shared with the X server (sdl_shm.h): the changed tiles go to
// the window with no round trip.
class SharedMemoryRoute final : public PictureRoute {
 public:
  SharedMemoryRoute(SDL_Window* window, std::unique_ptr<SharedScreen> shared)
      : window_(window), shared_(std::move(shared)) {}

  Display::Memory memory(int width, int height) override {
    std::size_t pitch = 0;
    std::uint32_t* pixels = shared_->pixels(width, height, pitch);
    refused_ = pixels == nullptr;
    return {pixels, pitch};
  }

  bool show(const std::vector<RECT>& changed, int width, int height, bool) override {
    return shared_->put(toSdlRects(areasToSend(changed, width, height)));
  }

  std::string failure() const override { return "cannot show the picture: the X server took no shared image"; }

  // No memory to share at a new size: the window surface from now on.
  std::unique_ptr<PictureRoute> replacement() override {
    if (!refused_) {
      return nullptr;
    }
    shared_.reset();
    return std::make_unique<WindowSurfaceRoute>(window_);
  }

 private:
  SDL_Window* window_;
  std::unique_ptr<SharedScreen> shared_;
  bool refused_ = false;
};

// Buffers shared with a Wayland compositor (sdl_wayland.h); the changed
// rectangles are the damage.
class WaylandRoute final : public PictureRoute {
 public:
  explicit WaylandRoute(std::unique_ptr<WaylandScreen> screen) : screen_(std::move(screen)) {}

  Display::Memory memory(int width, int height) override {
    std::size_t pitch = 0;
    std::uint32_t* pixels = screen_->pixels(width, height, pitch);
    if (pixels == nullptr && !outOfMemory_) {
      outOfMemory_ = true;
      std::fprintf(stderr, "win32: %s; ending as if the display were gone\n", screen_->failure());
    }
    return {pixels, pitch};
  }

  bool show(const std::vector<RECT>& changed, int, int, bool windowShown) override {
    return screen_->put(toSdlRects(changed), windowShown);
  }

  std::string failure() const override { return screen_->failure(); }
  bool ended() const override { return outOfMemory_; }
  bool lost() const override { return screen_->gone(); }

 private:
  std::unique_ptr<WaylandScreen> screen_;
  bool outOfMemory_ = false;
};

// A Wayland window whose compositor shares no memory (none we know of): it
// cannot be shown, and says so.
class NoRoute final : public PictureRoute {
 public:
  explicit NoRoute(std::string why) : why_(std::move(why)) {}
  Display::Memory memory(int, int) override { return {nullptr, 0}; }
  bool show(const std::vector<RECT>&, int, int, bool) override { return false; }
  std::string failure() const override { return why_; }
  bool ended() const override { return true; }

 private:
  std::string why_;
};

}  // namespace

std::unique_ptr<PictureRoute> chooseRoute(SDL_Window* window, WindowKind kind) {
  switch (kind) {
    case WindowKind::wayland:
      if (auto screen = WaylandScreen::open(window)) {
        return std::make_unique<WaylandRoute>(std::move(screen));
      }
      return std::make_unique<NoRoute>("the compositor offers no shared memory for the picture");
    case WindowKind::saverX11:
    case WindowKind::adopted:
      if (needsPutPicture(window)) {
        return std::make_unique<XlibRoute>(window);
      }
      if (auto shared = SharedScreen::open(window)) {
        return std::make_unique<SharedMemoryRoute>(window, std::move(shared));
      }
      return std::make_unique<WindowSurfaceRoute>(window);
    case WindowKind::sdl:
      break;
  }
  return std::make_unique<WindowSurfaceRoute>(window);
}

}  // namespace win32::sdl
