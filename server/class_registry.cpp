#include "server/class_registry.h"

#include <atomic>
#include <cctype>

#include "assoc/custom_file_ext.h"
#include "drw/sector_editor.h"
#include "frame/automation_object.h"
#include "frame/companion/qzcommon10.h"
#include "frame/empty_classes.h"
#include "frame/root_object.h"
#include "platform/automation/class_objects.h"

namespace volumar {
namespace {

std::atomic<long> g_locks{0};

}  // namespace

const std::vector<const ClassInfo*>& library_classes() {
  static const std::vector<const ClassInfo*> classes{
      &clsQzVolumarA::class_info_static(),      &clsQzVolmGeneralA::class_info_static(),
      &clsQzVolmAdvancedA::class_info_static(), &clsQzVolmCustomFileExtA::class_info_static(),
      &clsQzVolmDrwA::class_info_static(),
  };
  return classes;
}

const ClassInfo* find_class(std::string_view key) {
  for (const ClassInfo* c : library_classes())
    if (win::names_equal(c->name, key) || win::names_equal(c->progid(), key) || win::names_equal(c->clsid, key))
      return c;
  return nullptr;
}

void ClassFactory::LockServer(bool lock) const {
  if (lock)
    ++g_locks;
  else if (g_locks > 0)
    --g_locks;
}

win::HRESULT DllGetClassObject(std::string_view clsid, const ClassFactory** factory) {
  static const std::vector<ClassFactory> factories = [] {
    std::vector<ClassFactory> f;
    for (const ClassInfo* c : library_classes()) f.emplace_back(*c);
    return f;
  }();
  *factory = nullptr;
  for (const ClassFactory& f : factories)
    if (win::names_equal(f.class_info().clsid, clsid)) {
      *factory = &f;
      return win::S_OK;
    }
  return win::CLASS_E_CLASSNOTAVAILABLE;
}

win::HRESULT DllCanUnloadNow() {
  return AutomationObject::live_objects() == 0 && g_locks == 0 ? win::S_OK : win::S_FALSE;
}

void register_class_objects(bool with_companion) {
  for (const ClassInfo* c : library_classes()) win::register_class_object({c->progid(), c->clsid, c->create});
  if (with_companion) register_companion();
}

void revoke_class_objects() {
  for (const ClassInfo* c : library_classes()) win::revoke_class_object(c->progid());
  revoke_companion();
}

}  // namespace volumar
