#include "drw/drw_enumerations.h"

namespace volumar {

const std::vector<EnumDesc>& drw_enumerations() {
  static const std::vector<EnumDesc> enums = [] {
    EnumDesc rows{"DRWByteRowNumberConstants", {}};
    for (int n = 1; n <= 32; ++n) rows.constants.emplace_back("drwBRN" + std::to_string(n), 16 * (n - 1));
    return std::vector<EnumDesc>{
        {"DRWDiskSectionConstants",
         {{"drwDiskSectionMBR", 0},
          {"drwDiskSectionFATCopy1", 1},
          {"drwDiskSectionFATCopy2", 2},
          {"drwDiskSectionRootDirectory", 3},
          {"drwDiskSectionDataEntry", 4}}},
        {"DRWFindClusterConstants",
         {{"drwFindClusterFreeFindFirst", 0},
          {"drwFindClusterFreeFindNext", 1},
          {"drwFindClusterFreeMarkBad", 2},
          {"drwFindClusterFreeWriteData", 3},
          {"drwFindClusterBadFindFirst", 4},
          {"drwFindClusterBadFindNext", 5},
          {"drwFindClusterBadMarkFree", 6},
          {"drwFindClusterBadWriteData", 7}}},
        rows,
    };
  }();
  return enums;
}

}  // namespace volumar
