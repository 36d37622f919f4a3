// The Windows virtual-key code of each key SDL reports, and of keys that
// only the X server can name. Private to platform/win32.
#pragma once

#include <SDL.h>
#include <windows.h>

namespace win32::sdl {

// The code Windows gives a key that has none of its own (its layouts' "no
// virtual key"); every key still ends the saver.
constexpr UINT noVirtualKey = 0xFF;

// Letters and digits by what the layout types on the key, as Windows does;
// every other key by its position.
UINT virtualKeyOf(const SDL_Keysym& key);

// By the key's position (SDL's scancode) on a US layout.
UINT virtualKeyOfScancode(SDL_Scancode scancode);

// A key SDL does not know (no scancode), by the X keysym the server gives it.
UINT virtualKeyOfKeysym(unsigned long keysym);

}  // namespace win32::sdl
