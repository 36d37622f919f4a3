// The Win32 subset's own controls, outside the Win32 API: the headless
// display with its scripted input and read-back, and the command line the
// layer reports. The saver never calls these; start-ups, tools and tests do,
// before the first window is created.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace win32 {

// A screen of the given size kept in memory, with scripted input. (The
// other displays come with their back ends: win32/sdl.h, the web page.)
void useHeadlessDisplay(int width, int height);

// Replaces the command line that GetCommandLineA reports; by default it is
// built from the process's own arguments, each quoted if it holds a blank,
// joined with single spaces.
void setCommandLine(const std::vector<std::string>& arguments);

namespace headless {

// Input that the display delivers with the given GetMessageA call (counted
// from 1): it is queued just before that call retrieves a message, to the
// active window. When GetMessageA finds nothing to return and would wait,
// the next scripted call's input arrives at once; with nothing scripted
// left, the layer reports the stall and ends the process with code 3.
void scriptInput(int getMessageCall, UINT message, WPARAM wParam, LPARAM lParam);

// A key pressed (WM_KEYDOWN, or WM_SYSKEYDOWN while Alt is held) with the
// lParam bits that Windows gives a first press.
void scriptKeyDown(int getMessageCall, UINT virtualKey, bool altHeld = false);
void scriptKeyUp(int getMessageCall, UINT virtualKey, bool altHeld = false);
void scriptMouseMove(int getMessageCall, int x, int y, WPARAM keyFlags = 0);

// The desktop's request to close the active window: WM_CLOSE posted to it.
void scriptCloseRequest(int getMessageCall);

// Anything else that happens outside the program at that moment (a message
// sent from elsewhere, a thread message posted), run inside GetMessageA.
void scriptAction(int getMessageCall, std::function<void()> action);

// The screen takes a new size at once, as the daemon's window does in hack
// mode: windows that covered all of it cover all of it again and are to be
// painted anew; its content is black until something is drawn.
void resizeScreen(int width, int height);

// How many times GetMessageA has been called.
int getMessageCalls();

struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};

// Every message box shown so far; each was dismissed at once with IDOK.
std::vector<MessageBoxRecord> messageBoxes();
void forgetMessageBoxes();

// The screen as last presented, 0x00RRGGBB per pixel, top row first.
int screenWidth();
int screenHeight();
std::vector<std::uint32_t> screenPixels();

// Called with the whole screen (0x00RRGGBB, top row first) every time
// something is presented on it.
void observePresents(std::function<void(const std::vector<std::uint32_t>&)> observer);

// Whether the pointer shows (SetCursor with a null cursor hides it).
bool cursorVisible();

}  // namespace headless
}  // namespace win32
