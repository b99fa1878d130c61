#pragma once
// Server windows and server requests. Every window a suite server shows derives from
// TServerDialog: a fixed dialog frame with caption, system menu and context-help button, owned
// by the host's main window, in the host's dialog font, answering context help. Requests to
// other modules go through the router on behalf of the current server module.

#include "platform/Windows.h"
#include "rtl/Forms.h"
#include "rtl/ShortString.h"

// Help requests reach a window's WMHelp by name too.
Q_DECLARE_OPAQUE_POINTER(const HELPINFO*)

namespace suite {

// The object that stands for the current server module.
class TServerModule {
 public:
  virtual ~TServerModule() = default;
  // The server name that starts every help topic.
  virtual rtl::ShortString GetServerName() { return {}; }

  // The sender of every message the server sends.
  DWORD Identifier = 0;
  // The server's help file; with its extension replaced by "id", the help-topic map file.
  rtl::ShortString HelpFile;
};

// The current server module; null while the program runs on its own, and every request then
// gives up at once.
extern TServerModule* ServerModule;

// Message codes of the requests.
constexpr DWORD HelpRequestCode = 1100;
constexpr DWORD ClientFontCode = 1450;

// Sends a process request "SERVER:PROCESS" (no colon: to "Client") with a parameter string,
// starting the server through the host when it is not running. With a reply capacity, the
// reply's parameter string comes back in Parameters (capacity characters and a NUL at most).
// True when the request was delivered. A server that cannot be reached is reported in a box
// owned by Owner; the owner 65535 is no window and shows nothing.
bool RunProcess(const rtl::ShortString& ProcessName, char* Parameters, int ReplyCapacity,
                HWND Owner);
// Sends a coded message; the value found in the message after delivery, or 0.
DWORD SendServerMessage(DWORD Code, DWORD Destination, HWND Owner, const rtl::ShortString& Text,
                        DWORD Value);
// The host module "Client", 0 when there is no router.
DWORD ClientModuleHandle();

// The exact window style of a server dialog: popup, caption, system menu, modal frame.
constexpr DWORD ServerDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
static_assert(ServerDialogStyle == 0x80C80080);

class TServerDialog : public rtl::TForm {
  Q_OBJECT
 public:
  explicit TServerDialog(QWidget* parent = nullptr);
  ~TServerDialog() override;

  // The help file named in the window's help requests; empty when the window is created.
  rtl::ShortString HelpFileName;

  void CreateParams(rtl::TCreateParams& Params) override;
  Q_INVOKABLE void SetState_HelpFileName(const QString& value);
  void SetState_HelpFileName(const rtl::ShortString& value) { HelpFileName = value; }

  // The host's dialog font, or 0 when the host offers none.
  virtual HFONT GetClientFont();
  // Asks the host to show a help topic; true when the request reached the host.
  virtual bool RunHelpTopic(const rtl::ShortString& topic, bool popup);

  // Context help for the control the request names; F1 and "What's This" clicks come here.
  Q_INVOKABLE void WMHelp(const HELPINFO* info);
  // The window's own copy of the host's font, 0 when it keeps the framework's.
  HFONT AdoptedFont() const { return font_; }
  // Whether the help-topic map file next to the program defines the topic.
  static bool HelpTopicDefined(const rtl::ShortString& topic);

 protected:
  // Adopts the host's dialog font, then shows.
  void DoShow() override;
  bool event(QEvent* event) override;

 private:
  void HelpFor(QWidget* control, QPoint globalPos);

  HFONT font_ = 0;  // made for this window from the host's font, released with it
};

// Gives the control and the listed kinds of control below it the font (form, tree and list
// views, page and tab controls, buttons, labels, group boxes, check boxes, memos, radio
// buttons, edit, combo and list boxes); other controls keep theirs. A control's inner parts
// (suite/Rt_formsControls.h) go with it.
void ApplyFont(QWidget* control, HFONT font);

}  // namespace suite
