// clsQzVolumarA, the root library object: the application object, the
// library file's resources, the about box, the per-thread buddy object and
// module paths.
#pragma once
#include "frame/automation_object.h"
#include "frame/value_types.h"

namespace volumar {

class clsQzVolumarA : public AutomationObject {
 public:
  clsQzVolumarA();
  static const ClassInfo& class_info_static();

  ObjectRef get_GetProStdProperties();
  String get_GetProResStrings(Long& lResId);
  PictureRef get_GetProResPicture(Long& lResId, LoadResConstants& lRestype);
  Variant get_GetProResData(Long& lResId, Variant& vRestype);
  Long About();
  ObjectRef get_BuddyObjectGlobal();
  void putref_BuddyObjectGlobal(ObjectRef value);
  String GetModuleFileName_Volm(String& sFileName);
};

}  // namespace volumar
