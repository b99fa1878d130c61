// A test-only message router: exports the router's entry points by name and records every
// call, so that tests see what the binding called and with which arguments. Built twice: in
// full, and with TEST_ROUTER_PARTIAL exporting only some of the names.

#include <cstdint>
#include <string>

using DWORD = std::uint32_t;

namespace {
std::string calls;
DWORD clientMainWindow = 0;

void Record(const std::string& call) { calls += call + ";"; }
}  // namespace

#define EXPORT extern "C" __attribute__((visibility("default")))

// Control of the test router.
EXPORT const char* TestRouter_Calls() { return calls.c_str(); }
EXPORT void TestRouter_Clear();
EXPORT void TestRouter_SetClientMainWindow(DWORD window) { clientMainWindow = window; }

EXPORT DWORD Router_SendMessage(DWORD message) {
  Record("SendMessage(" + std::to_string(message) + ")");
  return 0;
}

EXPORT DWORD Router_GetModuleHandleFromModuleName(const char* name) {
  Record(std::string("GetModuleHandleFromModuleName(") + (name ? name : "") + ")");
  return std::string(name ? name : "") == "Client" ? 42 : 0;
}

#ifndef TEST_ROUTER_PARTIAL
EXPORT DWORD Router_Initialize() {
  Record("Initialize()");
  return 1;
}
EXPORT DWORD Router_PostMessage(DWORD message) {
  Record("PostMessage(" + std::to_string(message) + ")");
  return 0;
}
namespace {
DWORD nextMessage = 100;
}
EXPORT DWORD Router_CreateMessage(DWORD kind, DWORD sender, DWORD third) {
  Record("CreateMessage(" + std::to_string(kind) + "," + std::to_string(sender) + "," +
         std::to_string(third) + ")");
  return nextMessage++;
}
EXPORT DWORD Router_DestroyMessage(DWORD message) {
  Record("DestroyMessage(" + std::to_string(message) + ")");
  return 1;
}
EXPORT DWORD Router_RegisterModule(const char*) { return 1; }
EXPORT DWORD Router_DeRegisterModule(const char*) { return 1; }
EXPORT DWORD Router_GetNextMessageFromQueue() { return 0; }
EXPORT DWORD Router_SetClientMainWindowHandle(DWORD window) {
  clientMainWindow = window;
  return 1;
}
EXPORT DWORD Router_GetClientMainWindowHandle() {
  Record("GetClientMainWindowHandle()");
  return clientMainWindow;
}
#endif

EXPORT void TestRouter_Clear() {
  calls.clear();
#ifndef TEST_ROUTER_PARTIAL
  nextMessage = 100;
#endif
}
