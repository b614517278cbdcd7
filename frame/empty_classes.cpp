#include "frame/empty_classes.h"

namespace volumar {
namespace {
const std::vector<MemberInfo>& no_members() {
  static const std::vector<MemberInfo> none;
  return none;
}
}  // namespace

clsQzVolmGeneralA::clsQzVolmGeneralA() : AutomationObject(class_info_static()) {}
clsQzVolmAdvancedA::clsQzVolmAdvancedA() : AutomationObject(class_info_static()) {}

const ClassInfo& clsQzVolmGeneralA::class_info_static() {
  static const ClassInfo info{"clsQzVolmGeneralA",
                              "_clsQzVolmGeneralA",
                              "{F20C562F-827F-4DEA-AABD-788CCD089059}",
                              "{842C0D40-B6D1-4E12-A06F-57F96082922F}",
                              no_members,
                              [] { return ObjectRef(std::make_shared<clsQzVolmGeneralA>()); }};
  return info;
}

const ClassInfo& clsQzVolmAdvancedA::class_info_static() {
  static const ClassInfo info{"clsQzVolmAdvancedA",
                              "_clsQzVolmAdvancedA",
                              "{FF865E0B-C4B7-42D5-8BFC-D67D4EA65E74}",
                              "{C0A026CC-CCC9-4662-AB74-83ECA0BFD25E}",
                              no_members,
                              [] { return ObjectRef(std::make_shared<clsQzVolmAdvancedA>()); }};
  return info;
}

}  // namespace volumar
