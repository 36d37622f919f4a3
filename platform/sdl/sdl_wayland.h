// The SDL display's screen on a Wayland compositor: SDL 2's Wayland driver
// has no window surface of its own (it would draw one through OpenGL), so
// GDI draws into buffers shared with the compositor (wl_shm), attached to
// SDL's own surface with only the changed areas damaged. Private to
// platform/sdl.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace win32::sdl {

class WaylandScreen {
 public:
  // For a window on SDL's Wayland driver whose compositor shares memory
  // (every compositor must); null otherwise.
  static std::unique_ptr<WaylandScreen> open(SDL_Window* window);
  ~WaylandScreen();
  WaylandScreen(const WaylandScreen&) = delete;
  WaylandScreen& operator=(const WaylandScreen&) = delete;

  // The screen's width x height words of 0x00RRGGBB, rows pitch words
  // apart, holding the picture shown last (a new size gets a new, black
  // screen), in a buffer the compositor has let go of (it is waited for at
  // most a second); null when no memory can be had for it.
  std::uint32_t* pixels(int width, int height, std::size_t& pitch);

  // Shows the buffer pixels() gave, with the areas damaged; nothing is
  // attached while the window is hidden (before the compositor configured
  // it a buffer would be a protocol error). False when the connection
  // failed.
  bool put(const std::vector<SDL_Rect>& areas, bool windowShown);

  // Why the last put or pixels failed, for one line on standard error.
  const char* failure() const;

  // The compositor closed the connection (a flush found it gone): a lost
  // display, not a failure to say.
  bool gone() const;

  struct Connection;

 private:
  explicit WaylandScreen(std::unique_ptr<Connection> connection);
  std::unique_ptr<Connection> connection_;
};

// The connection to the compositor under the window has failed (the
// compositor is gone): nothing can be shown or waited for any more. False
// for a window on another driver.
bool lostCompositor(SDL_Window* window);

}  // namespace win32::sdl
