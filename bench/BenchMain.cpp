// Runs the benchmarks with the usual table, then prints the ratios and throughputs
// against their goals, from the times of this same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "BenchSupport.h"

namespace {

using qorv::bench::Ratios;
using qorv::bench::Throughputs;

// The console table, with each run's time kept for the summary. With repetitions only
// the median (and the complexity fit) is shown and kept.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  CollectingReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    bool repeated = false;
    for (const Run& run : runs) repeated = repeated || run.run_type == Run::RT_Aggregate;
    std::vector<Run> shown;
    for (const Run& run : runs) {
      const bool fit = run.report_big_o || run.report_rms;
      if (!repeated || fit || (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")) {
        shown.push_back(run);
      }
    }
    for (const Run& run : shown) {
      if (run.error_occurred || run.report_big_o || run.report_rms) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      std::string name = run.benchmark_name();
      for (const std::string suffix : {"_median", "/real_time", "/manual_time"}) {
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
          name.erase(name.size() - suffix.size());
        }
      }
      Measured& m = measured_[name];
      if (run.run_type == Run::RT_Aggregate || m.seconds == 0) {
        m.seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        const auto bytes = run.counters.find("bytes_per_second");
        m.bytesPerSecond = bytes != run.counters.end() ? bytes->second.value : 0;
        const auto parts = run.counters.find("parts");
        m.partsSeconds = parts != run.counters.end() ? parts->second.value : 0;
      }
    }
    if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
  }

  struct Measured {
    double seconds = 0;
    double bytesPerSecond = 0;
    double partsSeconds = 0;  // the counter "parts", where the benchmark has one
  };
  const Measured* Find(const std::string& name) const {
    const auto at = measured_.find(name);
    return at != measured_.end() ? &at->second : nullptr;
  }

 private:
  std::map<std::string, Measured> measured_;
};

std::string Time(double seconds) {
  char text[32];
  if (seconds >= 1e-3) {
    std::snprintf(text, sizeof text, "%.3f ms", seconds * 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.2f us", seconds * 1e6);
  }
  return text;
}

void PrintSummary(const CollectingReporter& reporter) {
  std::string table;
  for (const auto& ratio : Ratios()) {
    const auto* measured = reporter.Find(ratio.measured);
    if (measured == nullptr) continue;
    double parts = ratio.parts.empty() ? measured->partsSeconds : 0;
    bool complete = true;
    for (const std::string& part : ratio.parts) {
      const auto* p = reporter.Find(part);
      complete = complete && p != nullptr;
      if (p != nullptr) parts += p->seconds;
    }
    if (!complete || parts <= 0) continue;
    if (ratio.table != table) {
      table = ratio.table;
      std::printf("\nRatios, %s (goal: at most the figure in the last column)\n", table.c_str());
      std::printf("%-28s %14s %14s %8s %6s\n", "", "measured", "parts", "ratio", "goal");
    }
    const double value = measured->seconds / parts;
    std::printf("%-28s %14s %14s %8.2f %6.2f %-6s %s\n", ratio.label.c_str(), Time(measured->seconds).c_str(),
                Time(parts).c_str(), value, ratio.goal, value <= ratio.goal ? "met" : "MISSED",
                ratio.partsShown.c_str());
  }
  bool header = false;
  for (const auto& throughput : Throughputs()) {
    const auto* measured = reporter.Find(throughput.measured);
    if (measured == nullptr || measured->bytesPerSecond <= 0) continue;
    if (!header) {
      std::printf("\nThroughput (goal: at least the figure in the last column)\n");
      header = true;
    }
    std::printf("%-40s %8.2f GB/s %6.2f GB/s %s\n", throughput.label.c_str(), measured->bytesPerSecond / 1e9,
                throughput.goalBytesPerSecond / 1e9,
                measured->bytesPerSecond >= throughput.goalBytesPerSecond ? "met" : "MISSED");
  }
}

}  // namespace

int main(int argc, char** argv) {
  try {
    qorv::bench::RegisterExportBenchmarks();
    qorv::bench::RegisterScalingBenchmarks();
    qorv::bench::RegisterParamStringBenchmarks();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qorv_bench: cannot prepare the benchmarks: %s\n", e.what());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintSummary(reporter);
  benchmark::Shutdown();
  return 0;
}
