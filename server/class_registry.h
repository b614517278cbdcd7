// The in-process server: the library's five classes, their class objects,
// and the entry points a host uses to load and unload the library.
#pragma once
#include <string_view>
#include <vector>

#include "frame/member_table.h"
#include "platform/win_types.h"

namespace volumar {

// The five creatable classes in type-library order.
const std::vector<const ClassInfo*>& library_classes();
const ClassInfo* find_class(std::string_view name_progid_or_clsid);

// The class factory of one class (IClassFactory).
class ClassFactory {
 public:
  explicit ClassFactory(const ClassInfo& info) : info_(info) {}
  ObjectRef CreateInstance() const { return info_.create(); }
  void LockServer(bool lock) const;
  const ClassInfo& class_info() const { return info_; }

 private:
  const ClassInfo& info_;
};

// CLASS_E_CLASSNOTAVAILABLE for a class id the library does not serve.
win::HRESULT DllGetClassObject(std::string_view clsid, const ClassFactory** factory);
// S_OK when no object of the library is alive and no factory is locked.
win::HRESULT DllCanUnloadNow();

// Offers the library's classes to the platform so that clients create them
// by ProgID ("Volumar10.clsQzVolmDrwA") or class id. Hosts call this once.
// The built-in companion QzCommon10 is offered with them unless the host
// leaves it out (it then sees "can't create object" where the library would
// use the companion). Revoking withdraws both.
void register_class_objects(bool with_companion = true);
void revoke_class_objects();

}  // namespace volumar
