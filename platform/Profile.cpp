// Profile (INI) files as Windows reads and writes them, on a POSIX file system.

#include "platform/Profile.h"
#include "platform/Windows.h"
#include "rtl/SysUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

std::string NativePath(const char* path) {
  std::string result = path ? path : "";
  std::replace(result.begin(), result.end(), '\\', '/');
  return result;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  a = Trim(a);
  b = Trim(b);
  return rtl::SameText(a, b);
}

// One line of the file: its text and the line ending that followed it ("", "\n" or "\r\n").
struct Line {
  std::string text;
  std::string ending;
};

std::optional<std::string> ReadWholeFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return std::nullopt;
  std::string data;
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.append(chunk, n);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return std::nullopt;
  return data;
}

std::vector<Line> SplitLines(const std::string& data) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t nl = data.find('\n', start);
    if (nl == std::string::npos) {
      lines.push_back({data.substr(start), ""});
      break;
    }
    std::size_t end = nl;
    std::string ending = "\n";
    if (end > start && data[end - 1] == '\r') {
      --end;
      ending = "\r\n";
    }
    lines.push_back({data.substr(start, end - start), ending});
    start = nl + 1;
  }
  return lines;
}

// The section name of a "[name]" line, or nothing for other lines.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return line.substr(1, close - 1);
}

bool IsComment(std::string_view line) {
  line = Trim(line);
  return !line.empty() && line.front() == ';';
}

// Splits "key=value" into its trimmed parts; nothing for lines without "=".
std::optional<std::pair<std::string_view, std::string_view>> PairOf(std::string_view line) {
  if (IsComment(line)) return std::nullopt;
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return std::make_pair(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// Index of the first "[section]" line, or lines.size().
std::size_t FindSection(const std::vector<Line>& lines, std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionOf(lines[i].text);
    if (name && SameName(*name, section)) return i;
  }
  return lines.size();
}

// One past the last line of the section that starts at index `header`.
std::size_t SectionEnd(const std::vector<Line>& lines, std::size_t header) {
  std::size_t i = header + 1;
  while (i < lines.size() && !SectionOf(lines[i].text)) ++i;
  return i;
}

std::optional<std::size_t> FindKey(const std::vector<Line>& lines, std::size_t header,
                                   std::string_view key) {
  std::size_t end = SectionEnd(lines, header);
  for (std::size_t i = header + 1; i < end; ++i) {
    auto pair = PairOf(lines[i].text);
    if (pair && SameName(pair->first, key)) return i;
  }
  return std::nullopt;
}

DWORD CopyOut(std::string_view text, LPSTR buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  std::size_t n = std::min<std::size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

bool HasLineBreak(const char* s) { return s && std::strpbrk(s, "\r\n") != nullptr; }

std::string NewFileLineEnding() {
#ifdef _WIN32
  return "\r\n";
#else
  return "\n";
#endif
}

// A file the system marks read-only refuses writes, as on Windows, also for a superuser.
bool WritableOrAbsent(const std::string& path, mode_t* mode) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISREG(st.st_mode)) return false;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  if (::access(path.c_str(), W_OK) != 0) return false;
  *mode = st.st_mode & 07777;
  return true;
}

// Replaces the file whole: a temporary file in the same folder, then a rename.
bool ReplaceFile(const std::string& path, const std::string& data, mode_t mode) {
  std::string folder = ".";
  std::size_t slash = path.rfind('/');
  if (slash != std::string::npos) folder = slash == 0 ? "/" : path.substr(0, slash);
  std::string pattern = path + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, mode) == 0;
  std::size_t done = 0;
  while (ok && done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<std::size_t>(n);
  }
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = ::rename(name.data(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(name.data());
    return false;
  }
  int dirfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dirfd >= 0) {
    ::fsync(dirfd);
    ::close(dirfd);
  }
  return true;
}

std::string Join(const std::vector<Line>& lines) {
  std::string out;
  for (const Line& l : lines) out += l.text + l.ending;
  return out;
}

}  // namespace
}  // namespace platform

using namespace platform;

UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  std::string dir;
  const char* windir = std::getenv("WINDIR");
  if (windir && *windir) {
    dir = windir;
  } else {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config) {
      dir = config;
    } else {
      const char* home = std::getenv("HOME");
      dir = std::string(home ? home : "") + "/.config";
    }
    // The Windows directory always exists; the fallback folder may not yet.
    ::mkdir(dir.c_str(), 0700);
  }
  if (dir.size() + 1 > uSize || !lpBuffer) return static_cast<UINT>(dir.size() + 1);
  std::memcpy(lpBuffer, dir.c_str(), dir.size() + 1);
  return static_cast<UINT>(dir.size());
}

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
  std::string_view fallback = lpDefault ? std::string_view(lpDefault) : std::string_view();
  while (!fallback.empty() && IsBlank(fallback.back())) fallback.remove_suffix(1);
  if (!lpAppName || !lpKeyName || !lpFileName || !*lpFileName)
    return CopyOut(fallback, lpReturnedString, nSize);
  auto data = ReadWholeFile(NativePath(lpFileName));
  if (!data) return CopyOut(fallback, lpReturnedString, nSize);
  std::vector<Line> lines = SplitLines(*data);
  std::size_t header = FindSection(lines, lpAppName);
  if (header == lines.size()) return CopyOut(fallback, lpReturnedString, nSize);
  auto index = FindKey(lines, header, lpKeyName);
  if (!index) return CopyOut(fallback, lpReturnedString, nSize);
  return CopyOut(Unquote(PairOf(lines[*index].text)->second), lpReturnedString, nSize);
}

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                LPCSTR lpFileName) {
  if (!lpAppName || !lpFileName || !*lpFileName) return FALSE;
  // A line break or a separator inside a name or value would change the file's structure.
  if (HasLineBreak(lpAppName) || HasLineBreak(lpKeyName) || HasLineBreak(lpString)) return FALSE;
  if (std::strchr(lpAppName, ']') || (lpKeyName && std::strchr(lpKeyName, '='))) return FALSE;

  std::string path = NativePath(lpFileName);
  // A settings file that is a link stays one: the file it points to is replaced.
  if (char* target = ::realpath(path.c_str(), nullptr)) {
    path = target;
    std::free(target);
  }
  mode_t mode = 0644;
  if (!WritableOrAbsent(path, &mode)) return FALSE;
  std::string data;
  if (auto existing = ReadWholeFile(path))
    data = std::move(*existing);
  else if (errno != ENOENT)
    return FALSE;

  std::vector<Line> lines = SplitLines(data);
  std::string eol = NewFileLineEnding();
  for (const Line& l : lines)
    if (!l.ending.empty()) {
      eol = l.ending;
      break;
    }
  auto terminateLast = [&] {
    if (!lines.empty() && lines.back().ending.empty()) lines.back().ending = eol;
  };

  std::size_t header = FindSection(lines, lpAppName);
  if (!lpKeyName) {  // delete the section
    if (header == lines.size()) return TRUE;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(header),
                lines.begin() + static_cast<std::ptrdiff_t>(SectionEnd(lines, header)));
  } else if (header == lines.size()) {
    if (!lpString) return TRUE;  // nothing to delete
    terminateLast();
    lines.push_back({std::string("[") + lpAppName + "]", eol});
    lines.push_back({std::string(lpKeyName) + "=" + lpString, eol});
  } else {
    auto index = FindKey(lines, header, lpKeyName);
    if (!lpString) {
      if (!index) return TRUE;
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*index));
    } else if (index) {
      lines[*index].text = std::string(lpKeyName) + "=" + lpString;
    } else {
      // After the section's last non-blank line, before blank lines that separate sections.
      std::size_t at = SectionEnd(lines, header);
      while (at > header + 1 && Trim(lines[at - 1].text).empty()) --at;
      if (at == lines.size()) terminateLast();
      if (lines[at - 1].ending.empty()) lines[at - 1].ending = eol;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                   {std::string(lpKeyName) + "=" + lpString, eol});
    }
  }
  return ReplaceFile(path, Join(lines), mode) ? TRUE : FALSE;
}
