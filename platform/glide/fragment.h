// Writing one fragment: the usual state (iterated colour and alpha, table
// fog, source-alpha blending) is handled inline; anything else goes through
// the general pipeline. Both give the same pixels.
#pragma once

#include "board.h"
#include "pixel.h"

namespace softglide::detail {

[[gnu::always_inline]] inline void writeFragment(int x, int y, const Fragment& fragment) {
  Board& state = board();
  if (!state.iteratedPassThrough) {
    writeFragmentGeneral(x, y, fragment);
    return;
  }
  int red = fragment.r;
  int green = fragment.g;
  int blue = fragment.b;
  const int alpha = fragment.a;
  if (state.fogMode == GR_FOG_WITH_TABLE) {
    const std::uint32_t factor = state.fogByDepth[pixel::floatingDepth(fragment.oow)];
    red = pixel::applyFog(red, state.fogRed, factor);
    green = pixel::applyFog(green, state.fogGreen, factor);
    blue = pixel::applyFog(blue, state.fogBlue, factor);
  } else if (state.fogMode != GR_FOG_DISABLE) {
    writeFragmentGeneral(x, y, fragment);
    return;
  }
  const int row = memoryRow(y);
  std::uint16_t& target = state.buffers[state.back][static_cast<std::size_t>(row) * screenWidth + x];
  if (state.blendSource == GR_BLEND_SRC_ALPHA && state.blendDest == GR_BLEND_ONE_MINUS_SRC_ALPHA) {
    const int sourceFactor = alpha + 1;
    const int destFactor = 256 - alpha;
    red = pixel::blendChannel(red, sourceFactor, pixel::red8(target), destFactor);
    green = pixel::blendChannel(green, sourceFactor, pixel::green8(target), destFactor);
    blue = pixel::blendChannel(blue, sourceFactor, pixel::blue8(target), destFactor);
  } else if (!(state.blendSource == GR_BLEND_ONE && state.blendDest == GR_BLEND_ZERO)) {
    writeFragmentGeneral(x, y, fragment);
    return;
  }
  target = pixel::ditherTo565(red, green, blue, x, row);
}

}  // namespace softglide::detail
