// The software Glide board's own controls beside the Glide API: a call trace
// that tests switch on, and read-back of the shown picture. Not exported
// from glide2x.dll.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace softglide {

inline constexpr int screenWidth = 640;
inline constexpr int screenHeight = 480;

// One Glide call as the program made it. A vertex argument appears as its
// x, y, r, g, b, a and oow, in that order.
struct TraceCall {
  std::string name;
  std::vector<double> arguments;
  std::string text() const;
};

// While tracing is on, every Glide call is appended to the trace.
void setTracing(bool on);
const std::vector<TraceCall>& trace();
void clearTrace();

// The front buffer, the picture last swapped in: 640 x 480 pixels, top row
// first, as 5-6-5 words and as 0x00RRGGBB (bit replication, no gamma).
// Empty while no board is open.
std::vector<std::uint16_t> frontBuffer();
std::vector<std::uint32_t> frontBufferRgb();

// While false, grSstWinOpen refuses to open the screen, as a board does
// whose video mode cannot be set; for testing that path.
void setScreenAvailable(bool available);

// The presenter's conversion of 5-6-5 words to 0x00RRGGBB: bit replication
// through the output gamma.
void convertPicture(const std::uint16_t* source, std::uint32_t* target, std::size_t count);

// While false, the board keeps to instructions that every x86 processor
// has, as on one without AVX2; the pictures are the same either way.
void allowAvx2(bool allowed);

// How many buffer swaps the board has made since it was opened.
int swapCount();

// The card's fixed-point arithmetic as the board's primitives use it: a
// vertex's floats are read once, at setup, into positions in 1/16 pixel,
// colour and alpha in 12.12 and 1/w in units of 2^-32 (Q); from there on
// everything is integer arithmetic.
namespace fixedpoint {

// A finite coordinate within +-4096 pixels; a primitive with any other
// coordinate draws nothing.
bool drawablePosition(float coordinate);

// floor(v * 16 + 0.5), for drawable coordinates.
std::int32_t snapPosition(float coordinate);

// Colour and alpha: floor(clamp(c, 0, 255) * 4096); not a number counts as 0.
std::int32_t fixedColor(float channel);

// Q: floor(clamp(oow, -1, 2) * 2^32); not a number counts as -1.
std::int64_t fixedOow(float oow);

// The 16-bit fog depth of Q: 0 for Q >= 2^32 or Q < 0, 0xFFFF for
// Q < 2^16, else ((31 - p) << 12) + 4096 - ((Q >> (p - 12)) & 0xFFF) with p
// the position of Q's highest set bit, at most 0xFFFF.
std::uint32_t fogDepth(std::int64_t q);

// numerator / denominator rounded towards minus infinity, for a positive
// denominator.
std::int64_t floorDivide(std::int64_t numerator, std::int32_t denominator);

// A parameter iterated along a line's major axis: its value at the centre
// of a column, and what each next column adds.
struct LineIterator {
  std::int64_t value;
  std::int64_t step;
};

// The parameter with value first at major coordinate firstU and second at
// secondU (1/16 pixel, different) at the centre 16 column + 8 of a column:
// first + floordiv((second - first) * (16 column + 8 - firstU), dU), and
// the step floordiv((second - first) * 16, dU), dU = secondU - firstU, of
// either sign. The board starts each parameter so at the first column it
// draws.
LineIterator startLineIterator(std::int64_t first, std::int64_t second, std::int32_t firstU, std::int32_t secondU,
                               std::int32_t column);

}  // namespace fixedpoint

}  // namespace softglide
