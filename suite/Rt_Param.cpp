#include "suite/Rt_Param.h"

#include "rtl/SysUtils.h"
#include "suite/Rt_Util.h"

#include <cstring>
#include <string>
#include <string_view>

namespace suite {

std::unique_ptr<TParameterList> ParameterList;
std::unique_ptr<char[]> LastParameterString;

namespace {

std::unique_ptr<char[]> CopyText(const char* text) {
  if (!text) return nullptr;
  std::size_t length = std::strlen(text);
  auto copy = std::make_unique<char[]>(length + 1);
  std::memcpy(copy.get(), text, length + 1);
  return copy;
}

// At most 63,999 characters of text, up to its NUL.
std::string_view ReadableParameterString(const char* text) {
  return std::string_view(text, strnlen(text, MaxParameterStringLength));
}

void EnsureProcessState() {
  if (!ParameterList) ParameterList = std::make_unique<TParameterList>();
  if (!LastParameterString) {
    LastParameterString = std::make_unique<char[]>(ParameterStringSize);
    LastParameterString[0] = '\0';
  }
}

}  // namespace

TParameter::TParameter(const rtl::ShortString& name, const char* value)
    : Name(name), Value(CopyText(value)) {}

void TParameterList::Parse(const char* Text) {
  ClearParameters();
  if (!Text) return;

  rtl::ShortString name;
  std::string value;
  bool readingValue = false;

  auto finishPair = [&] {
    if (readingValue) {
      rtl::ShortString trimmed = StrTrim(name);
      if (!trimmed.empty()) AddParameter(trimmed, value.c_str());
    }
    name = rtl::ShortString();
    value.clear();
    readingValue = false;
  };

  for (char c : ReadableParameterString(Text)) {
    if (c == '=') {
      readingValue = true;
    } else if (c == '|') {
      finishPair();
    } else if (readingValue) {
      value += c;
    } else {
      name += c;  // a short string drops what comes after its 255th character
    }
  }
  finishPair();
}

TParameter* TParameterList::FindParameter(const rtl::ShortString& Name) const {
  for (const auto& parameter : items_)
    if (SameParameterName(parameter->Name, Name)) return parameter.get();
  return nullptr;
}

TParameter* TParameterList::AddParameter(const rtl::ShortString& Name, const char* Value) {
  items_.push_back(std::make_unique<TParameter>(StrTrim(Name), Value));
  return items_.back().get();
}

void TParameterList::ClearParameters() { items_.clear(); }

bool SameParameterName(const rtl::ShortString& A, const rtl::ShortString& B) {
  return rtl::SameText(StrTrim(A).view(), StrTrim(B).view());
}

bool GetParameterValue(const char* ParamString, rtl::ShortString Name, rtl::ShortString& Value) {
  // Name is a copy, so that the same short string may serve as name and value.
  Value = rtl::ShortString();
  EnsureProcessState();
  if (!ParamString || ParamString[0] == '\0') return false;

  std::string_view text = ReadableParameterString(ParamString);
  if (text != std::string_view(LastParameterString.get())) {
    // The caller's string may lie inside the cached copy itself.
    std::memmove(LastParameterString.get(), text.data(), text.size());
    LastParameterString[text.size()] = '\0';
    ParameterList->Parse(LastParameterString.get());
  }

  const TParameter* parameter = ParameterList->FindParameter(Name);
  if (!parameter) return false;
  if (parameter->Value) Value = StrTrim(rtl::ShortString(parameter->Value.get()));
  return true;
}

void Rt_Param_Startup() { EnsureProcessState(); }

void Rt_Param_Shutdown() {
  ParameterList.reset();
  LastParameterString.reset();
}

}  // namespace suite
