// The type library's IDL, written from the member tables: the library's
// five classes with their dual interfaces and the three enumerations, and
// stand-ins for the runtime libraries it imports (the Collection type and
// the picture-resource kinds) so that an IDL compiler can resolve them.
#pragma once
#include <string>

namespace volumar {

struct TypeLibraryIdl {
  std::string runtime_declarations;  // runtime_types.idl: imported declarations
  std::string vba_library;           // vba_runtime.idl: library VBA (Collection)
  std::string vbrun_library;         // vbrun_runtime.idl: library VBRUN (LoadResConstants)
  std::string library;               // volumar10.idl
};

inline constexpr const char* kRuntimeDeclarationsFile = "runtime_types.idl";
inline constexpr const char* kVbaTypeLibFile = "vba_runtime.tlb";
inline constexpr const char* kVbrunTypeLibFile = "vbrun_runtime.tlb";

TypeLibraryIdl type_library_idl();

}  // namespace volumar
