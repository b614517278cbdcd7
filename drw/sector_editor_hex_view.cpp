// The current sector as a hexadecimal dump in the client's text control,
// and sizing the client's form and text box to fit a dump line.
#include <cstdint>

#include "drw/hex_dump.h"
#include "drw/sector_editor.h"
#include "frame/checked_math.h"
#include "frame/failure_conventions.h"
#include "platform/automation/variant_conversion.h"
#include "volume/drive_info.h"

namespace volumar {
namespace {

const String kDumpFontName = u"Courier New";
constexpr Integer kDumpFontSize = 8;
// The form is sized for this many characters of the dump font.
constexpr std::size_t kFormLineChars = 75;

// floor((sector - first data sector) / sectors per cluster) + first data
// cluster, never below 0. Raises Division by zero with no volume loaded.
Long logical_cluster(Long sector) {
  const DriveInfoRecord& d = DriveInfo();
  if (d.SectorsPerCluster == 0) raise_error(win::kErrDivisionByZero);
  std::int64_t distance = std::int64_t{sector} - d.DataAreaStart;
  std::int64_t index = distance / d.SectorsPerCluster;
  if (distance % d.SectorsPerCluster != 0 && distance < 0) --index;
  std::int64_t cluster = index + d.FirstDataCluster;
  return cluster <= 0 ? 0 : CLng(cluster);
}

}  // namespace

void clsQzVolmDrwA::ShowSectorHexDump(ObjectRef control, const String& drive, Long sector) {
  win::Bytes bytes = ReadWholeSector(drive, sector);
  String dump = hex_dump(bytes, DriveInfo().BytesPerSector);
  DriveInfo().SectorDataFormatted = dump;

  // A missing or unsuitable control changes nothing and raises nothing.
  resume_next([&] { win::put_property(control, u"Text", Variant()); });
  resume_next([&] { win::put_property(control, u"FontSize", Variant(kDumpFontSize)); });
  resume_next([&] { win::put_property(control, u"FontName", Variant(kDumpFontName)); });
  resume_next([&] { win::put_property(control, u"Text", Variant(dump)); });
  control.reset();
}

Variant clsQzVolmDrwA::ShowSectorInEditControlPP(ObjectRef& oETControl, Boolean& bReadSectorDataWhole) {
  if (m_search_guard) return {};
  if (m_ClusterFoundPP < m_MinSectorPP) put_ClusterFoundPP(m_MinSectorPP);
  if (m_ClusterFoundPP > m_MaxSectorPP) put_ClusterFoundPP(m_MaxSectorPP);
  ShowSectorHexDump(oETControl, m_DrivePP, m_ClusterFoundPP);
  put_SectorDataFormattedPP(DriveInfo().SectorDataFormatted);
  if (bReadSectorDataWhole) ReadSectorDataWhole();
  put_LogicalClusterPP(logical_cluster(m_ClusterFoundPP));
  return {};
}

void clsQzVolmDrwA::SizeDRWForm(ObjectRef& frm, ObjectRef& txt) {
  // Every step ignores its error; a number that could not be read stays 0.
  Long height = 0, width = 0, change = 0;
  ObjectRef font;
  resume_next([&] { height = win::to_long(win::get_property(frm, u"Height")); });
  resume_next([&] { font = win::to_object(win::get_property(frm, u"Font")); });
  resume_next([&] { win::put_property(frm, u"Font", Variant(kDumpFontName)); });
  resume_next([&] { win::put_property(frm, u"FontSize", Variant(kDumpFontSize)); });
  resume_next(
      [&] { width = win::to_long(win::call_method(frm, u"TextWidth", {Variant(String(kFormLineChars, u'0'))})); });
  resume_next([&] { win::putref_property(frm, u"Font", font); });
  resume_next([&] { change = checked_sub<Long>(width, win::to_long(win::get_property(txt, u"Width"))); });
  resume_next([&] { win::put_property(txt, u"Width", Variant(width)); });
  resume_next([&] {
    win::put_property(frm, u"Width",
                      Variant(checked_add<Long>(win::to_long(win::get_property(frm, u"Width")), change)));
  });
  resume_next([&] { win::put_property(frm, u"Height", Variant(height)); });
}

}  // namespace volumar
