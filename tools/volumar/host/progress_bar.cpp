// Progress on standard error for long dumps and long loads.
#include "tools/volumar/host/progress_bar.h"

#include <unistd.h>

#include <cstdio>
#include <memory>

#include "platform/user32/message_pump.h"

namespace volumar_tool {
namespace {

bool g_line_dirty = false;
bool g_quiet = false;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// Work shorter than this never shows a bar, so quick commands stay quiet.
constexpr auto kShowAfter = std::chrono::milliseconds(300);

}  // namespace

bool progress_enabled() { return !g_quiet && isatty(STDERR_FILENO) == 1; }
void disable_progress() { g_quiet = true; }

void clear_progress_line() {
  if (!g_line_dirty) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  g_line_dirty = false;
}

ProgressBar::ProgressBar(std::string label, std::uint64_t total)
    : label_(std::move(label)),
      total_(total),
      active_(progress_enabled()),
      started_(std::chrono::steady_clock::now()),
      last_draw_(started_) {}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::update(std::uint64_t done) {
  if (!active_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - started_ < kShowAfter || now - last_draw_ < kRedrawInterval) return;
  last_draw_ = now;
  draw(done);
}

void ProgressBar::draw(std::uint64_t done) {
  char line[160];
  if (total_ == 0) {
    std::snprintf(line, sizeof line, "\r%s %llu", label_.c_str(), static_cast<unsigned long long>(done));
  } else {
    constexpr int kWidth = 30;
    const std::uint64_t shown = done > total_ ? total_ : done;
    const int filled = static_cast<int>(shown * kWidth / total_);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '-');
    std::snprintf(line, sizeof line, "\r%s [%s] %3d%%", label_.c_str(), bar.c_str(),
                  static_cast<int>(shown * 100 / total_));
  }
  std::fputs(line, stderr);
  std::fflush(stderr);
  drawn_ = true;
  g_line_dirty = true;
}

void ProgressBar::finish() {
  if (drawn_) clear_progress_line();
  drawn_ = false;
  active_ = false;
}

PumpProgress::PumpProgress(std::string label) {
  if (!progress_enabled()) return;
  auto bar = std::make_shared<ProgressBar>(std::move(label), 0);
  auto count = std::make_shared<std::uint64_t>(0);
  win::set_message_pump([bar, count] { bar->update(++*count); });
}

PumpProgress::~PumpProgress() {
  win::set_message_pump({});
  clear_progress_line();
}

}  // namespace volumar_tool
