// The full-screen window, its message loop and the input that ends the saver.
#pragma once

#include <windows.h>

#include <cstdint>

// Set by the window procedure on a key message, the fifth mouse move or
// WM_DESTROY; never cleared. The loop stops once it is set.
extern std::int32_t quitRequested;
// Mouse moves since the start; the fifth one ends the saver.
extern std::int32_t mouseMoveCount;
extern HWND screenWindow;

// Registers "LumvaneClass"; 1 on success, 0 otherwise.
int registerScreenClass();

// Creates the hidden borderless screen-sized window "Lumvane" and shows it.
// Returns 1, or 0 when the window cannot be created.
int createScreenWindow();

// Takes a message, translates and dispatches it, then draws one frame, until
// quitRequested is set; returns the last message taken. WM_PAINT never
// validates the window, so a paint message is always pending and frames run
// back to back, paced by the buffer swap.
MSG runMessageLoop();

LRESULT CALLBACK screenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
