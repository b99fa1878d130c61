// A test-only message router with a scripted host. It exports the router's entry points by
// name, registers modules by name, creates message blocks in global memory and delivers them
// synchronously. The host module "Client" answers the way a test scripts it. Every call is
// recorded, so that tests see what the binding sent. Built twice: in full, and with
// TEST_ROUTER_PARTIAL exporting only some of the router's names.
//
// Global memory comes from the platform library that the loading program shares.

#include "platform/Windows.h"
#include "tests/support/Library.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <strings.h>

#define EXPORT TEST_EXPORT

namespace {

struct Caseless {
  bool operator()(const std::string& a, const std::string& b) const {
    return ::strcasecmp(a.c_str(), b.c_str()) < 0;
  }
};

struct State {
  std::string calls;
  HWND clientMainWindow{};
  std::map<std::string, DWORD, Caseless> modules;
  std::set<std::string, Caseless> startable;
  DWORD nextModule = 1;
  std::size_t parameterArea = 1024;
  DWORD fontHandle = 0;
  std::string reply;
  bool hostOnline = true;
  // On Windows a global-memory handle is a pointer, wider than the router's 32-bit message
  // numbers: the numbers given out for the blocks.
  std::map<DWORD, HGLOBAL> blocks;
  DWORD nextMessage = 1;
};

State& S() {
  static State state;
  return state;
}

#ifdef _WIN32
[[maybe_unused]] DWORD MessageOf(HGLOBAL block) {
  if (!block) return 0;
  S().blocks[S().nextMessage] = block;
  return S().nextMessage++;
}

HGLOBAL BlockOf(DWORD message) {
  auto found = S().blocks.find(message);
  return found == S().blocks.end() ? nullptr : found->second;
}
#else
[[maybe_unused]] DWORD MessageOf(HGLOBAL block) { return block; }
HGLOBAL BlockOf(DWORD message) { return message; }
#endif

void Record(const std::string& call) { S().calls += call + ";"; }

DWORD Register(const std::string& name) {
  auto found = S().modules.find(name);
  if (found != S().modules.end()) return found->second;
  DWORD handle = S().nextModule++;
  S().modules[name] = handle;
  return handle;
}

void Reset() {
  State& s = S();
  s = State();
  Register("Client");
}

DWORD Read32(const unsigned char* block, std::size_t offset) {
  DWORD v;
  std::memcpy(&v, block + offset, 4);
  return v;
}

std::string ReadText(const unsigned char* block, std::size_t offset, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(block + offset);
  return std::string(text, strnlen(text, size));
}

// The value of "Name = value" in a parameter string, blanks around it dropped.
std::string Parameter(const std::string& params, const std::string& name) {
  std::size_t at = params.find(name);
  if (at == std::string::npos) return {};
  std::size_t eq = params.find('=', at);
  std::size_t end = params.find('|', eq);
  std::string value =
      params.substr(eq + 1, end == std::string::npos ? std::string::npos : end - eq - 1);
  std::size_t first = value.find_first_not_of(' ');
  std::size_t last = value.find_last_not_of(' ');
  return first == std::string::npos ? "" : value.substr(first, last - first + 1);
}

// The host's answers.
void DeliverToClient(unsigned char* block, std::size_t size, DWORD code, const std::string& text,
                     const std::string& params) {
  if (code == 1450) {
    std::memcpy(block + 128, &S().fontHandle, 4);
  } else if (code == 2040 && text == "SETUPEDASERVERS") {
    std::string server = Parameter(params, "Server");
    if (S().startable.count(server)) Register(server);
  }
  if (!S().reply.empty() && size > 469) {
    std::size_t n = std::min(S().reply.size(), size - 469 - 1);
    std::memcpy(block + 469, S().reply.data(), n);
    block[469 + n] = '\0';
  }
}

}  // namespace

// Control of the test router.
EXPORT const char* TestRouter_Calls() { return S().calls.c_str(); }
EXPORT void TestRouter_Clear() { Reset(); }
EXPORT void TestRouter_SetClientMainWindow(HWND window) { S().clientMainWindow = window; }
// The host starts this server when asked to.
EXPORT void TestRouter_AllowStart(const char* server) { S().startable.insert(server); }
EXPORT void TestRouter_RemoveModule(const char* name) { S().modules.erase(name); }
EXPORT void TestRouter_SetFontHandle(DWORD font) { S().fontHandle = font; }
// The parameter string every delivery writes back into the block.
EXPORT void TestRouter_SetReply(const char* reply) { S().reply = reply ? reply : ""; }
// Size of the parameter area of message blocks created from now on.
EXPORT void TestRouter_SetParameterArea(std::size_t bytes) { S().parameterArea = bytes; }

EXPORT DWORD Router_SendMessage(DWORD message) {
  unsigned char* block = static_cast<unsigned char*>(GlobalLock(BlockOf(message)));
  if (!block) {
    Record("SendMessage(" + std::to_string(message) + ")");
    return 0;
  }
  std::size_t size = GlobalSize(BlockOf(message));
  DWORD code = Read32(block, 4), window = Read32(block, 54), dest = Read32(block, 58),
        value = Read32(block, 128);
  std::string text = ReadText(block, 212, 257);
  std::string params = size > 469 ? ReadText(block, 469, size - 469) : "";
  Record("Deliver(code=" + std::to_string(code) + ",dest=" + std::to_string(dest) +
         ",window=" + std::to_string(window) + ",value=" + std::to_string(value) + ",text=" + text +
         ",params=" + params + ")");
  auto client = S().modules.find("Client");
  if (client != S().modules.end() && dest == client->second)
    DeliverToClient(block, size, code, text, params);
  else if (!S().reply.empty() && size > 469)
    DeliverToClient(block, size, 0, text, params);
  GlobalUnlock(BlockOf(message));
  return 0;
}

EXPORT DWORD Router_GetModuleHandleFromModuleName(const char* name) {
  std::string n = name ? name : "";
  Record("GetModuleHandleFromModuleName(" + n + ")");
  auto found = S().modules.find(n);
  return found == S().modules.end() ? 0 : found->second;
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
EXPORT DWORD Router_CreateMessage(DWORD kind, DWORD sender, DWORD third) {
  Record("CreateMessage(" + std::to_string(kind) + "," + std::to_string(sender) + "," +
         std::to_string(third) + ")");
  return MessageOf(GlobalAlloc(GHND, 469 + S().parameterArea));
}
EXPORT DWORD Router_DestroyMessage(DWORD message) {
  Record("DestroyMessage()");
  HGLOBAL block = BlockOf(message);
  S().blocks.erase(message);
  return GlobalFree(block) == HGLOBAL{} ? 1 : 0;
}
EXPORT DWORD Router_RegisterModule(const char* name) { return Register(name ? name : ""); }
EXPORT DWORD Router_DeRegisterModule(const char* name) {
  return S().modules.erase(name ? name : "") ? 1 : 0;
}
EXPORT DWORD Router_GetNextMessageFromQueue() { return 0; }
EXPORT DWORD Router_SetClientMainWindowHandle(HWND window) {
  S().clientMainWindow = window;
  return 1;
}
EXPORT HWND Router_GetClientMainWindowHandle() {
  Record("GetClientMainWindowHandle()");
  return S().clientMainWindow;
}
#endif
