// The SDL2 display: no display gives the failures Windows gives; under SDL's
// dummy driver, SDL input arrives as the Windows messages it stands for, and
// the screen follows the window's size.
#include <gtest/gtest.h>

#include <SDL.h>
#include <X11/Xlib.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>
#include <random>
#include <utility>

#include "board_host.h"

#include "isolated.h"
#include "sdl_damage.h"
#include "sdl_driver.h"
#include "sdl_keys.h"
#include "win32/display.h"
#include "win32/driver.h"
#include "win32/sdl.h"

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
    win32::useSdlDisplay();
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
    win32::useSdlDisplay();
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

// Expected codes from Microsoft's virtual-key code list (winuser.h), not
// from our table: the key at each position on a US keyboard.
TEST(SdlKeys, EveryNamedKeyHasItsWindowsCode) {
  const std::pair<SDL_Scancode, UINT> windowsCodes[] = {
      {SDL_SCANCODE_AUDIOPLAY, 0xB3},    {SDL_SCANCODE_AUDIOSTOP, 0xB2},   {SDL_SCANCODE_AUDIONEXT, 0xB0},
      {SDL_SCANCODE_AUDIOPREV, 0xB1},    {SDL_SCANCODE_AUDIOMUTE, 0xAD},   {SDL_SCANCODE_MUTE, 0xAD},
      {SDL_SCANCODE_VOLUMEUP, 0xAF},     {SDL_SCANCODE_VOLUMEDOWN, 0xAE},  {SDL_SCANCODE_AC_BACK, 0xA6},
      {SDL_SCANCODE_AC_FORWARD, 0xA7},   {SDL_SCANCODE_AC_REFRESH, 0xA8},  {SDL_SCANCODE_AC_STOP, 0xA9},
      {SDL_SCANCODE_AC_SEARCH, 0xAA},    {SDL_SCANCODE_AC_BOOKMARKS, 0xAB}, {SDL_SCANCODE_AC_HOME, 0xAC},
      {SDL_SCANCODE_MAIL, 0xB4},         {SDL_SCANCODE_MEDIASELECT, 0xB5}, {SDL_SCANCODE_SLEEP, 0x5F},
      {SDL_SCANCODE_F13, 0x7C},          {SDL_SCANCODE_F18, 0x81},         {SDL_SCANCODE_F24, 0x87},
      {SDL_SCANCODE_KP_0, 0x60},         {SDL_SCANCODE_KP_5, 0x65},        {SDL_SCANCODE_KP_9, 0x69},
      {SDL_SCANCODE_KP_MULTIPLY, 0x6A},  {SDL_SCANCODE_KP_PLUS, 0x6B},     {SDL_SCANCODE_KP_MINUS, 0x6D},
      {SDL_SCANCODE_KP_PERIOD, 0x6E},    {SDL_SCANCODE_KP_DIVIDE, 0x6F},   {SDL_SCANCODE_KP_ENTER, 0x0D},
      {SDL_SCANCODE_NUMLOCKCLEAR, 0x90}, {SDL_SCANCODE_SEMICOLON, 0xBA},   {SDL_SCANCODE_EQUALS, 0xBB},
      {SDL_SCANCODE_COMMA, 0xBC},        {SDL_SCANCODE_MINUS, 0xBD},       {SDL_SCANCODE_PERIOD, 0xBE},
      {SDL_SCANCODE_SLASH, 0xBF},        {SDL_SCANCODE_GRAVE, 0xC0},       {SDL_SCANCODE_LEFTBRACKET, 0xDB},
      {SDL_SCANCODE_BACKSLASH, 0xDC},    {SDL_SCANCODE_RIGHTBRACKET, 0xDD}, {SDL_SCANCODE_APOSTROPHE, 0xDE},
      {SDL_SCANCODE_NONUSBACKSLASH, 0xE2}, {SDL_SCANCODE_HELP, 0x2F},      {SDL_SCANCODE_SELECT, 0x29},
      {SDL_SCANCODE_EXECUTE, 0x2B},      {SDL_SCANCODE_CANCEL, 0x03},      {SDL_SCANCODE_CLEAR, 0x0C},
      {SDL_SCANCODE_CRSEL, 0xF7},        {SDL_SCANCODE_EXSEL, 0xF8},       {SDL_SCANCODE_ESCAPE, 0x1B},
      {SDL_SCANCODE_F1, 0x70},           {SDL_SCANCODE_F12, 0x7B},         {SDL_SCANCODE_PRINTSCREEN, 0x2C},
      {SDL_SCANCODE_A, 'A'},             {SDL_SCANCODE_0, '0'},            {SDL_SCANCODE_APPLICATION, 0x5D},
  };
  for (const auto& [scancode, code] : windowsCodes) {
    EXPECT_EQ(win32::sdl::virtualKeyOfScancode(scancode), code) << SDL_GetScancodeName(scancode);
  }
  // Every scancode SDL has a name for gives a code in 1-255, and only keys
  // Windows has no code for (brightness, eject, the calculator keypad) give
  // its "no virtual key" 0xFF: each of those is listed here by hand.
  const SDL_Scancode withoutWindowsCode[] = {
      SDL_SCANCODE_POWER, SDL_SCANCODE_AGAIN, SDL_SCANCODE_UNDO, SDL_SCANCODE_CUT, SDL_SCANCODE_COPY,
      SDL_SCANCODE_PASTE, SDL_SCANCODE_FIND, SDL_SCANCODE_INTERNATIONAL7, SDL_SCANCODE_INTERNATIONAL8,
      SDL_SCANCODE_INTERNATIONAL9, SDL_SCANCODE_LANG6, SDL_SCANCODE_LANG7, SDL_SCANCODE_LANG8, SDL_SCANCODE_LANG9,
      SDL_SCANCODE_ALTERASE, SDL_SCANCODE_OUT, SDL_SCANCODE_OPER, SDL_SCANCODE_CURRENCYUNIT,
      SDL_SCANCODE_CURRENCYSUBUNIT, SDL_SCANCODE_KP_LEFTPAREN, SDL_SCANCODE_KP_RIGHTPAREN,
      SDL_SCANCODE_KP_LEFTBRACE, SDL_SCANCODE_KP_RIGHTBRACE, SDL_SCANCODE_KP_XOR, SDL_SCANCODE_KP_POWER,
      SDL_SCANCODE_KP_PERCENT, SDL_SCANCODE_KP_LESS, SDL_SCANCODE_KP_GREATER, SDL_SCANCODE_KP_AMPERSAND,
      SDL_SCANCODE_KP_DBLAMPERSAND, SDL_SCANCODE_KP_VERTICALBAR, SDL_SCANCODE_KP_DBLVERTICALBAR,
      SDL_SCANCODE_KP_COLON, SDL_SCANCODE_KP_HASH, SDL_SCANCODE_KP_AT, SDL_SCANCODE_KP_EXCLAM,
      SDL_SCANCODE_KP_MEMSTORE, SDL_SCANCODE_KP_MEMRECALL, SDL_SCANCODE_KP_MEMCLEAR, SDL_SCANCODE_KP_MEMADD,
      SDL_SCANCODE_KP_MEMSUBTRACT, SDL_SCANCODE_KP_MEMMULTIPLY, SDL_SCANCODE_KP_MEMDIVIDE,
      SDL_SCANCODE_KP_PLUSMINUS, SDL_SCANCODE_KP_BINARY, SDL_SCANCODE_KP_OCTAL, SDL_SCANCODE_KP_HEXADECIMAL,
      SDL_SCANCODE_BRIGHTNESSDOWN, SDL_SCANCODE_BRIGHTNESSUP, SDL_SCANCODE_DISPLAYSWITCH,
      SDL_SCANCODE_KBDILLUMTOGGLE, SDL_SCANCODE_KBDILLUMDOWN, SDL_SCANCODE_KBDILLUMUP, SDL_SCANCODE_EJECT,
      SDL_SCANCODE_AUDIOREWIND, SDL_SCANCODE_AUDIOFASTFORWARD, SDL_SCANCODE_SOFTLEFT, SDL_SCANCODE_SOFTRIGHT,
      SDL_SCANCODE_CALL, SDL_SCANCODE_ENDCALL};
  for (int scancode = 1; scancode < SDL_NUM_SCANCODES; ++scancode) {
    const auto code = static_cast<SDL_Scancode>(scancode);
    const char* name = SDL_GetScancodeName(code);
    if (name == nullptr || name[0] == '\0') {
      continue;
    }
    const bool listed = std::find(std::begin(withoutWindowsCode), std::end(withoutWindowsCode), code) !=
                        std::end(withoutWindowsCode);
    const UINT key = win32::sdl::virtualKeyOfScancode(code);
    EXPECT_GT(key, 0u) << name;
    EXPECT_EQ(key == win32::sdl::noVirtualKey, listed) << name << " gives " << key;
  }
  // Keys known only by their X keysym: F13 (XK_F13 0xFFCA) and F24.
  EXPECT_EQ(win32::sdl::virtualKeyOfKeysym(0xFFCA), 0x7Cu);
  EXPECT_EQ(win32::sdl::virtualKeyOfKeysym(0xFFD5), 0x87u);
}

// Every key X names in its function-key and XF86 ranges, as it arrives
// when SDL has no scancode for its key code: those Windows has a key for
// give that key's code, the rest 255. Names from X (XStringToKeysym), codes
// from Microsoft's virtual-key code list, not from our table.
TEST(SdlKeys, EveryKeyXNamesHasItsWindowsCode) {
  const std::pair<const char*, UINT> windowsCodes[] = {
      {"BackSpace", 0x08}, {"Tab", 0x09}, {"ISO_Left_Tab", 0x09}, {"Clear", 0x0C}, {"Return", 0x0D},
      {"Pause", 0x13}, {"Scroll_Lock", 0x91}, {"Sys_Req", 0x2C}, {"Escape", 0x1B}, {"Delete", 0x2E},
      {"Kanji", 0x19}, {"Muhenkan", 0x1D}, {"Henkan_Mode", 0x1C}, {"Hiragana", 0xF2}, {"Katakana", 0xF1},
      {"Hiragana_Katakana", 0x15}, {"Zenkaku_Hankaku", 0xF4}, {"Hangul", 0x15}, {"Hangul_Hanja", 0x19},
      {"Home", 0x24}, {"Left", 0x25}, {"Up", 0x26}, {"Right", 0x27}, {"Down", 0x28}, {"Prior", 0x21},
      {"Next", 0x22}, {"End", 0x23}, {"Begin", 0x0C}, {"Select", 0x29}, {"Print", 0x2C}, {"Execute", 0x2B},
      {"Insert", 0x2D}, {"Menu", 0x5D}, {"Cancel", 0x03}, {"Help", 0x2F}, {"Break", 0x03},
      {"Mode_switch", 0x1F}, {"Num_Lock", 0x90}, {"KP_Space", 0x20}, {"KP_Tab", 0x09}, {"KP_Enter", 0x0D},
      {"KP_F1", 0x70}, {"KP_F2", 0x71}, {"KP_F3", 0x72}, {"KP_F4", 0x73}, {"KP_Home", 0x24}, {"KP_Left", 0x25},
      {"KP_Up", 0x26}, {"KP_Right", 0x27}, {"KP_Down", 0x28}, {"KP_Prior", 0x21}, {"KP_Next", 0x22},
      {"KP_End", 0x23}, {"KP_Begin", 0x0C}, {"KP_Insert", 0x2D}, {"KP_Delete", 0x2E}, {"KP_Equal", 0x92},
      {"KP_Multiply", 0x6A}, {"KP_Add", 0x6B}, {"KP_Separator", 0x6C}, {"KP_Subtract", 0x6D},
      {"KP_Decimal", 0x6E}, {"KP_Divide", 0x6F}, {"KP_0", 0x60}, {"KP_1", 0x61}, {"KP_2", 0x62}, {"KP_3", 0x63},
      {"KP_4", 0x64}, {"KP_5", 0x65}, {"KP_6", 0x66}, {"KP_7", 0x67}, {"KP_8", 0x68}, {"KP_9", 0x69},
      {"F1", 0x70}, {"F2", 0x71}, {"F3", 0x72}, {"F4", 0x73}, {"F5", 0x74}, {"F6", 0x75}, {"F7", 0x76},
      {"F8", 0x77}, {"F9", 0x78}, {"F10", 0x79}, {"F11", 0x7A}, {"F12", 0x7B}, {"F13", 0x7C}, {"F14", 0x7D},
      {"F15", 0x7E}, {"F16", 0x7F}, {"F17", 0x80}, {"F18", 0x81}, {"F19", 0x82}, {"F20", 0x83}, {"F21", 0x84},
      {"F22", 0x85}, {"F23", 0x86}, {"F24", 0x87}, {"Shift_L", 0x10}, {"Shift_R", 0x10}, {"Control_L", 0x11},
      {"Control_R", 0x11}, {"Caps_Lock", 0x14}, {"Alt_L", 0x12}, {"Alt_R", 0x12}, {"ISO_Level3_Shift", 0x12},
      {"Super_L", 0x5B}, {"Super_R", 0x5C}, {"XF86AudioLowerVolume", 0xAE}, {"XF86AudioMute", 0xAD},
      {"XF86AudioRaiseVolume", 0xAF}, {"XF86AudioPlay", 0xB3}, {"XF86AudioPause", 0xB3}, {"XF86AudioStop", 0xB2},
      {"XF86AudioPrev", 0xB1}, {"XF86AudioNext", 0xB0}, {"XF86HomePage", 0xAC}, {"XF86Mail", 0xB4},
      {"XF86Search", 0xAA}, {"XF86Calculator", 0xB7}, {"XF86Back", 0xA6}, {"XF86Forward", 0xA7},
      {"XF86Stop", 0xA9}, {"XF86Refresh", 0xA8}, {"XF86Sleep", 0x5F}, {"XF86Favorites", 0xAB},
      {"XF86AudioMedia", 0xB5}, {"XF86MyComputer", 0xB6},
  };
  std::map<unsigned long, UINT> expected;
  for (const auto& [name, code] : windowsCodes) {
    const KeySym keysym = XStringToKeysym(name);
    ASSERT_NE(keysym, static_cast<KeySym>(NoSymbol)) << name;
    expected[keysym] = code;
  }
  int named = 0;
  for (const auto& [first, last] : {std::pair{0xFE00ul, 0xFFFFul}, {0x1008FF00ul, 0x1008FFFFul}}) {
    for (unsigned long keysym = first; keysym <= last; ++keysym) {
      const char* name = XKeysymToString(keysym);
      if (name == nullptr) {
        continue;
      }
      ++named;
      const auto known = expected.find(keysym);
      EXPECT_EQ(win32::sdl::virtualKeyOfKeysym(keysym), known != expected.end() ? known->second : 0xFFu) << name;
    }
  }
  EXPECT_GT(named, 300);  // X names some 400 keys in these ranges
}

// The driver a session gets: the user's SDL_VIDEODRIVER always; Wayland
// first on a Wayland session, X11 alone on an X session.
TEST(SdlDriver, WaylandSessionsAskForWaylandFirst) {
  struct Case {
    const char* videoDriver;
    const char* waylandDisplay;
    const char* display;
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, "wayland-0", ":0", "wayland,x11"}, {nullptr, "wayland-1", nullptr, "wayland,x11"},
      {nullptr, nullptr, ":0", "x11"},             {nullptr, "", ":1", "x11"},
      {"x11", "wayland-0", ":0", nullptr},         {"wayland", nullptr, ":0", nullptr},
      {nullptr, nullptr, nullptr, nullptr},        {"", "", "", nullptr},
  };
  for (const Case& c : cases) {
    const char* chosen = win32::sdl::preferredVideoDrivers(c.videoDriver, c.waylandDisplay, c.display);
    EXPECT_STREQ(chosen, c.expected) << (c.videoDriver ? c.videoDriver : "-") << " "
                                     << (c.waylandDisplay ? c.waylandDisplay : "-") << " "
                                     << (c.display ? c.display : "-");
  }
}

// A media key reaches the window as WM_KEYDOWN with its own code, not the
// 255 of a failed start.
TEST(SdlDisplay, MediaKeysArriveWithTheirOwnCodes) {
  const IsolatedRun run = runIsolated([] {
    win32::useSdlDisplay();
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ShowWindow(makeWindow(), SW_SHOW);
    pushKey(SDL_KEYDOWN, SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY, 0);
    pushKey(SDL_KEYDOWN, SDLK_VOLUMEUP, SDL_SCANCODE_VOLUMEUP, 0);
    for (const char* name : {"play", "volumeUp"}) {
      const MSG message = nextInput();
      reportFact(name, std::to_string(message.message) + " " + std::to_string(message.wParam));
    }
  });
  EXPECT_EQ(run["play"], "256 179");      // WM_KEYDOWN VK_MEDIA_PLAY_PAUSE 0xB3
  EXPECT_EQ(run["volumeUp"], "256 175");  // VK_VOLUME_UP 0xAF
}

// The board's picture follows the window when it shrinks, down to one pixel:
// the screen, the window that covered it and the letterboxed picture all
// take the new size. At 300x768 a 4:3 picture is 300x225, rows 271 to 495
// ((768 - 225) / 2 = 271); everything above is black bar.
TEST(SdlDisplay, ThePictureFollowsTheWindowSize) {
  const IsolatedRun run = runIsolated([] {
    win32::useSdlDisplay();
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
    const HWND window = showBoardWindow();
    reportFact("opened", openBoard());
    // Resized from outside, as a window manager or xdotool would.
    SDL_Window* sdlWindow = SDL_GetWindowFromID(1);
    SDL_SetWindowFullscreen(sdlWindow, 0);
    for (const auto& [width, height] : {std::pair{300, 768}, {1, 1}, {200, 100}, {1000, 100}, {300, 768}}) {
      SDL_SetWindowSize(sdlWindow, width, height);
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
      grBufferClear(0xFFFFFFFFu, 0, 0xFFFF);
      grBufferSwap(0);
      RECT client{};
      GetClientRect(window, &client);
      reportFact("size" + std::to_string(width) + "x" + std::to_string(height),
                 std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" + std::to_string(GetSystemMetrics(SM_CYSCREEN)) +
                     " " + std::to_string(client.right) + "x" + std::to_string(client.bottom));
    }
    SDL_Surface* surface = SDL_GetWindowSurface(sdlWindow);
    auto pixel = [surface](int x, int y) {
      return static_cast<const std::uint32_t*>(surface->pixels)[y * surface->pitch / 4 + x] & 0xFFFFFFu;
    };
    reportFact("bar", pixel(150, 270));
    reportFact("top", pixel(150, 271));
    reportFact("bottom", pixel(150, 495));
    reportFact("below", pixel(150, 496));
  });
  EXPECT_EQ(run["opened"], "1");
  EXPECT_EQ(run["size300x768"], "300x768 300x768");
  EXPECT_EQ(run["size1x1"], "1x1 1x1");
  EXPECT_EQ(run["size200x100"], "200x100 200x100");
  EXPECT_EQ(run["size1000x100"], "1000x100 1000x100");
  EXPECT_EQ(run["bar"], "0");
  EXPECT_EQ(run["top"], std::to_string(0xFFFFFF));
  EXPECT_EQ(run["bottom"], std::to_string(0xFFFFFF));
  EXPECT_EQ(run["below"], "0");
}

// The tiles shown anew after a present. Known answers worked out by hand on
// a 100 x 70 screen with 32-pixel tiles (columns 0-31, 32-63, 64-95, 96-99;
// rows 0-31, 32-63, 64-69), then random rectangles checked pixel by pixel
// against their plain definition: every changed pixel covered, every tile
// covered touches a changed rectangle or lies within the joining gap of one
// in its row, no pixel covered twice.
TEST(Damage, CoveringTilesKnownAnswersAndRandomRectangles) {
  using win32::sdl::coveringTiles;
  struct Case {
    std::vector<RECT> changed;
    int joinGap;
    std::vector<RECT> expected;
  };
  const Case cases[] = {
      {{}, 0, {}},
      {{{5, 5, 5, 9}}, 0, {}},                                        // empty
      {{{-50, -50, 0, 70}}, 0, {}},                                   // off screen
      {{{0, 0, 1, 1}}, 0, {{0, 0, 32, 32}}},                          // one pixel, one tile
      {{{31, 31, 33, 33}}, 0, {{0, 0, 64, 64}}},                      // the corner of four tiles
      {{{90, 60, 500, 500}}, 0, {{64, 32, 100, 70}}},                 // cut at the screen's edges
      {{{0, 0, 10, 10}, {70, 0, 80, 10}}, 0, {{0, 0, 32, 32}, {64, 0, 96, 32}}},  // two runs in one row
      {{{0, 0, 10, 10}, {70, 0, 80, 10}}, 1, {{0, 0, 96, 32}}},       // joined across one tile
      {{{0, 0, 10, 10}, {99, 0, 100, 10}}, 1, {{0, 0, 32, 32}, {96, 0, 100, 32}}},  // two tiles apart
      {{{0, 0, 10, 10}, {99, 0, 100, 10}}, 2, {{0, 0, 100, 32}}},
      {{{40, 10, 50, 50}, {33, 65, 34, 66}}, 0, {{32, 0, 64, 70}}},   // equal runs of rows merge
      {{{40, 10, 50, 50}, {0, 65, 34, 66}}, 0, {{32, 0, 64, 64}, {0, 64, 64, 70}}},  // unequal ones do not
  };
  const auto same = [](const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::vector<RECT> result = coveringTiles(cases[i].changed, 100, 70, 32, cases[i].joinGap);
    ASSERT_EQ(result.size(), cases[i].expected.size()) << "case " << i;
    for (std::size_t j = 0; j < result.size(); ++j) {
      EXPECT_TRUE(same(result[j], cases[i].expected[j])) << "case " << i << " rectangle " << j;
    }
  }
  std::mt19937 random(17);
  constexpr int width = 203, height = 117, tile = 16;
  int faults = 0;
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<RECT> changed;
    const int count = static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) {
      const LONG left = static_cast<LONG>(random() % 260) - 30, top = static_cast<LONG>(random() % 160) - 20;
      changed.push_back({left, top, left + static_cast<LONG>(random() % 40), top + static_cast<LONG>(random() % 40)});
    }
    std::vector<int> covered(width * height, 0);
    const int joinGap = trial % 3;
    for (const RECT& rect : coveringTiles(changed, width, height, tile, joinGap)) {
      for (LONG y = rect.top; y < rect.bottom; ++y) {
        for (LONG x = rect.left; x < rect.right; ++x) {
          ++covered[y * width + x];
        }
      }
    }
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const auto inside = [x, y](const RECT& r, int grow) {
          return x >= r.left - grow && x < r.right + grow && y >= r.top - grow && y < r.bottom + grow;
        };
        bool changedHere = false;
        bool tileTouched = false;
        for (const RECT& rect : changed) {
          changedHere |= rect.left < rect.right && rect.top < rect.bottom && inside(rect, 0);
          const RECT tileRect{x / tile * tile, y / tile * tile, x / tile * tile + tile, y / tile * tile + tile};
          tileTouched |= rect.left < rect.right && rect.top < rect.bottom && rect.left < tileRect.right &&
                         rect.right > tileRect.left && rect.top < tileRect.bottom && rect.bottom > tileRect.top;
        }
        const int times = covered[y * width + x];
        // A joined gap covers untouched tiles: only those within joinGap
        // tiles of a touched one in the same row of tiles.
        bool nearTouched = tileTouched;
        for (const RECT& rect : changed) {
          const int tileLeft = (x / tile - joinGap) * tile, tileRight = (x / tile + joinGap + 1) * tile;
          nearTouched |= rect.left < rect.right && rect.top < rect.bottom && rect.left < tileRight &&
                         rect.right > tileLeft && rect.top < y / tile * tile + tile && rect.bottom > y / tile * tile;
        }
        faults += times > 1 || (changedHere && times == 0) || (times == 1 && !nearTouched);
      }
    }
  }
  EXPECT_EQ(faults, 0);
  const RECT box = win32::boundingBox({{5, 6, 7, 8}, {1, 20, 3, 21}});
  EXPECT_TRUE(same(box, {1, 6, 7, 21}));
  EXPECT_TRUE(same(win32::boundingBox({}), {0, 0, 0, 0}));
}

// What an X server is handed: a request costs as much as copying
// max(2700, 12000 * 640 * 480 / (width * height)) pixels, so 12000 at
// 640x480, 12000 / 4 = 3000 at 1280x960 and 2700 from 1080p up (12000 /
// 6.75 = 1777 there); runs of 16-pixel tiles are joined across up to
// request / 256 untouched tiles (46 at 640x480, 10 at 4K), and the bounding
// box is sent instead when request + its area costs less than the tiles.
TEST(Damage, AreasToSendWeighRequestsAgainstPixels) {
  EXPECT_EQ(win32::sdl::requestPixels(640, 480), 12000);
  EXPECT_EQ(win32::sdl::requestPixels(1280, 960), 3000);
  EXPECT_EQ(win32::sdl::requestPixels(1920, 1080), 2700);
  EXPECT_EQ(win32::sdl::requestPixels(3840, 2160), 2700);
  EXPECT_EQ(win32::sdl::requestPixels(1, 1), 12000LL * 640 * 480);
  EXPECT_EQ(win32::sdl::requestPixels(0, 0), 12000LL * 640 * 480);  // no division by zero
  const auto same = [](const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  };
  std::vector<RECT> diagonal;  // one pixel in each of 30 tiles on a diagonal
  for (LONG k = 0; k < 30; ++k) diagonal.push_back({16 * k, 16 * k, 16 * k + 1, 16 * k + 1});
  const struct {
    int width, height;
    std::vector<RECT> changed;
    std::vector<RECT> expected;
  } cases[] = {
      {640, 480, {}, {}},
      // Far apart at 1080p: two tiles, 2 * (2700 + 256), against a box of
      // 1008 x 512 pixels.
      {1920, 1080, {{0, 0, 1, 1}, {1000, 500, 1001, 501}}, {{0, 0, 16, 16}, {992, 496, 1008, 512}}},
      // One row at 640x480, tiles 0 and 20 (19 between, at most 46 joined).
      {640, 480, {{0, 0, 1, 1}, {320, 0, 321, 1}}, {{0, 0, 336, 16}}},
      // Different rows at 640x480: 2 * 12000 + 512 against 12000 + 608 * 416.
      {640, 480, {{0, 0, 1, 1}, {600, 400, 601, 401}}, {{0, 0, 16, 16}, {592, 400, 608, 416}}},
      // Thirty tiles on a diagonal: 30 * (12000 + 256) = 367680 against
      // 12000 + 480 * 480 = 242400: the box.
      {640, 480, diagonal, {{0, 0, 480, 480}}},
      // At 4K a gap of ten untouched tiles is joined, of eleven it is not.
      {3840, 2160, {{0, 0, 1, 1}, {176, 0, 177, 1}}, {{0, 0, 192, 16}}},
      {3840, 2160, {{0, 0, 1, 1}, {192, 0, 193, 1}}, {{0, 0, 16, 16}, {192, 0, 208, 16}}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::vector<RECT> result = win32::sdl::areasToSend(cases[i].changed, cases[i].width, cases[i].height);
    ASSERT_EQ(result.size(), cases[i].expected.size()) << "case " << i;
    for (std::size_t j = 0; j < result.size(); ++j) {
      EXPECT_TRUE(same(result[j], cases[i].expected[j])) << "case " << i << " rectangle " << j;
    }
  }
}

}  // namespace
