// Self-registration of the in-process server in the platform registry
// under HKEY_CLASSES_ROOT: the type library, and for each class its class
// id, ProgID, server file, threading model, type library, version and
// interface.
#pragma once
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace volumar {

inline constexpr win::HRESULT SELFREG_E_TYPELIB = static_cast<win::HRESULT>(0x80040200u);

// Writes every entry; on a failure removes what it wrote and returns
// SELFREG_E_TYPELIB or SELFREG_E_CLASS.
win::HRESULT DllRegisterServer();
// Removes the entries registration writes (absent ones are no failure), and
// the TypeLib, CLSID and Interface keys themselves when that leaves them empty.
win::HRESULT DllUnregisterServer();

// The keys (relative to HKEY_CLASSES_ROOT) that registration owns with
// everything below them.
std::vector<std::string> registration_keys();

}  // namespace volumar
