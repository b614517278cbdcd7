// A console reporter that also prints each benchmark's time as a ratio of
// the run named as its baseline ("<name>/baseline").
#pragma once
#include <benchmark/benchmark.h>

#include <map>
#include <string>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  std::map<std::string, double> seconds_per_iteration_;
};
