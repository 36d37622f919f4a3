// The software Glide board's own controls beside the Glide API, for the
// programs built with it (tests, tools, benchmarks): the call trace, the
// picture read back and the switches it reads from the environment. Not
// exported from glide2x.dll. The only header of the board that anything
// outside platform/glide includes (but the board's own tests).
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

// Whether every run log that the environment asks for (SOFTGLIDE_TRACE,
// SOFTGLIDE_FRAMES) was opened and has been written without a failure so
// far. A log that fails is reported on standard error and stops there.
bool runLogsWhole();

// The 64-bit FNV-1a hash of 5-6-5 words taken as little-endian bytes: the
// frame log's hash of a picture.
std::uint64_t frameHash(const std::uint16_t* pixels, std::size_t count);

// --- The picture --------------------------------------------------------------

// The front buffer, the picture last swapped in: its grid's pixels (640 x 480
// on the card's own), top row first, as 5-6-5 words and as 0x00RRGGBB (bit
// replication, no gamma). Empty while no board is open.
std::vector<std::uint16_t> frontBuffer();
std::vector<std::uint32_t> frontBufferRgb();
struct PictureSize {
  int width = 0, height = 0;
};
PictureSize frontBufferSize();

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

// --- The switches in the environment ------------------------------------------

// How the 640x480 picture fills the window (SOFTGLIDE_SCALE), always with
// nearest sampling: each window pixel shows the picture pixel under its
// centre, and the presenter paints the rest of the window black.
enum class ScaleMode {
  aspect,   // the largest 4:3 rectangle that fits, centred (the default)
  integer,  // the largest whole multiple of 640x480 that fits (at least 1x), centred
  fill,     // the whole client area
};

// The grid the board draws the saver's 640x480 calls on (SOFTGLIDE_RESOLUTION):
// the card's own 640x480, a whole multiple of it, or the picture's own
// rectangle in the window (the scale mode places it), for pictures as sharp
// as the screen.
struct Resolution {
  enum class Kind { card, multiple, native };
  Kind kind = Kind::card;
  int factor = 1;  // for a multiple: 2 to 8
  bool operator==(const Resolution&) const = default;
};

// The largest grid the board draws on, 8 x 640x480; a native picture larger
// than that is drawn at 8x and stretched.
inline constexpr int largestGridWidth = 5120;
inline constexpr int largestGridHeight = 3840;

// What grSstWinOpen reads when it opens the board, as Glide drivers read
// theirs: a value outside what a switch takes is ignored with one line on
// standard error (once per variable and value).
struct Switches {
  std::optional<int> swapInterval;    // FX_GLIDE_SWAPINTERVAL: overrides the program's
  double gamma = 1.0;                 // SST_GAMMA: output gamma of the presented picture
  ScaleMode scale = ScaleMode::aspect;  // SOFTGLIDE_SCALE: how the picture fills the window
  Resolution resolution;                // SOFTGLIDE_RESOLUTION: the grid drawn on
};
Switches readSwitches();

// FX_GLIDE_NO_BOARD: "1" hides the board from grSstQueryHardware and
// grSstWinOpen; unset, empty or "0" does not.
bool boardHidden();

// The grammar of the switches, for any text (null: unset). A swap interval
// is a whole number from 0 to 60 in decimal digits; a switch is "1" (on) or
// unset, empty or "0" (off); a gamma is a positive decimal number (digits, an
// optional point and digits, an optional exponent); a scale is "aspect",
// "integer" or "fill", in lower case; a resolution is "640x480", "2x" to "8x"
// or "native", in lower case. Anything else: nothing.
std::optional<int> parseSwapInterval(const char* text);
std::optional<bool> parseSwitch(const char* text);
std::optional<double> parseGamma(const char* text);
std::optional<ScaleMode> parseScale(const char* text);
std::optional<Resolution> parseResolution(const char* text);

}  // namespace softglide
