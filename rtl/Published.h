#pragma once
// Declares a component class's published properties one line each, from its getter and
// setter:
//
//   static const rtl::TPropertyList list = rtl::TPublished<THdbc>(TComponent::Published())
//       .Boolean("Connected", &THdbc::Connected, &THdbc::SetConnected)
//       .Text("Driver", &THdbc::Driver, &THdbc::SetDriver);
//
// A value of the wrong kind, or a number outside the range of the property's type, raises
// rtl::Exception "Invalid property value" and leaves the component unchanged.

#include "rtl/Component.h"
#include "rtl/Exceptions.h"

#include <concepts>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace rtl {

// A stored integer in the range of T (an integer or enumeration type), or Exception.
template <class T>
T RangedValue(const TPropertyValue& Value, std::int64_t Low, std::int64_t High) {
  std::int64_t v = IntValue(Value);
  if (v < Low || v > High) throw Exception("Invalid property value");
  return static_cast<T>(v);
}

template <class C>
class TPublished {
 public:
  explicit TPublished(TPropertyList Inherited) : list_(std::move(Inherited)) {}

  template <class Get, class Set>
  TPublished& Text(std::string Name, Get get, Set set) {
    return Add(
        std::move(Name),
        [get](const C& c) -> TPropertyValue { return std::string(std::invoke(get, c)); },
        [set](C& c, const TPropertyValue& v) { std::invoke(set, c, StringValue(v)); });
  }

  template <class Get, class Set>
  TPublished& Boolean(std::string Name, Get get, Set set) {
    return Add(
        std::move(Name), [get](const C& c) -> TPropertyValue { return bool(std::invoke(get, c)); },
        [set](C& c, const TPropertyValue& v) { std::invoke(set, c, BoolValue(v)); });
  }

  template <class Get, class Set>
  TPublished& List(std::string Name, Get get, Set set) {
    return Add(
        std::move(Name),
        [get](const C& c) -> TPropertyValue {
          return std::vector<std::string>(std::invoke(get, c));
        },
        [set](C& c, const TPropertyValue& v) { std::invoke(set, c, ListValue(v)); });
  }

  // An integer of any width up to 64 bits, range-checked against its type.
  template <class Get, class Set>
  TPublished& Integer(std::string Name, Get get, Set set) {
    using T = std::remove_cvref_t<std::invoke_result_t<Get, const C&>>;
    static_assert(std::is_integral_v<T> && sizeof(T) <= sizeof(std::int64_t));
    constexpr std::int64_t low = static_cast<std::int64_t>(std::numeric_limits<T>::min());
    constexpr std::int64_t high =
        std::numeric_limits<T>::max() > std::numeric_limits<std::int64_t>::max()
            ? std::numeric_limits<std::int64_t>::max()
            : static_cast<std::int64_t>(std::numeric_limits<T>::max());
    return Add(
        std::move(Name),
        [get](const C& c) -> TPropertyValue {
          return static_cast<std::int64_t>(std::invoke(get, c));
        },
        [set](C& c, const TPropertyValue& v) {
          std::invoke(set, c, RangedValue<T>(v, low, high));
        });
  }

  // An enumeration stored as its number, from 0 to Last.
  template <class Get, class Set, class E>
  TPublished& Enumeration(std::string Name, Get get, Set set, E Last) {
    static_assert(std::is_enum_v<E>);
    const std::int64_t high = static_cast<std::int64_t>(Last);
    return Add(
        std::move(Name),
        [get](const C& c) -> TPropertyValue {
          return static_cast<std::int64_t>(std::invoke(get, c));
        },
        [set, high](C& c, const TPropertyValue& v) {
          std::invoke(set, c, RangedValue<E>(v, 0, high));
        });
  }

  // A reference to another component of class R (not owned), stored as its name. The reader
  // sets it once every component of the description exists; an empty name is none.
  template <class R, class Get, class Set>
  TPublished& Reference(std::string Name, Get get, Set set) {
    TPropertyInfo info;
    info.Name = std::move(Name);
    info.Get = [get](const TComponent& c) -> TPropertyValue {
      const TComponent* target = std::invoke(get, static_cast<const C&>(c));
      return target ? target->Name() : std::string();
    };
    info.SetReference = [set](TComponent& c, TComponent* target) {
      R* typed = dynamic_cast<R*>(target);
      if (target && !typed) throw Exception("Invalid property value");
      std::invoke(set, static_cast<C&>(c), typed);
    };
    list_.push_back(std::move(info));
    return *this;
  }

  operator TPropertyList() const { return list_; }

 private:
  template <class Getter, class Setter>
  TPublished& Add(std::string Name, Getter get, Setter set) {
    list_.push_back(
        {std::move(Name), [get](const TComponent& c) { return get(static_cast<const C&>(c)); },
         [set](TComponent& c, const TPropertyValue& v) { set(static_cast<C&>(c), v); }});
    return *this;
  }

  TPropertyList list_;
};

}  // namespace rtl
