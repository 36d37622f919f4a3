// Which parts of the screen a present hands the page's canvas.
#pragma once

#include <windows.h>

#include <vector>

namespace win32::web {

// A putImageData call costs the page about as much as converting and
// drawing this many pixels more. Measured in headless Chromium on the
// rectangles of 120 flight frames, converting and drawing a frame's took
// 0.33 ms one call a rectangle (270 calls, 30,000 pixels), 0.26 ms joined
// at 512 (100 calls, 65,000 pixels), 0.28 ms at 1,024 and 0.39 ms as one
// bounding box (300,000 pixels).
inline constexpr long long canvasCallPixels = 512;

// The rectangles GDI drew since the last present (screen pixels, right and
// bottom exclusive; they may overlap or reach past the screen) as the parts
// to convert and draw into the canvas, one putImageData each: held inside
// the width x height screen, empty ones left out, and a rectangle joined to
// one of the parts gathered just before it where that takes in fewer than
// canvasCallPixels pixels that no rectangle asked for. Every pixel of a
// rectangle inside the screen lies in some part.
void gatherCanvasParts(const std::vector<RECT>& changed, int width, int height, std::vector<RECT>& parts);

}  // namespace win32::web
