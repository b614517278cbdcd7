// The system's table of creatable classes: a component offers its class
// objects here (as CoRegisterClassObject does), and clients create by ProgID
// or class id (CreateObject, CoCreateInstance).
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/dispatch.h"
#include "platform/win_types.h"

namespace win {

using ClassFactory = std::function<ObjectRef()>;

struct ClassObject {
  std::string progid;  // "Library.Class"
  std::string clsid;   // "{XXXXXXXX-...}" in upper case
  ClassFactory create;
};

// Replaces an earlier offer of the same ProgID.
void register_class_object(ClassObject entry);
void revoke_class_object(std::string_view progid);

// The class id registered for a ProgID, compared without case; empty if none.
std::string CLSIDFromProgID(std::string_view progid);

// Raises "ActiveX component can't create object" (429) for an unknown class.
ObjectRef create_object(std::string_view progid);
ObjectRef create_object_by_clsid(std::string_view clsid);

}  // namespace win
