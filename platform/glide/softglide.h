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

}  // namespace softglide
