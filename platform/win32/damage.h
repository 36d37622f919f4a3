// The parts of the screen to show anew after a present: the rectangles GDI
// drew, gathered on a grid into a few larger ones for the display server.
#pragma once

#include <windows.h>

#include <vector>

namespace win32::detail {

// Rectangles that together cover every pixel of the given ones inside the
// screen [0, width) x [0, height), made of whole tiles of the grid with
// tile x tile pixels (cut at the screen's edges): each row of tiles gives one
// rectangle per run of touched tiles, runs apart by at most joinGap
// untouched tiles joined, and equal runs of rows that follow one another
// become one rectangle. No pixel is covered twice. Empty when nothing on
// screen changed.
std::vector<RECT> coveringTiles(const std::vector<RECT>& changed, int width, int height, int tile, int joinGap = 0);

// The bounding box of the rectangles (empty when there are none).
RECT boundingBox(const std::vector<RECT>& rectangles);

}  // namespace win32::detail
