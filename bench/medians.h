// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the registered benchmarks with repetitions (unless the command line
// sets its own), so that each has a median, and returns the medians of the
// real time by name: the figures the benchmarks' targets are put in.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

inline std::map<std::string, double> RunForMedians(int argc, char** argv, int repetitions) {
  class MedianReporter : public benchmark::ConsoleReporter {
   public:
    void ReportRuns(const std::vector<Run>& runs) override {
      for (const Run& r : runs)
        if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
          medians[r.run_name.function_name] = r.GetAdjustedRealTime();
      ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
  };
  std::vector<char*> args(argv, argv + argc);
  std::string reps = "--benchmark_repetitions=" + std::to_string(repetitions);
  std::string only_aggregates = "--benchmark_report_aggregates_only=true";
  bool has_reps = false;
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0) has_reps = true;
  if (!has_reps) {
    args.push_back(reps.data());
    args.push_back(only_aggregates.data());
  }
  int bargc = static_cast<int>(args.size());
  benchmark::Initialize(&bargc, args.data());
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return reporter.medians;
}

}  // namespace bench
