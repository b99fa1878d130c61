#pragma once
// Test-only modules loaded and read by name, the same way on Linux and on Windows.

#include <string>

#ifdef _WIN32
#include <windows.h>
#define TEST_EXPORT extern "C" __declspec(dllexport)
#else
#include <dlfcn.h>
#define TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace testing_support {

// The module's handle, null when it cannot be loaded (LoadError says why).
inline void* LoadModule(const char* path) {
#ifdef _WIN32
  return ::LoadLibraryA(path);
#else
  return ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
}

inline void UnloadModule(void* module) {
#ifdef _WIN32
  ::FreeLibrary(static_cast<HMODULE>(module));
#else
  ::dlclose(module);
#endif
}

// An exported function or variable of a loaded module, null when it has none of that name.
template <class T>
T* ModuleSymbol(void* module, const char* name) {
#ifdef _WIN32
  return reinterpret_cast<T*>(
      reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name)));
#else
  return reinterpret_cast<T*>(::dlsym(module, name));
#endif
}

inline std::string LoadError() {
#ifdef _WIN32
  return "error " + std::to_string(::GetLastError());
#else
  const char* error = ::dlerror();
  return error ? error : "";
#endif
}

}  // namespace testing_support
