// The FAT32 information sector's free-cluster count, kept in step when an
// entry turns free or stops being free, so that checkers find the volume
// consistent after a cluster is marked. The backup boot sector's copy of
// the information sector is kept in step with it, or neither changes.
#pragma once
#include "frame/value_types.h"

namespace volumar {

// Adds `delta` to the count when the volume has a valid information sector
// whose count is known; a count the volume leaves unknown stays unknown.
// Advisory: a failure here does not fail the FAT update.
void adjust_free_cluster_count(const String& drive, Long delta);

}  // namespace volumar
