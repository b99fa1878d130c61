#pragma once
// Access to the PLD add-on's settings file "Tessora.INI" in the Windows directory.

#include "rtl/ShortString.h"

namespace app {

// The Windows directory, a backslash, then "Tessora.INI"; empty when that path does not fit
// into 255 characters, so that reads give their default and writes are refused.
rtl::ShortString DefaultIniFileName();
void SetIniFileName(const rtl::ShortString& path);
// The path every read and write uses.
const char* IniFileName();

// The key's value cut to 255 characters, or Default when the file, section or key is missing.
rtl::ShortString ReadIniString(const rtl::ShortString& Section, const rtl::ShortString& Key,
                               const rtl::ShortString& Default);
// Sets the key, creating file, section and key as needed; false when the write was refused.
bool WriteIniString(const rtl::ShortString& Section, const rtl::ShortString& Key,
                    const rtl::ShortString& Value);

// The unit's start-up: fixes the settings-file path.
void INIUtil_Startup();

}  // namespace app
