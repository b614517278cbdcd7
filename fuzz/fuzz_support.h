// What the fuzz targets share: one scratch folder per process, files
// rewritten in place, and a ceiling on single allocations that turns an
// allocation sized by a field rather than by the input into a crash.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "imaging/temp_dir.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VOLUMAR_FUZZ_HOOKS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VOLUMAR_FUZZ_HOOKS 1
#endif
#ifdef VOLUMAR_FUZZ_HOOKS
#include <sanitizer/common_interface_defs.h>
// In every AddressSanitizer runtime, though GCC ships no header for it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                                         void (*free_hook)(const volatile void*));
#endif

namespace fuzz {

// Removed when the process ends normally; a crash leaves it for a look.
inline const imaging::TempDir& scratch() {
  static const imaging::TempDir dir("volumar-fuzz");
  return dir;
}

inline void write_file(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) std::abort();  // every later check would test a stale file
}

inline std::size_t& allocation_ceiling() {
  static std::size_t bytes = 0;
  return bytes;
}

// Aborts (a crash the fuzzer keeps) on an allocation of more than `bytes`
// while it lives. Without AddressSanitizer's hooks it checks nothing.
inline void check_allocation(std::size_t size) {
  const std::size_t limit = allocation_ceiling();
  if (limit == 0 || size <= limit) return;
  allocation_ceiling() = 0;  // the report allocates
  std::fprintf(stderr, "==ERROR: allocation of %zu bytes, beyond this input's ceiling of %zu\n", size, limit);
#ifdef VOLUMAR_FUZZ_HOOKS
  __sanitizer_print_stack_trace();
#endif
  std::abort();
}

class AllocationCeiling {
 public:
  explicit AllocationCeiling(std::size_t bytes) {
#ifdef VOLUMAR_FUZZ_HOOKS
    static const int installed = __sanitizer_install_malloc_and_free_hooks(
        [](const volatile void*, std::size_t size) { check_allocation(size); }, [](const volatile void*) {});
    (void)installed;
#endif
    allocation_ceiling() = bytes;
  }
  ~AllocationCeiling() { allocation_ceiling() = 0; }
  AllocationCeiling(const AllocationCeiling&) = delete;
  AllocationCeiling& operator=(const AllocationCeiling&) = delete;
};

}  // namespace fuzz
