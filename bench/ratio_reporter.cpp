#include "bench/ratio_reporter.h"

#include <cstdio>

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const auto& r : runs) {
    // A ratio of spreads (stddev, cv) means nothing; single runs, means and medians compare.
    const bool comparable = r.aggregate_name.empty() || r.aggregate_name == "mean" || r.aggregate_name == "median";
    if (r.iterations > 0 && comparable) seconds_per_iteration_[r.benchmark_name()] = r.GetAdjustedRealTime();
  }
}

void RatioReporter::Finalize() {
  ConsoleReporter::Finalize();
  for (const auto& [name, time] : seconds_per_iteration_) {
    auto slash = name.find("/library");
    if (slash == std::string::npos) continue;
    auto base = seconds_per_iteration_.find(name.substr(0, slash) + "/baseline" + name.substr(slash + 8));
    if (base == seconds_per_iteration_.end() || base->second <= 0) continue;
    std::printf("ratio %s: %.2f x baseline\n", name.c_str(), time / base->second);
  }
}
