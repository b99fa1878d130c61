#include "suite/Rt_Route.h"

namespace suite {

HMODULE RouterModule = nullptr;
bool RouterDetached = false;

const std::array<const char*, RouterEntryCount> RouterEntryNames = {
    "Router_Initialize",
    "Router_SendMessage",
    "Router_PostMessage",
    "Router_CreateMessage",
    "Router_DestroyMessage",
    "Router_RegisterModule",
    "Router_DeRegisterModule",
    "Router_GetNextMessageFromQueue",
    "Router_GetModuleHandleFromModuleName",
    "Router_SetClientMainWindowHandle",
    "Router_GetClientMainWindowHandle",
};

std::array<FARPROC, RouterEntryCount> RouterEntries{};

void LoadRouterEntries() {
  RouterEntries.fill(nullptr);
  if (!RouterModule) return;
  for (std::size_t i = 0; i < RouterEntryCount; ++i)
    RouterEntries[i] = GetProcAddress(RouterModule, RouterEntryNames[i]);
}

bool RouterAvailable() {
  if (RouterDetached) return false;
  char name[256];
  return GetModuleFileNameA(RouterModule, name, 255) != 0;
}

namespace {

// The entry as a function of the wrapper's type, or null when the wrapper must fall back.
template <class Function>
Function Entry(RouterEntry entry) {
  FARPROC address = RouterEntries[static_cast<std::size_t>(entry)];
  if (!address || !RouterAvailable()) return nullptr;
  // Through the generic function type: Windows declares FARPROC with a result of its own.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

DWORD RouteCreateMessage(DWORD kind, DWORD sender, DWORD third) {
  auto call = Entry<DWORD (*)(DWORD, DWORD, DWORD)>(RouterEntry::CreateMessage);
  return call ? call(kind, sender, third) : 0;
}

DWORD RouteSendMessage(DWORD message) {
  auto call = Entry<DWORD (*)(DWORD)>(RouterEntry::SendMessage);
  return call ? call(message) : RouteSendFallback;
}

DWORD RouteDestroyMessage(DWORD message) {
  auto call = Entry<DWORD (*)(DWORD)>(RouterEntry::DestroyMessage);
  return call ? call(message) : 0;
}

DWORD RouteGetModuleHandle(const char* moduleName) {
  auto call = Entry<DWORD (*)(const char*)>(RouterEntry::GetModuleHandleFromModuleName);
  return call ? call(moduleName) : 0;
}

HWND RouteGetClientMainWindow() {
  auto call = Entry<HWND (*)()>(RouterEntry::GetClientMainWindowHandle);
  return call ? call() : 0;
}

void Rt_Route_Startup() { LoadRouterEntries(); }

}  // namespace suite
