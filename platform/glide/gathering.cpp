// Gathering written runs into rectangles of picture pixels, and window
// rectangles into groups of one call each.
#include "gathering.h"

#include <algorithm>

namespace softglide::detail {

void SpanGatherer::gatherRow(int row, std::size_t count, const Gathering& gathering,
                             std::vector<PictureRect>& rectangles) {
  const long long maxWaste = gathering.maxWaste;
  stillOpen_.clear();
  std::size_t nextOpen = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Run run = runs_[i];
    // Rectangles that end too far left for this run stay closed.
    while (nextOpen < open_.size() && rectangles[open_[nextOpen]].right + gathering.joinGap < run.first) {
      ++nextOpen;
    }
    if (nextOpen < open_.size()) {
      PictureRect& rect = rectangles[open_[nextOpen]];
      const int left = std::min(rect.left, run.first);
      const int right = std::max(rect.right, run.end);
      const long long waste = static_cast<long long>(right - left) * (row + 1 - rect.top) -
                              static_cast<long long>(rect.right - rect.left) * (rect.bottom - rect.top) -
                              (run.end - run.first);
      if (rect.left <= run.end + gathering.joinGap && waste <= maxWaste) {
        rect = {left, rect.top, right, row + 1};
        if (stillOpen_.empty() || stillOpen_.back() != open_[nextOpen]) {
          stillOpen_.push_back(open_[nextOpen]);
        }
        continue;
      }
    }
    stillOpen_.push_back(rectangles.size());
    rectangles.push_back({run.first, row, run.end, row + 1});
  }
  std::swap(open_, stillOpen_);
}

namespace {

long long area(const RECT& rect) { return static_cast<long long>(rect.right - rect.left) * (rect.bottom - rect.top); }

RECT united(const RECT& a, const RECT& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

}  // namespace

void CallGroups::gather(const std::vector<RECT>& rectangles) {
  groupOf_.resize(rectangles.size());
  boxes_.clear();
  int openCount = 0;
  for (std::size_t i = 0; i < rectangles.size(); ++i) {
    const RECT& rect = rectangles[i];
    std::size_t best = boxes_.size();
    long long bestGrowth = callCost;
    for (int k = 0; k < openCount;) {
      const RECT& box = boxes_[open_[k]];
      if (box.bottom + closingRows < rect.top) {
        open_[k] = open_[--openCount];
        continue;
      }
      const long long growth = area(united(box, rect)) - area(box) - area(rect);
      if (growth < bestGrowth) {
        bestGrowth = growth;
        best = open_[k];
      }
      ++k;
    }
    if (best == boxes_.size()) {
      boxes_.push_back(rect);
      // The new group takes the place of the oldest when all are taken.
      if (openCount < maxOpen) {
        open_[openCount++] = best;
      } else {
        std::size_t oldest = 0;
        for (int k = 1; k < maxOpen; ++k) {
          oldest = open_[k] < open_[oldest] ? static_cast<std::size_t>(k) : oldest;
        }
        open_[oldest] = best;
      }
    } else {
      boxes_[best] = united(boxes_[best], rect);
    }
    groupOf_[i] = best;
  }
  // The rectangles of each group side by side, groups in order.
  starts_.assign(boxes_.size() + 1, 0);
  for (const std::size_t group : groupOf_) {
    ++starts_[group + 1];
  }
  for (std::size_t group = 0; group < boxes_.size(); ++group) {
    starts_[group + 1] += starts_[group];
  }
  sorted_.resize(rectangles.size());
  next_.assign(starts_.begin(), starts_.end() - 1);
  for (std::size_t i = 0; i < rectangles.size(); ++i) {
    sorted_[next_[groupOf_[i]]++] = rectangles[i];
  }
}

}  // namespace softglide::detail
