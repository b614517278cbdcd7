#include "frame/root_object.h"

#include "frame/apartment.h"
#include "frame/dispatch_binding.h"

namespace volumar {
namespace {

// The buddy object is module state: one per apartment.
struct BuddyState {
  ObjectRef buddy;
};

using C = clsQzVolumarA;

std::vector<MemberInfo> build_members() {
  return {
      property_get<&C::get_GetProStdProperties>("GetProStdProperties", 0x68030004),
      property_get<&C::get_GetProResStrings>("GetProResStrings", 0x68030003, {{"lResId"}}),
      property_get<&C::get_GetProResPicture>("GetProResPicture", 0x68030002, {{"lResId"}, {"lRestype"}}),
      property_get<&C::get_GetProResData>("GetProResData", 0x68030001, {{"lResId"}, {"vRestype"}}),
      method<&C::About>("About", 0x60030006),
      property_get<&C::get_BuddyObjectGlobal>("BuddyObjectGlobal", 0x68030000),
      property_putref<&C::putref_BuddyObjectGlobal>("BuddyObjectGlobal", 0x68030000),
      method<&C::GetModuleFileName_Volm>("GetModuleFileName_Volm", 0x60030007, {{"sFileName"}}),
  };
}

}  // namespace

clsQzVolumarA::clsQzVolumarA() : AutomationObject(class_info_static()) {}

const ClassInfo& clsQzVolumarA::class_info_static() {
  static const ClassInfo info{
      "clsQzVolumarA",
      "_clsQzVolumarA",
      "{F3DA16F7-DB75-4633-9520-3B6031F73FA9}",
      "{03883F8D-C4BA-4099-84B0-E59C13B120C4}",
      []() -> const std::vector<MemberInfo>& {
        static const std::vector<MemberInfo> members = build_members();
        return members;
      },
      [] { return ObjectRef(std::make_shared<clsQzVolumarA>()); },
  };
  return info;
}

ObjectRef clsQzVolumarA::get_BuddyObjectGlobal() { return apartment_state<BuddyState>().buddy; }
void clsQzVolumarA::putref_BuddyObjectGlobal(ObjectRef value) {
  apartment_state<BuddyState>().buddy = std::move(value);
}

}  // namespace volumar
