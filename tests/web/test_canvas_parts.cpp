// The parts a present hands the page's canvas: known answers worked out by
// hand, and random rectangle sets against a pixel map of what they cover.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "canvas_parts.h"

namespace {

using win32::web::canvasCallPixels;
using win32::web::gatherCanvasParts;

constexpr int width = 640;
constexpr int height = 480;

std::vector<RECT> gathered(const std::vector<RECT>& changed) {
  std::vector<RECT> parts{{1, 2, 3, 4}};  // whatever a last present left
  gatherCanvasParts(changed, width, height, parts);
  return parts;
}

bool same(const std::vector<RECT>& a, const std::vector<RECT>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].left != b[i].left || a[i].top != b[i].top || a[i].right != b[i].right || a[i].bottom != b[i].bottom) {
      return false;
    }
  }
  return true;
}

long long area(const RECT& rect) {
  return static_cast<long long>(rect.right - rect.left) * (rect.bottom - rect.top);
}

// A join of 1x1 rectangles x apart on a row takes in x - 1 pixels that
// neither holds: below canvasCallPixels (512) it is one part, from there on
// two.
TEST(CanvasParts, KnownAnswers) {
  static_assert(canvasCallPixels == 512, "the cases below are worked out for 512");
  const struct {
    const char* name;
    std::vector<RECT> changed;
    std::vector<RECT> parts;
  } cases[] = {
      {"none", {}, {}},
      {"two stars 8 apart: 16 pixels taken in", {{0, 0, 2, 2}, {10, 0, 12, 2}}, {{0, 0, 12, 2}}},
      {"two stars far apart", {{0, 0, 2, 2}, {100, 100, 102, 102}}, {{0, 0, 2, 2}, {100, 100, 102, 102}}},
      {"one inside another", {{0, 0, 10, 10}, {2, 2, 4, 4}}, {{0, 0, 10, 10}}},
      {"511 pixels taken in", {{0, 0, 1, 1}, {512, 0, 513, 1}}, {{0, 0, 513, 1}}},
      {"512 pixels taken in", {{0, 0, 1, 1}, {513, 0, 514, 1}}, {{0, 0, 1, 1}, {513, 0, 514, 1}}},
      {"held inside the screen", {{-5, -5, 3, 3}, {630, 470, 700, 500}}, {{0, 0, 3, 3}, {630, 470, 640, 480}}},
      {"empty, turned over or off the screen", {{5, 5, 5, 9}, {9, 9, 3, 3}, {700, 10, 800, 20}, {10, -9, 20, -1}},
       {}},
      // 4x4 at 0 and 140 stay apart (544 taken in); 2x4 at 100 takes in 384
      // with the first, 152 with the second.
      {"the part that grows least", {{0, 0, 4, 4}, {140, 0, 144, 4}, {100, 0, 102, 4}},
       {{0, 0, 4, 4}, {100, 0, 144, 4}}},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(same(gathered(c.changed), c.parts)) << c.name;
  }
}

// Random sets of stars and streaks, some reaching past the screen: every
// pixel of a rectangle on the screen is in a part, every part is on the
// screen and not empty, and each join took in fewer than canvasCallPixels
// pixels more than its rectangles hold.
TEST(CanvasParts, CoverWhatChangedAndTakeInLittleElse) {
  std::mt19937 random(28);
  for (int set = 0; set < 300; ++set) {
    std::vector<RECT> changed(std::uniform_int_distribution<int>(0, 300)(random));
    std::vector<bool> asked(width * height, false);
    long long askedArea = 0;
    for (RECT& rect : changed) {
      const int left = std::uniform_int_distribution<int>(-20, width + 5)(random);
      const int top = std::uniform_int_distribution<int>(-20, height + 5)(random);
      const bool streak = std::uniform_int_distribution<int>(0, 3)(random) == 0;
      const int across = std::uniform_int_distribution<int>(0, streak ? 60 : 3)(random);
      const int down = std::uniform_int_distribution<int>(0, streak ? 30 : 3)(random);
      rect = {left, top, left + across, top + down};
      for (int y = std::max(top, 0); y < std::min(top + down, height); ++y) {
        for (int x = std::max(left, 0); x < std::min(left + across, width); ++x) {
          asked[y * width + x] = true;
        }
      }
      askedArea += std::max(0, std::min(left + across, width) - std::max(left, 0)) *
                   std::max(0, std::min(top + down, height) - std::max(top, 0));
    }
    std::vector<bool> drawn(width * height, false);
    long long partsArea = 0;
    const std::vector<RECT> parts = gathered(changed);
    for (const RECT& part : parts) {
      ASSERT_TRUE(part.left >= 0 && part.top >= 0 && part.right <= width && part.bottom <= height &&
                  part.left < part.right && part.top < part.bottom)
          << "set " << set << ": part " << part.left << "," << part.top << "," << part.right << "," << part.bottom;
      partsArea += area(part);
      for (LONG y = part.top; y < part.bottom; ++y) {
        for (LONG x = part.left; x < part.right; ++x) drawn[y * width + x] = true;
      }
    }
    for (int i = 0; i < width * height; ++i) {
      ASSERT_TRUE(!asked[i] || drawn[i]) << "set " << set << ": pixel " << i % width << "," << i / width << " left out";
    }
    const long long nonEmpty = std::count_if(changed.begin(), changed.end(), [](const RECT& rect) {
      return std::max(0L, std::min<long>(rect.right, width) - std::max<long>(rect.left, 0)) *
                 std::max(0L, std::min<long>(rect.bottom, height) - std::max<long>(rect.top, 0)) > 0;
    });
    ASSERT_LE(static_cast<long long>(parts.size()), nonEmpty) << "set " << set;
    const long long joins = nonEmpty - static_cast<long long>(parts.size());
    EXPECT_LE(partsArea, askedArea + (canvasCallPixels - 1) * joins) << "set " << set;
  }
}

}  // namespace
