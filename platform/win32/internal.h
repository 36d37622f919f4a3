// Shared state of the Win32 subset: the display in use, the window list and
// the screen copy. Private to platform/win32; back ends see win32/driver.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win32/driver.h"

namespace win32::detail {

// The display in use: the one a program chose, or one that has no screen.
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

// How many times GetMessageA has been called.
int getMessageCalls();

// A copy of the screen as GDI last drew it, top row first.
std::vector<std::uint32_t> screenCopy();

}  // namespace win32::detail
