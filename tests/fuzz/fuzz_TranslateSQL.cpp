// Turns ":name" markers into "?" on any text. The input is read only within its bounds (the
// sanitizer sees a read past it); a text that translates has one "?" more for every name read,
// each name non-empty and made of name characters only; a text that does not has a colon.
// Inside a comment any text is text: it translates, reads no name, and only its "::" change.
//
// Input: the SQL text.

#include "FuzzCheck.h"
#include "odbc/OCLTranslate.h"
#include "rtl/Exceptions.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool IsNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         c == '@';
}

// Every "::" as one colon, from the left.
std::string OneColonEach(std::string_view text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    result += text[i];
    if (text[i] == ':' && i + 1 < text.size() && text[i + 1] == ':') ++i;
  }
  return result;
}

void CheckInComment(std::string_view sql) {
  if (sql.find("*/") != std::string_view::npos) return;
  std::vector<std::string> names;
  std::string comment = "/*" + std::string(sql) + "*/";
  std::string result = ocl::TranslateSQL(comment, names);
  fuzz::Check(names.empty(), "no name in a comment", comment);
  fuzz::Check(result == "/*" + OneColonEach(sql) + "*/", "a comment as written", result);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view sql(reinterpret_cast<const char*>(data), size);
  CheckInComment(sql);
  std::vector<std::string> names;
  std::string result;
  try {
    result = ocl::TranslateSQL(sql, names);
  } catch (const rtl::Exception& e) {
    fuzz::Check(e.Message() == "Invalid token in SQL statement.", "the one message", e.Message());
    fuzz::Check(sql.find(':') != std::string_view::npos, "only a colon is a bad token", sql);
    return 0;
  }
  auto marks = [](std::string_view text) { return std::count(text.begin(), text.end(), '?'); };
  fuzz::Check(marks(result) == marks(sql) + static_cast<std::ptrdiff_t>(names.size()),
              "one marker for every name", result);
  for (const std::string& name : names)
    fuzz::Check(!name.empty() && std::all_of(name.begin(), name.end(), IsNameChar),
                "names of name characters", name);
  return 0;
}
