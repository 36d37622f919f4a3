// The state of the one software board, shared by the files of the library.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>
#include "device/glide.h"
#include "pacing.h"
#include "presenter.h"
#include "softglide.h"
#include "spans.h"
#include "trace.h"

namespace softglide::detail {

struct CombineUnit {
  GrCombineFunction_t function = GR_COMBINE_FUNCTION_LOCAL;
  GrCombineFactor_t factor = GR_COMBINE_FACTOR_ZERO;
  GrCombineLocal_t local = GR_COMBINE_LOCAL_ITERATED;
  GrCombineOther_t other = GR_COMBINE_OTHER_ITERATED;
  bool invert = false;
};
// A clear colour dithered: one row of the buffer's width for each of the
// four memory-row phases of the dither matrix; kept for the next clear in
// the same colour.
struct ClearRows {
  int red = -1, green = -1, blue = -1;
  std::array<std::vector<std::uint16_t>, 4> rows;
};


struct Board {
  bool initialized = false;
  bool open = false;
  HWND window = nullptr;
  GrColorFormat_t colorFormat = GR_COLORFORMAT_ABGR;
  GrOriginLocation_t origin = GR_ORIGIN_LOWER_LEFT;
  std::array<std::vector<std::uint16_t>, 2> buffers;
  int back = 1;
  std::array<WrittenSpans, 2> written;  // both buffers start black, as cleared to black
  ClearRows clearRows;
  int clipMinX = 0, clipMinY = 0, clipMaxX = screenWidth, clipMaxY = screenHeight;
  CombineUnit color;
  CombineUnit alpha;
  GrFogMode_t fogMode = GR_FOG_DISABLE;
  int fogRed = 0, fogGreen = 0, fogBlue = 0;
  std::uint8_t fogTable[GR_FOG_TABLE_SIZE] = {};
  GrAlphaBlendFnc_t blendSource = GR_BLEND_ONE, blendDest = GR_BLEND_ZERO;
  // The combine units pass the iterated colour and alpha through unchanged
  // (the usual state); pixels then skip the general combine arithmetic.
  bool iteratedPassThrough = true;
  Switches switches;  // read from the environment when the board opened
  RetraceTimeline retraceTimeline;
  PresenterState presenter;
  int swaps = 0;
};

// The one board. (Defined in board.cpp; reached through board() alone.)
extern Board theBoard;
inline Board& board() {
  return theBoard;
}

// True for calls that may act: the board is open.
inline bool ready() {
  return board().open;
}

// Recomputes the derived flags after a state change.
void stateChanged();

// The colour channels of a GrColor_t in the opened format.
void splitColor(GrColor_t color, int& red, int& green, int& blue, int& alpha);

// The memory row of application row y.
inline int memoryRow(int y) {
  return board().origin == GR_ORIGIN_LOWER_LEFT ? screenHeight - 1 - y : y;
}

// The back buffer's pixel at memory row and column x, marked as written.
inline std::uint16_t& backPixel(Board& state, int row, int x) {
  state.written[state.back].mark(row, x);
  return state.buffers[state.back][static_cast<std::size_t>(row) * screenWidth + x];
}

}  // namespace softglide::detail
