#include "frame/application_object.h"

namespace volumar {

// The full application object comes with the root object's resources.
ObjectRef application_object() { return nullptr; }

}  // namespace volumar
