// Writing one fragment: the usual state (iterated colour and alpha, table
// fog, source-alpha blending) is handled inline; anything else goes through
// the general pipeline. Both give the same pixels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board.h"
#include "pixel.h"

namespace softglide::detail {

// A pixel's iterated values before the combine units: colour and alpha as
// integers 0-255, and the fog depth of its 1/w (pixel::fogDepth).
struct Fragment {
  int r, g, b, a;
  std::uint32_t depth;
};

// Runs one fragment through combine, fog, blend and dither into the back
// buffer at application coordinates (x, y), which lie inside the clip window.
void writeFragmentGeneral(int x, int y, const Fragment& fragment);

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

// The back buffer and the usual state's settings, read once per primitive
// so that its pixels need nothing else of the board.
struct UsualWriter {
  std::uint16_t* pixels;  // the back buffer, memory row by memory row
  WrittenSpans* written;  // what was written in it
  int width, height;      // the grid's
  bool lowerLeft;         // the origin: memory row 479 - y, else y
  bool blend;             // source-alpha blending, else none
  bool fog;               // table fog, else none
  const std::uint8_t* fogTable;
  int fogRed, fogGreen, fogBlue;
};

inline UsualWriter usualWriter(Board& state) {
  return {state.buffers[state.back].data(),
          &state.written[state.back],
          state.grid.width(),
          state.grid.height(),
          state.origin == GR_ORIGIN_LOWER_LEFT,
          state.blendSource == GR_BLEND_SRC_ALPHA,
          state.fogMode == GR_FOG_WITH_TABLE,
          state.fogTable,
          state.fogRed,
          state.fogGreen,
          state.fogBlue};
}

[[gnu::always_inline]] inline Shaded shadePassThrough(const UsualWriter& writer, int red, int green, int blue,
                                                      std::uint32_t depth) {
  if (!writer.fog) {
    return {red, green, blue};
  }
  const std::uint32_t factor = pixel::fogFactor(writer.fogTable, depth);
  return {pixel::applyFog(red, writer.fogRed, factor), pixel::applyFog(green, writer.fogGreen, factor),
          pixel::applyFog(blue, writer.fogBlue, factor)};
}

// Source-alpha blending of one channel, alpha 0-255: the factors alpha + 1
// and 256 - alpha sum to 257, so the result never leaves 0-255 and needs
// the general blend's clamp no more.
[[gnu::always_inline]] inline int blendOver(int source, int dest, int alpha) {
  return (source * (alpha + 1) + dest * (256 - alpha)) >> 8;
}

// The memory row of application row y.
[[gnu::always_inline]] inline int memoryRowOf(const UsualWriter& writer, int y) {
  return writer.lowerLeft ? writer.height - 1 - y : y;
}

// (x, y) in application coordinates inside the clip window; alpha 0-255.
[[gnu::always_inline]] inline void blendAndStore(const UsualWriter& writer, int x, int y, Shaded color, int alpha) {
  const int row = memoryRowOf(writer, y);
  writer.written->mark(row, x);
  std::uint16_t& target = writer.pixels[static_cast<std::size_t>(row) * writer.width + x];
  if (writer.blend) {
    const std::uint16_t dest = target;
    color.r = blendOver(color.r, pixel::red8(dest), alpha);
    color.g = blendOver(color.g, pixel::green8(dest), alpha);
    color.b = blendOver(color.b, pixel::blue8(dest), alpha);
  }
  target = pixel::ditherTo565(color.r, color.g, color.b, x, row);
}

// A grey colour (all three channels level) blended over the pixel at
// memory row and column x as blendAndStore does, not marked as written:
// onto black, the usual background, the three channels stay alike and the
// pixel is one look-up.
[[gnu::always_inline]] inline void blendGreyUnmarked(const UsualWriter& writer, int x, int row, int level, int alpha) {
  std::uint16_t& target = writer.pixels[static_cast<std::size_t>(row) * writer.width + x];
  if (!writer.blend) {
    target = pixel::greyTo565(level, x, row);
    return;
  }
  const std::uint16_t dest = target;
  if (dest == 0) {
    target = pixel::greyTo565(blendOver(level, 0, alpha), x, row);
    return;
  }
  target = pixel::ditherTo565(blendOver(level, pixel::red8(dest), alpha), blendOver(level, pixel::green8(dest), alpha),
                              blendOver(level, pixel::blue8(dest), alpha), x, row);
}

// (x, y) in application coordinates, marked as written.
[[gnu::always_inline]] inline void blendGreyAndStore(const UsualWriter& writer, int x, int y, int level, int alpha) {
  const int row = memoryRowOf(writer, y);
  writer.written->mark(row, x);
  blendGreyUnmarked(writer, x, row, level, alpha);
}

// Whether fog keeps a grey colour grey: no fog, or a grey fog colour.
inline bool fogKeepsGrey(const UsualWriter& writer) {
  return !writer.fog || (writer.fogRed == writer.fogGreen && writer.fogGreen == writer.fogBlue);
}

// A grey level through the fog, for fogKeepsGrey.
[[gnu::always_inline]] inline int fogGrey(const UsualWriter& writer, int level, std::uint32_t depth) {
  return writer.fog ? pixel::applyFog(level, writer.fogRed, pixel::fogFactor(writer.fogTable, depth)) : level;
}

[[gnu::always_inline]] inline void writeFragment(int x, int y, const Fragment& fragment) {
  Board& state = board();
  if (!usualState(state)) {
    writeFragmentGeneral(x, y, fragment);
    return;
  }
  const UsualWriter writer = usualWriter(state);
  blendAndStore(writer, x, y, shadePassThrough(writer, fragment.r, fragment.g, fragment.b, fragment.depth),
                fragment.a);
}

}  // namespace softglide::detail
