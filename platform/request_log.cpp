// The request recorder.
#include "platform/request_log.h"

#include <atomic>

namespace win {
namespace {
std::atomic<RequestLog*> g_active{nullptr};
}

RequestLog::RequestLog() : previous_(g_active.exchange(this)) {}
RequestLog::~RequestLog() { g_active.store(previous_); }

std::vector<PlatformRequest> RequestLog::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<PlatformRequest> RequestLog::of_kind(PlatformRequest::Kind kind) const {
  std::lock_guard lock(mutex_);
  std::vector<PlatformRequest> out;
  for (const auto& r : requests_)
    if (r.kind == kind) out.push_back(r);
  return out;
}

void RequestLog::clear() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

bool RequestLog::active() { return g_active.load() != nullptr; }

void RequestLog::record(PlatformRequest request) {
  RequestLog* log = g_active.load();
  if (!log) return;
  std::lock_guard lock(log->mutex_);
  log->requests_.push_back(std::move(request));
}

}  // namespace win
