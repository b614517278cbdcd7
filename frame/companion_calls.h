// The two calls into the companion QzCommon10, made by late binding: create
// the class by ProgID, call one member by name, release.
#pragma once
#include <string_view>

#include "frame/runtime_error.h"

namespace volumar {

inline constexpr const char* kCompanionAboutProgId = "QzCommon10.clsQzCommon10A";
inline constexpr const char* kCompanionErrorHandlerProgId = "QzCommon10.clsQzcoErrorHandlerA";

// No error handling of its own: a companion that cannot be created or a
// failing call raises to the reporting member.
void ErrorHandlerMessageQz_Pro(const RuntimeError& error, std::string_view source);

// The about box. Each step that fails is reported to the error handler and
// the next step runs; only a failing report leaves the procedure.
void AppAboutQzco_Pro();

}  // namespace volumar
