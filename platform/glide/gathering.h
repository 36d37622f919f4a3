// What a present hands over, gathered into few pieces: the runs of pixels
// written in either of two pictures as rectangles of picture pixels, and
// rectangles of window pixels as groups of one GDI call each.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <vector>

#include "spans.h"

namespace softglide::detail {

// Picture pixels: columns [left, right) of memory rows [top, bottom).
struct PictureRect {
  int left, top, right, bottom;
};

// How finely runs are gathered into rectangles, in picture pixels: a
// rectangle may take in at most this many pixels that nobody wrote to take
// in a run of written ones, which saves a rectangle.
struct Gathering {
  int joinGap;   // runs of a row apart by at most this many unwritten pixels are
                 // one
  int maxWaste;  // unwritten pixels a rectangle may take in at a time
};

class SpanGatherer {
 public:
  // Rectangles that together cover every pixel written in now or in before
  // (records of the same size): each row's runs, a run that overlaps a
  // rectangle reaching the row above (or comes within joinGap of it)
  // widening and extending that rectangle when that takes in at most
  // maxWaste unwritten pixels, and starting a rectangle of its own
  // otherwise. Rectangles appear in the order of their first rows. Each
  // 32-column word with a written column is also given to visit(row, word,
  // now's bits, before's bits) as found (see WrittenSpans::forEachWord).
  template <typename Visit>
  void gather(const WrittenSpans& now, const WrittenSpans& before, const Gathering& gathering,
              std::vector<PictureRect>& rectangles, Visit visit);

 private:
  struct Run {
    int first, end;
  };
  // Extends or starts rectangles with the row's runs.
  void gatherRow(int row, std::size_t count, const Gathering& gathering, std::vector<PictureRect>& rectangles);

  std::vector<Run> runs_;
  std::vector<std::size_t> open_,
      stillOpen_;  // rectangles reaching the row above, roughly left to right
};

template <typename Visit>
void SpanGatherer::gather(const WrittenSpans& now, const WrittenSpans& before, const Gathering& gathering,
                          std::vector<PictureRect>& rectangles, Visit visit) {
  open_.clear();
  runs_.resize(static_cast<std::size_t>(now.width() / 2 + 1));
  for (int row = 0; row < now.height(); ++row) {
    std::size_t count = 0;
    now.forEachWord(row, before, [&](int word, std::uint32_t nowBits, std::uint32_t beforeBits) {
      visit(row, word, nowBits, beforeBits);
      forEachRunOfWord(nowBits | beforeBits, word * 32, [&](int first, int end) {
        if (count > 0 && first - runs_[count - 1].end <= gathering.joinGap) {
          runs_[count - 1].end = end;
        } else {
          runs_[count++] = {first, end};
        }
      });
    });
    if (count > 0 || !open_.empty()) {
      gatherRow(row, count, gathering, rectangles);
    }
  }
}

// Window rectangles gathered into groups, each drawn by one GDI call
// through a clip region of its rectangles. A GDI pays for each call about as
// much as for callCost window pixels, and may work through the box around a
// call's clip region (Wine stretches it whole); so a rectangle joins the
// group whose box grows least to take it in, while that growth costs less
// than a call of its own. The rectangles come roughly top first: a group
// whose box ends well above them is not grown any more.
class CallGroups {
 public:
  static constexpr long long callCost = 4096;

  void gather(const std::vector<RECT>& rectangles);
  std::size_t count() const { return boxes_.size(); }
  const RECT& box(std::size_t i) const { return boxes_[i]; }
  // The rectangles of group i.
  const RECT* first(std::size_t i) const { return sorted_.data() + starts_[i]; }
  std::size_t size(std::size_t i) const { return starts_[i + 1] - starts_[i]; }

 private:
  static constexpr int closingRows = 32;
  static constexpr int maxOpen = 4;

  std::array<std::size_t, maxOpen> open_{};
  std::vector<std::size_t> groupOf_, starts_, next_;
  std::vector<RECT> boxes_, sorted_;
};

}  // namespace softglide::detail
