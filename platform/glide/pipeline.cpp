// The per-pixel pipeline of the board: clip has been done by the primitive;
// then colour and alpha combine, table fog, alpha blending and dither.
#include <algorithm>

#include "board.h"
#include "fragment.h"
#include "pixel.h"

namespace softglide::detail {
namespace {

// The constant colour and alpha of the combine units: the subset has no
// call that sets them, so they keep the board's reset value.
constexpr GrColor_t constantColor = 0;

struct Channels {
  int r, g, b;
};

int factorValue(GrCombineFactor_t factor, int localChannel, int localAlpha, int otherAlpha) {
  switch (factor) {
    case GR_COMBINE_FACTOR_LOCAL: return localChannel;
    case GR_COMBINE_FACTOR_OTHER_ALPHA: return otherAlpha;
    case GR_COMBINE_FACTOR_LOCAL_ALPHA: return localAlpha;
    case GR_COMBINE_FACTOR_ONE: return 255;
    case GR_COMBINE_FACTOR_ONE_MINUS_LOCAL: return 255 - localChannel;
    case GR_COMBINE_FACTOR_ONE_MINUS_OTHER_ALPHA: return 255 - otherAlpha;
    case GR_COMBINE_FACTOR_ONE_MINUS_LOCAL_ALPHA: return 255 - localAlpha;
    case GR_COMBINE_FACTOR_ONE_MINUS_TEXTURE_ALPHA: return 255;
    default: return 0;  // zero, and texture alpha: there are no texture units
  }
}

// One channel of a combine unit: the function of local and other, scaled by
// the factor as (x * (f + 1)) >> 8.
int combineChannel(const CombineUnit& unit, int local, int other, int localAlpha, int otherAlpha) {
  const int factor = factorValue(unit.factor, local, localAlpha, otherAlpha) + 1;
  auto scale = [factor](int value) { return (value * factor) >> 8; };
  int result = 0;
  switch (unit.function) {
    case GR_COMBINE_FUNCTION_ZERO: result = 0; break;
    case GR_COMBINE_FUNCTION_LOCAL: result = local; break;
    case GR_COMBINE_FUNCTION_LOCAL_ALPHA: result = localAlpha; break;
    case GR_COMBINE_FUNCTION_SCALE_OTHER: result = scale(other); break;
    case GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL: result = scale(other) + local; break;
    case GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA: result = scale(other) + localAlpha; break;
    case GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL: result = scale(other - local); break;
    case GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL: result = scale(other - local) + local; break;
    case GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL_ALPHA: result = scale(other - local) + localAlpha; break;
    case GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL: result = scale(-local) + local; break;
    case GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL_ALPHA: result = scale(-local) + localAlpha; break;
    default: result = 0; break;
  }
  result = pixel::clamp255(result);
  return unit.invert ? 255 - result : result;
}

int combineAlpha(const Board& state, const Fragment& fragment, int constantAlpha) {
  const int local = state.alpha.local == GR_COMBINE_LOCAL_ITERATED
                        ? fragment.a
                        : (state.alpha.local == GR_COMBINE_LOCAL_CONSTANT ? constantAlpha : 0);
  const int other = state.alpha.other == GR_COMBINE_OTHER_ITERATED
                        ? fragment.a
                        : (state.alpha.other == GR_COMBINE_OTHER_CONSTANT ? constantAlpha : 0);
  return combineChannel(state.alpha, local, other, local, other);
}

Channels combineColor(const Board& state, const Fragment& fragment, int localAlpha, int otherAlpha) {
  int cr = 0, cg = 0, cb = 0, ca = 0;
  splitColor(constantColor, cr, cg, cb, ca);
  const CombineUnit& unit = state.color;
  const bool localIterated = unit.local == GR_COMBINE_LOCAL_ITERATED;
  const bool localConstant = unit.local == GR_COMBINE_LOCAL_CONSTANT;
  const bool otherIterated = unit.other == GR_COMBINE_OTHER_ITERATED;
  const bool otherConstant = unit.other == GR_COMBINE_OTHER_CONSTANT;
  auto channel = [&](int iterated, int constant) {
    const int local = localIterated ? iterated : (localConstant ? constant : 0);
    const int other = otherIterated ? iterated : (otherConstant ? constant : 0);
    return combineChannel(unit, local, other, localAlpha, otherAlpha);
  };
  return {channel(fragment.r, cr), channel(fragment.g, cg), channel(fragment.b, cb)};
}

// Blend factors scaled to 0..256.
int blendFactor(GrAlphaBlendFnc_t function, int sourceAlpha, int sourceChannel) {
  switch (function) {
    case GR_BLEND_SRC_ALPHA: return sourceAlpha + 1;
    case GR_BLEND_SRC_COLOR: return sourceChannel + 1;
    case GR_BLEND_DST_ALPHA: return 256;  // no alpha buffer: destination alpha reads as 255
    case GR_BLEND_ONE: return 256;
    case GR_BLEND_ONE_MINUS_SRC_ALPHA: return 256 - sourceAlpha;
    case GR_BLEND_ONE_MINUS_SRC_COLOR: return 256 - sourceChannel;
    default: return 0;  // zero, and one minus destination alpha
  }
}

}  // namespace

void writeFragmentGeneral(int x, int y, const Fragment& fragment) {
  Board& state = board();
  int cr = 0, cg = 0, cb = 0, constantAlpha = 0;
  splitColor(constantColor, cr, cg, cb, constantAlpha);
  const int alpha = combineAlpha(state, fragment, constantAlpha);
  const int localAlpha = state.alpha.local == GR_COMBINE_LOCAL_ITERATED ? fragment.a : constantAlpha;
  const int otherAlpha = state.alpha.other == GR_COMBINE_OTHER_ITERATED ? fragment.a : constantAlpha;
  Channels color = combineColor(state, fragment, localAlpha, otherAlpha);

  if (state.fogMode == GR_FOG_WITH_TABLE || state.fogMode == GR_FOG_WITH_ITERATED_ALPHA) {
    const std::uint32_t factor = state.fogMode == GR_FOG_WITH_TABLE
                                     ? pixel::fogFactor(state.fogTable, fragment.depth)
                                     : static_cast<std::uint32_t>(fragment.a);
    color.r = pixel::applyFog(color.r, state.fogRed, factor);
    color.g = pixel::applyFog(color.g, state.fogGreen, factor);
    color.b = pixel::applyFog(color.b, state.fogBlue, factor);
  }

  const int row = memoryRow(y);
  std::uint16_t& target = backPixel(state, row, x);
  if (!(state.blendSource == GR_BLEND_ONE && state.blendDest == GR_BLEND_ZERO)) {
    const int dr = pixel::red8(target), dg = pixel::green8(target), db = pixel::blue8(target);
    color.r = pixel::blendChannel(color.r, blendFactor(state.blendSource, alpha, color.r), dr,
                                  blendFactor(state.blendDest, alpha, color.r));
    color.g = pixel::blendChannel(color.g, blendFactor(state.blendSource, alpha, color.g), dg,
                                  blendFactor(state.blendDest, alpha, color.g));
    color.b = pixel::blendChannel(color.b, blendFactor(state.blendSource, alpha, color.b), db,
                                  blendFactor(state.blendDest, alpha, color.b));
  }
  target = pixel::ditherTo565(color.r, color.g, color.b, x, row);
}

void splitColor(GrColor_t color, int& red, int& green, int& blue, int& alpha) {
  alpha = static_cast<int>((color >> 24) & 0xFF);
  green = static_cast<int>((color >> 8) & 0xFF);
  if (board().colorFormat == GR_COLORFORMAT_ABGR) {
    red = static_cast<int>(color & 0xFF);
    blue = static_cast<int>((color >> 16) & 0xFF);
  } else {
    red = static_cast<int>((color >> 16) & 0xFF);
    blue = static_cast<int>(color & 0xFF);
  }
}

}  // namespace softglide::detail
