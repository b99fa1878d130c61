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
// Runs the start-ups in table order. When one raises, the shut-downs of the rows before it run
// in reverse, and the exception goes on to the caller.
void RunStartups(const ModuleObserver& observe = {},
                 std::span<const ModuleRow> rows = ModuleTable());
void RunShutdowns(const ModuleObserver& observe = {},
                  std::span<const ModuleRow> rows = ModuleTable());

// The program's start-up: true when every module started. Otherwise the modules that had
// started are shut down again and the exception is shown in the framework's error box.
bool StartModules(std::span<const ModuleRow> rows = ModuleTable());

}  // namespace app
