// A dynamic automation object that a client fills with named properties and
// methods: how a C++ program or a test hands a form or a text control to a
// component that reaches it by name. Names compare without case; each name
// gets its dispatch id when it is first defined (or, on an expandable
// object, first asked for) and keeps it.
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/dispatch.h"

namespace win {

class ExpandoObject : public Object {
 public:
  // A method's arguments in call order; a by-reference argument is written
  // through args[i].deref().
  using Method = std::function<Variant(std::vector<Variant>& args)>;
  using Getter = std::function<Variant()>;
  // kind is DISPATCH_PROPERTYPUT or DISPATCH_PROPERTYPUTREF.
  using Setter = std::function<void(const Variant& value, DispatchKind kind)>;

  // One request the object answered, with its arguments' values.
  struct Call {
    std::u16string name;  // as first defined
    DispatchKind kind;
    std::vector<Variant> args;
  };

  explicit ExpandoObject(std::u16string type_name = u"Object") : type_name_(std::move(type_name)) {}
  static std::shared_ptr<ExpandoObject> create(std::u16string type_name = u"Object") {
    return std::make_shared<ExpandoObject>(std::move(type_name));
  }

  // A stored property: get returns the value, put and putref replace it.
  // On an existing name the member becomes a stored property with this value.
  ExpandoObject& set(std::u16string_view name, Variant value);
  // A property whose get and put run the client's code; without a setter a
  // put or putref raises 438.
  ExpandoObject& define(std::u16string_view name, Getter get, Setter put = {});
  ExpandoObject& method(std::u16string_view name, Method body);
  // The name then answers no id; a later definition gets a new one.
  void remove(std::u16string_view name);

  bool has(std::u16string_view name) const;
  // A property's value as a get would return it (not recorded); 438 for a
  // method or an unknown name.
  Variant get(std::u16string_view name) const;

  // When on, a name that is not defined gets an id at GetIDsOfNames and
  // becomes a stored property reading Empty, as script objects grow.
  void set_expandable(bool on) { expandable_ = on; }

  // Every request answered so far. The record holds the arguments' values,
  // objects included, until clear_calls().
  const std::vector<Call>& calls() const { return calls_; }
  void clear_calls() { calls_.clear(); }

  std::optional<DISPID> GetIDsOfNames(std::u16string_view name) override;
  // Client code that throws anything but an AutomationError raises 440
  // with its message, so the caller sees a run-time error.
  Variant Invoke(DISPID id, DispatchKind kind, std::vector<Variant>& args) override;
  std::u16string type_name() const override { return type_name_; }

 private:
  struct Member {
    std::u16string name;
    DISPID id;
    Variant value;
    Getter getter;
    Setter setter;
    Method body;
  };
  Member* find(std::u16string_view name);
  const Member* find(std::u16string_view name) const;
  Member& ensure(std::u16string_view name);

  std::u16string type_name_;
  std::vector<Member> members_;
  std::vector<Call> calls_;
  DISPID next_id_ = 1;
  bool expandable_ = false;
};

using ExpandoRef = std::shared_ptr<ExpandoObject>;

}  // namespace win
