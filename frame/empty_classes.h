// clsQzVolmGeneralA and clsQzVolmAdvancedA: creatable, with no members
// beyond those of IDispatch.
#pragma once
#include "frame/automation_object.h"

namespace volumar {

class clsQzVolmGeneralA : public AutomationObject {
 public:
  clsQzVolmGeneralA();
  static const ClassInfo& class_info_static();
};

class clsQzVolmAdvancedA : public AutomationObject {
 public:
  clsQzVolmAdvancedA();
  static const ClassInfo& class_info_static();
};

}  // namespace volumar
