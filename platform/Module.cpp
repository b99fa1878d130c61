// Module handles are dynamic-loader handles; handle 0 is the running program.

#include "platform/AsciiText.h"
#include "platform/Profile.h"
#include "platform/Windows.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <string>
#include <unistd.h>

namespace {

DWORD CopyName(const std::string& name, LPSTR buffer, DWORD size) {
  if (!buffer || size == 0 || name.empty()) return 0;
  std::size_t n = std::min<std::size_t>(name.size(), size - 1);
  std::memcpy(buffer, name.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

std::string ProgramFileName() {
  char path[4096];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  return std::string(path, static_cast<std::size_t>(n));
}

// The loader's entry for a handle, found by walking the list of loaded objects so that
// a handle of an unloaded module is recognised without being dereferenced. For nullptr, the
// first entry of the list.
const link_map* LoadedEntry(HMODULE module) {
  void* self = ::dlopen(nullptr, RTLD_NOW);
  link_map* map = nullptr;
  if (!self || ::dlinfo(self, RTLD_DI_LINKMAP, &map) != 0) return nullptr;
  while (map && map->l_prev) map = map->l_prev;
  if (!module) return map;
  for (; map; map = map->l_next)
    if (static_cast<void*>(map) == module) return map;
  return nullptr;
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether a name given to GetModuleHandleA names the running program: its file's name in any
// letter case, or a path to its file. The loader's entry for the program has an empty name.
bool NamesProgram(const char* name) {
  std::string program = ProgramFileName();
  if (program.empty()) return false;
  if (!std::strpbrk(name, "/\\")) return platform::SameText(BaseName(program), name);
  char* resolved = ::realpath(platform::NativePath(name).c_str(), nullptr);
  bool same = resolved && program == resolved;
  std::free(resolved);
  return same;
}

}  // namespace

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
  if (!lpModuleName || !*lpModuleName) return nullptr;
  if (NamesProgram(lpModuleName)) return const_cast<link_map*>(LoadedEntry(nullptr));
  // RTLD_NOLOAD finds a module only when it is already loaded; the extra reference is dropped
  // again at once, the module stays loaded by whoever loaded it.
  void* handle = ::dlopen(lpModuleName, RTLD_NOW | RTLD_NOLOAD);
  if (handle) {
    ::dlclose(handle);
    return handle;
  }
  // As on Windows, a bare module name matches a loaded module's file name in any letter case.
  if (std::strpbrk(lpModuleName, "/\\")) return nullptr;
  for (const link_map* map = LoadedEntry(nullptr); map; map = map->l_next) {
    const char* path = map->l_name ? map->l_name : "";
    const char* base = std::strrchr(path, '/');
    base = base ? base + 1 : path;
    if (*base && platform::SameText(base, lpModuleName)) return const_cast<link_map*>(map);
  }
  return nullptr;
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  if (!hModule) return CopyName(ProgramFileName(), lpFilename, nSize);
  const link_map* entry = LoadedEntry(hModule);
  if (entry && !entry->l_prev) return CopyName(ProgramFileName(), lpFilename, nSize);
  if (!entry || !entry->l_name || !*entry->l_name) return 0;
  return CopyName(entry->l_name, lpFilename, nSize);
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (!lpProcName) return nullptr;
  void* module = hModule;
  if (!module)
    module = ::dlopen(nullptr, RTLD_NOW);
  else if (!LoadedEntry(hModule))
    return nullptr;
  void* address = ::dlsym(module, lpProcName);
  return reinterpret_cast<FARPROC>(address);
}
