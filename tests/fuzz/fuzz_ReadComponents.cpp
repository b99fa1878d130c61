// Reads arbitrary text as a stored component description. Whatever the input, the reader
// raises nothing but rtl::Exception and leaks nothing; properties are written only while the
// components read; a read that raises creates nothing, and one that succeeds leaves every
// component it created loaded.
//
// Input: the first byte chooses an owner for the components (even) or none (odd); the rest is
// the description. The owner already holds a probe named Existing, which references may name.

#include "FuzzCheck.h"
#include "rtl/ComponentReader.h"
#include "rtl/Exceptions.h"
#include "rtl/Published.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A component with one published property of each kind the reader sets.
class TProbe : public rtl::TComponent {
 public:
  using rtl::TComponent::TComponent;

  const rtl::TPropertyList& Published() const override {
    static const rtl::TPropertyList list =
        rtl::TPublished<TProbe>(TComponent::Published())
            .Text("Caption", &TProbe::Caption, &TProbe::SetCaption)
            .Integer("Width", &TProbe::Width, &TProbe::SetWidth)
            .Integer("Size", &TProbe::Size, &TProbe::SetSize)
            .Boolean("Enabled", &TProbe::Enabled, &TProbe::SetEnabled)
            .List("Lines", &TProbe::Lines, &TProbe::SetLines)
            .Reference<TProbe>("Next", &TProbe::Next, &TProbe::SetNext);
    return list;
  }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v) { Written(caption_, v); }
  std::int16_t Width() const { return width_; }
  void SetWidth(std::int16_t v) { Written(width_, v); }
  std::uint32_t Size() const { return size_; }
  void SetSize(std::uint32_t v) { Written(size_, v); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { Written(enabled_, v); }
  const std::vector<std::string>& Lines() const { return lines_; }
  void SetLines(const std::vector<std::string>& v) { Written(lines_, v); }
  TProbe* Next() const { return next_; }
  void SetNext(TProbe* v) { Written(next_, v); }

 private:
  template <class T>
  void Written(T& field, const T& value) {
    fuzz::Check(InState(rtl::csReading), "a property written outside the reading state");
    field = value;
  }

  std::string caption_;
  std::int16_t width_ = 0;
  std::uint32_t size_ = 0;
  bool enabled_ = false;
  std::vector<std::string> lines_;
  TProbe* next_ = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = (rtl::RegisterComponentClass<TProbe>("TProbe"), true);
  (void)registered;
  if (size == 0) return 0;
  const bool owned = data[0] % 2 == 0;
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  rtl::TComponent owner(nullptr);
  rtl::TComponent::Create<TProbe>(&owner)->SetName("Existing");
  std::vector<rtl::TComponent*> created;
  try {
    created = rtl::ReadComponents(text, owned ? &owner : nullptr);
  } catch (const rtl::Exception&) {
    // Without an owner, a component left behind would show as a leak.
    fuzz::Check(owner.ComponentCount() == 1, "a failed read created a component", text);
    return 0;
  }
  std::size_t expected = owned ? created.size() + 1 : 1;
  fuzz::Check(static_cast<std::size_t>(owner.ComponentCount()) == expected,
              "the owner holds what was read", text);
  for (rtl::TComponent* c : created)
    fuzz::Check(!c->InState(rtl::csReading) && !c->InState(rtl::csLoading),
                "a component read is loaded", text);
  if (!owned)
    for (rtl::TComponent* c : created) delete c;
  return 0;
}
