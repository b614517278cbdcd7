#include "rawio/map_sectors.h"

#include "platform/file_mapping.h"
#include "platform/kernel32_files.h"
#include "rawio/read_sectors.h"
#include "rawio/sector_span.h"

namespace volumar {

std::optional<MappedSectors> MapDriveSectors(const SectorAccess& access, const String& drive, Long startSector,
                                             std::size_t bytes) {
  if (!IsNTPlatform() || startSector < 0 || access.bytes_per_sector <= 0 || bytes == 0 || drive.empty())
    return std::nullopt;
  HandleGuard volume(win::CreateFileA(volume_device_path(drive).c_str(), win::GENERIC_READ, kShareReadWrite, nullptr,
                                      win::OPEN_EXISTING, 0, nullptr));
  if (!volume.valid()) return std::nullopt;
  win::HANDLE mapping = win::CreateFileMappingA(volume.get(), nullptr, win::PAGE_WRITECOPY, 0, 0, nullptr);
  if (!mapping) return std::nullopt;
  const std::uint64_t at =
      static_cast<std::uint64_t>(startSector) * static_cast<std::uint64_t>(access.bytes_per_sector);
  const std::uint64_t start = at / win::kAllocationGranularity * win::kAllocationGranularity;
  void* view = nullptr;
  // A writer's read-modify-write holds its sectors for a moment.
  retry_while_locked([&] {
    view = win::MapViewOfFile(mapping, win::FILE_MAP_COPY, static_cast<win::DWORD>(start >> 32),
                              static_cast<win::DWORD>(start), static_cast<std::size_t>(at - start) + bytes);
    return view != nullptr;
  });
  win::CloseHandle(mapping);
  if (!view) return std::nullopt;
  return MappedSectors{std::shared_ptr<void>(view, [](void* v) { win::UnmapViewOfFile(v); }),
                       static_cast<std::uint8_t*>(view) + (at - start)};
}

}  // namespace volumar
