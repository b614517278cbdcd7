// Editing a sector as rows and writing text into the current sector.
#include "cipher/string_cipher.h"
#include "drw/hex_dump.h"
#include "drw/sector_editor.h"
#include "frame/checked_math.h"
#include "platform/automation/variant_conversion.h"
#include "rawio/write_sectors.h"
#include "volume/drive_sectors.h"

namespace volumar {
namespace {

// Ordinary data, for the extended write's data-kind hint.

// Stands for an empty row and for rows a collection lacks.
const String kFillRow(kRowBytes, u'?');

String first_16(const String& text) { return text.substr(0, kRowBytes); }

}  // namespace

String clsQzVolmDrwA::ChangeCollectionItem(CollectionRef& sOldCollection, Long& iIndex, String& sItemLen16,
                                           CollectionRef& sNewCollection) {
  CollectionRef old = sOldCollection ? sOldCollection : Collection::create();
  CollectionRef changed = Collection::create();
  String result;
  // The item counter is an Integer: it overflows past 32,767 items.
  const Integer count = CInt(old->Count());
  for (Integer c = 1; c <= count; c = checked_add<Integer>(c, 1)) {
    Variant item = old->Item(Variant(c));
    if (c == iIndex) {
      changed->Add(Variant(first_16(sItemLen16)));
      result = win::to_string(item);
    } else {
      changed->Add(item);
      result = u"SUCCESS";
    }
  }
  sNewCollection = changed;
  return result;
}

Boolean clsQzVolmDrwA::WriteSectorData() {
  return WriteDriveSectors(m_DrivePP, m_ClusterFoundPP, 0, m_DataPP, kWriteOrdinaryData);
}

Boolean clsQzVolmDrwA::WriteSectorData16BLength() {
  return WriteDriveSectors(m_DrivePP, m_ClusterFoundPP, 0, first_16(m_DataPP), kWriteOrdinaryData);
}

Variant clsQzVolmDrwA::WriteSectorDataWhole(CollectionRef& col16_32DataCollection) {
  put_DataPP(String());
  const Long rows = m_BytesPerSectorPP / kRowBytes;
  CollectionRef& collection = col16_32DataCollection;
  // DataPP grows row by row, so a failing row leaves the rows before it.
  for (Long i = 1; i <= rows; ++i) {
    if (!collection) raise_error(win::kErrObjectNotSet);
    if (i == collection->Count())
      while (collection->Count() < rows) collection->Add(Variant(kFillRow));
    String item = win::to_string(collection->Item(Variant(i)));
    if (item.empty()) m_DataPP += kFillRow;
    m_DataPP += first_16(item);
  }
  if (m_CryptographyPP) put_DataPP(cipher::GetCrypEncString(m_DataPP));
  WriteSectorData();
  return {};
}

Variant clsQzVolmDrwA::WriteSectorDataWholeZEV() {
  CollectionRef fill = Collection::create();
  for (int i = 0; i < 32; ++i) fill->Add(Variant(kFillRow));
  return WriteSectorDataWhole(fill);
}

}  // namespace volumar
