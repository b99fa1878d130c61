#pragma once
// The reader of stored component descriptions: creates registered component classes by name
// under an owner, sets their published properties while they are in the reading state, then
// calls Loaded on each. The text format is described in the README.

#include "rtl/Component.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

using TComponentFactory = std::function<TComponent*(TComponent* AOwner)>;

// Makes a class creatable by the reader under its name (names compared without case).
void RegisterComponentClass(const std::string& ClassName, TComponentFactory Factory);
template <class T>
void RegisterComponentClass(const std::string& ClassName) {
  RegisterComponentClass(
      ClassName, [](TComponent* AOwner) -> TComponent* { return TComponent::Create<T>(AOwner); });
}
void UnregisterComponentClass(const std::string& ClassName);

// Reads a description and returns the components it created, in their order. A malformed
// text, an unknown class or property, or a value of the wrong kind raises Exception
// ("Line N: ...") and leaves nothing created; an exception of a class derived from Exception
// that a property raises passes through as it is, also leaving nothing. When Loaded raises,
// Loaded is still called on every other component and the first exception passes through
// afterwards; the components then stay with their owner or, without one, are freed.
std::vector<TComponent*> ReadComponents(std::string_view Text, TComponent* AOwner);

}  // namespace rtl
