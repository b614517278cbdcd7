// Binds a typed C++ member to a member-table entry. The entry's argument
// types and by-reference flags come from the C++ signature (T& is by
// reference, T or const T& by value); names, dispatch id, kind and optional
// flags come from the table. Invoking converts each Variant with the
// runtime's rules, gives omitted optional arguments their zero value (or
// declared default) and writes by-reference arguments back, also when the
// member fails, since the member worked on the caller's variable.
#pragma once
#include <stdexcept>
#include <tuple>
#include <type_traits>
#include <utility>

#include "frame/automation_object.h"
#include "frame/runtime_error.h"
#include "platform/automation/variant_conversion.h"

namespace volumar {

// ---- automation type of a C++ type ----
template <class T, class = void>
struct AutomationType;
template <>
struct AutomationType<void> {
  static TypeDesc desc() { return {win::VarType::Empty, ""}; }
};
template <>
struct AutomationType<String> {
  static TypeDesc desc() { return {win::VarType::String, "String"}; }
};
template <>
struct AutomationType<Long> {
  static TypeDesc desc() { return {win::VarType::Long, "Long"}; }
};
template <>
struct AutomationType<Integer> {
  static TypeDesc desc() { return {win::VarType::Integer, "Integer"}; }
};
template <>
struct AutomationType<Byte> {
  static TypeDesc desc() { return {win::VarType::Byte, "Byte"}; }
};
template <>
struct AutomationType<bool> {
  static TypeDesc desc() { return {win::VarType::Boolean, "Boolean"}; }
};
template <>
struct AutomationType<double> {
  static TypeDesc desc() { return {win::VarType::Double, "Double"}; }
};
template <>
struct AutomationType<Variant> {
  static TypeDesc desc() { return {win::VarType::Variant, "Variant"}; }
};
template <>
struct AutomationType<ObjectRef> {
  static TypeDesc desc() { return {win::VarType::Object, "Object"}; }
};
template <>
struct AutomationType<CollectionRef> {
  static TypeDesc desc() { return {win::VarType::Object, "Collection"}; }
};
template <>
struct AutomationType<PictureRef> {
  static TypeDesc desc() { return {win::VarType::Object, "Picture"}; }
};

// Enumerations name themselves through enum_type_name(E{}), found by ADL.
template <class E>
struct AutomationType<E, std::enable_if_t<std::is_enum_v<E>>> {
  static TypeDesc desc() { return {win::VarType::Long, enum_type_name(E{})}; }
};

// ---- Variant <-> C++ ----
template <class T>
T from_variant(const Variant& v) {
  if constexpr (std::is_same_v<T, String>)
    return win::to_string(v);
  else if constexpr (std::is_same_v<T, Long>)
    return win::to_long(v);
  else if constexpr (std::is_same_v<T, Integer>)
    return win::to_integer(v);
  else if constexpr (std::is_same_v<T, Byte>)
    return win::to_byte(v);
  else if constexpr (std::is_same_v<T, bool>)
    return win::to_bool(v);
  else if constexpr (std::is_same_v<T, double>)
    return win::to_double(v);
  else if constexpr (std::is_same_v<T, Variant>)
    return Variant(v.deref());
  else if constexpr (std::is_same_v<T, ObjectRef>)
    return win::to_object(v);
  else if constexpr (std::is_enum_v<T>)
    return static_cast<T>(win::to_long(v));
  else {
    // Typed object references: Collection, Picture.
    ObjectRef o = win::to_object(v);
    if (!o) return nullptr;
    auto typed = std::dynamic_pointer_cast<typename T::element_type>(o);
    if (!typed) raise_error(win::kErrTypeMismatch);
    return typed;
  }
}

template <class T>
Variant to_variant(const T& value) {
  if constexpr (std::is_enum_v<T>)
    return Variant(static_cast<Long>(value));
  else if constexpr (std::is_same_v<T, CollectionRef> || std::is_same_v<T, PictureRef>)
    return Variant(ObjectRef(value));
  else
    return Variant(value);
}

namespace binding {

template <class A>
struct ArgSlot {
  using T = std::remove_cvref_t<A>;
  static constexpr bool by_ref = std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;

  T value{};
  Variant* target = nullptr;

  ArgSlot(std::vector<Variant>& args, std::size_t i, const ParamDesc& p) {
    if (i >= args.size() || args[i].is_missing()) {
      if (!p.optional) raise_error(win::kErrNotOptional, std::string("Argument not optional: ") + p.name);
      if (p.default_value) value = from_variant<T>(*p.default_value);
      return;
    }
    value = from_variant<T>(args[i]);
    if constexpr (by_ref) target = &args[i].deref();
  }
  void write_back() {
    if constexpr (by_ref)
      if (target) *target = to_variant(value);
  }
};

template <class F>
struct Signature;
template <class C, class R, class... A>
struct Signature<R (C::*)(A...)> {
  using Class = C;
  using Result = R;
  using Args = std::tuple<A...>;
};
template <class C, class R, class... A>
struct Signature<R (C::*)(A...) const> : Signature<R (C::*)(A...)> {};

template <auto Fn, class... A, std::size_t... I>
Variant call(AutomationObject& self, std::vector<Variant>& args, const MemberInfo& m, std::tuple<A...>*,
             std::index_sequence<I...>) {
  using Sig = Signature<decltype(Fn)>;
  auto& object = static_cast<typename Sig::Class&>(self);
  // Braced initialisation converts the arguments left to right.
  std::tuple<ArgSlot<A>...> slots{ArgSlot<A>(args, I, m.params[I])...};
  auto write_back = [&] { (std::get<I>(slots).write_back(), ...); };
  try {
    if constexpr (std::is_void_v<typename Sig::Result>) {
      (object.*Fn)(std::get<I>(slots).value...);
      write_back();
      return {};
    } else {
      Variant result = to_variant((object.*Fn)(std::get<I>(slots).value...));
      write_back();
      return result;
    }
  } catch (...) {
    write_back();
    throw;
  }
}

template <auto Fn>
Variant invoke(AutomationObject& self, std::vector<Variant>& args, const MemberInfo& m) {
  using Args = typename Signature<decltype(Fn)>::Args;
  return call<Fn>(self, args, m, static_cast<Args*>(nullptr), std::make_index_sequence<std::tuple_size_v<Args>>{});
}

template <class A>
TypeDesc type_of() {
  return AutomationType<std::remove_cvref_t<A>>::desc();
}

}  // namespace binding

// A parameter's table data: its published name, optional, declared default.
struct Param {
  const char* name;
  bool optional = false;
  std::optional<Variant> default_value = std::nullopt;
};
inline Param opt(const char* name) { return {name, true}; }
inline Param opt(const char* name, Variant default_value) { return {name, true, std::move(default_value)}; }

// Builds the entry for member function Fn; the parameter list must name
// every C++ argument.
template <auto Fn>
MemberInfo bind_member(const char* name, MemberKind kind, win::DISPID id, std::vector<Param> params = {}) {
  using Sig = binding::Signature<decltype(Fn)>;
  using Args = typename Sig::Args;
  constexpr std::size_t arity = std::tuple_size_v<Args>;
  if (params.size() != arity) throw std::logic_error(std::string("member table arity mismatch: ") + name);
  MemberInfo m{name, kind, id, {}, binding::type_of<typename Sig::Result>(), &binding::invoke<Fn>};
  [&]<std::size_t... I>(std::index_sequence<I...>) {
    (m.params.push_back(ParamDesc{params[I].name, binding::type_of<std::tuple_element_t<I, Args>>(),
                                  binding::ArgSlot<std::tuple_element_t<I, Args>>::by_ref, params[I].optional,
                                  params[I].default_value}),
     ...);
  }
  (std::make_index_sequence<arity>{});
  return m;
}

template <auto Fn>
MemberInfo method(const char* name, win::DISPID id, std::vector<Param> params = {}) {
  return bind_member<Fn>(name, MemberKind::Method, id, std::move(params));
}
template <auto Fn>
MemberInfo property_get(const char* name, win::DISPID id, std::vector<Param> params = {}) {
  return bind_member<Fn>(name, MemberKind::Get, id, std::move(params));
}
// A put's value is named "RHS", as type libraries name it.
template <auto Fn>
MemberInfo property_put(const char* name, win::DISPID id) {
  return bind_member<Fn>(name, MemberKind::Put, id, {Param{"RHS"}});
}
template <auto Fn>
MemberInfo property_putref(const char* name, win::DISPID id) {
  return bind_member<Fn>(name, MemberKind::PutRef, id, {Param{"RHS"}});
}

}  // namespace volumar
