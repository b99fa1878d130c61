// Changes the extensions of file names and design-database addresses. A plain name is compared
// with a reading of the rule on whole texts (last dot, a folder separator within 64 characters
// after it, the result cut at 255); changing to the same extension again changes nothing; an
// address keeps every part but its object name.
//
// Input: one byte giving the length of Ext, Ext, then the name.

#include "FuzzCheck.h"
#include "rtl/Exceptions.h"
#include "suite/DDB_Address.h"
#include "suite/DDB_Names.h"
#include "suite/Rt_Util.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

std::string PlainReference(std::string_view name, std::string_view ext) {
  std::size_t dot = name.rfind('.');
  bool hasExtension = dot != std::string_view::npos &&
                      name.substr(dot + 1, 64).find_first_of("\\/") == std::string_view::npos;
  std::string result;
  if (hasExtension && ext.empty())
    result = name.substr(0, dot);
  else if (hasExtension)
    result = std::string(name.substr(0, dot + 1)) + std::string(ext);
  else
    result = std::string(name) + "." + std::string(ext);
  return result.substr(0, 255);
}

std::optional<std::string> Change(const rtl::ShortString& name, const rtl::ShortString& ext) {
  try {
    return suite::ChangeExtension(name, ext).str();
  } catch (const rtl::EConvertError&) {
    return std::nullopt;
  }
}

// The address's text without its object name.
std::string WithoutObjectName(suite::TDDBAddress& address) {
  address.OPart->SetName("");
  return address.GetAddressText();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t extLength = std::min<std::size_t>(data[0], size - 1);
  std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  rtl::ShortString ext(input.substr(0, extLength));
  rtl::ShortString name(input.substr(extLength));

  std::optional<std::string> changed = Change(name, ext);
  if (!suite::IsDDBAddress(name.view())) {
    fuzz::Check(changed.has_value(), "a plain name never raises");
    fuzz::Check(*changed == PlainReference(name.view(), ext.view()), "plain name", *changed);
    if (!ext.empty() && ext.view().find_first_of(".\\/>=") == std::string_view::npos) {
      std::optional<std::string> again = Change(rtl::ShortString(*changed), ext);
      fuzz::Check(again == changed, "changing to the same extension again changes nothing",
                  *changed);
    }
    return 0;
  }

  if (!changed) return 0;  // an "ID" or "ATTR" that is no integer
  fuzz::Check(changed->substr(0, 2) == "D>", "an address stays an address", *changed);
  if (changed->size() < 255 &&
      ext.view().find_first_of(std::string_view("$>|=\0", 5)) == std::string_view::npos) {
    suite::TDDBAddress before(name.view());
    suite::TDDBAddress after(*changed);
    fuzz::Check(WithoutObjectName(before) == WithoutObjectName(after),
                "only the object name changes", *changed);
  }
  return 0;
}
