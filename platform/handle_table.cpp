// The handle table.
#include "platform/handle_table.h"

#include <cstdint>
#include <map>

namespace win {
namespace {
struct Table {
  std::mutex mutex;
  std::map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
  std::uintptr_t next = 0x10;
};
Table& table() {
  static Table t;
  return t;
}
}  // namespace

HANDLE insert_handle(std::shared_ptr<KernelObject> object) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  std::uintptr_t value = t.next;
  t.next += 4;
  t.objects[value] = std::move(object);
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> lookup_handle(HANDLE handle) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == t.objects.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> remove_handle(HANDLE handle) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == t.objects.end()) return nullptr;
  auto object = std::move(it->second);
  t.objects.erase(it);
  return object;
}

std::size_t open_handle_count() {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  return t.objects.size();
}

}  // namespace win
