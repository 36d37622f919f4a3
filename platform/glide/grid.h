// The grid the board draws on: the card's 640x480, or W x H pixels for the
// same 640x480 calls (SOFTGLIDE_RESOLUTION), and how game coordinates map
// onto it. Game x lies at x * W / 640 grid pixels and y at y * H / 480;
// every rule is exact integer arithmetic, and on the card's grid each is the
// card's own.
#pragma once

#include <cstdint>
#include <vector>

#include "setup.h"

namespace softglide::detail {

class Grid {
 public:
  // A grid of width x height pixels, both at least 1.
  void resize(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  // The card's own grid, where the card's rules and their fast paths hold.
  bool card() const { return card_; }

  // One game pixel in 1/16 grid pixel: RX = max(1, floor(W / 40 + 1/2))
  // across, RY = max(1, floor(H / 30 + 1/2)) up.
  int reachX() const { return reachX_; }
  int reachY() const { return reachY_; }

  // The first grid column whose centre lies at or past game column a
  // (0 <= a <= 640): ceil(a W / 640 - 1/2); and likewise for rows. Game
  // pixels [a, b) cover grid columns [columnStart(a), columnStart(b)).
  int columnStart(int a) const { return columnStarts_[static_cast<std::size_t>(a)]; }
  int rowStart(int a) const { return rowStarts_[static_cast<std::size_t>(a)]; }

  // floor(16 v W / 640 + 1/2) and floor(16 v H / 480 + 1/2): a drawable
  // coordinate in 1/16 grid pixel, exactly, from the float's bits.
  std::int32_t snapX(float x) const { return card_ ? snapPosition(x) : snapToGrid(bitsOf(x), width_, 640); }
  std::int32_t snapY(float y) const { return card_ ? snapPosition(y) : snapToGrid(bitsOf(y), height_, 480); }

  // floor(16 v size / gameSize + 1/2) for the drawable float with these bits.
  static std::int32_t snapToGrid(std::uint32_t bits, int size, int gameSize);

 private:
  int width_ = 0, height_ = 0;
  bool card_ = false;
  int reachX_ = 16, reachY_ = 16;
  std::vector<int> columnStarts_, rowStarts_;
};

// Where count equal parts laid over size pixels start, by the centre rule:
// for each edge p from 0 to count, the first pixel whose centre lies at or
// past it, ceil(p size / count - 1/2), within [0, size]. Game pixels [a, b)
// cover grid pixels [start a, start b); a picture's pixels, the window
// pixels that show them.
std::vector<int> centreStarts(int size, int count);

// The grid a resolution asks for, where the picture's rectangle in the
// window is placementWidth x placementHeight (for native).
struct GridSize {
  int width, height;
};
GridSize gridFor(const Resolution& resolution, int placementWidth, int placementHeight);

}  // namespace softglide::detail
