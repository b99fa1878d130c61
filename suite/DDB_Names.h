#pragma once
// Design-database names: telling an address from a plain file name, changing the extension of
// the object name inside an address, and the process's start stamp.

#include "rtl/ShortString.h"

#include <cstdint>
#include <string_view>

namespace suite {

// True when Text contains ">" or "=".
bool IsDDBAddress(std::string_view Text);

// Address with the extension of its "ON" name changed as ChangeExtension changes a file name's
// (Ext without its dot). The address is parsed and formatted again, so the result is normalised:
// all nine pairs in order, "D" upper-cased, blanks around values gone, apostrophes in paths and
// names turned into backquotes. Cut to 255 characters, which may cut off the last pairs. Raises
// rtl::EConvertError when "ID" or "ATTR" is no integer.
rtl::ShortString ChangeDDBAddressExtension(const rtl::ShortString& Address,
                                           const rtl::ShortString& Ext);

// Decimal year, month, day and seconds since local midnight, joined without separators or padding.
rtl::ShortString FormatStartStamp(std::uint16_t year, std::uint16_t month, std::uint16_t day,
                                  std::int32_t seconds);

// Set once by the unit's start-up from the local clock; nothing else reads or changes it.
extern rtl::ShortString StartStamp;

// Seeds the runtime's pseudo-random number generator from the clock and makes StartStamp.
void DDB_Names_Startup();

}  // namespace suite
