// The display seam: which display the layer uses, what back ends share
// (key messages, the close request), and the calls that go straight to the
// display.
#include <algorithm>
#include <cstdio>

#include "internal.h"
#include "win32/driver.h"

namespace win32 {
namespace {

// No screen at all: what a program gets that chose no display. Windows
// cannot be created; a message box goes to standard error.
class NoDisplay final : public Display {
 public:
  bool open() override { return false; }
  int width() const override { return 0; }
  int height() const override { return 0; }
  void setWindowShown(bool, const std::string&) override {}
  void setCursorVisible(bool) override {}
  bool collectInput(std::deque<InputEvent>&, bool wait) override { return !wait; }
  Memory screenMemory() override { return {nullptr, 0}; }
  bool present(const std::vector<RECT>&) override { return false; }
  int messageBox(HWND, const char* text, const char* caption, UINT) override {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return IDOK;
  }
};

// Never destroyed once opened: at process exit the system reclaims the
// display, and tearing it down then would talk to a display server that
// may be gone (a lost X connection ends the process from inside Xlib).
Display* current = nullptr;
bool triedToOpen = false;
bool opened = false;

}  // namespace

void useDisplay(std::unique_ptr<Display> display) {
  if (!opened) {
    delete current;
  } else {
    // Kept for good, for the reason above (a list nothing frees at exit).
    static auto* retired = new std::vector<Display*>;
    retired->push_back(current);
  }
  current = display.release();
  triedToOpen = false;
  opened = false;
}

InputEvent keyMessage(UINT virtualKey, unsigned scanCode, bool release, bool altHeld, bool repeat) {
  const bool alt = altHeld || (virtualKey == VK_MENU && !release);
  const bool system = alt || virtualKey == VK_F10 || virtualKey == VK_MENU;
  std::uint32_t bits = 1u | (static_cast<std::uint32_t>(scanCode & 0xFF) << 16);
  if (alt) bits |= 1u << 29;
  if (release || repeat) bits |= 1u << 30;
  if (release) bits |= 1u << 31;
  const UINT message = system ? (release ? WM_SYSKEYUP : WM_SYSKEYDOWN) : (release ? WM_KEYUP : WM_KEYDOWN);
  return {message, virtualKey, static_cast<LPARAM>(bits)};
}

RECT boundingBox(const std::vector<RECT>& rectangles) {
  RECT box{0, 0, 0, 0};
  for (const RECT& rect : rectangles) {
    if (box.left >= box.right) {
      box = rect;
      continue;
    }
    box = {std::min(box.left, rect.left), std::min(box.top, rect.top), std::max(box.right, rect.right),
           std::max(box.bottom, rect.bottom)};
  }
  return box;
}

bool postCloseRequest() {
  const HWND window = GetActiveWindow();
  return window != nullptr && PostMessageA(window, WM_CLOSE, 0, 0) != FALSE;
}

}  // namespace win32

namespace win32::detail {

Display& display() {
  if (current == nullptr) {
    current = new NoDisplay;
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

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return win32::detail::display().messageBox(owner, text != nullptr ? text : "",
                                             caption != nullptr ? caption : "Error", type);
}
