// Benchmark runner with ratio lines.
#include "ratios.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

// Keeps each benchmark's time per iteration: the median aggregate when
// there is one, else the single run.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string name = run.run_name.function_name;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (median || (run.run_type == Run::RT_Iteration && medians_.count(name) == 0)) {
        times_[name] = run.GetAdjustedRealTime();
        if (median) {
          medians_[name] = true;
        }
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& times() const { return times_; }

 private:
  std::map<std::string, double> times_;
  std::map<std::string, bool> medians_;
};

}  // namespace

int runWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  for (const Ratio& ratio : ratios) {
    const auto top = reporter.times().find(ratio.numerator);
    const auto bottom = reporter.times().find(ratio.denominator);
    if (top != reporter.times().end() && bottom != reporter.times().end() && bottom->second > 0) {
      std::printf("%-44s %8.2f  (%s %.1f us / %s %.1f us)\n", ratio.label.c_str(), top->second / bottom->second,
                  ratio.numerator.c_str(), top->second, ratio.denominator.c_str(), bottom->second);
    }
  }
  return 0;
}
