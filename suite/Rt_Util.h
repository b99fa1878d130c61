#pragma once
// Small routines shared by the suite support units: trimming and number-to-text conversion of
// short strings, file-name extensions, the local date and time as parts, and the wildcard object
// of which the unit keeps one process-wide instance.

#include "rtl/ShortString.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace suite {

// S without leading and trailing characters of code 0 to 32 (bytes compared unsigned, so
// characters 128 to 255 stay).
rtl::ShortString StrTrim(const rtl::ShortString& S);

// N in decimal, "-" before a negative number, no padding.
rtl::ShortString IntToShortStr(std::int32_t N);

// DotPos: the 1-based position of the last "." in S, 0 if none. True when there is a dot and
// none of the (at most 64) characters after it is a folder separator ("\" or "/"); otherwise the
// dot belongs to a folder name.
bool FindExtension(const rtl::ShortString& S, int& DotPos);

// Name with its extension replaced by Ext (given without its dot), removed when Ext is empty, or
// added (with a lone "." when Ext is empty) when Name has none. A design-database address gets
// the extension of its object name changed instead (DDB_Names). Raises rtl::EConvertError for an
// address whose "ID" or "ATTR" is no integer.
rtl::ShortString ChangeExtension(const rtl::ShortString& Name, const rtl::ShortString& Ext);

// Today's local date; each read of the clock is its own.
void GetDateParts(std::uint16_t& year, std::uint16_t& month, std::uint16_t& day);
// The local time now.
void GetTimeParts(std::uint16_t& hour, std::uint16_t& minute, std::uint16_t& second,
                  std::uint16_t& millisecond);

// hour * 3600 + minute * 60 + second.
std::int32_t SecondsOfDay(std::uint16_t hour, std::uint16_t minute, std::uint16_t second);

class TWildCard {
 public:
  static constexpr std::size_t WorkAreaSize = 5120;

  TWildCard() = default;
  virtual ~TWildCard() = default;

  bool Active = false;
  rtl::ShortString Pattern{"*"};
  rtl::ShortString Subject;
  std::int32_t Position = 0;
  std::array<std::uint8_t, WorkAreaSize> WorkArea{};
};

constexpr std::size_t ScratchBufferSize = 65000;

// Process-wide, made by the unit's start-up and released by its shut-down; nothing uses them.
extern TWildCard* WildCard;
extern char* ScratchBuffer;

void Rt_Util_Startup();
void Rt_Util_Shutdown();

}  // namespace suite
