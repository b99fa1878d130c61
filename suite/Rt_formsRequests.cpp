// Requests to other modules through the router, on behalf of the current server module.

#include "platform/WindowHandles.h"
#include "rtl/SysUtils.h"
#include "suite/Rt_Route.h"
#include "suite/Rt_Util.h"
#include "suite/Rt_forms.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

namespace suite {

TServerModule* ServerModule = nullptr;

namespace {

constexpr DWORD ProcessRequestKind = 0xFFFF;
constexpr DWORD CodedMessageKind = 0;

// A locked router message, bounded by the block's real size. Blocks too small to hold the
// fixed fields are refused like a failed lock.
class LockedMessage {
 public:
  explicit LockedMessage(DWORD message) : message_(message) {
    size_ = GlobalSize(message);
    if (size_ < RouterMessage::Parameters) return;
    bytes_ = static_cast<unsigned char*>(GlobalLock(message));
  }
  ~LockedMessage() {
    if (bytes_) GlobalUnlock(message_);
  }
  LockedMessage(const LockedMessage&) = delete;
  LockedMessage& operator=(const LockedMessage&) = delete;

  explicit operator bool() const { return bytes_ != nullptr; }
  void Write32(std::size_t offset, DWORD value) {
    std::memcpy(bytes_ + offset, &value, sizeof value);
  }
  DWORD Read32(std::size_t offset) const {
    DWORD value;
    std::memcpy(&value, bytes_ + offset, sizeof value);
    return value;
  }
  void SetText(const rtl::ShortString& text) {
    std::memcpy(bytes_ + RouterMessage::Text, text.c_str(), text.size() + 1);
  }
  // The parameter area runs from its offset to the end of the block.
  std::size_t ParameterArea() const { return size_ - RouterMessage::Parameters; }
  void SetParameters(const char* parameters) {
    std::size_t area = ParameterArea();
    if (area == 0) return;
    std::size_t n = parameters ? strnlen(parameters, area - 1) : 0;
    std::memcpy(bytes_ + RouterMessage::Parameters, parameters ? parameters : "", n);
    bytes_[RouterMessage::Parameters + n] = '\0';
  }
  // Copies the reply's parameters into a caller's buffer of capacity + 1 characters.
  void CopyReply(char* buffer, std::size_t capacity) const {
    const char* reply = reinterpret_cast<const char*>(bytes_ + RouterMessage::Parameters);
    std::size_t n = std::min(strnlen(reply, ParameterArea()), capacity);
    std::memcpy(buffer, reply, n);
    buffer[n] = '\0';
  }

 private:
  DWORD message_;
  std::size_t size_ = 0;
  unsigned char* bytes_ = nullptr;
};

// One message to the router: created, filled, sent, read back and destroyed. False when no
// message could be made, or its block could not be locked to fill it or to read the answer.
bool Exchange(DWORD kind, const std::function<void(LockedMessage&)>& fill,
              const std::function<void(const LockedMessage&)>& read) {
  DWORD message = RouteCreateMessage(kind, ServerModule->Identifier, 0);
  if (message == 0) return false;
  bool filled = false, answered = false;
  {
    LockedMessage block(message);
    if (block) {
      fill(block);
      filled = true;
    }
  }
  if (filled) {
    RouteSendMessage(message);
    LockedMessage block(message);
    if (block) {
      read(block);
      answered = true;
    }
  }
  RouteDestroyMessage(message);
  return answered;
}

void ReportUnreachable(std::string_view process, HWND owner) {
  rtl::ShortString text = rtl::ShortString("Cannot run ") + process + ". " + "\r" +
                          "Either server has not been installed or" + "\r" +
                          "insufficient resources to load server.";
  MessageBoxA(owner, text.c_str(), "Brinmark", MB_OK | MB_ICONERROR);
}

// "SERVER:PROCESS" split at its first colon, the server name upper-cased and trimmed; a name
// without a colon is a process of the host.
struct ProcessAddress {
  rtl::ShortString server;
  std::string process;  // as the caller wrote it
};

ProcessAddress AddressOf(const rtl::ShortString& processName) {
  rtl::ShortString name = processName;
  if (name.view().find(':') == std::string_view::npos)
    name = rtl::ShortString("Client:") + name.view();
  std::size_t colon = name.view().find(':');
  return {StrTrim(rtl::UpperCase(name.view().substr(0, colon))),
          std::string(name.view().substr(colon + 1))};
}

bool DeliverProcessRequest(const rtl::ShortString& ProcessName, char* Parameters, int ReplyCapacity,
                           HWND Owner, bool nestedStart);

// The module of a running server; one that is not running is asked for through the host, except
// by the nested start request itself, which without the host fails at once.
DWORD ServerModuleHandle(const rtl::ShortString& server, bool nestedStart) {
  DWORD destination = RouteGetModuleHandle(server.c_str());
  if (destination != 0 || nestedStart) return destination;
  rtl::ShortString start = rtl::ShortString("Action = start | Server = ") + server.view();
  char parameters[256];
  std::memcpy(parameters, start.c_str(), start.size() + 1);
  if (DeliverProcessRequest("Client:SetupEDAServers", parameters, 255, platform::NoWindow, true))
    destination = RouteGetModuleHandle(server.c_str());
  return destination;
}

bool DeliverProcessRequest(const rtl::ShortString& ProcessName, char* Parameters, int ReplyCapacity,
                           HWND Owner, bool nestedStart) {
  if (!ServerModule) return false;
  ProcessAddress address = AddressOf(ProcessName);
  DWORD destination = ServerModuleHandle(address.server, nestedStart);
  if (destination == 0) {
    if (!nestedStart) ReportUnreachable(address.process, Owner);
    return false;
  }
  auto fill = [&](LockedMessage& block) {
    block.Write32(RouterMessage::Destination, destination);
    block.Write32(RouterMessage::Code, ProcessRequestCode);
    block.SetText(StrTrim(rtl::UpperCase(address.process)));
    block.SetParameters(Parameters);
    block.Write32(RouterMessage::Window, Owner);
  };
  auto read = [&](const LockedMessage& block) {
    if (Parameters && ReplyCapacity > 0)
      block.CopyReply(Parameters, static_cast<std::size_t>(ReplyCapacity));
  };
  return Exchange(ProcessRequestKind, fill, read);
}

}  // namespace

bool RunProcess(const rtl::ShortString& ProcessName, char* Parameters, int ReplyCapacity,
                HWND Owner) {
  return DeliverProcessRequest(ProcessName, Parameters, ReplyCapacity, Owner, false);
}

DWORD SendServerMessage(DWORD Code, DWORD Destination, HWND Owner, const rtl::ShortString& Text,
                        DWORD Value) {
  if (!ServerModule) return 0;
  DWORD answer = 0;
  auto fill = [&](LockedMessage& block) {
    block.Write32(RouterMessage::Code, Code);
    block.Write32(RouterMessage::Destination, Destination);
    block.Write32(RouterMessage::Window, Owner);
    block.Write32(RouterMessage::Value, Value);
    block.SetText(Text);
  };
  Exchange(CodedMessageKind, fill,
           [&](const LockedMessage& block) { answer = block.Read32(RouterMessage::Value); });
  return answer;
}

DWORD ClientModuleHandle() { return RouteGetModuleHandle("Client"); }

}  // namespace suite
