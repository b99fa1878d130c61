// Parses design-database address texts and formats them again. Whatever the input, the
// formatted text holds the nine pairs in their fixed order, the fields keep their rules, and a
// formatted text of at most 255 characters parses back to itself.
//
// Input: an address text; after a newline, a second text applied to the same address.

#include "FuzzCheck.h"
#include "rtl/Exceptions.h"
#include "suite/DDB_Address.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

void CheckFields(const suite::TDDBAddress& address) {
  for (const std::string* text : {&address.Database, &address.RPart->Path(), &address.RPart->Name(),
                                  &address.OPart->Path(), &address.OPart->Name(), &address.EText}) {
    fuzz::Check(text->size() <= 255, "value within 255 characters", *text);
    fuzz::Check(fuzz::IsTrimmed(*text), "value trimmed", *text);
    fuzz::Check(text->find_first_of("$>|=") == std::string::npos, "no separator in a value", *text);
  }
  fuzz::Check(fuzz::IsTrimmed(address.Stf.view()), "STF trimmed", address.Stf.view());
  for (const std::string* text : {&address.RPart->Path(), &address.RPart->Name(),
                                  &address.OPart->Path(), &address.OPart->Name()})
    fuzz::Check(text->find('\'') == std::string::npos, "no apostrophe in a path or name", *text);
  for (char c : address.Database)
    fuzz::Check(c < 'a' || c > 'z', "database upper-cased", address.Database);
}

void CheckFormat(const std::string& text) {
  static constexpr std::string_view keys[] = {"D>",  "RP>",   "RN>", "OP>", "ON>",
                                              "ID>", "ATTR>", "E>",  "STF>"};
  std::vector<std::string_view> pairs;
  std::string_view rest(text);
  for (std::size_t dollar; (dollar = rest.find('$')) != std::string_view::npos;
       rest.remove_prefix(dollar + 1))
    pairs.push_back(rest.substr(0, dollar));
  pairs.push_back(rest);
  fuzz::Check(pairs.size() == 9, "nine pairs", text);
  for (std::size_t i = 0; i < 9; ++i) {
    fuzz::Check(pairs[i].substr(0, keys[i].size()) == keys[i], "keys in order", text);
    fuzz::Check(pairs[i].find('>', keys[i].size()) == std::string_view::npos, "one '>' a pair",
                text);
  }
}

std::unique_ptr<suite::TDDBAddress> Parse(std::string_view text) {
  try {
    return std::make_unique<suite::TDDBAddress>(text);
  } catch (const rtl::EConvertError& error) {
    fuzz::Check(std::string_view(error.what()).find("is not a valid integer value") !=
                    std::string_view::npos,
                "conversion message", error.what());
    return nullptr;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t newline = input.find('\n');
  std::unique_ptr<suite::TDDBAddress> address = Parse(input.substr(0, newline));
  if (!address) return 0;
  if (newline != std::string_view::npos) {
    try {
      address->SetAddressText(input.substr(newline + 1));
    } catch (const rtl::EConvertError&) {
    }
  }
  CheckFields(*address);
  std::string text = address->GetAddressText();
  CheckFormat(text);
  if (text.size() <= 255) {
    std::unique_ptr<suite::TDDBAddress> again = Parse(text);
    fuzz::Check(again != nullptr, "a formatted address parses", text);
    fuzz::Check(again->GetAddressText() == text, "parsing a formatted address changes nothing",
                text);
  }
  return 0;
}
