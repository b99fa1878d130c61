#include "suite/Rt_Util.h"

#include "rtl/SysUtils.h"
#include "suite/DDB_Names.h"

#include <chrono>
#include <ctime>
#include <string>

namespace suite {

TWildCard* WildCard = nullptr;
char* ScratchBuffer = nullptr;

namespace {

bool IsFolderSeparator(char c) { return c == '\\' || c == '/'; }

// Extensions are searched for a folder separator only this far after the dot.
constexpr std::size_t ExtensionWindow = 64;

struct LocalNow {
  std::tm parts{};
  int millisecond = 0;
};

LocalNow ReadLocalClock() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t seconds = system_clock::to_time_t(now);
  LocalNow result;
#ifdef _WIN32
  localtime_s(&result.parts, &seconds);
#else
  localtime_r(&seconds, &result.parts);
#endif
  auto sinceEpoch = duration_cast<milliseconds>(now.time_since_epoch()).count();
  result.millisecond = static_cast<int>(((sinceEpoch % 1000) + 1000) % 1000);
  return result;
}

}  // namespace

rtl::ShortString StrTrim(const rtl::ShortString& S) {
  return rtl::ShortString(rtl::TrimControls(S.view()));
}

rtl::ShortString IntToShortStr(std::int32_t N) { return rtl::ShortString(std::to_string(N)); }

bool FindExtension(const rtl::ShortString& S, int& DotPos) {
  std::string_view text = S.view();
  std::size_t dot = text.rfind('.');
  DotPos = dot == std::string_view::npos ? 0 : static_cast<int>(dot) + 1;
  if (DotPos == 0) return false;
  std::string_view after = text.substr(dot + 1, ExtensionWindow);
  for (char c : after)
    if (IsFolderSeparator(c)) return false;
  return true;
}

rtl::ShortString ChangeExtension(const rtl::ShortString& Name, const rtl::ShortString& Ext) {
  if (IsDDBAddress(Name.view())) return ChangeDDBAddressExtension(Name, Ext);
  int dotPos = 0;
  bool hasExtension = FindExtension(Name, dotPos);
  std::string_view name = Name.view();
  if (hasExtension && Ext.empty()) return rtl::ShortString(name.substr(0, dotPos - 1));
  if (hasExtension) return rtl::ShortString(name.substr(0, dotPos)) + Ext.view();
  return Name + "." + Ext.view();
}

void GetDateParts(std::uint16_t& year, std::uint16_t& month, std::uint16_t& day) {
  LocalNow now = ReadLocalClock();
  year = static_cast<std::uint16_t>(now.parts.tm_year + 1900);
  month = static_cast<std::uint16_t>(now.parts.tm_mon + 1);
  day = static_cast<std::uint16_t>(now.parts.tm_mday);
}

void GetTimeParts(std::uint16_t& hour, std::uint16_t& minute, std::uint16_t& second,
                  std::uint16_t& millisecond) {
  LocalNow now = ReadLocalClock();
  hour = static_cast<std::uint16_t>(now.parts.tm_hour);
  minute = static_cast<std::uint16_t>(now.parts.tm_min);
  // A leap second reads as the last second of its minute.
  second = static_cast<std::uint16_t>(now.parts.tm_sec > 59 ? 59 : now.parts.tm_sec);
  millisecond = static_cast<std::uint16_t>(now.millisecond);
}

std::int32_t SecondsOfDay(std::uint16_t hour, std::uint16_t minute, std::uint16_t second) {
  return static_cast<std::int32_t>(hour * 3600.0 + minute * 60.0 + second * 1.0);
}

void Rt_Util_Startup() {
  ScratchBuffer = new char[ScratchBufferSize];
  WildCard = new TWildCard;
}

void Rt_Util_Shutdown() {
  delete[] ScratchBuffer;
  ScratchBuffer = nullptr;
  delete WildCard;
  WildCard = nullptr;
}

}  // namespace suite
