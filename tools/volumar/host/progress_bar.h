// A progress bar on standard error for long work, drawn only when standard
// error is a terminal, and redrawn at most a few times a second.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

namespace volumar_tool {

class ProgressBar {
 public:
  // total 0: an activity counter without a known end.
  ProgressBar(std::string label, std::uint64_t total);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void update(std::uint64_t done);
  void finish();

 private:
  void draw(std::uint64_t done);
  std::string label_;
  std::uint64_t total_;
  bool active_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point last_draw_;
};

// Whether progress may be drawn at all: standard error is a terminal and
// no -q asked for silence.
bool progress_enabled();
void disable_progress();
// Erases a progress line so that another message can be printed on stderr.
void clear_progress_line();

// Installs a message pump that shows "label" with a counter while the
// library yields during a long load; uninstalled by the destructor.
class PumpProgress {
 public:
  explicit PumpProgress(std::string label);
  ~PumpProgress();
  PumpProgress(const PumpProgress&) = delete;
  PumpProgress& operator=(const PumpProgress&) = delete;
};

}  // namespace volumar_tool
