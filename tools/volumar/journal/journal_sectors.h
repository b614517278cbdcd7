// The volume behind a journal key: its bytes as they are now, and how the
// journal's byte positions read as its sectors.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/volumar/journal/undo_journal.h"

namespace volumar_tool {

// Bytes of the volume as they are now, read from its image or device.
std::vector<std::uint8_t> volume_bytes(const VolumeKey& key, std::uint64_t position, std::size_t length);

// Puts bytes back on the volume and flushes them; false when any call failed.
bool put_volume_bytes(const VolumeKey& key, std::uint64_t position, const std::vector<std::uint8_t>& bytes);

// The volume's sector size from its boot sector; 512 when it gives none.
std::uint32_t journal_sector_size(const VolumeKey& key);

// "19", "19-20", "1, 10" ...: the sectors a change's blocks cover.
std::string sector_list(const JournalChange& change, std::uint32_t bytes_per_sector);

}  // namespace volumar_tool
