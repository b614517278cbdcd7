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

bool same_text(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

const std::vector<const ClassInfo*>& library_classes() {
  static const std::vector<const ClassInfo*> classes{
      &clsQzVolumarA::class_info_static(),       &clsQzVolmGeneralA::class_info_static(),
      &clsQzVolmAdvancedA::class_info_static(),  &clsQzVolmCustomFileExtA::class_info_static(),
      &clsQzVolmDrwA::class_info_static(),
  };
  return classes;
}

const ClassInfo* find_class(std::string_view key) {
  for (const ClassInfo* c : library_classes())
    if (same_text(c->name, key) || same_text(c->progid(), key) || same_text(c->clsid, key)) return c;
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
    if (same_text(f.class_info().clsid, clsid)) {
      *factory = &f;
      return win::S_OK;
    }
  return win::CLASS_E_CLASSNOTAVAILABLE;
}

win::HRESULT DllCanUnloadNow() {
  return AutomationObject::live_objects() == 0 && g_locks == 0 ? win::S_OK : win::S_FALSE;
}

void register_class_objects(bool with_companion) {
  for (const ClassInfo* c : library_classes())
    win::register_class_object({c->progid(), c->clsid, c->create});
  if (with_companion) register_companion();
}

void revoke_class_objects() {
  for (const ClassInfo* c : library_classes()) win::revoke_class_object(c->progid());
  revoke_companion();
}

}  // namespace volumar
