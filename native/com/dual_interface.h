// The early-bound face of our objects: the vtable the type library declares
// for a dual interface, IDispatch's seven entries and then one entry per
// member-table entry in table order. A member's entry converts its typed
// arguments to frame values and calls the object's Invoke with the member's
// DISPID, so one table drives late- and early-bound clients alike.
#pragma once
#include <string>

#include "platform/automation/dispatch.h"

#include <oaidl.h>

namespace volumar::native {

struct DualTable;
using Entry = void (*)();

// Lives inside the object's IDispatch wrapper, which owns it: reference
// count, identity and the IDispatch methods are the wrapper's.
struct DualFace {
  const Entry* vtable = nullptr;        // the dual interface
  const Entry* error_vtable = nullptr;  // ISupportErrorInfo
  IDispatch* owner = nullptr;
  win::Object* object = nullptr;
  const DualTable* table = nullptr;  // null: the object has no dual interface
};

// The face of a library object or a collection (no table for others).
DualFace dual_face(IDispatch* owner, win::Object& object);
// The face's pointer for riid, not yet AddRef'd, or nullptr.
void* dual_interface(DualFace& face, REFIID riid);
// Builds every library class's vtable: empty, or why one cannot be built.
std::string check_dual_interfaces();

}  // namespace volumar::native
