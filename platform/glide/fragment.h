// Writing one fragment: the usual state (iterated colour and alpha, table
// fog, source-alpha blending) is handled inline; anything else goes through
// the general pipeline. Both give the same pixels.
#pragma once

#include "board.h"
#include "pixel.h"

namespace softglide::detail {

// A fragment's colour after the pass-through combine and the fog, which
// do not depend on its alpha.
struct Shaded {
  int r, g, b;
};

// True when shadePassThrough and blendAndStore give the general pipeline's
// pixels: pass-through combine, table fog or none, source-alpha or no blend.
inline bool usualState(const Board& state) {
  return state.iteratedPassThrough &&
         (state.fogMode == GR_FOG_WITH_TABLE || state.fogMode == GR_FOG_DISABLE) &&
         ((state.blendSource == GR_BLEND_SRC_ALPHA && state.blendDest == GR_BLEND_ONE_MINUS_SRC_ALPHA) ||
          (state.blendSource == GR_BLEND_ONE && state.blendDest == GR_BLEND_ZERO));
}

[[gnu::always_inline]] inline Shaded shadePassThrough(const Board& state, int red, int green, int blue, float oow) {
  if (state.fogMode != GR_FOG_WITH_TABLE) {
    return {red, green, blue};
  }
  const std::uint32_t factor = pixel::fogFactor(state.fogTable, pixel::floatingDepth(oow));
  return {pixel::applyFog(red, state.fogRed, factor), pixel::applyFog(green, state.fogGreen, factor),
          pixel::applyFog(blue, state.fogBlue, factor)};
}

[[gnu::always_inline]] inline void blendAndStore(Board& state, int x, int y, Shaded color, int alpha) {
  const int row = memoryRow(y);
  std::uint16_t& target = backPixel(state, row, x);
  if (state.blendSource == GR_BLEND_SRC_ALPHA) {
    const int sourceFactor = alpha + 1;
    const int destFactor = 256 - alpha;
    color.r = pixel::blendChannel(color.r, sourceFactor, pixel::red8(target), destFactor);
    color.g = pixel::blendChannel(color.g, sourceFactor, pixel::green8(target), destFactor);
    color.b = pixel::blendChannel(color.b, sourceFactor, pixel::blue8(target), destFactor);
  }
  target = pixel::ditherTo565(color.r, color.g, color.b, x, row);
}

[[gnu::always_inline]] inline void writeFragment(int x, int y, const Fragment& fragment) {
  Board& state = board();
  if (!usualState(state)) {
    writeFragmentGeneral(x, y, fragment);
    return;
  }
  blendAndStore(state, x, y, shadePassThrough(state, fragment.r, fragment.g, fragment.b, fragment.oow), fragment.a);
}

}  // namespace softglide::detail
