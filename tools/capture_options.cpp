// The capture tool's command line: strict whole numbers, frame ranges merged
// as they are read, and a bound on the frames of the whole list.
#include "capture_options.h"

#include <algorithm>
#include <iterator>

bool FrameList::contains(int frame) const {
  const auto after = ranges_.upper_bound(frame);
  return after != ranges_.begin() && std::prev(after)->second >= frame;
}

void FrameList::add(int first, int last) {
  // Start from the range before first, which may reach it or end just
  // before it, and swallow every range that starts by last + 1.
  auto next = ranges_.upper_bound(first);
  if (next != ranges_.begin() && std::prev(next)->second >= first - 1) {
    --next;
  }
  while (next != ranges_.end() && next->first <= last + 1) {
    first = std::min(first, next->first);
    last = std::max(last, next->second);
    count_ -= static_cast<long long>(next->second) - next->first + 1;
    next = ranges_.erase(next);
  }
  ranges_.emplace(first, last);
  count_ += static_cast<long long>(last) - first + 1;
}

namespace {

// A whole number from 1 to maxFrame, or -1.
int parseNumber(const std::string& text) {
  if (text.empty() || text.size() > 8 || text.find_first_not_of("0123456789") != std::string::npos) {
    return -1;
  }
  const long value = std::stol(text);
  return value >= 1 && value <= maxFrame ? static_cast<int>(value) : -1;
}

}  // namespace

std::optional<FrameList> parseFrameList(const std::string& list, std::string& problem) {
  FrameList frames;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = list.find(',', start);
    const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const std::size_t dash = item.find('-');
    const int first = parseNumber(item.substr(0, dash));
    const int last = dash == std::string::npos ? first : parseNumber(item.substr(dash + 1));
    if (first < 0 || last < first) {
      problem = "bad frame list item '" + item.substr(0, 40) + "'";
      return std::nullopt;
    }
    frames.add(first, last);
    if (frames.count() > maxFrameCount) {
      problem = "the frame list asks for more than " + std::to_string(maxFrameCount) + " frames";
      return std::nullopt;
    }
    if (comma == std::string::npos) {
      return frames;
    }
    start = comma + 1;
  }
}

std::optional<CaptureOptions> parseCaptureOptions(const std::vector<std::string>& arguments, std::string& problem) {
  CaptureOptions options;
  bool haveFrames = false;
  for (std::size_t i = 0; i < arguments.size(); i += 2) {
    const std::string& flag = arguments[i];
    if (i + 1 >= arguments.size()) {
      problem = "missing value after " + flag.substr(0, 40);
      return std::nullopt;
    }
    const std::string& value = arguments[i + 1];
    if (flag == "--out") {
      options.outDir = value;
    } else if (flag == "--frames") {
      std::optional<FrameList> frames = parseFrameList(value, problem);
      if (!frames) {
        return std::nullopt;
      }
      options.frames = std::move(*frames);
      haveFrames = true;
    } else if (flag == "--screen") {
      const std::size_t times = value.find('x');
      const int width = times == std::string::npos ? -1 : parseNumber(value.substr(0, times));
      const int height = times == std::string::npos ? -1 : parseNumber(value.substr(times + 1));
      if (width < 1 || height < 1 || width > maxScreenSide || height > maxScreenSide) {
        problem = "--screen takes WIDTHxHEIGHT, each a whole number from 1 to " + std::to_string(maxScreenSide);
        return std::nullopt;
      }
      options.screenWidth = width;
      options.screenHeight = height;
    } else if (flag == "--end-after") {
      options.endAfter = parseNumber(value);
      if (options.endAfter < 0) {
        problem = "--end-after takes a whole number from 1 to " + std::to_string(maxFrame);
        return std::nullopt;
      }
    } else {
      problem = "unknown option " + flag.substr(0, 40);
      return std::nullopt;
    }
  }
  if (options.outDir.empty() || !haveFrames) {
    problem = "--out and --frames are required";
    return std::nullopt;
  }
  if (options.endAfter == 0) {
    options.endAfter = options.frames.last();
  }
  return options;
}
