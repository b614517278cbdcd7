// The sector editor's enumerations: disk sections, cluster search actions
// and the byte offsets of a sector's 16-byte rows.
#pragma once
#include <cstdint>

#include "frame/member_table.h"

namespace volumar {

enum DRWDiskSectionConstants : std::int32_t {
  drwDiskSectionMBR = 0,
  drwDiskSectionFATCopy1 = 1,
  drwDiskSectionFATCopy2 = 2,
  drwDiskSectionRootDirectory = 3,
  drwDiskSectionDataEntry = 4,
};

enum DRWFindClusterConstants : std::int32_t {
  drwFindClusterFreeFindFirst = 0,
  drwFindClusterFreeFindNext = 1,
  drwFindClusterFreeMarkBad = 2,
  drwFindClusterFreeWriteData = 3,
  drwFindClusterBadFindFirst = 4,
  drwFindClusterBadFindNext = 5,
  drwFindClusterBadMarkFree = 6,
  drwFindClusterBadWriteData = 7,
};

// drwBRN<n> is the offset of row n: 16 * (n - 1).
enum DRWByteRowNumberConstants : std::int32_t {
  drwBRN1 = 0,
  drwBRN2 = 16,
  drwBRN3 = 32,
  drwBRN4 = 48,
  drwBRN5 = 64,
  drwBRN6 = 80,
  drwBRN7 = 96,
  drwBRN8 = 112,
  drwBRN9 = 128,
  drwBRN10 = 144,
  drwBRN11 = 160,
  drwBRN12 = 176,
  drwBRN13 = 192,
  drwBRN14 = 208,
  drwBRN15 = 224,
  drwBRN16 = 240,
  drwBRN17 = 256,
  drwBRN18 = 272,
  drwBRN19 = 288,
  drwBRN20 = 304,
  drwBRN21 = 320,
  drwBRN22 = 336,
  drwBRN23 = 352,
  drwBRN24 = 368,
  drwBRN25 = 384,
  drwBRN26 = 400,
  drwBRN27 = 416,
  drwBRN28 = 432,
  drwBRN29 = 448,
  drwBRN30 = 464,
  drwBRN31 = 480,
  drwBRN32 = 496,
};

constexpr const char* enum_type_name(DRWDiskSectionConstants) { return "DRWDiskSectionConstants"; }
constexpr const char* enum_type_name(DRWFindClusterConstants) { return "DRWFindClusterConstants"; }
constexpr const char* enum_type_name(DRWByteRowNumberConstants) { return "DRWByteRowNumberConstants"; }

// The three enumerations with their constants, for the type library.
const std::vector<EnumDesc>& drw_enumerations();

}  // namespace volumar
