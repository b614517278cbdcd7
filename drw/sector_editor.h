// clsQzVolmDrwA, the sector editor: its state, its properties and its
// members. The per-apartment drive record it works on lives in volume/.
#pragma once
#include "drw/drw_enumerations.h"
#include "frame/automation_object.h"
#include "frame/value_types.h"

namespace volumar {

class clsQzVolmDrwA : public AutomationObject {
 public:
  clsQzVolmDrwA();
  static const ClassInfo& class_info_static();
  static std::shared_ptr<clsQzVolmDrwA> create();

  // ---- properties: get_X, and put_X or putref_X ----
#define VOLM_DRW_PUT_PLAIN(name, type, putkind) \
  void putkind##_##name(type value) { m_##name = std::move(value); }
#define VOLM_DRW_PUT_CUSTOM(name, type, putkind) void putkind##_##name(type value);
#define X(name, type, id, putkind, impl)       \
  type get_##name() const { return m_##name; } \
  VOLM_DRW_PUT_##impl(name, type, putkind)
#include "drw/sector_editor_properties.inc"
#undef X
#undef VOLM_DRW_PUT_PLAIN
#undef VOLM_DRW_PUT_CUSTOM

  // ---- methods, in function-table order ----
  void ClearPP();
  Boolean ValidationCheck();
  Variant PreviousClusterPP();
  Variant NextClusterPP();
  Variant HalfClusterPP();
  Variant LastClusterPP();
  Variant PreviousSectorPP();
  Variant NextSectorPP();
  String ReadSectorData(DRWByteRowNumberConstants& l16ByteNumber);
  CollectionRef ReadSectorDataWhole();
  String ChangeCollectionItem(CollectionRef& sOldCollection, Long& iIndex, String& sItemLen16,
                              CollectionRef& sNewCollection);
  Boolean WriteSectorData();
  Boolean WriteSectorData16BLength();
  Variant WriteSectorDataWhole(CollectionRef& col16_32DataCollection);
  Variant ShowSectorInEditControlPP(ObjectRef& oETControl, Boolean& bReadSectorDataWhole);
  String FindCluster(DRWFindClusterConstants& Index);
  String SectorDataLocation();
  String GetCrypEncString(String& sInputString);
  String GetCrypDecString(String& sInputString);
  void GetPhysicalDrives();
  CollectionRef GetBRNItems();
  Variant WriteSectorDataWholeZEV();
  String ReadSectorDataZEV(String& sDrive, Long& lClusterFound, DRWByteRowNumberConstants& lBRN);
  Boolean IsDriveReady(String strDrive);
  Boolean IsThisRestricted(String& strPath);
  String Add_Trailing_Slash(String strPath);
  Boolean ValidateDriveAndReadWriteTest(String& sDrive);
  void SizeDRWForm(ObjectRef& frm, ObjectRef& txt);

 private:
  // Copies the apartment's drive record into this object's volume properties.
  void RefreshDriveProperties();

  // The whole sector `sector` of `drive` as the raw reads give it (byte
  // count from the drive record); raises Type mismatch (13) when the
  // volume does not open.
  static win::Bytes ReadWholeSector(const String& drive, Long sector);
  // Formats the sector as a dump into the drive record's SectorDataFormatted
  // and shows it in `control`; the control's steps ignore their errors.
  static void ShowSectorHexDump(ObjectRef control, const String& drive, Long sector);

  // True only while FindCluster switches the disk section.
  Boolean m_search_guard = false;

#define X(name, type, id, putkind, impl) type m_##name{};
#include "drw/sector_editor_properties.inc"
#undef X
};

}  // namespace volumar
