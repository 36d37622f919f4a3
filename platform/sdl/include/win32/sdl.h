// The SDL2 display of the Win32 subset: how a program asks for it.
#pragma once

#include <cstdint>
#include <string>

namespace win32 {

// A borderless full-screen window of the desktop's size, the pointer hidden
// over it, SDL input as the Windows messages it stands for, SDL message
// boxes (standard error when there is no display to show one on).
void useSdlDisplay();

// Another program's X window (a screen-saver daemon's; 0: the root window of
// DISPLAY) as the screen: its size, followed as it changes; no input read,
// nothing grabbed, the pointer left alone, message boxes on standard error;
// the process ends with exit code 1 once the window is gone. The window is
// checked first, on a connection of its own: returns "" when it can be drawn
// in, else one line saying why not (and no display is chosen).
std::string useSdlDisplayInWindow(std::uint32_t window);

}  // namespace win32
