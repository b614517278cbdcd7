// The library file's own resources: its type library (type "TYPELIB",
// identifier 1) and its version record (type 16, identifier 1). It has no
// string table and no bitmap, icon or cursor.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "frame/value_types.h"

namespace volumar {

namespace generated {
// Written at build time from the member tables.
extern const unsigned char kTypeLibrary[];
extern const std::size_t kTypeLibrarySize;
// True for a compiled type library; false when the build had no IDL
// compiler and the IDL text stands in for it.
extern const bool kTypeLibraryIsCompiled;
}  // namespace generated

inline constexpr std::int32_t kResourceTypeVersion = 16;  // RT_VERSION
inline constexpr const char16_t* kResourceTypeTypeLib = u"TYPELIB";

std::span<const std::uint8_t> type_library_resource();
// The version record (VS_VERSIONINFO) built from the application object's texts.
win::Bytes version_resource();

// A resource type as FindResource takes it: a name (compared without case;
// "#16" is the number 16) or a number.
struct ResourceType {
  std::optional<String> name;
  std::int32_t number = 0;
};
std::optional<win::Bytes> find_library_resource(const ResourceType& type, std::int32_t id);

}  // namespace volumar
