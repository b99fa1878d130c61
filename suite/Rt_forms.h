#pragma once
// The base of every window that a suite server shows: a fixed dialog frame with caption,
// system menu and context-help button, owned by the host's main window.

#include "platform/Windows.h"
#include "rtl/Forms.h"
#include "rtl/ShortString.h"

namespace suite {

// The exact window style of a server dialog: popup, caption, system menu, modal frame.
constexpr DWORD ServerDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
static_assert(ServerDialogStyle == 0x80C80080);

class TServerDialog : public rtl::TForm {
  Q_OBJECT
 public:
  explicit TServerDialog(QWidget* parent = nullptr);

  // The help file named in the window's help requests; empty when the window is created.
  rtl::ShortString HelpFileName;

  void CreateParams(rtl::TCreateParams& Params) override;
  Q_INVOKABLE void SetState_HelpFileName(const QString& value);
  void SetState_HelpFileName(const rtl::ShortString& value) { HelpFileName = value; }

  // The host's dialog font, or 0 when the host offers none.
  virtual HFONT GetClientFont();
  // Asks the host to show a help topic; true when the request reached the host.
  virtual bool RunHelpTopic(const rtl::ShortString& topic, bool popup);
};

}  // namespace suite
