// An in-memory FAT table: the entries of one width, either held by the
// table itself (set up entry by entry) or in storage it was handed, such as
// a copy-on-write view of FAT copy 1 or pages a read filled, which it gives
// back when it lets go of them.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

namespace volumar {

template <class T>
class FatTable {
 public:
  using value_type = T;

  FatTable() = default;
  FatTable(std::initializer_list<T> values) : owned_(values) { point_at_owned(); }
  FatTable(const FatTable& other) : owned_(other.begin(), other.end()) { point_at_owned(); }
  FatTable(FatTable&& other) noexcept { take(std::move(other)); }
  FatTable& operator=(const FatTable& other) {
    if (this != &other) take(FatTable(other));
    return *this;
  }
  FatTable& operator=(FatTable&& other) noexcept {
    if (this != &other) take(std::move(other));
    return *this;
  }
  FatTable& operator=(std::initializer_list<T> values) {
    take(FatTable(values));
    return *this;
  }

  void assign(std::size_t n, T value) {
    FatTable table;
    table.owned_.assign(n, value);
    table.point_at_owned();
    take(std::move(table));
  }
  void clear() { take(FatTable()); }

  // The entries become the n values at `data`, in storage that `keeper`
  // holds and releases when the table lets go of it.
  void adopt(std::shared_ptr<void> keeper, T* data, std::size_t n) {
    FatTable table;
    table.keeper_ = std::move(keeper);
    table.data_ = data;
    table.size_ = n;
    take(std::move(table));
  }

  // Makes the pages that hold bytes [first, end) of handed storage the
  // process's own, so that a write to the device afterwards does not show
  // through a copy-on-write view: each page is written with what it holds.
  void keep_as_is(std::size_t first, std::size_t end) {
    if (!keeper_) return;
    constexpr std::size_t kSmallestPage = 4096;
    auto* bytes = reinterpret_cast<volatile std::uint8_t*>(data_);
    end = std::min(end, size_ * sizeof(T));
    for (std::size_t at = first; at < end; at = (at / kSmallestPage + 1) * kSmallestPage) bytes[at] = bytes[at];
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

 private:
  void point_at_owned() {
    data_ = owned_.data();
    size_ = owned_.size();
  }
  void take(FatTable&& other) {
    owned_ = std::move(other.owned_);
    keeper_ = std::move(other.keeper_);
    if (keeper_) {
      data_ = other.data_;
      size_ = other.size_;
    } else {
      point_at_owned();
    }
    other.owned_.clear();
    other.point_at_owned();
  }

  std::vector<T> owned_;
  std::shared_ptr<void> keeper_;
  T* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace volumar
