// The screen window: a black popup covering the desktop with no cursor, and
// the message loop that draws one frame per message.
#include "app/screenwindow.h"

#include "effect/frame.h"

std::int32_t quitRequested = 0;
std::int32_t mouseMoveCount = 0;
HWND screenWindow = nullptr;

namespace {

void onDestroy() {
  quitRequested = 1;
}

// The window is deliberately left invalid: the pending WM_PAINT is what keeps
// the loop drawing when no input comes.
void onPaint() {}

// A key press, or the release of a key held when the saver started.
void onKey(UINT /*virtualKey*/, BOOL /*down*/, int /*repeatCount*/, UINT /*keyFlags*/) {
  quitRequested = 1;
}

// The first four moves are ignored: a nudge of the desk does not end it.
void onMouseMove(int /*x*/, int /*y*/, UINT /*keyFlags*/) {
  mouseMoveCount += 1;
  if (mouseMoveCount > 4) {
    quitRequested = 1;
  }
}

}  // namespace

LRESULT CALLBACK screenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      onDestroy();
      return 0;
    case WM_PAINT:
      onPaint();
      return 0;
    case WM_SETCURSOR:
      SetCursor(nullptr);
      return 1;
    case WM_KEYDOWN:
    case WM_KEYUP:
      onKey(static_cast<UINT>(wParam), message == WM_KEYDOWN ? TRUE : FALSE,
            static_cast<int>(static_cast<short>(LOWORD(lParam))), static_cast<UINT>(HIWORD(lParam)));
      return 0;
    case WM_SYSCOMMAND:
      return 0;  // system commands (Alt+F4's close among them) are not carried out
    case WM_MOUSEMOVE:
      onMouseMove(static_cast<int>(static_cast<short>(LOWORD(lParam))),
                  static_cast<int>(static_cast<short>(HIWORD(lParam))), static_cast<UINT>(wParam));
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

int registerScreenClass() {
  WNDCLASSA windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = screenWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 4;
  windowClass.hInstance = nullptr;
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = "LumvaneClass";
  return RegisterClassA(&windowClass) != 0 ? 1 : 0;
}

int createScreenWindow() {
  registerScreenClass();
  screenWindow = CreateWindowExA(0, "LumvaneClass", "Lumvane", WS_POPUP, 0, 0,
                                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                 nullptr, nullptr, nullptr, nullptr);
  if (screenWindow == nullptr) {
    return 0;
  }
  ShowWindow(screenWindow, SW_SHOW);
  return 1;
}

// The flag is tested only before a message is taken, so the frame after the
// message that set it is still drawn. GetMessageA's result is not looked
// at: WM_QUIT and errors go through like any other message.
MSG runMessageLoop() {
  MSG message = {};
  while (quitRequested == 0) {
    GetMessageA(&message, nullptr, 0, 0);
    TranslateMessage(&message);
    DispatchMessageA(&message);
    drawFrame();
  }
  return message;
}
