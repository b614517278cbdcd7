// The library's application object (title, path, file name, version), one
// per apartment.
#pragma once
#include "frame/value_types.h"

namespace volumar {

// The title shown as caption of the library's message boxes.
inline constexpr const char* kApplicationTitle = "Volumar10";

ObjectRef application_object();

}  // namespace volumar
