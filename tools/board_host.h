// A home for the software Glide board outside the saver: a shown window of
// the screen's size to open on. Used by the tools, tests and fuzzers that
// drive the board directly. (The saver's render state is the saver's own:
// setupScene sets it.)
#pragma once

#include <windows.h>

#include "device/glide.h"

// Registers a plain window class once and shows a new popup covering the
// screen; null when no window can be made.
HWND showBoardWindow();

// grGlideInit, the hardware query, board 0 and its 640x480 screen; true
// when the screen is open.
bool openBoard();
