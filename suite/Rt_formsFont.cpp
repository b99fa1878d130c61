// The host's dialog font on a server window and the controls in it.

#include "platform/Fonts.h"
#include "suite/Rt_forms.h"
#include "suite/Rt_formsControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeView>

namespace suite {
namespace {

bool TakesHostFont(QWidget* w) {
  return (w->isWindow() && qobject_cast<rtl::TForm*>(w)) || qobject_cast<QTreeView*>(w) ||
         qobject_cast<QListView*>(w) || qobject_cast<QTabWidget*>(w) || qobject_cast<QTabBar*>(w) ||
         qobject_cast<QPushButton*>(w) || qobject_cast<QLabel*>(w) || qobject_cast<QGroupBox*>(w) ||
         qobject_cast<QCheckBox*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
         qobject_cast<QRadioButton*>(w) || qobject_cast<QLineEdit*>(w) ||
         qobject_cast<QComboBox*>(w);
}

// Qt hands a parent's font down to children that did not set their own: a control that keeps
// its font gets it set explicitly, and its inner parts follow it.
void KeepOwnFont(QWidget* control) {
  QFont own = control->font();
  own.setResolveMask(QFont::AllPropertiesResolved);
  control->setFont(own);
}

}  // namespace

void ApplyFont(QWidget* control, HFONT font) {
  if (!control) return;
  std::optional<QFont> qfont = platform::FontOf(font);
  if (!qfont) return;
  QList<QWidget*> controls = ControlsBelow(control);
  for (QWidget* c : controls)
    if (!TakesHostFont(c)) KeepOwnFont(c);
  if (TakesHostFont(control)) control->setFont(*qfont);
  for (QWidget* c : controls)
    if (TakesHostFont(c)) c->setFont(*qfont);
}

HFONT TServerDialog::GetClientFont() {
  return SendServerMessage(ClientFontCode, ClientModuleHandle(), 0, "", 0);
}

void TServerDialog::DoShow() {
  HFONT host = GetClientFont();
  LOGFONTA description{};
  if (host != 0 && GetObjectA(host, sizeof description, &description) != 0) {
    HFONT mine = CreateFontIndirectA(&description);
    ApplyFont(this, mine);
    if (font_) DeleteObject(font_);
    font_ = mine;
  }
  rtl::TForm::DoShow();
}

}  // namespace suite
