// A benchmark main that prints, after the usual table, the ratios of chosen
// pairs of results (median wall time per iteration when repetitions are on).
#pragma once

#include <string>
#include <vector>

struct Ratio {
  std::string label;
  std::string numerator;    // benchmark names
  std::string denominator;
};

int runWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios);
