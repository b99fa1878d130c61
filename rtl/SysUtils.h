#pragma once
// The runtime's text-to-integer conversion, upper-casing and pseudo-random number generator.
// Header-only, so that units without the windowing toolkit can use them.

#include "rtl/Exceptions.h"

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace rtl {

// An optional "+" or "-" followed by one or more decimal digits, within the signed 32-bit range;
// anything else (blanks, other characters, an empty text, overflow) raises
// EConvertError "'<text>' is not a valid integer value".
inline std::int32_t StrToInt(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) throw EConvertError::InvalidInteger(text);
  // Accumulated as a magnitude in 64 bits, so that the most negative value converts too.
  const std::int64_t limit =
      negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
               : std::numeric_limits<std::int32_t>::max();
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') throw EConvertError::InvalidInteger(text);
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) throw EConvertError::InvalidInteger(text);
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

// Names are compared without regard to the case of the letters a to z, whatever the C locale
// (the windowing toolkit sets the user's): other bytes compare as they are.
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

// Text without blanks and tabs at either end.
inline std::string_view TrimBlanks(std::string_view Text) {
  while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t')) Text.remove_prefix(1);
  while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t')) Text.remove_suffix(1);
  return Text;
}

// Text without characters of code 0 to 32 (blanks and controls) at either end.
inline std::string_view TrimControls(std::string_view Text) {
  auto control = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!Text.empty() && control(Text.back())) Text.remove_suffix(1);
  while (!Text.empty() && control(Text.front())) Text.remove_prefix(1);
  return Text;
}

// Text with the letters a to z upper-cased; every other byte stays.
inline std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = UpCaseAscii(c);
  return upper;
}

// The generator's state; Randomize seeds it from the clock.
inline std::uint32_t RandSeed = 0;

inline void Randomize() {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  auto ticks = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
  RandSeed = static_cast<std::uint32_t>(ticks ^ (ticks >> 32));
}

// A number from 0 to range - 1 (0 when range is 0); advances RandSeed.
inline std::uint32_t Random(std::uint32_t range) {
  RandSeed = RandSeed * 134775813u + 1u;
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(RandSeed) * range) >> 32);
}

}  // namespace rtl
