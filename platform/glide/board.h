// The state of the one software board, shared by the files of the library.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>
#include "device/glide.h"
#include "grid.h"
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

// The clip window: in game pixels as the program set it, and the grid
// pixels whose centres lie in it.
struct ClipWindow {
  int minX = 0, minY = 0, maxX = screenWidth, maxY = screenHeight;
  int gridMinX = 0, gridMinY = 0, gridMaxX = screenWidth, gridMaxY = screenHeight;
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
  Grid grid;  // the back buffer's, which drawing goes to (the front one's may differ, for a present)
  ClearRows clearRows;
  ClipWindow clip;
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
  bool reportedNoMemory = false;  // for a grid that could not follow the window
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

// The memory row of grid row y (application rows grow upwards from the
// bottom with the lower-left origin).
inline int memoryRow(int y) {
  const Board& state = board();
  return state.origin == GR_ORIGIN_LOWER_LEFT ? state.grid.height() - 1 - y : y;
}

// The back buffer's pixel at memory row and column x, marked as written.
inline std::uint16_t& backPixel(Board& state, int row, int x) {
  state.written[state.back].mark(row, x);
  return state.buffers[state.back][static_cast<std::size_t>(row) * state.grid.width() + x];
}

// Sets the clip window's grid pixels from its game pixels, for the grid.
void mapClipWindow(Board& state);

// The grid the switches ask for in the board's window now.
GridSize wantedGrid(const Board& state);

// Both colour buffers made size.width x size.height, black, as cleared to
// black, and the grid and the clip window with them; false (and nothing
// changed) when the memory cannot be had.
bool resizeBuffers(Board& state, GridSize size);

}  // namespace softglide::detail
