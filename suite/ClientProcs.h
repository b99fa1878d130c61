#pragma once
// Binding to the host's client API: its entry points resolved by name when the host executable
// is loaded in this process. Nothing here calls them; a null entry is a function the host does
// not offer.

#include "platform/Windows.h"

#include <array>
#include <cstddef>

namespace suite {

constexpr const char* HostExecutable = "WORKHOST.EXE";
constexpr std::size_t ClientApiCount = 35;
extern const std::array<const char*, ClientApiCount> ClientApiNames;

// The host executable's module handle, 0 when it is not loaded in this process.
extern HMODULE HostModule;
// The resolved entry points, in the order of ClientApiNames.
extern std::array<FARPROC, ClientApiCount> ClientApi;

// Fills HostModule and the table; never loads a module.
void LoadClientApi();

// The start-up of each of the two units that bind the table.
void ClientProcs_Startup();

}  // namespace suite
