#pragma once
// The text rules that the stand-ins share with the runtime above them: names compare without
// regard to the case of the letters a to z, and blanks around names are not part of them.
// Header-only and free of every other unit, so that any layer can use it.

#include <string>
#include <string_view>

namespace platform {

// Only the letters a to z have a case, whatever the C locale (the windowing toolkit sets the
// user's): every other byte compares as it is.
inline char UpCaseAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Negative, 0 or positive as a sorts before, with or after b.
inline int CompareText(std::string_view a, std::string_view b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(UpCaseAscii(a[i]));
    unsigned char y = static_cast<unsigned char>(UpCaseAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

inline bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpCaseAscii(a[i]) != UpCaseAscii(b[i])) return false;
  return true;
}

// Text with the letters a to z upper-cased; every other byte stays.
inline std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = UpCaseAscii(c);
  return upper;
}

// Text without blanks and tabs at either end.
inline std::string_view TrimBlanks(std::string_view Text) {
  while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t')) Text.remove_prefix(1);
  while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t')) Text.remove_suffix(1);
  return Text;
}

}  // namespace platform
