#pragma once
// The runtime's text-to-integer conversion, upper-casing and pseudo-random number generator.
// Header-only, so that units without the windowing toolkit can use them.

#include "platform/AsciiText.h"
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

// The letter-case rule and blank trimming are the platform's, which its stand-ins need too.
using platform::CompareText;
using platform::SameText;
using platform::TrimBlanks;
using platform::UpCaseAscii;
using platform::UpperCase;

// Text without characters of code 0 to 32 (blanks and controls) at either end.
inline std::string_view TrimControls(std::string_view Text) {
  auto control = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!Text.empty() && control(Text.back())) Text.remove_suffix(1);
  while (!Text.empty() && control(Text.front())) Text.remove_prefix(1);
  return Text;
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
