// Root-object members that come with the companion and resources. Until
// then a call fails with a clear run-time error.
#include "frame/root_object.h"
#include "frame/runtime_error.h"

namespace volumar {

ObjectRef clsQzVolumarA::get_GetProStdProperties() { raise_not_available("GetProStdProperties"); }
String clsQzVolumarA::get_GetProResStrings(Long&) { raise_not_available("GetProResStrings"); }
PictureRef clsQzVolumarA::get_GetProResPicture(Long&, LoadResConstants&) { raise_not_available("GetProResPicture"); }
Variant clsQzVolumarA::get_GetProResData(Long&, Variant&) { raise_not_available("GetProResData"); }
Long clsQzVolumarA::About() { raise_not_available("About"); }
String clsQzVolumarA::GetModuleFileName_Volm(String&) { raise_not_available("GetModuleFileName_Volm"); }

}  // namespace volumar
