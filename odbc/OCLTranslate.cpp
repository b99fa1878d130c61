#include "odbc/OCLTranslate.h"

#include "rtl/Exceptions.h"

namespace ocl {

namespace {

bool IsNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         c == '@';
}

[[noreturn]] void InvalidToken() { throw rtl::Exception("Invalid token in SQL statement."); }

// Where the text stands: only in plain text does a colon start a marker.
enum class TPlace { Text, Literal, Identifier, LineComment, BlockComment };

bool At(std::string_view Sql, std::size_t i, const char* Pair) {
  return i + 1 < Sql.size() && Sql[i] == Pair[0] && Sql[i + 1] == Pair[1];
}

// Copies the character (or the two of a comment's opening or closing) at i and tells where
// the text stands after it. A doubled quote inside a literal or an identifier leaves and
// enters again.
TPlace Copy(std::string_view Sql, std::size_t& i, TPlace Place, std::string& Result) {
  std::size_t length = 1;
  TPlace next = Place;
  char c = Sql[i];
  switch (Place) {
    case TPlace::Text:
      if (At(Sql, i, "--") || At(Sql, i, "/*")) {
        next = c == '-' ? TPlace::LineComment : TPlace::BlockComment;
        length = 2;
      } else if (c == '\'') {
        next = TPlace::Literal;
      } else if (c == '"') {
        next = TPlace::Identifier;
      }
      break;
    case TPlace::Literal:
      if (c == '\'') next = TPlace::Text;
      break;
    case TPlace::Identifier:
      if (c == '"') next = TPlace::Text;
      break;
    case TPlace::LineComment:
      if (c == '\n') next = TPlace::Text;
      break;
    case TPlace::BlockComment:
      if (At(Sql, i, "*/")) {
        next = TPlace::Text;
        length = 2;
      }
      break;
  }
  Result.append(Sql.substr(i, length));
  i += length;
  return next;
}

}  // namespace

std::string TranslateSQL(std::string_view Sql, std::vector<std::string>& Names) {
  Names.clear();
  std::string result;
  result.reserve(Sql.size());
  TPlace place = TPlace::Text;
  std::size_t i = 0;
  while (i < Sql.size()) {
    if (Sql[i] != ':') {
      place = Copy(Sql, i, place, result);
      continue;
    }
    ++i;
    if (i < Sql.size() && Sql[i] == ':') {
      result += ':';
      ++i;
      continue;
    }
    if (place != TPlace::Text) {
      result += ':';
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
