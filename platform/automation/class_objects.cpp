#include "platform/automation/class_objects.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "platform/automation/automation_error.h"
#include "platform/trace.h"

namespace win {
namespace {

std::mutex g_mutex;
std::vector<ClassObject>& table() {
  static std::vector<ClassObject> t;
  return t;
}

ClassFactory find(std::string_view key, bool by_clsid) {
  std::lock_guard lock(g_mutex);
  for (const auto& e : table())
    if (names_equal(by_clsid ? e.clsid : e.progid, key)) return e.create;
  return {};
}

ObjectRef create_with(const ClassFactory& factory, std::string_view name) {
  if (trace_enabled())
    trace("CoCreateInstance(\"" + std::string(name) + "\")" + (factory ? "" : " = REGDB_E_CLASSNOTREG"));
  if (!factory) raise_error(kErrCannotCreateObject);
  return factory();
}

}  // namespace

void register_class_object(ClassObject entry) {
  std::lock_guard lock(g_mutex);
  auto& t = table();
  std::erase_if(t, [&](const ClassObject& e) { return names_equal(e.progid, entry.progid); });
  t.push_back(std::move(entry));
}

void revoke_class_object(std::string_view progid) {
  std::lock_guard lock(g_mutex);
  std::erase_if(table(), [&](const ClassObject& e) { return names_equal(e.progid, progid); });
}

std::string CLSIDFromProgID(std::string_view progid) {
  std::lock_guard lock(g_mutex);
  for (const auto& e : table())
    if (names_equal(e.progid, progid)) return e.clsid;
  return {};
}

ObjectRef create_object(std::string_view progid) { return create_with(find(progid, false), progid); }

ObjectRef create_object_by_clsid(std::string_view clsid) { return create_with(find(clsid, true), clsid); }

}  // namespace win
