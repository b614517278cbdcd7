// Reading the current sector as 16-byte row texts: one row, the whole
// sector as rows and as sector text, the row offsets, and select-and-read.
#include <string>

#include "cipher/string_cipher.h"
#include "drw/hex_dump.h"
#include "drw/sector_editor.h"
#include "frame/runtime_error.h"
#include "volume/drive_info.h"
#include "volume/drive_sectors.h"

namespace volumar {

win::Bytes clsQzVolmDrwA::ReadWholeSector(const String& drive, Long sector) {
  auto bytes = ReadDriveSectors(drive, sector, 0, DriveInfo().BytesPerSector);
  // The empty result is no byte array, as indexing an Empty variant finds.
  if (!bytes) raise_error(win::kErrTypeMismatch);
  return std::move(*bytes);
}

String clsQzVolmDrwA::ReadSectorData(DRWByteRowNumberConstants& l16ByteNumber) {
  win::Bytes sector = ReadWholeSector(m_DrivePP, m_ClusterFoundPP);
  return row_text(sector, l16ByteNumber);
}

CollectionRef clsQzVolmDrwA::ReadSectorDataWhole() {
  const Long bytes_per_sector = m_BytesPerSectorPP;
  String sector_text;
  CollectionRef rows = Collection::create();
  // One read serves every row: the rows then come from one state of the disk.
  win::Bytes sector;
  bool read = false;
  for (Long offset = 0; offset <= bytes_per_sector - kRowBytes; offset += kRowBytes) {
    if (!read) {
      sector = ReadWholeSector(m_DrivePP, m_ClusterFoundPP);
      read = true;
    }
    String row = row_text(sector, offset);
    if (m_CryptographyPP) row = cipher::GetCrypDecString(row);
    sector_text += u"\r\n";
    sector_text += row;
    rows->Add(Variant(row), u"KEY" + S(std::to_string(offset)));
  }
  put_DataPP(std::move(sector_text));
  return rows;
}

CollectionRef clsQzVolmDrwA::GetBRNItems() {
  CollectionRef offsets = Collection::create();
  for (Integer offset = 0; offset <= 496; offset = static_cast<Integer>(offset + kRowBytes))
    offsets->Add(Variant(offset));
  return offsets;
}

String clsQzVolmDrwA::ReadSectorDataZEV(String& sDrive, Long& lClusterFound, DRWByteRowNumberConstants& lBRN) {
  put_DrivePP(sDrive);
  put_ClusterFoundPP(lClusterFound);
  return ReadSectorData(lBRN);
}

}  // namespace volumar
