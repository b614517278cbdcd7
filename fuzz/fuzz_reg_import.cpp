// .reg files imported into a registry store in a temporary folder. What an
// import stores must export to a text that imports again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "platform/registry/registry.h"

namespace {

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "==ERROR: %s\n", what);
  std::abort();
}

void empty_every_root() {
  for (win::HKEY root : {win::HKEY_CLASSES_ROOT, win::HKEY_CURRENT_USER, win::HKEY_LOCAL_MACHINE})
    win::RegDeleteTreeA(root, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path file = [] {
    if (!win::registry_use_file(fuzz::scratch().file("registry.db"))) broken("the registry store did not open");
    return fuzz::scratch().file("input.reg");
  }();
  fuzz::write_file(file, data, size);
  empty_every_root();
  std::size_t line = 0;
  if (win::registry_import_file(file, &line) != 0) return 0;

  std::u16string exported;
  if (win::registry_export("", exported) != 0) broken("the imported keys did not export");
  std::size_t error_line = 0;
  if (win::registry_import(exported, &error_line) != 0) {
    std::fprintf(stderr, "line %zu of the export does not import\n", error_line);
    broken("an export does not import");
  }
  std::u16string again;
  if (win::registry_export("", again) != 0 || again != exported) broken("importing an export changed the registry");
  empty_every_root();
  if (win::registry_import(exported) != 0 || win::registry_export("", again) != 0 || again != exported)
    broken("an export imported into an empty registry is not the same registry");
  return 0;
}
