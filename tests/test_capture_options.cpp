// The capture tool's command line: frame lists against a plain reference
// (every frame in a set), ranges merged, bounds, and the options.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "capture_options.h"

namespace {

// The reference: every listed frame, one by one (small lists only).
std::set<int> expand(const std::vector<std::pair<int, int>>& items) {
  std::set<int> frames;
  for (const auto& [first, last] : items) {
    for (int frame = first; frame <= last; ++frame) frames.insert(frame);
  }
  return frames;
}

std::string text(const std::vector<std::pair<int, int>>& items) {
  std::string list;
  for (const auto& [first, last] : items) {
    list += (list.empty() ? "" : ",") + std::to_string(first) + (first == last ? "" : "-" + std::to_string(last));
  }
  return list;
}

// Random lists of overlapping, touching and repeated ranges below 200.
TEST(FrameList, AgreesWithEveryFrameListedOneByOne) {
  std::mt19937 random(7);
  for (int round = 0; round < 500; ++round) {
    std::vector<std::pair<int, int>> items(1 + random() % 8);
    for (auto& [first, last] : items) {
      first = 1 + static_cast<int>(random() % 180);
      last = first + static_cast<int>(random() % 12);
    }
    std::string problem;
    const auto frames = parseFrameList(text(items), problem);
    ASSERT_TRUE(frames) << text(items) << ": " << problem;
    const std::set<int> reference = expand(items);
    EXPECT_EQ(frames->count(), static_cast<long long>(reference.size())) << text(items);
    for (int frame = 0; frame < 200; ++frame) {
      ASSERT_EQ(frames->contains(frame), reference.count(frame) == 1) << text(items) << " frame " << frame;
    }
    int previousLast = -1;
    for (const auto& [first, last] : frames->ranges()) {
      EXPECT_GT(first, previousLast + 1) << text(items);  // disjoint and not touching
      EXPECT_LE(first, last);
      previousLast = last;
    }
    EXPECT_EQ(frames->last(), *reference.rbegin());
  }
}

TEST(FrameList, BoundsAndBadItems) {
  const struct {
    std::string list;
    bool accepted;
    long long count;
  } cases[] = {
      {"1", true, 1},
      {"10000000", true, 1},             // the last frame there is
      {"10000001", false, 0},
      {"1-100001", true, 100001},        // the bound, in one range
      {"1-100002", false, 0},
      {"1-50000,50001-100001", true, 100001},
      {"1-50000,50001-100002", false, 0},
      {"1-100001,1-100001,5-6", true, 100001},  // repeats count once
      {"0", false, 0}, {"-1", false, 0}, {"5-2", false, 0}, {"1,", false, 0}, {",1", false, 0},
      {"1--2", false, 0}, {"a", false, 0}, {" 1", false, 0}, {"1-", false, 0}, {"", false, 0},
      {"+1", false, 0}, {"0x10", false, 0}, {"123456789", false, 0},
  };
  for (const auto& test : cases) {
    std::string problem;
    const auto frames = parseFrameList(test.list, problem);
    EXPECT_EQ(frames.has_value(), test.accepted) << test.list;
    if (frames) {
      EXPECT_EQ(frames->count(), test.count) << test.list;
    } else {
      EXPECT_FALSE(problem.empty()) << test.list;
    }
  }
  // A hundred ranges of 100001 frames: refused by their total.
  std::string huge;
  for (int i = 0; i < 100; ++i) {
    huge += (i ? "," : "") + std::to_string(i * 100001 + 1) + "-" + std::to_string(i * 100001 + 100001);
  }
  std::string problem;
  EXPECT_FALSE(parseFrameList(huge, problem));
  EXPECT_NE(problem.find("more than 100001 frames"), std::string::npos) << problem;
}

TEST(CaptureOptions, RequiredValuesAndTheDefaultEnd) {
  std::string problem;
  const auto options = parseCaptureOptions({"--frames", "7,3-4", "--out", "dir"}, problem);
  ASSERT_TRUE(options) << problem;
  EXPECT_EQ(options->outDir, "dir");
  EXPECT_EQ(options->endAfter, 7);  // the last requested frame
  EXPECT_EQ(options->screenWidth, 640);  // the card's screen unless asked
  EXPECT_EQ(options->screenHeight, 480);
  const auto screen = parseCaptureOptions({"--out", "d", "--frames", "1", "--screen", "1920x1080"}, problem);
  ASSERT_TRUE(screen) << problem;
  EXPECT_EQ(screen->screenWidth, 1920);
  EXPECT_EQ(screen->screenHeight, 1080);
  const auto ending = parseCaptureOptions({"--out", "d", "--frames", "1", "--end-after", "30"}, problem);
  ASSERT_TRUE(ending);
  EXPECT_EQ(ending->endAfter, 30);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{}, {"--out"}, {"--out", "d"}, {"--frames", "1"}, {"--out", "d", "--frames", "1", "x"},
        {"--out", "d", "--frames", "1", "--end-after", "0"}, {"--bogus", "1"}, {"--out", "", "--frames", "1"},
        {"--out", "d", "--frames", "1", "--screen", "1920"}, {"--out", "d", "--frames", "1", "--screen", "0x480"},
        {"--out", "d", "--frames", "1", "--screen", "640x-480"}, {"--out", "d", "--frames", "1", "--screen", "16385x1"},
        {"--out", "d", "--frames", "1", "--screen", "x"}, {"--out", "d", "--frames", "1", "--screen", "640x480x2"}}) {
    EXPECT_FALSE(parseCaptureOptions(bad, problem)) << bad.size();
  }
}

}  // namespace
