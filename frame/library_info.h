// Identity of the library: its type library name, version and identifiers,
// the same in every build.
#pragma once

namespace volumar {

inline constexpr const char* kLibraryName = "Volumar10";
inline constexpr const char* kLibraryFileName = "volumar10.dll";
inline constexpr const char* kLibraryDescription = "Volumar10 sector-level tools for FAT volumes";
inline constexpr const char* kLibid = "{6A4F588D-BCD1-4F06-8896-F8FC90E1ECF7}";
inline constexpr int kLibraryVersionMajor = 1;
inline constexpr int kLibraryVersionMinor = 0;

}  // namespace volumar
