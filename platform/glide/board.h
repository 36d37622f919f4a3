// The state of the one software board, shared by the files of the library.
#pragma once

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "device/glide.h"
#include "retraceclock.h"
#include "runlog.h"
#include "softglide.h"

namespace softglide::detail {

struct CombineUnit {
  GrCombineFunction_t function = GR_COMBINE_FUNCTION_LOCAL;
  GrCombineFactor_t factor = GR_COMBINE_FACTOR_ZERO;
  GrCombineLocal_t local = GR_COMBINE_LOCAL_ITERATED;
  GrCombineOther_t other = GR_COMBINE_OTHER_ITERATED;
  bool invert = false;
};

// A pixel's iterated values before the combine units: colour and alpha as
// integers 0-255, and 1/w.
struct Fragment {
  int r, g, b, a;
  float oow;
};

// What a colour buffer holds, in 16-pixel blocks of each memory row: outside
// the marked blocks, the dither pattern of its last whole-screen clear.
// Two pictures therefore differ only in blocks marked in either of them
// when their clears had the same colour; the presenter converts just those.
inline constexpr int blockWidth = 16;
static_assert(screenWidth / blockWidth <= 64, "a row's blocks fit in one word");

struct BufferChanges {
  int red = 0, green = 0, blue = 0;  // the colour of the last whole-screen clear
  std::array<std::uint64_t, screenHeight> blocks{};  // per memory row, bit i = pixels 16i to 16i+15
};

inline std::uint64_t blockBit(int x) {
  return std::uint64_t{1} << (x / blockWidth);
}

struct Board {
  bool initialized = false;
  bool open = false;
  HWND window = nullptr;
  GrColorFormat_t colorFormat = GR_COLORFORMAT_ABGR;
  GrOriginLocation_t origin = GR_ORIGIN_LOWER_LEFT;
  std::array<std::vector<std::uint16_t>, 2> buffers;
  int back = 1;
  std::array<BufferChanges, 2> changes;  // both buffers start black, as cleared to black
  int clipMinX = 0, clipMinY = 0, clipMaxX = screenWidth, clipMaxY = screenHeight;
  CombineUnit color;
  CombineUnit alpha;
  GrColor_t constantColor = 0;
  GrFogMode_t fogMode = GR_FOG_DISABLE;
  int fogRed = 0, fogGreen = 0, fogBlue = 0;
  std::uint8_t fogTable[GR_FOG_TABLE_SIZE] = {};
  GrAlphaBlendFnc_t blendSource = GR_BLEND_ONE, blendDest = GR_BLEND_ZERO;
  // The combine units pass the iterated colour and alpha through unchanged
  // (the usual state); pixels then skip the general combine arithmetic.
  bool iteratedPassThrough = true;
  RetraceClock::time_point timelineStart;
  long long retracesWaited = 0;
  int paintedWidth = -1;  // the window size whose bars are painted
  int paintedHeight = -1;
  // What the presented picture shows: the changes of the buffer presented
  // last, as they were then (valid after the first present).
  bool presented = false;
  BufferChanges shown;
  int presentsSinceWhole = 0;
  int swaps = 0;
};

extern Board theBoard;

inline Board& board() {
  return theBoard;
}

// True for calls that may act: the board is open.
inline bool ready() {
  return theBoard.open;
}

// Recomputes the derived flags after a state change.
void stateChanged();

void traceCall(const char* name, std::initializer_list<double> arguments);
void traceCall(const char* name, std::initializer_list<const GrVertex*> vertices);
extern bool traceOn;
// Either trace is on: the one tests read or the trace file.
inline bool tracing() {
  return traceOn || traceFileOn;
}

// The colour channels of a GrColor_t in the opened format.
void splitColor(GrColor_t color, int& red, int& green, int& blue, int& alpha);

// Runs one fragment through combine, fog, blend and dither into the back
// buffer at application coordinates (x, y), which lie inside the clip window.
void writeFragmentGeneral(int x, int y, const Fragment& fragment);

// The memory row of application row y.
inline int memoryRow(int y) {
  return board().origin == GR_ORIGIN_LOWER_LEFT ? screenHeight - 1 - y : y;
}

// The back buffer's pixel at memory row and column x, marked as written.
inline std::uint16_t& backPixel(Board& state, int row, int x) {
  state.changes[state.back].blocks[row] |= blockBit(x);
  return state.buffers[state.back][static_cast<std::size_t>(row) * screenWidth + x];
}

void presentFrontBuffer();

// Whether the processor has AVX2, for the paths that use it when it does.
bool hasAvx2();

// 5-6-5 words to 0x00RRGGBB by bit replication, without output gamma.
void convertWithoutGamma(const std::uint16_t* source, std::uint32_t* target, std::size_t count);

// The board's steady 60 Hz timeline, from open to shutdown.
void startRetraceClock();
void stopRetraceClock();

}  // namespace softglide::detail
