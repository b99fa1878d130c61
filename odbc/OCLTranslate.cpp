#include "odbc/OCLTranslate.h"

#include "rtl/Exceptions.h"

namespace ocl {

namespace {

bool IsNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         c == '@';
}

[[noreturn]] void InvalidToken() { throw rtl::Exception("Invalid token in SQL statement."); }

}  // namespace

std::string TranslateSQL(std::string_view Sql, std::vector<std::string>& Names) {
  Names.clear();
  std::string result;
  result.reserve(Sql.size());
  std::size_t i = 0;
  while (i < Sql.size()) {
    char c = Sql[i++];
    if (c != ':') {
      result += c;
      continue;
    }
    if (i == Sql.size()) InvalidToken();
    if (Sql[i] == ':') {
      result += ':';
      ++i;
      continue;
    }
    std::size_t start = i;
    while (i < Sql.size() && IsNameChar(Sql[i])) ++i;
    if (i == start) InvalidToken();
    result += '?';
    Names.emplace_back(Sql.substr(start, i - start));
  }
  return result;
}

}  // namespace ocl
