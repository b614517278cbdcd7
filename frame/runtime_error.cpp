#include "frame/runtime_error.h"

#include <string>

namespace volumar {

void raise_not_available(const char* member) {
  raise_error(445, std::string("Object doesn't support this action: ") + member + " is not available in this build");
}

}  // namespace volumar
