// The frame of a server window: a fixed dialog owned by the host's main window, with context
// help on F1 and in "What's This" mode.

#include "suite/Rt_forms.h"

#include "suite/Rt_Route.h"

#include <QShortcut>
#include <QWhatsThis>

namespace suite {

TServerDialog::TServerDialog(QWidget* parent) : rtl::TForm(parent) {
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  help->setContext(Qt::WindowShortcut);
  connect(help, &QShortcut::activated, this, [this] {
    QWidget* focus = focusWidget();
    HelpFor(focus ? focus : this, QCursor::pos());
  });
  auto* whatsThis = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1), this);
  whatsThis->setContext(Qt::WindowShortcut);
  connect(whatsThis, &QShortcut::activated, this, [] { QWhatsThis::enterWhatsThisMode(); });
}

TServerDialog::~TServerDialog() {
  if (font_) DeleteObject(font_);
}

void TServerDialog::CreateParams(rtl::TCreateParams& Params) {
  rtl::TForm::CreateParams(Params);
  Params.Style = ServerDialogStyle;
  Params.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP;
  Params.WndParent = RouteGetClientMainWindow();
}

void TServerDialog::SetState_HelpFileName(const QString& value) {
  HelpFileName = rtl::ShortString(value.toLocal8Bit().toStdString());
}

}  // namespace suite
