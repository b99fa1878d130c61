#pragma once
// What a server window is made of, one rule for context help and for the host font alike.
//
// A control is a named widget (Qt names its own inner parts "qt_..." or leaves them unnamed) or
// a button that a radio group owns. Every other widget is an inner part of the nearest control
// above it, as a memo's viewport and scroll bars, a spin box's or a combo box's edit box and a
// tree view's header are: a control and its inner parts are one unit, so help names the control
// and the font the control takes or keeps is its parts' too.

#include "rtl/ExtCtrls.h"

#include <QRadioButton>
#include <QWidget>

namespace suite {

inline bool IsGroupButton(const QWidget* w) {
  auto* group = qobject_cast<const rtl::TRadioGroup*>(w->parentWidget());
  auto* button = qobject_cast<const QRadioButton*>(w);
  return group && button && group->Buttons().contains(const_cast<QRadioButton*>(button));
}

inline bool IsControl(const QWidget* w) {
  if (IsGroupButton(w)) return true;
  QString name = w->objectName();
  return !name.isEmpty() && !name.startsWith("qt_");
}

// The controls below a window or control, in order, their inner parts left out.
inline QList<QWidget*> ControlsBelow(const QWidget* w) {
  QList<QWidget*> controls = w->findChildren<QWidget*>();
  controls.removeIf([](QWidget* c) { return !IsControl(c); });
  return controls;
}

}  // namespace suite
