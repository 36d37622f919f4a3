// What the X server is handed of the screen after GDI drew into it: the
// changed rectangles gathered into whole tiles or their bounding box,
// whichever costs the server least.
#pragma once

#include <windows.h>

#include <vector>

namespace win32::sdl {

// Rectangles that together cover every pixel of the given ones inside the
// screen [0, width) x [0, height), made of whole tiles of the grid with
// tile x tile pixels (cut at the screen's edges): each row of tiles gives one
// rectangle per run of touched tiles, runs apart by at most joinGap
// untouched tiles joined, and equal runs of rows that follow one another
// become one rectangle. No pixel is covered twice. Empty when nothing on
// screen changed.
std::vector<RECT> coveringTiles(const std::vector<RECT>& changed, int width, int height, int tile, int joinGap = 0);

// What an X server is best handed of a width x height screen after the
// given rectangles changed: the changed 16-pixel tiles, runs of them joined
// across small gaps, or their bounding box alone, whichever costs the server
// least, a request costing as much as copying requestPixels(width, height)
// pixels. Empty when nothing on screen changed.
std::vector<RECT> areasToSend(const std::vector<RECT>& changed, int width, int height);
long long requestPixels(int width, int height);

}  // namespace win32::sdl
