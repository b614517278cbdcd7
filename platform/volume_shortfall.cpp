#include "platform/volume_shortfall.h"

#include <atomic>

namespace win {
namespace {
std::atomic<std::uint64_t> g_shortfalls{0};
}  // namespace

std::uint64_t volume_shortfalls() { return g_shortfalls.load(); }
void count_volume_shortfall() { ++g_shortfalls; }

}  // namespace win
