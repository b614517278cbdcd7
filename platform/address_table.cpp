// The buffer address table.
#include "platform/address_table.h"

#include <map>
#include <mutex>

namespace win {
namespace {

constexpr std::uint64_t kGranule = 0x10000;  // like the system's allocation granularity
constexpr std::uint64_t kFirst = 0x00400000;
constexpr std::uint64_t kLimit = 0xFFFF0000;

struct Region {
  std::uint8_t* data;
  std::size_t size;
};

struct Table {
  std::mutex mutex;
  std::map<std::uint64_t, Region> regions;  // by first address
  std::uint64_t cursor = kFirst;
};

Table& table() {
  static Table t;
  return t;
}

std::uint64_t span_of(std::size_t size) {  // the region plus one unmapped granule after it
  return (static_cast<std::uint64_t>(size) + kGranule - 1) / kGranule * kGranule + kGranule;
}

// First gap of `need` bytes at or after `from`, below kLimit; 0 when none.
std::uint64_t find_gap(const std::map<std::uint64_t, Region>& regions, std::uint64_t from, std::uint64_t need) {
  std::uint64_t candidate = from;
  auto it = regions.lower_bound(from);
  if (it != regions.begin()) {
    auto prev = std::prev(it);
    candidate = std::max(candidate, prev->first + span_of(prev->second.size));
  }
  for (;; ++it) {
    std::uint64_t next = it == regions.end() ? kLimit : it->first;
    if (candidate + need <= next) return candidate;
    if (it == regions.end()) return 0;
    candidate = it->first + span_of(it->second.size);
  }
}

}  // namespace

DWORD register_address(void* data, std::size_t size) {
  if (!data || size == 0 || size > kLimit) return 0;
  Table& t = table();
  std::lock_guard lock(t.mutex);
  std::uint64_t need = span_of(size);
  std::uint64_t at = find_gap(t.regions, t.cursor, need);
  if (!at) at = find_gap(t.regions, kFirst, need);
  if (!at) return 0;
  t.regions[at] = {static_cast<std::uint8_t*>(data), size};
  t.cursor = at + need;
  return static_cast<DWORD>(at);
}

void unregister_address(DWORD address) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  t.regions.erase(address);
}

std::uint8_t* resolve_address(DWORD address, std::size_t length) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.regions.upper_bound(address);
  if (it == t.regions.begin()) return nullptr;
  --it;
  std::uint64_t offset = address - it->first;
  if (offset >= it->second.size || length > it->second.size - offset) return nullptr;
  return it->second.data + offset;
}

}  // namespace win
