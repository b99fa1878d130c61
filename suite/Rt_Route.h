#pragma once
// Binding to the suite's message router: its entry points resolved by name once at start-up,
// and one guarded wrapper for each entry point the system calls.

#include "platform/Windows.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace suite {

// The router's module handle; nothing in this system assigns it.
extern HMODULE RouterModule;
// While true, every wrapper gives its fallback without calling.
extern bool RouterDetached;

// The entry table, in the order in which it is resolved.
enum class RouterEntry : std::size_t {
  Initialize,
  SendMessage,
  PostMessage,
  CreateMessage,
  DestroyMessage,
  RegisterModule,
  DeRegisterModule,
  GetNextMessageFromQueue,
  GetModuleHandleFromModuleName,
  SetClientMainWindowHandle,
  GetClientMainWindowHandle,
};
constexpr std::size_t RouterEntryCount = 11;
extern const std::array<const char*, RouterEntryCount> RouterEntryNames;
// The resolved addresses, null where not resolved.
extern std::array<FARPROC, RouterEntryCount> RouterEntries;

// Fills the entry table from RouterModule; all null while it is 0.
void LoadRouterEntries();
// False when detached; otherwise whether the router module's file name can still be had.
bool RouterAvailable();

DWORD RouteCreateMessage(DWORD kind, DWORD sender, DWORD third);  // fallback 0
DWORD RouteSendMessage(DWORD message);                            // fallback 6
DWORD RouteDestroyMessage(DWORD message);                         // fallback 0
DWORD RouteGetModuleHandle(const char* moduleName);               // fallback 0
HWND RouteGetClientMainWindow();                                  // fallback 0

// Byte offsets of the router-message fields this system reads or writes.
namespace RouterMessage {
constexpr std::size_t Code = 4;
constexpr std::size_t Window = 54;
constexpr std::size_t Destination = 58;
constexpr std::size_t Value = 128;
constexpr std::size_t Text = 212;
constexpr std::size_t TextSize = 257;
constexpr std::size_t Parameters = 469;
}  // namespace RouterMessage

// Message codes.
constexpr DWORD ProcessRequestCode = 2040;
constexpr DWORD RouteSendFallback = 6;

// The unit's start-up: resolve the entry points.
void Rt_Route_Startup();

}  // namespace suite
