// Choosing the display, and the calls that go straight to it.
#include "internal.h"
#include "win32/display.h"

namespace win32::detail {
namespace {

struct Selection {
  bool headless = false;
  int width = 640;
  int height = 480;
};

Selection selection;
// Never destroyed: at process exit the system reclaims the display, and
// tearing it down then would talk to a display server that may be gone
// (a lost X connection ends the process from inside Xlib).
Display* current = nullptr;
bool triedToOpen = false;
bool opened = false;

}  // namespace

// The screen of the build's own: SDL2 on a desktop, the canvas in a page.
std::unique_ptr<Display> makeScreenDisplay() {
#ifdef __EMSCRIPTEN__
  return makeWebDisplay();
#else
  return makeSdlDisplay();
#endif
}

Display& display() {
  if (current == nullptr) {
    current = (selection.headless ? makeHeadlessDisplay(selection.width, selection.height) : makeScreenDisplay())
                   .release();
  }
  return *current;
}

Display* openDisplay() {
  if (!triedToOpen) {
    triedToOpen = true;
    opened = display().open();
  }
  return opened ? current : nullptr;
}

}  // namespace win32::detail

namespace win32 {

void useSdlDisplay() {
  detail::selection = {};
}

void useHeadlessDisplay(int width, int height) {
  detail::selection = {true, width, height};
}

}  // namespace win32

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return win32::detail::display().messageBox(owner, text != nullptr ? text : "",
                                             caption != nullptr ? caption : "Error", type);
}
