// The capture tool's command line: options and the frame list, kept as
// sorted ranges, so that no argument can make the list large.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// Frames are numbered from 1 (the first buffer swap).
inline constexpr int maxFrame = 10'000'000;
// The most frames one run may write, counted over the whole list.
inline constexpr long long maxFrameCount = 100'001;

class FrameList {
 public:
  // first -> last, both inclusive: disjoint and never adjacent.
  const std::map<int, int>& ranges() const { return ranges_; }
  bool contains(int frame) const;
  long long count() const { return count_; }
  bool empty() const { return ranges_.empty(); }
  int last() const { return ranges_.rbegin()->second; }
  // Adds [first, last], merging with the ranges it touches.
  void add(int first, int last);

 private:
  std::map<int, int> ranges_;
  long long count_ = 0;
};

// The largest headless screen the tool makes, each way.
inline constexpr int maxScreenSide = 16384;

struct CaptureOptions {
  std::string outDir;
  FrameList frames;
  int endAfter = 0;  // the GetMessageA call that brings the key press
  int screenWidth = 640, screenHeight = 480;  // the headless screen's
};

// The options, or nothing with the problem set to one line that says why.
std::optional<CaptureOptions> parseCaptureOptions(const std::vector<std::string>& arguments, std::string& problem);

// The list "1,128,255-257,600", or nothing with the problem set.
std::optional<FrameList> parseFrameList(const std::string& list, std::string& problem);
