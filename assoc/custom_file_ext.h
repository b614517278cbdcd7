// clsQzVolmCustomFileExtA: registration of file types with the shell under
// the registry's classes root.
#pragma once
#include "frame/automation_object.h"
#include "frame/value_types.h"

namespace volumar {

class clsQzVolmCustomFileExtA : public AutomationObject {
 public:
  clsQzVolmCustomFileExtA();
  static const ClassInfo& class_info_static();

  void RegExtension(String& strExt, String& strApp, String& strFileDisc, String& strCommand);
  Long AssociateFileExtension(String& sApplicationPath, String& sAppFileExtension, String& sIdentifier,
                              String& sDescription, String& sIconPath);
  Variant AssociateFileCommand(String& sAppFileExtension, String& sAction, String& sCommand);
};

}  // namespace volumar
