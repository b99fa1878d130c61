// Module handles name one load of a module: numbers from a table, never reused, each bound to
// the file the loader mapped and the address it mapped it at. A handle whose load is gone is
// refused, also when the loader has since given the same place to another module. Handle 0 is
// the running program.

#include "platform/AsciiText.h"
#include "platform/HandleTable.h"
#include "platform/Profile.h"
#include "platform/Windows.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <link.h>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>

namespace {

// One load as the loader lists it: the file's name (empty for the program) and the address the
// file is mapped at.
struct Load {
  std::string name;
  ElfW(Addr) base = 0;
  bool operator==(const Load&) const = default;
};

// The first loaded module, in the loader's order (the program first), that the test accepts.
std::optional<Load> FindLoad(const std::function<bool(const Load&, bool program)>& test) {
  struct Search {
    const std::function<bool(const Load&, bool)>& test;
    bool first = true;
    std::optional<Load> found;
  } search{test, true, std::nullopt};
  ::dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        auto& s = *static_cast<Search*>(data);
        Load load{info->dlpi_name ? info->dlpi_name : "", info->dlpi_addr};
        bool program = std::exchange(s.first, false);
        if (!s.test(load, program)) return 0;
        s.found = std::move(load);
        return 1;
      },
      &search);
  return search.found;
}

std::optional<Load> ProgramLoad() {
  return FindLoad([](const Load&, bool program) { return program; });
}

// The handles given out, one for each load. A load looked up again gets its handle again.
class LoadTable {
 public:
  HMODULE HandleOf(const Load& load) {
    auto [it, added] = handles_.try_emplace({load.name, load.base}, 0);
    if (added) it->second = loads_.Add(load);
    return reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(it->second));
  }
  // What a handle was given for, or nothing for a value that never was a handle.
  const Load* Find(HMODULE module) {
    auto value = reinterpret_cast<std::uintptr_t>(module);
    if (value > UINT32_MAX) return nullptr;
    return loads_.Find(static_cast<std::uint32_t>(value));
  }

 private:
  platform::HandleTable<Load> loads_;
  std::map<std::pair<std::string, ElfW(Addr)>, std::uint32_t> handles_;
};

LoadTable& Loads() {
  static LoadTable table;
  return table;
}

// The load a handle names while it is still loaded where it was.
std::optional<Load> LiveLoad(HMODULE module) {
  const Load* wanted = Loads().Find(module);
  if (!wanted) return std::nullopt;
  return FindLoad([&](const Load& load, bool program) {
    return wanted->name.empty() ? program : load == *wanted;
  });
}

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

std::string BaseName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsPath(const char* name) { return std::strpbrk(name, "/\\") != nullptr; }

// Whether a name given to GetModuleHandleA names the running program: its file's name in any
// letter case, or a path to its file.
bool NamesProgram(const char* name) {
  std::string program = ProgramFileName();
  if (program.empty()) return false;
  if (!IsPath(name)) return platform::SameText(BaseName(program), name);
  char* resolved = ::realpath(platform::NativePath(name).c_str(), nullptr);
  bool same = resolved && program == resolved;
  std::free(resolved);
  return same;
}

// The loader finds a module by the name it was loaded under, its file or its own name;
// RTLD_NOLOAD never loads one, and the reference it adds is dropped again at once.
std::optional<Load> LoaderFinds(const std::string& name) {
  void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return std::nullopt;
  link_map* map = nullptr;
  std::optional<Load> load;
  if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map)
    load = Load{map->l_name ? map->l_name : "", map->l_addr};
  ::dlclose(handle);
  return load;
}

std::optional<Load> LoadNamed(const char* name) {
  if (NamesProgram(name)) return ProgramLoad();
  if (IsPath(name)) return LoaderFinds(platform::NativePath(name));
  if (auto load = LoaderFinds(name)) return load;
  // As on Windows, a bare module name matches a loaded module's file name in any letter case.
  return FindLoad([&](const Load& load, bool) {
    std::string base = BaseName(load.name);
    return !base.empty() && platform::SameText(base, name);
  });
}

// The loader's handle of a live load, to look its entry points up with; closed again after.
void* OpenLoaded(const Load& load) {
  if (load.name.empty()) return ::dlopen(nullptr, RTLD_NOW);
  return ::dlopen(load.name.c_str(), RTLD_NOW | RTLD_NOLOAD);
}

}  // namespace

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
  if (!lpModuleName || !*lpModuleName) return nullptr;
  std::optional<Load> load = LoadNamed(lpModuleName);
  return load ? Loads().HandleOf(*load) : nullptr;
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  std::optional<Load> load = hModule ? LiveLoad(hModule) : ProgramLoad();
  if (!load) return 0;
  return CopyName(load->name.empty() ? ProgramFileName() : load->name, lpFilename, nSize);
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (!lpProcName) return nullptr;
  std::optional<Load> load = hModule ? LiveLoad(hModule) : ProgramLoad();
  void* handle = load ? OpenLoaded(*load) : nullptr;
  if (!handle) return nullptr;
  void* address = ::dlsym(handle, lpProcName);
  ::dlclose(handle);
  return reinterpret_cast<FARPROC>(address);
}
