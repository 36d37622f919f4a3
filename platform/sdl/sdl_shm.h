// The SDL display's screen in memory shared with the X server (MIT-SHM):
// GDI draws into it, and the changed areas go to the window as XShmPutImage
// requests on a connection of its own, with no round trip per frame. Private
// to platform/sdl.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace win32::sdl {

class SharedScreen {
 public:
  // For a window on X11 whose server shares memory with this client and
  // whose visual takes 0x00RRGGBB words as they are (24-bit true colour);
  // null otherwise, and then the display keeps to SDL's window surface.
  static std::unique_ptr<SharedScreen> open(SDL_Window* window);
  ~SharedScreen();
  SharedScreen(const SharedScreen&) = delete;
  SharedScreen& operator=(const SharedScreen&) = delete;

  // The screen's width x height words of 0x00RRGGBB, rows pitch words
  // apart, once the server has finished reading what was sent last (a new
  // size gets a new, black screen); null when no shared memory can be had
  // for it.
  std::uint32_t* pixels(int width, int height, std::size_t& pitch);

  // Hands the areas of the screen to the window, the last request asking
  // for the completion event that pixels() waits for. False when the
  // connection is lost.
  bool put(const std::vector<SDL_Rect>& areas);

  struct Connection;

 private:
  explicit SharedScreen(std::unique_ptr<Connection> connection);
  std::unique_ptr<Connection> connection_;
};

}  // namespace win32::sdl
