// The input is a whole disk image of any length, mapped as a drive and
// selected in the sector editor; a volume that selects is then searched,
// marked and walked through as a user of the editor would.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "drw/sector_editor.h"
#include "frame/runtime_error.h"
#include "fuzz/fuzz_support.h"
#include "platform/drive_map.h"
#include "platform/family.h"
#include "platform/syscalls.h"
#include "platform/user32/message_box.h"
#include "volume/drive_info.h"
#include "volume/fat_entries.h"
#include "volume/fat_entry_codec.h"
#include "volume/fat_tables.h"

using namespace volumar;

namespace {

constexpr char kLetter = 'F';
const String kDrive = u"F:";
// One sector's dump is nine times the sector, and a sector may be 4 KiB
// whatever the image holds: what selection costs before the image counts.
constexpr std::size_t kFixedCosts = 256 * 1024;

// Run-time errors are how the library refuses a volume; anything else
// escapes and is a finding.
bool attempt(const std::function<void()>& step) {
  try {
    step();
    return true;
  } catch (const RuntimeError&) {
    return false;
  }
}

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "==ERROR: %s\n", what);
  std::abort();
}

// The copy-on-write views of FAT copy 1 bypass malloc; they answer to the
// same ceiling.
win::Syscalls checked_mappings() {
  win::Syscalls table = win::posix_syscalls();
  table.map_copy = [](int fd, std::size_t length, off_t offset) {
    fuzz::check_allocation(length);
    return win::posix_syscalls().map_copy(fd, length, offset);
  };
  return table;
}

const std::filesystem::path& setup() {
  static const std::filesystem::path image = fuzz::scratch().file("drive.img");
  static const win::Syscalls table = checked_mappings();
  win::set_syscalls(&table);
  win::set_message_box_sink([](const win::MessageBoxRequest& box) { return win::default_button(box.style); });
  win::VolumeMapping volume;
  volume.path = image.string();
  volume.type = win::DriveType::Removable;
  win::DriveMap::map(kLetter, volume);
  return image;
}

void search_and_mark() {
  std::optional<FatEntryCounts> before;
  attempt([&] { before = CountFatEntries(); });
  Long free = 0, bad = 0;
  if (!attempt([&] { free = FindFatEntry(0, kFatFree); })) return;
  attempt([&] { bad = FindFatEntry(0, kFatBad); });
  attempt([&] { FindFatEntry(free, kFatFree); });
  attempt([&] { FindFatEntry(0, kFatEndOfChain); });
  attempt([&] { FindFatEntry(0, kFatReserved); });
  const Long last = LastVolumeCluster();
  if ((free != 0 && (free < 2 || free > last)) || (bad != 0 && (bad < 2 || bad > last)))
    broken("a search found a cluster the volume does not have");
  if (!before) return;
  // The searches start after cluster 2, the counts at it.
  if ((free != 0 && before->free == 0) || (before->free >= 2 && free == 0))
    broken("the free search and the free count disagree");
  if (free == 0) return;
  bool marked = false;
  attempt([&] { marked = SetFatEntry(kDrive, free, ondisk::kFat32Bad); });
  if (!marked) return;
  std::optional<FatEntryCounts> after;
  attempt([&] { after = CountFatEntries(); });
  if (!after || after->free + 1 != before->free || after->bad != before->bad + 1)
    broken("marking a free cluster bad did not move it from the free to the bad count");
  attempt([&] { SetFatEntry(kDrive, free, 0); });
}

void walk(clsQzVolmDrwA& drw) {
  for (auto section : {drwDiskSectionMBR, drwDiskSectionFATCopy1, drwDiskSectionFATCopy2, drwDiskSectionRootDirectory,
                       drwDiskSectionDataEntry}) {
    if (!attempt([&] { drw.put_DiskSectionPP(section); })) continue;
    drw.put_ClusterFoundPP(drw.get_MinSectorPP());
    attempt([&] { drw.ReadSectorDataWhole(); });
    drw.NextSectorPP();
    drw.NextClusterPP();
    drw.PreviousSectorPP();
    drw.PreviousClusterPP();
    drw.put_ClusterFoundPP(drw.get_MaxSectorPP());
    DRWByteRowNumberConstants row = drwBRN1;
    attempt([&] { drw.ReadSectorData(row); });
  }
  drw.LastClusterPP();
  drw.HalfClusterPP();
  attempt([&] { drw.ReadSectorDataWhole(); });
  drw.SectorDataLocation();
  for (auto find : {drwFindClusterFreeFindFirst, drwFindClusterFreeFindNext, drwFindClusterBadFindFirst,
                    drwFindClusterBadFindNext, drwFindClusterFreeMarkBad, drwFindClusterBadMarkFree})
    attempt([&] { drw.FindCluster(find); });
}

void select_and_use() {
  auto drw = clsQzVolmDrwA::create();
  if (!attempt([&] { drw->put_DrivePP(kDrive); })) return;
  if (!fat_width(DriveInfo().FsType)) return;
  search_and_mark();
  walk(*drw);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path& image = setup();
  fuzz::write_file(image, data, size);
  fuzz::AllocationCeiling ceiling(4 * size + kFixedCosts);
  for (auto family : {win::Family::NT, win::Family::Win9x}) {
    win::set_family(family);
    select_and_use();
  }
  win::set_family(win::Family::NT);
  return 0;
}
