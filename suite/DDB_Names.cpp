#include "suite/DDB_Names.h"

#include "rtl/SysUtils.h"
#include "suite/DDB_Address.h"
#include "suite/Rt_Util.h"

namespace suite {

rtl::ShortString StartStamp;

bool IsDDBAddress(std::string_view Text) {
  return Text.find('>') != std::string_view::npos || Text.find('=') != std::string_view::npos;
}

rtl::ShortString ChangeDDBAddressExtension(const rtl::ShortString& Address,
                                           const rtl::ShortString& Ext) {
  TDDBAddress address(Address.view());
  // A parsed name holds no ">" or "=", so this is the plain file-name change.
  rtl::ShortString name(address.OPart->Name());
  address.OPart->SetName(ChangeExtension(name, Ext).view());
  return rtl::ShortString(address.GetAddressText());
}

rtl::ShortString FormatStartStamp(std::uint16_t year, std::uint16_t month, std::uint16_t day,
                                  std::int32_t seconds) {
  return IntToShortStr(year) + IntToShortStr(month).view() + IntToShortStr(day).view() +
         IntToShortStr(seconds).view();
}

void DDB_Names_Startup() {
  rtl::Randomize();
  std::uint16_t year, month, day, hour, minute, second, millisecond;
  GetDateParts(year, month, day);
  GetTimeParts(hour, minute, second, millisecond);
  StartStamp = FormatStartStamp(year, month, day, SecondsOfDay(hour, minute, second));
}

}  // namespace suite
