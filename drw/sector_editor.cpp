#include "drw/sector_editor.h"

#include "frame/dispatch_binding.h"
#include "frame/library_info.h"

namespace volumar {

clsQzVolmDrwA::clsQzVolmDrwA() : AutomationObject(class_info_static()) {}

std::shared_ptr<clsQzVolmDrwA> clsQzVolmDrwA::create() { return std::make_shared<clsQzVolmDrwA>(); }

namespace {

using C = clsQzVolmDrwA;

std::vector<MemberInfo> build_members() {
  std::vector<MemberInfo> t;
#define X(name, type, id, putkind, impl)                \
  t.push_back(property_get<&C::get_##name>(#name, id)); \
  t.push_back(property_##putkind<&C::putkind##_##name>(#name, id));
#include "drw/sector_editor_properties.inc"
#undef X
  t.push_back(method<&C::ClearPP>("ClearPP", 0x60030020));
  t.push_back(method<&C::ValidationCheck>("ValidationCheck", 0x60030021));
  t.push_back(method<&C::PreviousClusterPP>("PreviousClusterPP", 0x60030023));
  t.push_back(method<&C::NextClusterPP>("NextClusterPP", 0x60030024));
  t.push_back(method<&C::HalfClusterPP>("HalfClusterPP", 0x60030025));
  t.push_back(method<&C::LastClusterPP>("LastClusterPP", 0x60030026));
  t.push_back(method<&C::PreviousSectorPP>("PreviousSectorPP", 0x60030027));
  t.push_back(method<&C::NextSectorPP>("NextSectorPP", 0x60030028));
  t.push_back(method<&C::ReadSectorData>("ReadSectorData", 0x60030029, {opt("l16ByteNumber")}));
  t.push_back(method<&C::ReadSectorDataWhole>("ReadSectorDataWhole", 0x6003002a));
  t.push_back(method<&C::ChangeCollectionItem>("ChangeCollectionItem", 0x6003002b,
                                               {{"sOldCollection"}, {"iIndex"}, {"sItemLen16"}, {"sNewCollection"}}));
  t.push_back(method<&C::WriteSectorData>("WriteSectorData", 0x6003002c));
  t.push_back(method<&C::WriteSectorData16BLength>("WriteSectorData16BLength", 0x6003002d));
  t.push_back(method<&C::WriteSectorDataWhole>("WriteSectorDataWhole", 0x6003002e, {{"col16_32DataCollection"}}));
  t.push_back(method<&C::ShowSectorInEditControlPP>("ShowSectorInEditControlPP", 0x6003002f,
                                                    {opt("oETControl"), opt("bReadSectorDataWhole", Variant(false))}));
  t.push_back(method<&C::FindCluster>("FindCluster", 0x60030030, {{"Index"}}));
  t.push_back(method<&C::SectorDataLocation>("SectorDataLocation", 0x60030031));
  t.push_back(method<&C::GetCrypEncString>("GetCrypEncString", 0x60030032, {{"sInputString"}}));
  t.push_back(method<&C::GetCrypDecString>("GetCrypDecString", 0x60030033, {{"sInputString"}}));
  t.push_back(method<&C::GetPhysicalDrives>("GetPhysicalDrives", 0x60030034));
  t.push_back(method<&C::GetBRNItems>("GetBRNItems", 0x60030035));
  t.push_back(method<&C::WriteSectorDataWholeZEV>("WriteSectorDataWholeZEV", 0x60030036));
  t.push_back(
      method<&C::ReadSectorDataZEV>("ReadSectorDataZEV", 0x60030037, {{"sDrive"}, {"lClusterFound"}, {"lBRN"}}));
  t.push_back(method<&C::IsDriveReady>("IsDriveReady", 0x60030038, {{"strDrive"}}));
  t.push_back(method<&C::IsThisRestricted>("IsThisRestricted", 0x60030039, {{"strPath"}}));
  t.push_back(method<&C::Add_Trailing_Slash>("Add_Trailing_Slash", 0x6003003a, {{"strPath"}}));
  t.push_back(method<&C::ValidateDriveAndReadWriteTest>("ValidateDriveAndReadWriteTest", 0x6003003b, {opt("sDrive")}));
  t.push_back(method<&C::SizeDRWForm>("SizeDRWForm", 0x6003003c, {{"frm"}, {"txt"}}));
  return t;
}

}  // namespace

const ClassInfo& clsQzVolmDrwA::class_info_static() {
  static const ClassInfo info{
      "clsQzVolmDrwA",
      "_clsQzVolmDrwA",
      "{42FC1E9F-19F8-44A8-BABF-6816BB126A90}",
      "{867A72C3-32EF-460D-BDE1-71A6C7C3E62E}",
      []() -> const std::vector<MemberInfo>& {
        static const std::vector<MemberInfo> members = build_members();
        return members;
      },
      [] { return ObjectRef(create()); },
  };
  return info;
}

}  // namespace volumar
