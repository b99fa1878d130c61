#include "app/INIUtil.h"

#include "platform/Windows.h"
#ifdef _WIN32
#include "platform/ProfileText.h"
#endif

#include <array>
#include <cstring>

namespace app {
namespace {

char iniFileName[256] = "";

using Buffer = std::array<char, 257>;

Buffer ToBuffer(const rtl::ShortString& text) {
  Buffer buffer{};
  std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
  return buffer;
}

}  // namespace

rtl::ShortString DefaultIniFileName() {
  char directory[256] = "";
  UINT length = GetWindowsDirectoryA(directory, 255);
  if (length == 0 || length >= 255) return {};
  std::string path = std::string(directory, length) + "\\Tessora.INI";
  // A cut path would name another file.
  if (path.size() > rtl::ShortString::MaxLength) return {};
  return rtl::ShortString(path);
}

void SetIniFileName(const rtl::ShortString& path) {
  std::memcpy(iniFileName, path.c_str(), path.size() + 1);
}

const char* IniFileName() { return iniFileName; }

rtl::ShortString ReadIniString(const rtl::ShortString& Section, const rtl::ShortString& Key,
                               const rtl::ShortString& Default) {
  Buffer section = ToBuffer(Section), key = ToBuffer(Key), fallback = ToBuffer(Default);
  Buffer result{};
  GetPrivateProfileStringA(section.data(), key.data(), fallback.data(), result.data(),
                           static_cast<DWORD>(result.size()), iniFileName);
  return rtl::ShortString(result.data());
}

bool WriteIniString(const rtl::ShortString& Section, const rtl::ShortString& Key,
                    const rtl::ShortString& Value) {
  Buffer section = ToBuffer(Section), key = ToBuffer(Key), value = ToBuffer(Value);
#ifdef _WIN32
  // Windows writes a text that changes the file's structure as it comes (a line break in the
  // value adds keys or sections); the stand-in elsewhere refuses it itself.
  if (platform::ChangesStructure(section.data(), key.data(), value.data())) return false;
#endif
  return WritePrivateProfileStringA(section.data(), key.data(), value.data(), iniFileName) != FALSE;
}

void INIUtil_Startup() { SetIniFileName(DefaultIniFileName()); }

}  // namespace app
