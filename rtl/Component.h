#pragma once
// The component model: components owned by a component, with a name, a tag, state flags,
// notifications of insertion and removal, a Loaded call after their stored properties were
// read, and published properties readable and writable by name.

#include "rtl/SysUtils.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace rtl {

class TComponent;

// A method taking the sender.
using TNotifyEvent = std::function<void(TComponent* Sender)>;

enum TComponentStateFlag : unsigned {
  csLoading = 1,     // Loaded has not run yet after the properties were read
  csReading = 2,     // the stored properties are being read
  csDesigning = 4,   // a form designer edits the component
  csDestroying = 8,  // the component is being torn down
};

enum class TOperation { opInsert, opRemove };

// A published property's value as a stored description holds it.
using TPropertyValue = std::variant<bool, std::int64_t, std::string, std::vector<std::string>>;

struct TPropertyInfo {
  TPropertyInfo() = default;
  TPropertyInfo(std::string AName, std::function<TPropertyValue(const TComponent&)> AGet,
                std::function<void(TComponent&, const TPropertyValue&)> ASet)
      : Name(std::move(AName)), Get(std::move(AGet)), Set(std::move(ASet)) {}

  std::string Name;
  std::function<TPropertyValue(const TComponent&)> Get;
  std::function<void(TComponent&, const TPropertyValue&)> Set;
  // Set instead of Set for a reference to another component, whose stored value is that
  // component's name: the component, or none for an empty name.
  std::function<void(TComponent&, TComponent*)> SetReference;
  bool IsReference() const { return static_cast<bool>(SetReference); }
};
using TPropertyList = std::vector<TPropertyInfo>;

class TComponent {
 public:
  // The owner is only announced here; Create inserts the finished component into it.
  explicit TComponent(TComponent* AOwner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // Constructs a component and inserts it into its owner once it is complete, so that the
  // owner's notifications reach a fully built object. Without an owner the caller frees it.
  template <class T, class... Args>
  static T* Create(TComponent* AOwner, Args&&... args) {
    auto component = std::make_unique<T>(AOwner, std::forward<Args>(args)...);
    if (AOwner) AOwner->InsertComponent(component.get());
    return component.release();
  }

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int Index) const {
    return components_.at(static_cast<std::size_t>(Index));
  }
  // The owned component of that name (letters compared without case), or none.
  TComponent* FindComponent(std::string_view AName) const;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& Value) { name_ = Value; }
  std::int64_t Tag() const { return tag_; }
  void SetTag(std::int64_t Value) { tag_ = Value; }

  unsigned ComponentState() const { return state_; }
  bool InState(TComponentStateFlag Flag) const { return (state_ & Flag) != 0; }
  // Switches design mode for this component and everything it owns.
  void SetDesigning(bool Value);
  // The reader of stored descriptions brackets its work with these.
  void BeginReading() { state_ |= csReading | csLoading; }
  void EndReading() { state_ &= ~static_cast<unsigned>(csReading); }

  // Called after the stored properties were read; ends the loading state.
  virtual void Loaded();
  // Another component of the same owner (or one of ours) was inserted or removed.
  virtual void Notification(TComponent* AComponent, TOperation Operation);

  // Shared with every TComponentRef to the component; holds none from its teardown on.
  std::shared_ptr<TComponent* const> Life();

  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);

  // Published properties, looked up by name without regard to case.
  virtual const TPropertyList& Published() const;
  const TPropertyInfo* FindProperty(std::string_view PropName) const;
  TPropertyValue GetPropertyValue(std::string_view PropName) const;
  // Raises Exception for an unknown property or a value of the wrong kind. A reference takes
  // the name of a component of the same owner.
  void SetPropertyValue(std::string_view PropName, const TPropertyValue& Value);

 protected:
  // The framework's own teardown: marks the component as destroying, destroys what it owns
  // (last first) and leaves its owner. Runs once; descendants call it at the top of their
  // destructor so that their own clean-up comes after it.
  void Teardown() noexcept;

 private:
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::string name_;
  std::int64_t tag_ = 0;
  unsigned state_ = 0;
  bool tornDown_ = false;
  std::shared_ptr<TComponent*> life_;
};

// A reference to a component, not owned, that reads as none once the component is being
// destroyed: for whatever may outlive the component it names (an exception, say).
template <class T>
class TComponentRef {
 public:
  TComponentRef() = default;
  TComponentRef(T* AComponent) : life_(AComponent ? AComponent->Life() : nullptr) {}
  T* Get() const { return life_ ? static_cast<T*>(*life_) : nullptr; }
  operator T*() const { return Get(); }
  T* operator->() const { return Get(); }

 private:
  std::shared_ptr<TComponent* const> life_;
};

// Helpers for the property tables of descendants.
bool BoolValue(const TPropertyValue& Value);
std::int64_t IntValue(const TPropertyValue& Value);
const std::string& StringValue(const TPropertyValue& Value);
const std::vector<std::string>& ListValue(const TPropertyValue& Value);

}  // namespace rtl
