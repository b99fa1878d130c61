// Profile (INI) files as Windows reads and writes them, on a POSIX file system.

#include "platform/AsciiText.h"
#include "platform/Profile.h"
#include "platform/ProfileText.h"
#include "platform/Windows.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The name of the folder's entry that is the name in another case of the letters a to z (the
// first such entry in byte order), or nothing.
std::optional<std::string> EntryInAnyCase(const std::string& folder, std::string_view name) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return std::nullopt;
  std::optional<std::string> found;
  while (const dirent* entry = ::readdir(dir))
    if (SameText(entry->d_name, name) && (!found || entry->d_name < *found)) found = entry->d_name;
  ::closedir(dir);
  return found;
}

// The path with each name that is missing as written replaced by the entry that differs from it
// only in letter case; from the first name missing in every case on, the path stays as written.
std::string FoldCase(const std::string& path) {
  if (path.empty() || Exists(path)) return path;
  std::string resolved = path.front() == '/' ? "/" : "";
  std::size_t start = resolved.size();
  while (start < path.size()) {
    std::size_t slash = path.find('/', start);
    std::size_t end = slash == std::string::npos ? path.size() : slash;
    std::string_view name = std::string_view(path).substr(start, end - start);
    std::string next = resolved + std::string(name);
    if (!name.empty() && !Exists(next)) {
      std::optional<std::string> other = EntryInAnyCase(resolved, name);
      if (!other) return resolved + path.substr(start);
      next = resolved + *other;
    }
    resolved = next;
    if (slash == std::string::npos) break;
    resolved += '/';
    start = slash + 1;
  }
  return resolved;
}

}  // namespace

std::string NativePath(const char* path) {
  std::string result = path ? path : "";
  std::replace(result.begin(), result.end(), '\\', '/');
  return FoldCase(result);
}

namespace {

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

DWORD CopyOut(std::string_view text, LPSTR buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  std::size_t n = std::min<std::size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
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

// The mode open() gives a new file: 0666 less the process's umask.
mode_t NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Replaces the file whole from a temporary file made in its folder: written, then renamed.
bool ReplaceFrom(int fd, const char* temporary, const std::string& path, const std::string& data,
                 mode_t mode) {
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = ::rename(temporary, path.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary);
    return false;
  }
  std::size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  int dirfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dirfd >= 0) {
    ::fsync(dirfd);
    ::close(dirfd);
  }
  return true;
}

bool RewriteInPlace(const std::string& path, const std::string& data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data) && ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 &&
            ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  return ok;
}

// Stores the file's new text, replacing the file whole so that no crash leaves it half-written.
// A folder that takes no temporary file still lets a file that is there be rewritten in place.
bool StoreFile(const std::string& path, const std::string& data, mode_t mode, bool exists) {
  std::string pattern = path + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd >= 0) return ReplaceFrom(fd, name.data(), path, data, mode);
  return exists && RewriteInPlace(path, data);
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
  while (!fallback.empty() && (fallback.back() == ' ' || fallback.back() == '\t'))
    fallback.remove_suffix(1);
  if (!lpAppName || !lpKeyName || !lpFileName || !*lpFileName)
    return CopyOut(fallback, lpReturnedString, nSize);
  auto data = ReadWholeFile(NativePath(lpFileName));
  auto value = data ? ProfileValue(*data, lpAppName, lpKeyName) : std::nullopt;
  return CopyOut(value ? std::string_view(*value) : fallback, lpReturnedString, nSize);
}

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                LPCSTR lpFileName) {
  if (!lpAppName || !lpFileName || !*lpFileName) return FALSE;
  std::string path = NativePath(lpFileName);
  // A settings file that is a link stays one: the file it points to is replaced.
  if (char* target = ::realpath(path.c_str(), nullptr)) {
    path = target;
    std::free(target);
  }
  mode_t mode = NewFileMode();
  if (!WritableOrAbsent(path, &mode)) return FALSE;
  std::string data;
  bool exists = false;
  if (auto existing = ReadWholeFile(path)) {
    data = std::move(*existing);
    exists = true;
  } else if (errno != ENOENT) {
    return FALSE;
  }
  std::optional<std::string> edited = EditProfile(data, lpAppName, lpKeyName, lpString);
  if (!edited) return FALSE;
  if (*edited == data) return TRUE;  // nothing to change, nor a file to create
  return StoreFile(path, *edited, mode, exists) ? TRUE : FALSE;
}
