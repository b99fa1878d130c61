#pragma once
// What the fuzz targets share: a check that ends the run with a report, so that libFuzzer keeps
// the input that broke it.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

inline void Check(bool holds, const char* what, std::string_view detail = {}) {
  if (holds) return;
  std::fprintf(stderr, "check failed: %s\n%.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

inline bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

inline std::string Trimmed(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  return std::string(text);
}

inline bool IsTrimmed(std::string_view text) { return Trimmed(text).size() == text.size(); }

}  // namespace fuzz
