// Storage for the in-memory FAT tables. A FAT copy is read straight into
// its table, so the table's entries are not cleared first, and a large
// table takes its pages from the system rather than the heap: it is written
// once, by the read, and given back whole.
#pragma once
#include <cstddef>
#include <new>
#include <utility>
#include <vector>

#include "platform/virtual_memory.h"

namespace volumar {

template <class T>
class FatTableAllocator {
 public:
  using value_type = T;

  FatTableAllocator() = default;
  template <class U>
  FatTableAllocator(const FatTableAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    if (!from_system(n)) return static_cast<T*>(::operator new(n * sizeof(T)));
    void* p = win::VirtualAlloc(nullptr, n * sizeof(T), win::MEM_COMMIT | win::MEM_RESERVE, win::PAGE_READWRITE);
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t n) noexcept {
    if (from_system(n))
      win::VirtualFree(p, 0, win::MEM_RELEASE);
    else
      ::operator delete(p);
  }

  // resize() leaves new entries as they are; values given are stored.
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  friend bool operator==(const FatTableAllocator&, const FatTableAllocator&) { return true; }

 private:
  static constexpr std::size_t kSystemPagesFrom = std::size_t{1} << 20;
  static bool from_system(std::size_t n) { return n * sizeof(T) >= kSystemPagesFrom; }
};

template <class T>
using FatTable = std::vector<T, FatTableAllocator<T>>;

}  // namespace volumar
