// Presenting the board's front buffer into its window through GDI, placed as
// the scale mode says, showing anew only the pixels that changed since the
// last present.
#pragma once

#include <windows.h>

#include <cstdint>

#include "changes.h"
#include "softglide.h"

namespace softglide::detail {

// What the window shows, as the presenter left it.
struct PresenterState {
  int paintedWidth = -1;  // the window size whose bars are painted
  int paintedHeight = -1;
  // What the presented picture shows: the changes of the buffer presented
  // last, as they were then (valid after the first present).
  bool presented = false;
  BufferChanges shown;
  int presentsSinceWhole = 0;
};

// Where the picture lies in a client area of width x height pixels: its
// window rectangle, which may reach beyond the client area (integer scale
// in a window smaller than 640x480 shows the middle of the picture).
struct Placement {
  int left, top, width, height;
};
Placement placePicture(int width, int height, ScaleMode scale);

// Shows picture (screenWidth x screenHeight 5-6-5 words, top memory row
// first), whose changes since its last whole clear are given, in window,
// through the output gamma, placed as scale says. previous is the picture
// presented last, unchanged since: where the two are the same, the window
// already shows the picture.
void presentPicture(HWND window, const std::uint16_t* picture, const std::uint16_t* previous,
                    const BufferChanges& changes, double gamma, ScaleMode scale, PresenterState& presenter);

}  // namespace softglide::detail
