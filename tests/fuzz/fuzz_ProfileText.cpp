// Reads and edits the text of a profile file. Any text reads without a crash; a key written into
// it reads back as the value written (blanks around it and one pair of quotes dropped, as every
// read does); writing the same again changes nothing.
//
// Input: a flags byte (1: delete the key, 2: delete the section), three bytes giving the lengths
// of section, key and value, those texts, then the file's text. A NUL ends a name or value early,
// as it would for the C strings the profile functions take.

#include "FuzzCheck.h"
#include "platform/ProfileText.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

std::string_view ReadRule(std::string_view value) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

// The next `length` bytes of the input as a C string's text.
std::string Take(std::string_view& input, std::size_t length) {
  std::string_view part = input.substr(0, length);
  input.remove_prefix(part.size());
  return std::string(part.substr(0, part.find('\0')));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint8_t flags = data[0];
  std::string_view input(reinterpret_cast<const char*>(data + 4), size - 4);
  std::string section = Take(input, data[1]);
  std::string key = Take(input, data[2]);
  std::string value = Take(input, data[3]);
  std::string_view text = input;

  platform::ProfileValue(text, section, key);
  const char* keyArg = (flags & 2) ? nullptr : key.c_str();
  const char* valueArg = (flags & 1) ? nullptr : value.c_str();
  std::optional<std::string> edited =
      platform::EditProfile(text, section.c_str(), keyArg, valueArg);
  if (!edited || !keyArg || !valueArg) return 0;

  std::optional<std::string> read = platform::ProfileValue(*edited, section, key);
  fuzz::Check(read.has_value(), "a key just written is found", *edited);
  fuzz::Check(*read == ReadRule(value), "a key just written reads as its value", *edited);
  std::optional<std::string> again =
      platform::EditProfile(*edited, section.c_str(), keyArg, valueArg);
  fuzz::Check(again == edited, "writing the same again changes nothing", *edited);
  return 0;
}
