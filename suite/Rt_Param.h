#pragma once
// Parameter strings: one-line texts of pairs "name = value" separated by "|", which the suite's
// modules exchange and the support units use as a record format. Names match without regard to
// the case of the letters a to z and to blanks around them; the first pair of a name wins.

#include "rtl/ShortString.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace suite {

// Size of the copy of the last parsed string, terminating NUL included: a parameter string is
// compared, cached and parsed up to its first 63,999 characters; anything after them is ignored.
constexpr std::size_t ParameterStringSize = 64000;
constexpr std::size_t MaxParameterStringLength = ParameterStringSize - 1;

// One parsed pair.
class TParameter {
 public:
  // The name is kept unchanged; the value is copied into a text of the parameter's own, and a
  // null value stays null.
  TParameter(const rtl::ShortString& name, const char* value);
  virtual ~TParameter() = default;

  rtl::ShortString Name;
  std::unique_ptr<char[]> Value;  // NUL-terminated; blanks kept as they stood
};

// The parameters of one parameter string in their order; the list owns them.
class TParameterList {
 public:
  // Replaces the content by the pairs of Text (null: none). Only the first 63,999 characters of
  // Text are read. A pair without "=" or with an empty name adds nothing; every further "=" in a
  // pair is dropped; a name keeps its first 255 characters.
  void Parse(const char* Text);
  // The first parameter whose name matches by SameParameterName, or null.
  TParameter* FindParameter(const rtl::ShortString& Name) const;
  // Appends a parameter with the trimmed name and a copy of Value.
  TParameter* AddParameter(const rtl::ShortString& Name, const char* Value);
  void ClearParameters();

  std::size_t Count() const { return items_.size(); }
  TParameter* Items(std::size_t index) const { return items_.at(index).get(); }

 private:
  std::vector<std::unique_ptr<TParameter>> items_;
};

// Both names upper-cased (a to z only) and trimmed, then compared byte for byte.
bool SameParameterName(const rtl::ShortString& A, const rtl::ShortString& B);

// True when ParamString holds a parameter called Name; Value is then its value, cut to 255
// characters and trimmed. Otherwise false with Value empty; Value is emptied first on every call.
// A null or empty ParamString gives false and leaves the cached list alone. The string is parsed
// only when its first 63,999 characters differ (byte-wise, case-sensitive) from
// LastParameterString; the characters after them are never read.
bool GetParameterValue(const char* ParamString, rtl::ShortString Name, rtl::ShortString& Value);

// Process-wide: the parameters of the last parsed string and a NUL-terminated copy of that
// string (ParameterStringSize bytes). Made by the unit's start-up, released by its shut-down, and
// made again by GetParameterValue if missing.
extern std::unique_ptr<TParameterList> ParameterList;
extern std::unique_ptr<char[]> LastParameterString;

void Rt_Param_Startup();
void Rt_Param_Shutdown();

}  // namespace suite
