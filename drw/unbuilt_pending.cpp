// Sector editor members still being built; a call fails with a clear
// run-time error instead of doing nothing.
#include "drw/sector_editor.h"
#include "frame/runtime_error.h"

namespace volumar {

Boolean clsQzVolmDrwA::ValidationCheck() { raise_not_available("ValidationCheck"); }
String clsQzVolmDrwA::ReadSectorData(DRWByteRowNumberConstants&) { raise_not_available("ReadSectorData"); }
CollectionRef clsQzVolmDrwA::ReadSectorDataWhole() { raise_not_available("ReadSectorDataWhole"); }
String clsQzVolmDrwA::ChangeCollectionItem(CollectionRef&, Long&, String&, CollectionRef&) {
  raise_not_available("ChangeCollectionItem");
}
Boolean clsQzVolmDrwA::WriteSectorData() { raise_not_available("WriteSectorData"); }
Boolean clsQzVolmDrwA::WriteSectorData16BLength() { raise_not_available("WriteSectorData16BLength"); }
Variant clsQzVolmDrwA::WriteSectorDataWhole(CollectionRef&) { raise_not_available("WriteSectorDataWhole"); }
Variant clsQzVolmDrwA::ShowSectorInEditControlPP(ObjectRef&, Boolean&) {
  raise_not_available("ShowSectorInEditControlPP");
}
CollectionRef clsQzVolmDrwA::GetBRNItems() { raise_not_available("GetBRNItems"); }
Variant clsQzVolmDrwA::WriteSectorDataWholeZEV() { raise_not_available("WriteSectorDataWholeZEV"); }
String clsQzVolmDrwA::ReadSectorDataZEV(String&, Long&, DRWByteRowNumberConstants&) {
  raise_not_available("ReadSectorDataZEV");
}
Boolean clsQzVolmDrwA::IsDriveReady(String) { raise_not_available("IsDriveReady"); }
Boolean clsQzVolmDrwA::IsThisRestricted(String&) { raise_not_available("IsThisRestricted"); }
String clsQzVolmDrwA::Add_Trailing_Slash(String) { raise_not_available("Add_Trailing_Slash"); }
Boolean clsQzVolmDrwA::ValidateDriveAndReadWriteTest(String&) { raise_not_available("ValidateDriveAndReadWriteTest"); }
void clsQzVolmDrwA::SizeDRWForm(ObjectRef&, ObjectRef&) { raise_not_available("SizeDRWForm"); }

}  // namespace volumar
