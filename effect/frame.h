// One frame of the effect, and the noise layer that opens it.
#pragma once

// The colour level of stars and sparkles: n in frame n of the 255-frame
// opening, 255 from then on.
extern float starBrightness;

// Clears, selects per-vertex colour, draws the noise layer (while lit) and
// the star streak pass, and swaps at the next retrace.
void drawFrame();

// While the noise is lit: scatters the noise points anew one grey level
// darker, raises starBrightness, runs the star streak pass and returns 1.
// Once faded: sets the camera step divisor for the slow flight and returns 0.
int drawNoiseLayer();
