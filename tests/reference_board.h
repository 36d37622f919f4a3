// A plain model of the software board's pictures for differential tests,
// written from the card's formulas apart from platform/glide (it shares no
// code with it): it replays a Glide call trace into 5-6-5 pictures.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "softglide.h"

// The card's fixed-point setup, each a plain transcription of its formula.
// Every product the board forms fits 64 bits (|Q| <= 2^33, |16c + 8 - U|
// < 2^18), so 64-bit integers hold the exact values here.
namespace reference {

// Rounds towards minus infinity, for either sign of the denominator.
std::int64_t floorDivide(std::int64_t numerator, std::int64_t denominator);
bool drawable(float coordinate);         // finite, within +-4096
std::int64_t snapped(float coordinate);  // floor(v * 16 + 0.5)
std::int64_t fixedColor(float channel);  // floor(clamp(c, 0, 255) * 4096), NaN as 0
std::int64_t fixedOow(float oow);        // floor(clamp(oow, -1, 2) * 2^32), NaN as -1
std::int64_t fogDepth(std::int64_t q);   // the 16-bit floating depth of Q
int level(std::int64_t fixed);           // clamp(floor(C / 4096), 0, 255)

}  // namespace reference

// The calls the saver makes, with the state it uses: combine units that
// pass the iterated or the (always zero) constant colour and alpha through,
// table or iterated-alpha fog, blending by zero, one and source alpha.
// Any other call or state throws std::runtime_error, so that a test cannot
// pass by the model quietly ignoring something. The calls are drawn on a
// grid of width x height pixels (the card's own 640x480 by default), each
// rule as the board's switch SOFTGLIDE_RESOLUTION has it.
class ReferenceBoard {
 public:
  explicit ReferenceBoard(int width = 640, int height = 480);

  // Applies the calls in order, as the board would have acted on them.
  void replay(const std::vector<softglide::TraceCall>& calls);
  void apply(const softglide::TraceCall& call);

  // The picture last swapped in: width x height words, top memory row first.
  const std::vector<std::uint16_t>& front() const { return buffers_[1 - back_]; }

 private:
  struct Vertex {
    float x, y, r, g, b, a, oow;
  };
  struct Combine {
    int function, local;
    bool invert;
  };
  // A pixel's values after setup and iteration: levels 0-255, fog depth.
  struct Fragment {
    int r, g, b, a;
    std::int64_t depth;
  };

  void reset();
  void clear(std::uint32_t color);
  void drawPoint(const Vertex& vertex);
  void drawAntiAliasedPoint(const Vertex& vertex);
  void drawLine(const Vertex& first, const Vertex& second);
  void writePixel(int x, int y, const Fragment& fragment);
  // Grid pixel (x, y) has its centre inside the clip window; a grid column
  // or row alone.
  bool insideClip(int x, int y) const;
  bool insideClipColumn(int x) const;
  bool insideClipRow(int y) const;
  // A drawable coordinate in 1/16 grid pixel: floor(16 v size / game + 1/2).
  static std::int64_t snappedToGrid(float coordinate, int size, int game);
  int combined(const Combine& unit, int iterated) const;
  int fogged(int channel, int fogChannel, const Fragment& fragment) const;
  void splitColor(std::uint32_t color, int& red, int& green, int& blue) const;

  int width_, height_;
  std::int64_t reachX_, reachY_;  // one game pixel in 1/16 grid pixel, across and up
  bool initialized_ = false;
  bool open_ = false;
  bool lowerLeft_ = true;
  bool abgr_ = true;
  std::array<std::vector<std::uint16_t>, 2> buffers_;
  int back_ = 1;
  int clipMinX_ = 0, clipMinY_ = 0, clipMaxX_ = 640, clipMaxY_ = 480;
  Combine color_{1, 0, false};
  Combine alpha_{1, 0, false};
  int fogMode_ = 0;
  int fogRed_ = 0, fogGreen_ = 0, fogBlue_ = 0;
  std::array<int, 64> fogTable_{};
  int blendSource_ = 4, blendDest_ = 0;  // GR_BLEND_ONE, GR_BLEND_ZERO
};

// FNV-1a over the words of a picture, as the saver tests hash the board's.
std::uint64_t referencePictureHash(const std::vector<std::uint16_t>& picture);
