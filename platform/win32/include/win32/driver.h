// The seam between the Win32 subset and its display back ends (the headless
// screen here, the SDL2 window in platform/sdl, the page's canvas in
// platform/web): what a display gives the layer, what every back end shares
// (key messages, the desktop's close request), and how a program picks its
// display before the first window.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace win32 {

// One piece of input as Windows would queue it for the active window.
struct InputEvent {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// What a display gives the layer: one screen, the input of the user in front
// of it, a pointer that can be hidden, and modal message boxes. The layer's
// windows all live on this one screen.
class Display {
 public:
  virtual ~Display() = default;
  // Starts the display; false when there is none to be had. Called once,
  // when the layer first needs the screen.
  virtual bool open() = 0;
  virtual int width() const = 0;
  virtual int height() const = 0;
  // The screen's content follows the top-level window that is shown.
  virtual void setWindowShown(bool shown, const std::string& title) = 0;
  virtual void setCursorVisible(bool visible) = 0;
  // Adds whatever input has arrived; when wait is set, blocks until some
  // has. Returns false when waiting could never end.
  virtual bool collectInput(std::deque<InputEvent>& input, bool wait) = 0;
  // The memory GDI draws the screen into: width() x height() words, rows
  // pitch words apart, each pixel in the display's order: 0x00RRGGBB, or
  // the bytes R, G, B, A (the order a canvas takes, alpha 255; 0xFFBBGGRR
  // read as a little-endian word), so that the display need not convert
  // them. Valid until the next call. Null pixels when the display has none
  // (it could not get the memory): GDI then draws nothing.
  enum class PixelOrder { xrgb, rgba };
  struct Memory {
    std::uint32_t* pixels;
    std::size_t pitch;
    PixelOrder order = PixelOrder::xrgb;
  };
  virtual Memory screenMemory() = 0;
  // Shows the screen memory, of which only the rectangles changed (which
  // may overlap) have to be shown anew; false when it could not be shown.
  virtual bool present(const std::vector<RECT>& changed) = 0;
  virtual int messageBox(HWND owner, const char* text, const char* caption, UINT type) = 0;
};

// The display the layer uses from now on; the one chosen before is dropped.
// Without a choice there is no display: windows cannot be created, and
// message boxes go to standard error.
void useDisplay(std::unique_ptr<Display> display);

// The key message Windows queues for a key pressed or released: a system
// key (WM_SYSKEYDOWN, WM_SYSKEYUP) while Alt is held, for Alt itself and for
// F10, otherwise WM_KEYDOWN or WM_KEYUP. Pressing Alt holds it. lParam: the
// repeat count 1, the scan code in bits 16-23, the context bit 29 while Alt
// is held, the previous-state bit 30 for a release or a repeat, and the
// transition bit 31 for a release.
InputEvent keyMessage(UINT virtualKey, unsigned scanCode, bool release, bool altHeld, bool repeat = false);

// The desktop's request to close the active window: WM_CLOSE posted to it.
// False when no window is active.
bool postCloseRequest();

// The screen changed size: top-level windows that covered it whole cover it
// again, and are to be painted anew.
void screenResized(int oldWidth, int oldHeight, int width, int height);

// The bounding box of the rectangles (empty when there are none).
RECT boundingBox(const std::vector<RECT>& rectangles);

}  // namespace win32
