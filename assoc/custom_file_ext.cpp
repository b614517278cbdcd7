#include "assoc/custom_file_ext.h"

#include "frame/dispatch_binding.h"

namespace volumar {
namespace {
using C = clsQzVolmCustomFileExtA;

std::vector<MemberInfo> build_members() {
  return {
      method<&C::RegExtension>("RegExtension", 0x60030001, {{"strExt"}, {"strApp"}, {"strFileDisc"}, {"strCommand"}}),
      method<&C::AssociateFileExtension>(
          "AssociateFileExtension", 0x60030002,
          {{"sApplicationPath"}, {"sAppFileExtension"}, opt("sIdentifier"), opt("sDescription"), opt("sIconPath")}),
      method<&C::AssociateFileCommand>("AssociateFileCommand", 0x60030003,
                                       {{"sAppFileExtension"}, opt("sAction"), opt("sCommand")}),
  };
}
}  // namespace

clsQzVolmCustomFileExtA::clsQzVolmCustomFileExtA() : AutomationObject(class_info_static()) {}

const ClassInfo& clsQzVolmCustomFileExtA::class_info_static() {
  static const ClassInfo info{
      "clsQzVolmCustomFileExtA",
      "_clsQzVolmCustomFileExtA",
      "{BCE0481F-55BC-4B44-8EFE-1E65B6E6D28D}",
      "{DF81501F-2028-41BF-A02A-23D76C1A57EC}",
      []() -> const std::vector<MemberInfo>& {
        static const std::vector<MemberInfo> members = build_members();
        return members;
      },
      [] { return ObjectRef(std::make_shared<clsQzVolmCustomFileExtA>()); },
  };
  return info;
}

}  // namespace volumar
