#pragma once
// The program's module start-up and shut-down table. Start-ups run in table order, shut-downs
// in reverse; the Qt application object (row 1) exists before the first start-up and after the
// last shut-down.

#include <functional>
#include <span>

namespace app {

struct ModuleRow {
  int Order;
  const char* Module;
  void (*Startup)();   // null: nothing to do
  void (*Shutdown)();  // null: nothing to do
};

std::span<const ModuleRow> ModuleTable();

// Observers see each row after its start-up or shut-down ran (tests use them).
using ModuleObserver = std::function<void(const ModuleRow&)>;
void RunStartups(const ModuleObserver& observe = {});
void RunShutdowns(const ModuleObserver& observe = {});

}  // namespace app
