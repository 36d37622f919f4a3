// Fuzzes the capture tool's command line: the input, split at zero bytes,
// is the argument list, and its first argument alone is also read as a
// frame list. Accepted lists are sorted, disjoint ranges within the frame
// bounds whose total is bounded, and agree with a plain reference (every
// frame in a set) where that is small enough to build.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "capture_options.h"

namespace {

void check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void checkList(const FrameList& frames) {
  long long total = 0;
  long long previousLast = -1;
  for (const auto& [first, last] : frames.ranges()) {
    check(first >= 1 && last <= maxFrame && first <= last && first > previousLast + 1);
    check(frames.contains(first) && frames.contains(last) && !frames.contains(first - 1));
    total += static_cast<long long>(last) - first + 1;
    previousLast = last;
  }
  check(!frames.empty() && total == frames.count() && total <= maxFrameCount);
  check(!frames.contains(previousLast + 1) && !frames.contains(0));
}

// Items "a" or "a-b" of small numbers, as the parser reads them.
bool reference(const std::string& list, std::set<int>& frames) {
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = list.find(',', start);
    const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const std::size_t dash = item.find('-');
    const std::string a = item.substr(0, dash);
    const std::string b = dash == std::string::npos ? a : item.substr(dash + 1);
    for (const std::string& number : {a, b}) {
      if (number.empty() || number.size() > 4 || number.find_first_not_of("0123456789") != std::string::npos) {
        return false;
      }
    }
    const int first = std::atoi(a.c_str());
    const int last = std::atoi(b.c_str());
    if (first < 1 || last < first) {
      return false;
    }
    for (int frame = first; frame <= last; ++frame) frames.insert(frame);
    if (comma == std::string::npos) {
      return true;
    }
    start = comma + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      arguments.emplace_back();
    } else {
      arguments.back() += static_cast<char>(data[i]);
    }
  }
  std::string problem;
  if (const auto options = parseCaptureOptions(arguments, problem)) {
    check(!options->outDir.empty() && options->endAfter >= 1 && options->endAfter <= maxFrame);
    checkList(options->frames);
  } else {
    check(!problem.empty() && problem.size() < 200);
  }
  const auto frames = parseFrameList(arguments[0], problem);
  if (frames) {
    checkList(*frames);
  }
  std::set<int> expected;
  const bool small = reference(arguments[0], expected);
  if (small) {
    check(frames.has_value() && frames->count() == static_cast<long long>(expected.size()));
    for (int frame = 0; frame <= 10000; ++frame) {
      check(frames->contains(frame) == (expected.count(frame) == 1));
    }
  } else {
    // What the reference refuses for a number's form the parser refuses too.
    check(!frames || arguments[0].find_first_not_of("0123456789,-") == std::string::npos);
  }
  return 0;
}
