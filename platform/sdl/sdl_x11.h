// What the SDL display needs from the X server beneath SDL: a true-colour
// visual, surviving the loss of the server, keys SDL cannot name, and
// another program's window to draw in. Private to platform/sdl; every call
// but the window check does nothing under other drivers.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "win32/driver.h"

struct _XDisplay;  // Xlib's Display

namespace win32::sdl {

// A connection of its own to the X display named (null: DISPLAY's), or null.
// A busy server refuses a connection now and then (Xvfb does, one in fifty on
// a loaded machine): it is tried five times, a tenth of a second apart.
::_XDisplay* openXDisplay(const char* name);

// SDL's video driver is X11.
bool onX11();

// The saver's own window on the X screen that DISPLAY names (":0.1" is
// screen 1; SDL would make it on the first screen), made on SDL's connection
// (that of probe, any SDL window on it), the size of the screen: not
// managed by a window manager (override-redirect, so that nothing frames,
// moves or stacks it), on a true-colour visual where the screen has one
// (pixels that are colours, also on an 8-bit screen), with the events that
// SDL and the saver need, following the screen's size when RandR changes it
// (see screenEvent). Its size in width and height; 0 when SDL's driver is
// not X11.
std::uint32_t createSaverWindow(SDL_Window* probe, int& width, int& height);

// While the saver's own window is up it holds the keyboard and stays above
// every other window, as a screen saver's does: the keyboard grab is tried
// again (at most four times a second) until it is had, for another program
// (another saver) may hold it; a window that comes to lie over the saver's
// is covered again, while the grab is held. releaseScreen gives the
// keyboard back and stops covering (for a message box that needs both).
void holdScreen(SDL_Window* window);
void releaseScreen(SDL_Window* window);
// SDL gives the keyboard back whenever the window's focus changes (its
// grab follows the focus): after a focus event it is taken again at once.
void keyboardMayBeFree();
// An X event of the saver's own window, or of the root window it covers (a
// new screen size: the window takes it): true when it was taken here.
bool screenEvent(SDL_Window* window, const SDL_SysWMmsg& message);

// Shows the rectangle of a 0x00RRGGBB picture (rows pitch words apart) in
// the window through Xlib, converted to the window's visual: a true-colour
// one whatever its masks (8-bit 3-3-2, 30-bit: SDL has no surface format
// for them), or one whose pixels index a colour map (an 8-bit PseudoColor
// screen's window, which a daemon may give a hack), in the nearest colours
// the map holds. False when that cannot be done.
bool putPicture(SDL_Window* window, const std::uint32_t* pixels, std::size_t pitch, const SDL_Rect& rect);
// True for a window whose pixels index a colour map: SDL's surface would
// show its colours wrong, putPicture shows them right.
bool needsPutPicture(SDL_Window* window);

// After the window is made: a lost connection to the server no longer ends
// the process from inside Xlib; lostDisplay() tells, and the display ends
// the saver as the desktop would.
void surviveLostDisplay(SDL_Window* window);
bool lostDisplay();

// Another program's window (0: the root window) checked on an X connection
// of its own, so that a bad id is one line rather than Xlib's report and
// exit: its id, with problem left empty when it can be drawn in, or else
// set to one line saying why not.
std::uint32_t checkForeignWindow(std::uint32_t window, std::string& problem);

// Around adopting it: from then on an X error about the window means it is
// gone, which ends the process; then the window's input is left to its owner.
void adoptingWindow(std::uint32_t window);
void keepInputAway(void* connection, std::uint32_t window);

// A key press or release that SDL dropped because it has no scancode for
// the key (SDL reports it as a window-system event only). next is the event
// SDL queued after it, if any: SDL's own key event when it knew the key.
std::optional<InputEvent> unnamedKey(const SDL_SysWMmsg& message, const SDL_Event* next);

}  // namespace win32::sdl
