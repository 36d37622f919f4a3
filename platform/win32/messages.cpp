// The thread's message queue: posted messages, input, synthesised WM_PAINT,
// sent messages, and the default window procedure.
#include <cstdio>
#include <cstdlib>

#include "internal.h"

namespace win32::detail {
namespace {

struct Posted {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// Made at first use, not before main: a deque takes memory as it is made,
// and memory that cannot be had then would end the process unreported.
std::deque<Posted>& postedQueue() {
  static std::deque<Posted> queue;
  return queue;
}
std::deque<InputEvent>& inputQueue() {
  static std::deque<InputEvent> queue;
  return queue;
}
int getMessageCallCount = 0;
DWORD messageClock = 0;

bool inFilter(HWND messageWindow, UINT message, HWND filterWindow, UINT low, UINT high) {
  if (filterWindow != nullptr && messageWindow != filterWindow) {
    return false;
  }
  return (low == 0 && high == 0) || (message >= low && message <= high);
}

void fill(MSG* message, HWND window, UINT number, WPARAM wParam, LPARAM lParam) {
  message->hwnd = window;
  message->message = number;
  message->wParam = wParam;
  message->lParam = lParam;
  message->time = ++messageClock;
  message->pt = {0, 0};
}

bool isPointerMessage(UINT message) {
  return message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL;
}

// Input goes to the active window; with none, it is dropped, as it would go
// to another program's window.
bool takeInput(MSG* message, HWND filterWindow, UINT low, UINT high, bool remove) {
  const HWND target = GetActiveWindow();
  if (target == nullptr) {
    inputQueue().clear();
    return false;
  }
  for (auto it = inputQueue().begin(); it != inputQueue().end(); ++it) {
    if (!inFilter(target, it->message, filterWindow, low, high)) {
      continue;
    }
    const InputEvent event = *it;
    if (remove) {
      inputQueue().erase(it);
    }
    if (isPointerMessage(event.message)) {
      if (Window* window = findWindow(target)) {
        sendSetCursor(*window, event.message);
      }
    }
    fill(message, target, event.message, event.wParam, event.lParam);
    return true;
  }
  return false;
}

bool takePosted(MSG* message, HWND filterWindow, UINT low, UINT high, bool remove) {
  for (auto it = postedQueue().begin(); it != postedQueue().end(); ++it) {
    if (it->message != WM_QUIT && !inFilter(it->window, it->message, filterWindow, low, high)) {
      continue;
    }
    fill(message, it->window, it->message, it->wParam, it->lParam);
    if (remove) {
      postedQueue().erase(it);
    }
    return true;
  }
  return false;
}

bool takePaint(MSG* message, HWND filterWindow, UINT low, UINT high) {
  for (Window* window : allWindows()) {
    if (window->visible && window->updatePending &&
        inFilter(window->handle, WM_PAINT, filterWindow, low, high)) {
      fill(message, window->handle, WM_PAINT, 0, 0);
      return true;
    }
  }
  return false;
}

// Retrieval order: posted messages (WM_QUIT among them), then input, then
// WM_PAINT for a visible window whose update region is not empty.
bool takeMessage(MSG* message, HWND filterWindow, UINT low, UINT high, bool remove) {
  return takePosted(message, filterWindow, low, high, remove) ||
         takeInput(message, filterWindow, low, high, remove) ||
         takePaint(message, filterWindow, low, high);
}

}  // namespace

int getMessageCalls() {
  return getMessageCallCount;
}

}  // namespace win32::detail

namespace win32::headless {
int getMessageCalls() {
  return detail::getMessageCalls();
}
}  // namespace win32::headless

using namespace win32::detail;
using win32::Display;

extern "C" {

BOOL WINAPI GetMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax) {
  ++getMessageCallCount;
  Display& screen = display();
  screen.collectInput(inputQueue(), false);
  while (!takeMessage(message, window, filterMin, filterMax, true)) {
    if (!screen.collectInput(inputQueue(), true)) {
      std::fprintf(stderr, "win32: GetMessageA would wait for input that can never arrive\n");
      std::fflush(nullptr);
      std::_Exit(3);
    }
  }
  return message->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
  display().collectInput(inputQueue(), false);
  return takeMessage(message, window, filterMin, filterMax, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

// A character key pressed posts the character that it types.
BOOL WINAPI TranslateMessage(const MSG* message) {
  if (message == nullptr || (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN)) {
    return FALSE;
  }
  const WPARAM key = message->wParam;
  WPARAM character = 0;
  if (key >= 'A' && key <= 'Z') {
    character = key - 'A' + 'a';
  } else if ((key >= '0' && key <= '9') || key == VK_SPACE || key == VK_RETURN || key == VK_ESCAPE ||
             key == VK_BACK || key == VK_TAB) {
    character = key;
  }
  if (character == 0) {
    return FALSE;
  }
  const UINT charMessage = message->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
  PostMessageA(message->hwnd, charMessage, character, message->lParam);
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
  if (message == nullptr || message->hwnd == nullptr) {
    return 0;
  }
  Window* window = findWindow(message->hwnd);
  if (window == nullptr) {
    return 0;
  }
  return window->procedure(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT WINAPI SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* window = findWindow(handle);
  if (window == nullptr) {
    return 0;
  }
  return window->procedure(handle, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (handle != nullptr && findWindow(handle) == nullptr) {
    return FALSE;
  }
  postedQueue().push_back({handle, message, wParam, lParam});
  return TRUE;
}

BOOL WINAPI PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  if (threadId != GetCurrentThreadId()) {
    return FALSE;
  }
  postedQueue().push_back({nullptr, message, wParam, lParam});
  return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
  postedQueue().push_back({nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0});
}

// Alt+F4 asks to close, F10 and a lone Alt open the (absent) window menu;
// both come back to the window as WM_SYSCOMMAND, whose SC_CLOSE becomes
// WM_CLOSE, which destroys the window.
LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(handle);
      return 0;
    case WM_PAINT:
      ValidateRect(handle, nullptr);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      if (Window* window = findWindow(handle)) {
        SetCursor(window->cursor);
      }
      return TRUE;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4 && (lParam & (1 << 29)) != 0) {
        SendMessageA(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
      } else if (wParam == VK_F10) {
        SendMessageA(handle, WM_SYSCOMMAND, SC_KEYMENU, 0);
      }
      return 0;
    case WM_SYSKEYUP:
      if (wParam == VK_MENU) {
        SendMessageA(handle, WM_SYSCOMMAND, SC_KEYMENU, 0);
      }
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        SendMessageA(handle, WM_CLOSE, 0, 0);
      }
      return 0;
    default:
      return 0;
  }
}

BOOL WINAPI InvalidateRect(HWND handle, const RECT*, BOOL) {
  if (handle == nullptr) {
    for (Window* window : allWindows()) {
      window->updatePending = true;
    }
    return TRUE;
  }
  Window* window = findWindow(handle);
  if (window == nullptr) {
    return FALSE;
  }
  window->updatePending = true;
  return TRUE;
}

BOOL WINAPI ValidateRect(HWND handle, const RECT*) {
  Window* window = findWindow(handle);
  if (window == nullptr) {
    return FALSE;
  }
  window->updatePending = false;
  return TRUE;
}

HDC WINAPI BeginPaint(HWND handle, PAINTSTRUCT* paint) {
  Window* window = findWindow(handle);
  if (window == nullptr || paint == nullptr) {
    return nullptr;
  }
  *paint = {};
  GetClientRect(handle, &paint->rcPaint);
  window->updatePending = false;
  paint->hdc = GetDC(handle);
  return paint->hdc;
}

BOOL WINAPI EndPaint(HWND handle, const PAINTSTRUCT* paint) {
  if (paint != nullptr) {
    ReleaseDC(handle, paint->hdc);
  }
  return TRUE;
}

}  // extern "C"
