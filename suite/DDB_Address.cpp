#include "suite/DDB_Address.h"

#include "rtl/SysUtils.h"
#include "suite/Rt_Param.h"
#include "suite/Rt_Util.h"

#include <algorithm>
#include <array>

namespace suite {

namespace {

std::string WithoutApostrophes(std::string_view value) {
  std::string text(value);
  std::replace(text.begin(), text.end(), '\'', '`');
  return text;
}

// An address is read through its first 255 characters, in a buffer of 256 with the NUL.
constexpr std::size_t AddressBufferSize = 256;

}  // namespace

void TRealAddress::SetPath(std::string_view value) { path_ = WithoutApostrophes(value); }

void TRealAddress::SetName(std::string_view value) { name_ = WithoutApostrophes(value); }

TDDBAddress::TDDBAddress(std::string_view Text)
    : RPart(std::make_unique<TRealAddress>()), OPart(std::make_unique<TRealAddress>()) {
  SetAddressText(Text);
}

void TDDBAddress::SetAddressText(std::string_view Text) {
  // As a parameter string: "$" separates pairs, ">" a key from its value.
  std::array<char, AddressBufferSize> buffer{};
  std::size_t length = std::min(Text.size(), AddressBufferSize - 1);
  for (std::size_t i = 0; i < length; ++i) {
    char c = Text[i];
    buffer[i] = c == '$' ? '|' : c == '>' ? '=' : c;
  }
  buffer[length] = '\0';
  const char* parameters = buffer.data();

  rtl::ShortString value;
  if (GetParameterValue(parameters, "ID", value) && !value.empty())
    Id = rtl::StrToInt(value.view());
  if (GetParameterValue(parameters, "ATTR", value) && !value.empty())
    Attr = rtl::StrToInt(value.view());
  GetParameterValue(parameters, "E", value);
  EText = value.str();
  GetParameterValue(parameters, "STF", value);
  Stf = value;
  GetParameterValue(parameters, "D", value);
  Database = rtl::UpperCase(value.view());
  GetParameterValue(parameters, "RP", value);
  RPart->SetPath(value.view());
  GetParameterValue(parameters, "RN", value);
  RPart->SetName(value.view());
  GetParameterValue(parameters, "OP", value);
  OPart->SetPath(value.view());
  GetParameterValue(parameters, "ON", value);
  OPart->SetName(value.view());
}

std::string TDDBAddress::GetAddressText() const {
  std::string text;
  text += "D>" + Database;
  text += "$RP>" + RPart->Path();
  text += "$RN>" + RPart->Name();
  text += "$OP>" + OPart->Path();
  text += "$ON>" + OPart->Name();
  text += "$ID>";
  text += IntToShortStr(Id).view();
  text += "$ATTR>";
  text += IntToShortStr(Attr).view();
  text += "$E>" + EText;
  text += "$STF>";
  text += Stf.view();
  return text;
}

}  // namespace suite
