#include "platform/WindowHandles.h"

#include <QPointer>
#include <QWidget>
#include <unordered_map>

namespace platform {
namespace {

struct Table {
  std::unordered_map<HWND, QPointer<QWidget>> widgets;
  std::unordered_map<const QWidget*, HWND> handles;
  HWND next = 0x10000;  // above 65535, which means no window
};

Table& Handles() {
  static Table table;
  return table;
}

}  // namespace

HWND HandleOf(QWidget* widget) {
  if (!widget) return 0;
  Table& t = Handles();
  auto found = t.handles.find(widget);
  if (found != t.handles.end()) {
    if (t.widgets[found->second] == widget) return found->second;
    // The address was reused by a new widget: the old handle stays dead.
    t.widgets.erase(found->second);
    t.handles.erase(found);
  }
  HWND handle = t.next++;
  if (t.next == 0) t.next = 0x10000;
  t.widgets[handle] = widget;
  t.handles[widget] = handle;
  return handle;
}

QWidget* WidgetOf(HWND handle) {
  if (handle == 0 || handle == NoWindow) return nullptr;
  Table& t = Handles();
  auto it = t.widgets.find(handle);
  if (it == t.widgets.end()) return nullptr;
  return it->second.data();
}

}  // namespace platform
