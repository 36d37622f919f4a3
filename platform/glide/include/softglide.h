// The software Glide board's own controls beside the Glide API, for the
// programs built with it (tests, tools, benchmarks): the call trace, the
// picture read back, the switches it reads from the environment, and the
// card's fixed-point arithmetic. Not exported from glide2x.dll. The only
// header of the board that anything outside platform/glide includes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace softglide {

inline constexpr int screenWidth = 640;
inline constexpr int screenHeight = 480;

// --- The call trace ---------------------------------------------------------

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

// Writes value as C's "%a" does on glibc ("0x1.8p+1", "-0x0p+0", "inf",
// "nan"), whatever the C library: at most 24 characters and a zero byte.
// Returns the length written. The trace file's numbers.
int formatHexFloat(double value, char* out);

// The 64-bit FNV-1a hash of 5-6-5 words taken as little-endian bytes: the
// frame log's hash of a picture.
std::uint64_t frameHash(const std::uint16_t* pixels, std::size_t count);

// --- The picture --------------------------------------------------------------

// The front buffer, the picture last swapped in: 640 x 480 pixels, top row
// first, as 5-6-5 words and as 0x00RRGGBB (bit replication, no gamma).
// Empty while no board is open.
std::vector<std::uint16_t> frontBuffer();
std::vector<std::uint32_t> frontBufferRgb();

// The presenter's conversion of 5-6-5 words to 0x00RRGGBB: bit replication
// through the output gamma (the open board's, or else the environment's).
void convertPicture(const std::uint16_t* source, std::uint32_t* target, std::size_t count);

// How many buffer swaps the board has made since it was opened.
int swapCount();

// --- The board's situation ----------------------------------------------------

// While false, grSstWinOpen refuses to open the screen, as a board does
// whose video mode cannot be set; for testing that path.
void setScreenAvailable(bool available);

// While false, the board keeps to instructions that every x86 processor
// has, as on one without AVX2; the pictures are the same either way.
void allowAvx2(bool allowed);
// Whether the board's AVX2 paths run: the processor has AVX2, neither
// SOFTGLIDE_NO_AVX2 nor allowAvx2 refuses it.
bool usesAvx2();

// --- The card's arithmetic -----------------------------------------------------

// The card's 16-bit floating depth of a 1/w, which selects the fog: 0 for
// oow >= 1, below 0 or not a number; 0xFFFF below 2^-16; otherwise, with
// oow = m * 2^-(e+1) and m in [1, 2): (e << 12) + 4096 - floor((m - 1) *
// 4096), at most 0xFFFF.
std::uint32_t floatingDepth(float oow);

// --- The switches in the environment ------------------------------------------

// How the 640x480 picture fills the window (SOFTGLIDE_SCALE), always with
// nearest sampling: each window pixel shows the picture pixel under its
// centre, and the presenter paints the rest of the window black.
enum class ScaleMode {
  aspect,   // the largest 4:3 rectangle that fits, centred (the default)
  integer,  // the largest whole multiple of 640x480 that fits (at least 1x), centred
  fill,     // the whole client area
};

// What grSstWinOpen reads when it opens the board, as Glide drivers read
// theirs: a value outside what a switch takes is ignored with one line on
// standard error (once per variable and value).
struct Switches {
  std::optional<int> swapInterval;    // FX_GLIDE_SWAPINTERVAL: overrides the program's
  double gamma = 1.0;                 // SST_GAMMA: output gamma of the presented picture
  ScaleMode scale = ScaleMode::aspect;  // SOFTGLIDE_SCALE: how the picture fills the window
};
Switches readSwitches();

// FX_GLIDE_NO_BOARD: "1" hides the board from grSstQueryHardware and
// grSstWinOpen; unset, empty or "0" does not.
bool boardHidden();

// The grammar of the switches, for any text (null: unset). A swap interval
// is a whole number from 0 to 60 in decimal digits; a switch is "1" (on) or
// unset, empty or "0" (off); a gamma is a positive decimal number (digits, an
// optional point and digits, an optional exponent); a scale is "aspect",
// "integer" or "fill", in lower case. Anything else: nothing.
std::optional<int> parseSwapInterval(const char* text);
std::optional<bool> parseSwitch(const char* text);
std::optional<double> parseGamma(const char* text);
std::optional<ScaleMode> parseScale(const char* text);

}  // namespace softglide
