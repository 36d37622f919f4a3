// A software Glide board opened on a headless window, for pixel tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "device/glide.h"
#include "softglide.h"

// Opens the board at 640x480 on a shown screen-sized window, with flat
// state: iterated colour and alpha, no fog, no blending. The board reads
// FX_GLIDE_SWAPINTERVAL as it opens: it is set to swapInterval first (by
// default "0", pacing off; null: unset). The headless display is 640x480
// unless the test chose another before.
void openTestBoard(const char* swapInterval = "0");

// Shows what was drawn: swaps and returns the 5-6-5 picture, top row first.
std::vector<std::uint16_t> swapAndRead();

// The 5-6-5 word at application (x, y) of a picture from swapAndRead, with
// the origin at the lower left.
std::uint16_t pixelAt(const std::vector<std::uint16_t>& picture, int x, int y);

GrVertex vertex(float x, float y, float r, float g, float b, float a, float oow = 1.0f);
