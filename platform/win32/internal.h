// Shared state of the Win32 subset: the display interface behind it, the
// window list and the thread's message queue. Private to platform/win32.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace win32::detail {

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
  // Starts the display; false when there is none to be had. Idempotent.
  virtual bool open() = 0;
  virtual int width() const = 0;
  virtual int height() const = 0;
  // The screen's content follows the top-level window that is shown.
  virtual void setWindowShown(bool shown, const std::string& title) = 0;
  virtual void setCursorVisible(bool visible) = 0;
  // Called at the start of every GetMessageA call with its number.
  virtual void beginGetMessage(int call, std::deque<InputEvent>& input) = 0;
  // Adds whatever input has arrived; when wait is set, blocks until some
  // has. Returns false when waiting could never end.
  virtual bool collectInput(std::deque<InputEvent>& input, bool wait) = 0;
  // The memory GDI draws the screen into: width() x height() words of
  // 0x00RRGGBB, rows pitch words apart. Valid until the next call.
  struct Memory {
    std::uint32_t* pixels;
    std::size_t pitch;
  };
  virtual Memory screenMemory() = 0;
  // Shows the screen memory, of which only the rectangles changed (which
  // may overlap) have to be shown anew; false when it could not be shown.
  virtual bool present(const std::vector<RECT>& changed) = 0;
  virtual int messageBox(HWND owner, const char* text, const char* caption, UINT type) = 0;
};

// With a foreign window (an X window id) the SDL display adopts it as the
// screen instead of making a window: its size, followed as it changes, no
// input, the pointer left alone, message boxes on standard error.
std::unique_ptr<Display> makeSdlDisplay(std::uint32_t foreignWindow = 0);
std::unique_ptr<Display> makeHeadlessDisplay(int width, int height);
// In a browser page (the WebAssembly build) the page's canvas is the screen.
std::unique_ptr<Display> makeWebDisplay();
// Sleeping in a page: the page has its turn, then the program goes on.
void sleepInBrowser(DWORD milliseconds);

// Hack mode, from the process start-up: the command line the process's
// arguments stand for (ending the process on bad hack options or a bad
// window), and the X window that the SDL display is to adopt.
std::vector<std::string> startFromArguments(const std::vector<std::string>& arguments);
void selectHackWindow(std::uint32_t window);
// Around adopting it: from then on an X error about the window means it is
// gone, which ends the process; then the window's input is left to its owner.
void adoptingWindow(std::uint32_t window);
void keepInputAway(void* connection, std::uint32_t window);

// The display in use, made on first use from the selected kind.
Display& display();
// The display if it opened, or null: windows and metrics need an open one.
Display* openDisplay();

struct Window {
  HWND handle = nullptr;
  std::string className;
  WNDPROC procedure = nullptr;
  HCURSOR cursor = nullptr;
  std::string title;
  DWORD style = 0;
  RECT rect = {};
  bool visible = false;
  bool updatePending = false;  // a non-empty update region
};

// Null when the handle names no live window.
Window* findWindow(HWND handle);
// Live top-level windows in creation order.
std::vector<Window*> allWindows();

// Hands a pointer message to the window's procedure the way Windows does
// before the message is retrieved: WM_SETCURSOR first.
void sendSetCursor(Window& window, UINT mouseMessage);

// The screen changed size: top-level windows that covered it whole cover it
// again, and are to be painted anew.
void screenResized(int oldWidth, int oldHeight, int width, int height);

// A copy of the screen as GDI last drew it, top row first.
std::vector<std::uint32_t> screenCopy();

}  // namespace win32::detail
