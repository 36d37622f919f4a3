// The picture in window pixels, scaled by the board's own rule: each window
// pixel shows the picture pixel under its centre. The presenter hands the
// system these pixels 1:1, so every GDI shows the same (a system's own
// stretch may round its own way).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "conversion.h"

namespace softglide::detail {

// Where the picture lies in a client area: its window rectangle, which may
// reach beyond the client area (integer scale in a window smaller than the
// picture shows the middle of it).
struct Placement {
  int left, top, width, height;
  bool operator==(const Placement&) const = default;
};

// One axis of the placement: pictureSize picture pixels on the window
// pixels [origin, origin + size), of which those inside [0, clientSize) are
// visible. Window pixel origin + i shows picture pixel
// floor((2i + 1) * pictureSize / (2 * size)).
class Axis {
 public:
  void place(int origin, int size, int pictureSize, int clientSize);

  // The visible window pixels, in client coordinates.
  int visibleFirst() const { return visibleFirst_; }
  int visibleEnd() const { return visibleEnd_; }
  bool oneToOne() const { return size_ == pictureSize_; }
  // The picture pixel that a visible window pixel shows.
  int source(int client) const { return sources_[static_cast<std::size_t>(client - visibleFirst_)]; }
  // The visible window pixels [first, end) that show picture pixels [low,
  // high); false when none of them is visible.
  bool windowSpan(int low, int high, int& first, int& end) const;

  // For an enlarging axis, the sources of the eight window pixels from each
  // visible one on, as offsets from its own source, a byte each (0 past the
  // last): eight window pixels never show more than eight picture pixels.
  bool enlarging() const { return size_ >= pictureSize_; }
  std::uint64_t eightFrom(int client) const { return eights_[static_cast<std::size_t>(client - visibleFirst_)]; }
  // Where the run of visible window pixels showing the same picture pixel as
  // this one ends.
  int runEnd(int client) const { return runEnds_[static_cast<std::size_t>(client - visibleFirst_)] + visibleFirst_; }

 private:
  int origin_ = 0, size_ = 0, pictureSize_ = 0;
  int visibleFirst_ = 0, visibleEnd_ = 0;
  std::vector<int> sources_;       // by visible window pixel
  std::vector<int> runEnds_;       // by visible window pixel, offsets from visibleFirst_
  std::vector<int> firstShowing_;  // by picture edge p: the first window pixel
                                   // (from origin) showing p or beyond
  std::vector<std::uint64_t> eights_;
};

// The visible window pixels of the picture's placement, 0x00RRGGBB, as the
// presenter last drew them.
class WindowPicture {
 public:
  // Sets the placement of a picture of pictureWidth x pictureHeight pixels
  // in a client area; false when the memory for its pixels cannot be had.
  // Unchanged geometry keeps the pixels.
  bool place(const Placement& placement, int clientWidth, int clientHeight, int pictureWidth, int pictureHeight);

  // The visible window pixels, client coordinates; empty when none.
  RECT visible() const;
  // The window pixels (client coordinates) of rect that show picture
  // pixels of the picture rectangle given; false when none is visible.
  bool windowRect(int left, int top, int right, int bottom, RECT& rect) const;

  // Window pixels rect (visible) from the picture (pictureWidth words a row,
  // top memory row first), converted.
  void draw(const std::uint16_t* picture, const Converter& converter, const RECT& rect);
  // Whether the picture lies 1:1 and whole in the window.
  bool wholeOneToOne() const { return wholeOneToOne_; }

  // For a picture lying 1:1 and whole (as the card's picture on its own
  // screen): columns [first, end) of a memory row from the picture, which
  // are those window pixels themselves.
  void drawRun(const std::uint16_t* picture, const Converter& converter, int row, int first, int end) {
    converter.convert(picture + static_cast<std::size_t>(row) * pictureWidth_ + first,
                      pixels_.data() + static_cast<std::size_t>(row) * pictureWidth_ + first,
                      static_cast<std::size_t>(end - first));
  }
  // For a picture lying 1:1 and whole: columns [first, end) of a memory row
  // from a row of window pixels already converted.
  void copyRun(const std::uint32_t* converted, int row, int first, int end) {
    std::uint32_t* target = pixels_.data() + static_cast<std::size_t>(row) * pictureWidth_;
    for (int x = first; x < end; ++x) {
      target[x] = converted[x];
    }
  }

  // The pixels of visible window row y from column x on; rows are
  // width() words apart.
  const std::uint32_t* pixelsAt(int x, int y) const {
    return pixels_.data() + static_cast<std::size_t>(y - rows_.visibleFirst()) * width() +
           (x - columns_.visibleFirst());
  }
  int width() const { return columns_.visibleEnd() - columns_.visibleFirst(); }

 private:
  std::uint32_t* pixelsAt(int x, int y) { return const_cast<std::uint32_t*>(std::as_const(*this).pixelsAt(x, y)); }
  void drawRow(const std::uint16_t* pictureRow, const Converter& converter, std::uint32_t* target, int first, int end);

  Placement placement_{};
  int clientWidth_ = -1, clientHeight_ = -1, pictureWidth_ = 0, pictureHeight_ = 0;
  Axis columns_, rows_;
  bool wholeOneToOne_ = false;  // window pixel (x, y) shows picture pixel (x -
                                // left, y - top), all of them
  std::vector<std::uint32_t> pixels_;
  std::vector<std::uint32_t> converted_;  // a picture row, converted where a window row needs it
};

}  // namespace softglide::detail
