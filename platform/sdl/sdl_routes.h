// How the SDL display's picture reaches the screen: one route, chosen once
// for the window, that gives GDI its memory and shows what GDI changed.
// Private to platform/sdl.
#pragma once

#include <SDL.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "win32/driver.h"

namespace win32::sdl {

// The window the display draws in.
enum class WindowKind {
  saverX11,  // the saver's own X window (sdl_x11.h), made on SDL's connection
  adopted,   // a daemon's X window (a hack's)
  wayland,   // SDL's full-screen toplevel on a Wayland compositor
  sdl,       // SDL's full-screen window on any other driver
};

class PictureRoute {
 public:
  virtual ~PictureRoute() = default;
  // The memory GDI draws the width x height screen into (see
  // Display::screenMemory); null pixels when none can be had.
  virtual Display::Memory memory(int width, int height) = 0;
  // Shows the changed rectangles of that memory; false when they could not
  // be shown (failure() says why).
  virtual bool show(const std::vector<RECT>& changed, int width, int height, bool windowShown) = 0;
  virtual std::string failure() const = 0;
  // The route can show nothing more (no memory could be had for the
  // picture): the saver then ends as when the display is lost.
  virtual bool ended() const { return false; }
  // What shows the picture has gone away (a compositor that closed the
  // connection): the display is lost.
  virtual bool lost() const { return false; }
  // Once the route can no longer serve (the X server refuses to share memory
  // at a new size, SDL has no surface for the screen's pixels), the route
  // that takes over, whose first picture is shown whole; null while it
  // serves.
  virtual std::unique_ptr<PictureRoute> replacement() { return nullptr; }
};

// On X11: memory shared with the server where it can, else SDL's window
// surface, else Xlib's conversion (colour maps, visuals SDL has no format
// for). On Wayland: buffers shared with the compositor. Elsewhere: SDL's
// window surface.
std::unique_ptr<PictureRoute> chooseRoute(SDL_Window* window, WindowKind kind);

}  // namespace win32::sdl
