// Modal message boxes through SDL that never outlive the process. Private to
// platform/win32.
#pragma once

#include <SDL.h>
#include <windows.h>

namespace win32::sdl {

// Shows the box and returns when it is dismissed (IDOK). On X11 SDL draws
// the box in a child process: that child ends with this process however it
// ends, and SIGTERM, SIGINT or SIGHUP while the box is up close the box, so
// the caller goes on as after a dismissal. Without a box (no display) the
// caption and text go to standard error.
int showMessageBox(SDL_Window* owner, const char* text, const char* caption, UINT type);

}  // namespace win32::sdl
