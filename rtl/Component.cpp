#include "rtl/Component.h"

#include "rtl/Exceptions.h"

#include <algorithm>

namespace rtl {

namespace {
[[noreturn]] void InvalidValue() { throw Exception("Invalid property value"); }
}  // namespace

bool BoolValue(const TPropertyValue& Value) {
  if (auto* v = std::get_if<bool>(&Value)) return *v;
  InvalidValue();
}

std::int64_t IntValue(const TPropertyValue& Value) {
  if (auto* v = std::get_if<std::int64_t>(&Value)) return *v;
  InvalidValue();
}

const std::string& StringValue(const TPropertyValue& Value) {
  if (auto* v = std::get_if<std::string>(&Value)) return *v;
  InvalidValue();
}

const std::vector<std::string>& ListValue(const TPropertyValue& Value) {
  if (auto* v = std::get_if<std::vector<std::string>>(&Value)) return *v;
  InvalidValue();
}

TComponent::TComponent(TComponent* AOwner) {
  // Design mode comes from the owner, as the component is created inside its designer.
  if (AOwner && AOwner->InState(csDesigning)) state_ |= csDesigning;
}

TComponent::~TComponent() { Teardown(); }

void TComponent::Teardown() noexcept {
  if (tornDown_) return;
  tornDown_ = true;
  state_ |= csDestroying;
  if (life_) *life_ = nullptr;
  while (!components_.empty()) {
    TComponent* last = components_.back();
    RemoveComponent(last);
    delete last;
  }
  if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(std::string_view AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, AName)) return c;
  return nullptr;
}

std::shared_ptr<TComponent* const> TComponent::Life() {
  if (!life_) life_ = std::make_shared<TComponent*>(tornDown_ ? nullptr : this);
  return life_;
}

void TComponent::SetDesigning(bool Value) {
  if (Value)
    state_ |= csDesigning;
  else
    state_ &= ~static_cast<unsigned>(csDesigning);
  for (TComponent* c : components_) c->SetDesigning(Value);
}

void TComponent::Loaded() { state_ &= ~static_cast<unsigned>(csLoading); }

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  // Whatever the owner hears, the components it owns hear too. A component that hears may
  // insert or remove others: the round goes over the list as it was, to those still owned.
  const std::vector<TComponent*> components = components_;
  for (TComponent* c : components)
    if (c != AComponent &&
        std::find(components_.begin(), components_.end(), c) != components_.end())
      c->Notification(AComponent, Operation);
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->owner_ == this) return;
  if (AComponent->owner_) AComponent->owner_->RemoveComponent(AComponent);
  components_.push_back(AComponent);
  AComponent->owner_ = this;
  if (InState(csDesigning)) AComponent->SetDesigning(true);
  Notification(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  auto it = std::find(components_.begin(), components_.end(), AComponent);
  if (it == components_.end()) return;
  components_.erase(it);
  AComponent->owner_ = nullptr;
  Notification(AComponent, TOperation::opRemove);
}

const TPropertyList& TComponent::Published() const {
  static const TPropertyList list = {
      {"Name", [](const TComponent& c) -> TPropertyValue { return c.Name(); },
       [](TComponent& c, const TPropertyValue& v) { c.SetName(StringValue(v)); }},
      {"Tag", [](const TComponent& c) -> TPropertyValue { return c.Tag(); },
       [](TComponent& c, const TPropertyValue& v) { c.SetTag(IntValue(v)); }},
  };
  return list;
}

const TPropertyInfo* TComponent::FindProperty(std::string_view PropName) const {
  for (const TPropertyInfo& p : Published())
    if (SameText(p.Name, PropName)) return &p;
  return nullptr;
}

TPropertyValue TComponent::GetPropertyValue(std::string_view PropName) const {
  const TPropertyInfo* p = FindProperty(PropName);
  if (!p) throw Exception("Property " + std::string(PropName) + " does not exist");
  return p->Get(*this);
}

void TComponent::SetPropertyValue(std::string_view PropName, const TPropertyValue& Value) {
  const TPropertyInfo* p = FindProperty(PropName);
  if (!p) throw Exception("Property " + std::string(PropName) + " does not exist");
  if (!p->IsReference()) return p->Set(*this, Value);
  const std::string& name = StringValue(Value);
  TComponent* target = nullptr;
  if (!name.empty()) {
    target = owner_ ? owner_->FindComponent(name) : nullptr;
    if (!target) throw Exception("Component " + name + " not found");
  }
  p->SetReference(*this, target);
}

}  // namespace rtl
