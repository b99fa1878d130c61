#pragma once
// Turns the ":name" parameter markers of SQL text into ODBC "?" markers. Needs no driver, so
// that it can be tested and fuzzed on its own.

#include <string>
#include <string_view>
#include <vector>

namespace ocl {

// The text with every ":name" replaced by "?" and every "::" by ":"; the names, in order of
// appearance (a name used twice is listed twice), go to Names, which is cleared first. A ":"
// at the end or before a character that starts no name raises rtl::Exception "Invalid token in
// SQL statement."; Names then holds the names read before it. Inside a string literal ('...',
// with '' inside), a quoted identifier ("...") and a comment (-- to the end of the line,
// /* ... */) a single colon is text and goes as written; "::" is one colon there too.
std::string TranslateSQL(std::string_view Sql, std::vector<std::string>& Names);

}  // namespace ocl
