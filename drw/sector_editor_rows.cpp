// Reading the current sector as 16-byte row texts: one row, the whole
// sector as rows and as sector text, the row offsets, and select-and-read.
#include <charconv>
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

namespace {

// "KEY" and the row offset in decimal: the key of a row in the collection.
String row_key(Long offset) {
  char digits[12];
  const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, offset);
  String key = u"KEY";
  for (const char* d = digits; d != r.ptr; ++d) key += static_cast<char16_t>(*d);
  return key;
}

}  // namespace

CollectionRef clsQzVolmDrwA::ReadSectorDataWhole() {
  const Long bytes_per_sector = m_BytesPerSectorPP;
  String sector_text;
  CollectionRef rows = Collection::create();
  if (bytes_per_sector >= kRowBytes) {
    const auto row_count = static_cast<std::size_t>(bytes_per_sector / kRowBytes);
    sector_text.reserve(row_count * (2 + kRowBytes));
    rows->reserve(row_count);
  }
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
    rows->Add(Variant(std::move(row)), row_key(offset));
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
