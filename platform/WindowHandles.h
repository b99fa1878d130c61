#pragma once
// Window handles identify widgets. A handle stays valid while its widget lives;
// a stale or unknown handle gives no widget.

#include "platform/Windows.h"

class QWidget;

namespace platform {

constexpr HWND NoWindow = 0xFFFF;

// The handle of a widget, made on first request; 0 for no widget.
HWND HandleOf(QWidget* widget);
// The widget of a handle, or nullptr for 0, 65535, unknown or destroyed widgets.
QWidget* WidgetOf(HWND handle);

}  // namespace platform
