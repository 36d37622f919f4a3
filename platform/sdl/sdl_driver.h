// Which of SDL's video drivers the display asks for. Private to platform/sdl.
#pragma once

namespace win32::sdl {

// The drivers for SDL to try, in order, given the environment's
// SDL_VIDEODRIVER, WAYLAND_DISPLAY and DISPLAY (null when unset): on a
// Wayland session (WAYLAND_DISPLAY set) "wayland,x11", since only a
// Wayland window of its own holds the keyboard and lies above every window
// there (through XWayland the compositor gives the keys to its own windows);
// with only DISPLAY set "x11", so that no Wayland compositor is looked for.
// Null where SDL_VIDEODRIVER says (the user's choice) or nothing is set.
const char* preferredVideoDrivers(const char* videoDriver, const char* waylandDisplay, const char* display);

}  // namespace win32::sdl
