// Fuzzes the Win32 subset's queue with arbitrary sequences of posted, sent
// and input messages driving the saver's own window procedure, as its
// message loop does. It never crashes, and the saver ends exactly by the
// rules: a key message, the fifth mouse move, or WM_DESTROY; the exit code
// is the wParam of the message that ended it.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/screenwindow.h"
#include "win32/display.h"

namespace {

const UINT messages[] = {WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_MOUSEMOVE, WM_LBUTTONDOWN,
                         WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MOUSEWHEEL, WM_CHAR, WM_CLOSE, WM_SYSCOMMAND,
                         WM_PAINT, WM_SETCURSOR, WM_QUIT, WM_USER + 7, WM_ACTIVATE, WM_NULL};

bool ends(UINT message, std::int32_t movesSoFar) {
  return message == WM_KEYDOWN || message == WM_KEYUP || (message == WM_MOUSEMOVE && movesSoFar >= 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool headless = [] {
    win32::useHeadlessDisplay(640, 480);
    return true;
  }();
  (void)headless;
  if (screenWindow == nullptr || !IsWindow(screenWindow)) {
    createScreenWindow();
  }
  quitRequested = 0;
  mouseMoveCount = 0;
  // Drain what an earlier input left in the queue.
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) && message.message != WM_PAINT) {
  }
  for (std::size_t i = 0; i + 4 <= size && quitRequested == 0; i += 4) {
    const UINT number = messages[data[i] % (sizeof messages / sizeof messages[0])];
    const WPARAM wParam = data[i + 1];
    const LPARAM lParam = static_cast<LPARAM>(data[i + 2]) << 16 | data[i + 3];
    const std::int32_t movesBefore = mouseMoveCount;
    switch (data[i] / 64) {
      case 0: {  // input through the queue, as the loop takes it
        win32::headless::scriptInput(win32::headless::getMessageCalls() + 1, number, wParam, lParam);
        GetMessageA(&message, nullptr, 0, 0);
        TranslateMessage(&message);
        DispatchMessageA(&message);
        break;
      }
      case 1:  // posted to the window
        PostMessageA(screenWindow, number, wParam, lParam);
        GetMessageA(&message, nullptr, 0, 0);
        TranslateMessage(&message);
        DispatchMessageA(&message);
        break;
      case 2:  // sent from outside
        message = MSG{screenWindow, number, wParam, lParam, 0, {0, 0}};
        SendMessageA(screenWindow, number, wParam, lParam);
        break;
      default:  // a thread message, dispatched to no window
        PostThreadMessageA(GetCurrentThreadId(), number, wParam, lParam);
        GetMessageA(&message, nullptr, 0, 0);
        DispatchMessageA(&message);
        break;
    }
    if (quitRequested != 0) {
      const bool byInput = message.hwnd == screenWindow && ends(message.message, movesBefore);
      const bool destroyed = !IsWindow(screenWindow);
      if (!byInput && !destroyed) {
        std::abort();  // the saver ended for no reason it has
      }
    } else if (message.hwnd == screenWindow && ends(message.message, movesBefore) && data[i] / 64 != 3) {
      std::abort();  // an ending message that did not end it
    }
  }
  return 0;
}
