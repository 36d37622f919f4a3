// Window classes and windows of the Win32 subset, and the system metrics,
// icons, cursors and stock objects that go with them.
#include <strings.h>

#include <algorithm>
#include <climits>
#include <map>

#include "internal.h"

namespace win32::detail {
namespace {

struct WindowClass {
  std::string name;
  WNDCLASSA record;
  ATOM atom;
};

std::vector<WindowClass> classes;
std::map<std::uintptr_t, Window> windows;
std::uintptr_t nextHandle = 0x10010;
HWND activeWindow = nullptr;
bool cursorIsShown = true;

// Stock handles: distinct, non-null, never dereferenced.
HICON const applicationIcon = reinterpret_cast<HICON>(std::uintptr_t{0x7F00});
HCURSOR const arrowCursor = reinterpret_cast<HCURSOR>(std::uintptr_t{0x7F01});
HGDIOBJ const blackBrush = reinterpret_cast<HGDIOBJ>(std::uintptr_t{0x7F04});

const WindowClass* findClass(LPCSTR name) {
  if (name == nullptr) {
    return nullptr;
  }
  for (const WindowClass& windowClass : classes) {
    if (strcasecmp(windowClass.name.c_str(), name) == 0) {  // class names ignore case
      return &windowClass;
    }
  }
  return nullptr;
}

void showOnDisplay(const Window& window, bool shown) {
  if (Display* screen = openDisplay()) {
    screen->setWindowShown(shown, window.title);
  }
}

}  // namespace

Window* findWindow(HWND handle) {
  auto found = windows.find(reinterpret_cast<std::uintptr_t>(handle));
  return found == windows.end() ? nullptr : &found->second;
}

std::vector<Window*> allWindows() {
  std::vector<Window*> result;
  for (auto& [handle, window] : windows) {
    result.push_back(&window);
  }
  return result;
}

void sendSetCursor(Window& window, UINT mouseMessage) {
  SendMessageA(window.handle, WM_SETCURSOR, reinterpret_cast<WPARAM>(window.handle),
               MAKELPARAM(HTCLIENT, mouseMessage));
}
}  // namespace win32::detail

void win32::screenResized(int oldWidth, int oldHeight, int width, int height) {
  for (auto& [handle, window] : detail::windows) {
    if (window.rect.left == 0 && window.rect.top == 0 && window.rect.right == oldWidth &&
        window.rect.bottom == oldHeight) {
      window.rect = {0, 0, width, height};
      window.updatePending = true;
    }
  }
}

using namespace win32::detail;
using win32::Display;

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
      windowClass->lpfnWndProc == nullptr || findClass(windowClass->lpszClassName) != nullptr) {
    return 0;
  }
  const ATOM atom = static_cast<ATOM>(0xC000 + classes.size());
  classes.push_back({windowClass->lpszClassName, *windowClass, atom});
  classes.back().record.lpszClassName = classes.back().name.c_str();
  classes.back().record.lpszMenuName = nullptr;
  return atom;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
  const WindowClass* windowClass = findClass(className);
  if (windowClass == nullptr || openDisplay() == nullptr) {
    return nullptr;
  }
  const std::uintptr_t id = nextHandle;
  nextHandle += 0x10;
  Window& window = windows[id];
  window.handle = reinterpret_cast<HWND>(id);
  window.className = windowClass->name;
  window.procedure = windowClass->record.lpfnWndProc;
  window.cursor = windowClass->record.hCursor;
  window.title = windowName != nullptr ? windowName : "";
  window.style = style & ~WS_VISIBLE;
  // Sizes as Windows stores them: 32-bit edges, never overflowing.
  auto edge = [](long long value) {
    return static_cast<LONG>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
  };
  window.rect = {x, y, edge(static_cast<long long>(x) + width), edge(static_cast<long long>(y) + height)};
  const HWND handle = window.handle;
  if (!SendMessageA(handle, WM_NCCREATE, 0, 0) || SendMessageA(handle, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  if (style & WS_VISIBLE) {
    ShowWindow(handle, SW_SHOW);
  }
  return handle;
}

// Showing a hidden window makes it active and gives it a whole-window update
// region; the pointer lies over it, so it is asked for its cursor.
BOOL WINAPI ShowWindow(HWND handle, int showCommand) {
  Window* window = findWindow(handle);
  if (window == nullptr) {
    return FALSE;
  }
  const BOOL wasVisible = window->visible ? TRUE : FALSE;
  const bool show = showCommand != SW_HIDE;
  if (show == window->visible) {
    return wasVisible;
  }
  window->visible = show;
  SendMessageA(handle, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  showOnDisplay(*window, show);
  if (show) {
    window->updatePending = true;
    activeWindow = handle;
    SendMessageA(handle, WM_ACTIVATEAPP, TRUE, 0);
    SendMessageA(handle, WM_ACTIVATE, WA_ACTIVE, 0);
    SendMessageA(handle, WM_SETFOCUS, 0, 0);
    if (Window* stillThere = findWindow(handle)) {
      sendSetCursor(*stillThere, WM_MOUSEMOVE);
    }
  } else if (activeWindow == handle) {
    activeWindow = nullptr;
  }
  return wasVisible;
}

BOOL WINAPI DestroyWindow(HWND handle) {
  Window* window = findWindow(handle);
  if (window == nullptr) {
    return FALSE;
  }
  if (window->visible) {
    window->visible = false;
    showOnDisplay(*window, false);
  }
  if (activeWindow == handle) {
    activeWindow = nullptr;
  }
  SendMessageA(handle, WM_DESTROY, 0, 0);
  SendMessageA(handle, WM_NCDESTROY, 0, 0);
  windows.erase(reinterpret_cast<std::uintptr_t>(handle));
  return TRUE;
}

BOOL WINAPI IsWindow(HWND handle) {
  return findWindow(handle) != nullptr ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND handle) {
  const Window* window = findWindow(handle);
  return window != nullptr && window->visible ? TRUE : FALSE;
}

HWND WINAPI GetActiveWindow(void) {
  return activeWindow;
}

BOOL WINAPI EnumThreadWindows(DWORD, WNDENUMPROC callback, LPARAM lParam) {
  for (Window* window : allWindows()) {
    if (!callback(window->handle, lParam)) {
      return FALSE;
    }
  }
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND handle, RECT* rect) {
  const Window* window = findWindow(handle);
  if (window == nullptr || rect == nullptr) {
    return FALSE;
  }
  *rect = {0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
  return TRUE;
}

// Without a display Windows reports 0 for the screen size.
int WINAPI GetSystemMetrics(int index) {
  Display* screen = openDisplay();
  if (screen == nullptr) {
    return 0;
  }
  switch (index) {
    case SM_CXSCREEN:
      return screen->width();
    case SM_CYSCREEN:
      return screen->height();
    default:
      return 0;
  }
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  return instance == nullptr && name == IDI_APPLICATION ? applicationIcon : nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  return instance == nullptr && name == IDC_ARROW ? arrowCursor : nullptr;
}

HGDIOBJ WINAPI GetStockObject(int object) {
  return object == BLACK_BRUSH ? blackBrush : nullptr;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
  const HCURSOR previous = cursorIsShown ? arrowCursor : nullptr;
  cursorIsShown = cursor != nullptr;
  if (Display* screen = openDisplay()) {
    screen->setCursorVisible(cursorIsShown);
  }
  return previous;
}

}  // extern "C"
