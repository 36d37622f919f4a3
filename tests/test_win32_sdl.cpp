// The SDL2 display: no display gives the failures Windows gives; under SDL's
// dummy driver, SDL input arrives as the Windows messages it stands for.
#include <gtest/gtest.h>

#include <SDL.h>
#include <windows.h>

#include <cstdlib>

#include "isolated.h"
#include "win32/display.h"

namespace {

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = plainProc;
  windowClass.lpszClassName = "SdlTest";
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, "SdlTest", "Lumvane", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                         GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, nullptr, nullptr);
}

void pushKey(Uint32 type, SDL_Keycode key, SDL_Scancode scancode, Uint16 modifiers) {
  SDL_Event event{};
  event.type = type;
  event.key.keysym.sym = key;
  event.key.keysym.scancode = scancode;
  event.key.keysym.mod = modifiers;
  SDL_PushEvent(&event);
}

MSG nextInput() {
  MSG message{};
  do {
    GetMessageA(&message, nullptr, 0, 0);
  } while (message.message == WM_PAINT && (ValidateRect(message.hwnd, nullptr), true));
  return message;
}

TEST(SdlDisplay, WithoutADisplayWindowsFailAndBoxesGoToStandardError) {
  const IsolatedRun run = runIsolated([] {
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("DISPLAY", ":97", 1);
    reportFact("window", makeWindow() != nullptr);
    reportFact("width", GetSystemMetrics(SM_CXSCREEN));
    reportFact("box", MessageBoxA(nullptr, "Could not initialize window\r\n", "Lumvane - Fatal Error", MB_SYSTEMMODAL));
  });
  EXPECT_EQ(run["window"], "0");
  EXPECT_EQ(run["width"], "0");
  EXPECT_EQ(run["box"], "1");
  EXPECT_NE(run.errorOutput.find("Lumvane - Fatal Error: Could not initialize window"), std::string::npos);
}

TEST(SdlDisplay, DummyDriverInputBecomesWindowsMessages) {
  const IsolatedRun run = runIsolated([] {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    const HWND window = makeWindow();
    reportFact("window", window != nullptr);
    reportFact("width", GetSystemMetrics(SM_CXSCREEN));
    ShowWindow(window, SW_SHOW);
    pushKey(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0);
    MSG message = nextInput();
    reportFact("escape", std::to_string(message.message) + " " + std::to_string(message.wParam));
    pushKey(SDL_KEYDOWN, SDLK_q, SDL_SCANCODE_Q, KMOD_LALT);
    message = nextInput();
    reportFact("altq", std::to_string(message.message) + " " + std::to_string(message.wParam) + " " +
                           std::to_string((message.lParam >> 29) & 1));
    pushKey(SDL_KEYUP, SDLK_F10, SDL_SCANCODE_F10, 0);
    message = nextInput();
    reportFact("f10up", std::to_string(message.message) + " " + std::to_string(message.wParam) + " " +
                            std::to_string((static_cast<std::uint32_t>(message.lParam) >> 31) & 1));
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 12;
    motion.motion.y = 34;
    motion.motion.state = SDL_BUTTON_LMASK;
    SDL_PushEvent(&motion);
    message = nextInput();
    reportFact("move", std::to_string(message.message) + " " + std::to_string(message.wParam) + " " +
                           std::to_string(GET_X_LPARAM(message.lParam)) + "," +
                           std::to_string(GET_Y_LPARAM(message.lParam)));
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    message = nextInput();
    reportFact("quit", message.message);
    DispatchMessageA(&message);
    reportFact("alive", IsWindow(window));
  });
  EXPECT_EQ(run["window"], "1");
  EXPECT_GT(std::atoi(run["width"].c_str()), 0);
  EXPECT_EQ(run["escape"], "256 27");     // WM_KEYDOWN VK_ESCAPE
  EXPECT_EQ(run["altq"], "260 81 1");     // WM_SYSKEYDOWN 'Q' with the context bit
  EXPECT_EQ(run["f10up"], "261 121 1");   // WM_SYSKEYUP VK_F10, transition bit
  EXPECT_EQ(run["move"], "512 1 12,34");  // WM_MOUSEMOVE MK_LBUTTON
  EXPECT_EQ(run["quit"], "16");           // the desktop's close request: WM_CLOSE
  EXPECT_EQ(run["alive"], "0");
}

}  // namespace
