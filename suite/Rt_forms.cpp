#include "suite/Rt_forms.h"

#include "suite/Rt_Route.h"

namespace suite {

TServerDialog::TServerDialog(QWidget* parent) : rtl::TForm(parent) {}

void TServerDialog::CreateParams(rtl::TCreateParams& Params) {
  rtl::TForm::CreateParams(Params);
  Params.Style = ServerDialogStyle;
  Params.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP;
  Params.WndParent = RouteGetClientMainWindow();
}

void TServerDialog::SetState_HelpFileName(const QString& value) {
  HelpFileName = rtl::ShortString(value.toLocal8Bit().toStdString());
}

HFONT TServerDialog::GetClientFont() { return 0; }

bool TServerDialog::RunHelpTopic(const rtl::ShortString&, bool) { return false; }

}  // namespace suite
