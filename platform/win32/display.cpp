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
std::unique_ptr<Display> current;
bool triedToOpen = false;
bool opened = false;

}  // namespace

Display& display() {
  if (!current) {
    current = selection.headless ? makeHeadlessDisplay(selection.width, selection.height)
                                 : makeSdlDisplay();
  }
  return *current;
}

Display* openDisplay() {
  if (!triedToOpen) {
    triedToOpen = true;
    opened = display().open();
  }
  return opened ? current.get() : nullptr;
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
