// The board's lifecycle and state calls: init, query, open, shutdown, the
// combine units, fog, blending and the clip window.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "board.h"
#include "conversion.h"
#include "precision.h"
#include "runlog.h"
#include "trace.h"

namespace softglide::detail {

Board theBoard;

namespace {

bool screenAvailable = true;

BOOL CALLBACK firstVisibleWindow(HWND window, LPARAM result) {
  if (IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
  }
  return TRUE;
}

// Window handle 0 means the calling thread's active window, or else its
// first visible top-level window.
HWND renderWindow(FxU32 handle) {
  if (handle != 0) {
    const HWND given = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
    return IsWindow(given) ? given : nullptr;
  }
  if (const HWND active = GetActiveWindow()) {
    return active;
  }
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), firstVisibleWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

void loadFogTable(Board& state, const GrFog_t* table) {
  std::memcpy(state.fogTable, table, GR_FOG_TABLE_SIZE);
}

// W(i) = 2^(3 + i/4) / (8 - i mod 4): entry i stands for floating depth
// i * 1024.
float fogTableIndexToW(int index) {
  return static_cast<float>(std::ldexp(1.0, 3 + (index >> 2)) / (8 - (index & 3)));
}

void setCombine(CombineUnit& unit, GrCombineFunction_t function, GrCombineFactor_t factor,
                GrCombineLocal_t local, GrCombineOther_t other, FxBool invert) {
  unit = {function, factor, local, other, invert != FXFALSE};
  stateChanged();
}

}  // namespace

GridSize wantedGrid(const Board& state) {
  RECT client{};
  GetClientRect(state.window, &client);
  const Placement placement = placePicture(std::max<int>(client.right - client.left, 0),
                                           std::max<int>(client.bottom - client.top, 0), state.switches.scale);
  return gridFor(state.switches.resolution, placement.width, placement.height);
}

bool resizeBuffers(Board& state, GridSize size) {
  try {
    std::array<std::vector<std::uint16_t>, 2> buffers;
    std::array<WrittenSpans, 2> written;
    for (int i = 0; i < 2; ++i) {
      buffers[i].assign(static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height), 0);
      written[i].reset(size.width, size.height, 0, 0, 0);
    }
    state.buffers = std::move(buffers);
    state.written = std::move(written);
  } catch (const std::bad_alloc&) {
    return false;
  }
  state.grid.resize(size.width, size.height);
  mapClipWindow(state);
  return true;
}

void mapClipWindow(Board& state) {
  ClipWindow& clip = state.clip;
  clip.gridMinX = state.grid.columnStart(clip.minX);
  clip.gridMaxX = state.grid.columnStart(clip.maxX);
  clip.gridMinY = state.grid.rowStart(clip.minY);
  clip.gridMaxY = state.grid.rowStart(clip.maxY);
}

void stateChanged() {
  auto passesThrough = [](const CombineUnit& unit) {
    return unit.function == GR_COMBINE_FUNCTION_LOCAL && unit.local == GR_COMBINE_LOCAL_ITERATED && !unit.invert;
  };
  Board& state = board();
  state.iteratedPassThrough = passesThrough(state.color) && passesThrough(state.alpha);
}

}  // namespace softglide::detail

namespace softglide {

std::vector<std::uint16_t> frontBuffer() {
  const detail::Board& state = detail::board();
  return state.open ? state.buffers[1 - state.back] : std::vector<std::uint16_t>{};
}

PictureSize frontBufferSize() {
  const detail::Board& state = detail::board();
  if (!state.open) {
    return {};
  }
  const detail::WrittenSpans& front = state.written[1 - state.back];
  return {front.width(), front.height()};
}

std::vector<std::uint32_t> frontBufferRgb() {
  const std::vector<std::uint16_t> front = frontBuffer();
  std::vector<std::uint32_t> rgb(front.size());
  detail::convertWithoutGamma(front.data(), rgb.data(), front.size());
  return rgb;
}

void setScreenAvailable(bool available) {
  detail::screenAvailable = available;
}

int swapCount() {
  return detail::board().swaps;
}

}  // namespace softglide

using namespace softglide;
using namespace softglide::detail;

FX_ENTRY void FX_CALL grGlideInit(void) {
  openRunLogs();
  traceArguments("grGlideInit");
  board() = Board{};
  board().initialized = true;
}

FX_ENTRY FxBool FX_CALL grSstQueryHardware(GrHwConfiguration* hwconfig) {
  traceArguments("grSstQueryHardware");
  if (hwconfig == nullptr || boardHidden()) {
    return FXFALSE;
  }
  *hwconfig = GrHwConfiguration{};
  hwconfig->num_sst = 1;
  hwconfig->SSTs[0].type = GR_SSTTYPE_VOODOO;
  hwconfig->SSTs[0].config.fbRam = 2;
  hwconfig->SSTs[0].config.fbiRev = 2;
  return FXTRUE;
}

FX_ENTRY void FX_CALL grSstSelect(int whichSst) {
  traceArguments("grSstSelect", whichSst);
}

FX_ENTRY FxBool FX_CALL grSstWinOpen(FxU32 hWnd, GrScreenResolution_t resolution,
                                     GrScreenRefresh_t refresh, GrColorFormat_t format,
                                     GrOriginLocation_t origin, int colorBuffers, int auxBuffers) {
  traceArguments("grSstWinOpen", hWnd, resolution, refresh, format, origin, colorBuffers, auxBuffers);
  Board& state = board();
  if (!state.initialized || state.open || boardHidden() || !screenAvailable || resolution != GR_RESOLUTION_640x480 ||
      refresh != GR_REFRESH_60Hz || (format != GR_COLORFORMAT_ARGB && format != GR_COLORFORMAT_ABGR) ||
      (origin != GR_ORIGIN_UPPER_LEFT && origin != GR_ORIGIN_LOWER_LEFT) || colorBuffers != 2 ||
      auxBuffers < 0 || auxBuffers > 1) {
    return FXFALSE;
  }
  const HWND window = renderWindow(hWnd);
  if (window == nullptr) {
    return FXFALSE;
  }
  state.window = window;
  state.switches = readSwitches();
  state.colorFormat = format;
  state.origin = origin;
  // Memory for the buffers that cannot be had is a screen that cannot be
  // opened, as on a card without the memory.
  if (!resizeBuffers(state, wantedGrid(state))) {
    return FXFALSE;
  }
  const GrFog_t emptyTable[GR_FOG_TABLE_SIZE] = {};
  loadFogTable(state, emptyTable);
  startRetraceClock(state.retraceTimeline);
  useBoardPrecision();
  state.open = true;
  return FXTRUE;
}

FX_ENTRY void FX_CALL grGlideShutdown(void) {
  traceArguments("grGlideShutdown");
  if (board().open) {
    stopRetraceClock();
    restoreCallerPrecision();
  }
  board() = Board{};
  flushRunLogs();
}

FX_ENTRY void FX_CALL grColorCombine(GrCombineFunction_t function, GrCombineFactor_t factor,
                                     GrCombineLocal_t local, GrCombineOther_t other, FxBool invert) {
  traceArguments("grColorCombine", function, factor, local, other, invert);
  if (ready()) {
    setCombine(board().color, function, factor, local, other, invert);
  }
}

FX_ENTRY void FX_CALL grAlphaCombine(GrCombineFunction_t function, GrCombineFactor_t factor,
                                     GrCombineLocal_t local, GrCombineOther_t other, FxBool invert) {
  traceArguments("grAlphaCombine", function, factor, local, other, invert);
  if (ready()) {
    setCombine(board().alpha, function, factor, local, other, invert);
  }
}

// The colour-combine shorthands: zero, the constant colour, or the iterated
// vertex colour.
FX_ENTRY void FX_CALL guColorCombineFunction(GrColorCombineFnc_t function) {
  traceArguments("guColorCombineFunction", function);
  if (!ready()) {
    return;
  }
  CombineUnit& unit = board().color;
  switch (function) {
    case GR_COLORCOMBINE_ZERO:
      setCombine(unit, GR_COMBINE_FUNCTION_ZERO, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_ITERATED, FXFALSE);
      break;
    case GR_COLORCOMBINE_CCRGB:
      setCombine(unit, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_LOCAL_CONSTANT,
                 GR_COMBINE_OTHER_CONSTANT, FXFALSE);
      break;
    case GR_COLORCOMBINE_ITRGB:
      setCombine(unit, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_ITERATED, FXFALSE);
      break;
    default:  // the texture shorthands: there are no texture units
      break;
  }
}

FX_ENTRY void FX_CALL grFogMode(GrFogMode_t mode) {
  traceArguments("grFogMode", mode);
  if (ready()) {
    board().fogMode = mode;
  }
}

FX_ENTRY void FX_CALL grFogColorValue(GrColor_t color) {
  traceArguments("grFogColorValue", color);
  if (ready()) {
    int alpha = 0;
    splitColor(color, board().fogRed, board().fogGreen, board().fogBlue, alpha);
  }
}

FX_ENTRY float FX_CALL guFogTableIndexToW(int index) {
  traceArguments("guFogTableIndexToW", index);
  return fogTableIndexToW(index);
}

// Exponential fog 1 - e^(-density w), scaled so that the last entry is 255.
FX_ENTRY void FX_CALL guFogGenerateExp(GrFog_t fogTable[GR_FOG_TABLE_SIZE], float density) {
  traceArguments("guFogGenerateExp", density);
  if (fogTable == nullptr) {
    return;
  }
  const double last = 1.0 - std::exp(-static_cast<double>(density) * fogTableIndexToW(GR_FOG_TABLE_SIZE - 1));
  for (int i = 0; i < GR_FOG_TABLE_SIZE; ++i) {
    const double fog = (1.0 - std::exp(-static_cast<double>(density) * fogTableIndexToW(i))) / last;
    const double clamped = std::isnan(fog) ? 0.0 : std::clamp(fog, 0.0, 1.0);
    fogTable[i] = static_cast<GrFog_t>(clamped * 255.0);
  }
}

FX_ENTRY void FX_CALL grFogTable(const GrFog_t fogTable[GR_FOG_TABLE_SIZE]) {
  traceFogTable(fogTable);
  if (ready() && fogTable != nullptr) {
    loadFogTable(board(), fogTable);
  }
}

FX_ENTRY void FX_CALL grAlphaBlendFunction(GrAlphaBlendFnc_t rgbSource, GrAlphaBlendFnc_t rgbDest,
                                           GrAlphaBlendFnc_t alphaSource, GrAlphaBlendFnc_t alphaDest) {
  traceArguments("grAlphaBlendFunction", rgbSource, rgbDest, alphaSource, alphaDest);
  if (ready()) {
    board().blendSource = rgbSource;
    board().blendDest = rgbDest;
  }
}

// The window is clamped to the screen; one whose minimum is not below its
// maximum holds no pixel.
FX_ENTRY void FX_CALL grClipWindow(FxU32 minx, FxU32 miny, FxU32 maxx, FxU32 maxy) {
  traceArguments("grClipWindow", minx, miny, maxx, maxy);
  if (!ready()) {
    return;
  }
  Board& state = board();
  state.clip.minX = static_cast<int>(std::min<FxU32>(minx, screenWidth));
  state.clip.minY = static_cast<int>(std::min<FxU32>(miny, screenHeight));
  state.clip.maxX = static_cast<int>(std::min<FxU32>(maxx, screenWidth));
  state.clip.maxY = static_cast<int>(std::min<FxU32>(maxy, screenHeight));
  mapClipWindow(state);
}
