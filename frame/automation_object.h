// Base of the library's classes: dispatch by name and by id over the class's
// member table, and the live-object count that "can unload now" answers from.
#pragma once
#include <atomic>

#include "frame/member_table.h"

namespace volumar {

class AutomationObject : public win::Object {
 public:
  explicit AutomationObject(const ClassInfo& info);
  AutomationObject(const AutomationObject&) = delete;
  AutomationObject& operator=(const AutomationObject&) = delete;
  ~AutomationObject() override;

  std::optional<win::DISPID> GetIDsOfNames(std::u16string_view name) override;
  Variant Invoke(win::DISPID id, win::DispatchKind kind, std::vector<Variant>& args) override;
  std::u16string type_name() const override;

  const ClassInfo& class_info() const { return info_; }

  // Objects of the library alive in the process.
  static long live_objects();

 private:
  const ClassInfo& info_;
  static std::atomic<long> live_;
};

// The entry of a table that a dispatch request names, or nullptr.
const MemberInfo* find_member(const std::vector<MemberInfo>& members, win::DISPID id, win::DispatchKind kind);

}  // namespace volumar
