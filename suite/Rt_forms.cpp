#include "suite/Rt_forms.h"

#include "platform/Fonts.h"
#include "platform/Profile.h"
#include "platform/WindowHandles.h"
#include "rtl/ExtCtrls.h"
#include "rtl/SysUtils.h"
#include "suite/Rt_Param.h"
#include "suite/Rt_Route.h"
#include "suite/Rt_Util.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeView>
#include <QWhatsThis>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

namespace suite {

TServerModule* ServerModule = nullptr;

namespace {

constexpr DWORD ProcessRequestKind = 0xFFFF;
constexpr DWORD CodedMessageKind = 0;
constexpr HWND NoOwner = 0xFFFF;

void Write32(unsigned char* block, std::size_t offset, DWORD value) {
  std::memcpy(block + offset, &value, sizeof value);
}

DWORD Read32(const unsigned char* block, std::size_t offset) {
  DWORD value;
  std::memcpy(&value, block + offset, sizeof value);
  return value;
}

// A locked router message, bounded by the block's real size. Blocks too small to hold the
// fixed fields are refused like a failed lock.
class LockedMessage {
 public:
  explicit LockedMessage(DWORD message) : message_(message) {
    size_ = GlobalSize(message);
    if (size_ < RouterMessage::Parameters) return;
    bytes_ = static_cast<unsigned char*>(GlobalLock(message));
  }
  ~LockedMessage() {
    if (bytes_) GlobalUnlock(message_);
  }
  LockedMessage(const LockedMessage&) = delete;
  LockedMessage& operator=(const LockedMessage&) = delete;

  explicit operator bool() const { return bytes_ != nullptr; }
  unsigned char* Bytes() const { return bytes_; }
  void SetText(const rtl::ShortString& text) {
    std::memcpy(bytes_ + RouterMessage::Text, text.c_str(), text.size() + 1);
  }
  // The parameter area runs from its offset to the end of the block.
  std::size_t ParameterArea() const { return size_ - RouterMessage::Parameters; }
  void SetParameters(const char* parameters) {
    std::size_t area = ParameterArea();
    if (area == 0) return;
    std::size_t n = parameters ? strnlen(parameters, area - 1) : 0;
    std::memcpy(bytes_ + RouterMessage::Parameters, parameters ? parameters : "", n);
    bytes_[RouterMessage::Parameters + n] = '\0';
  }
  // Copies the reply's parameters into a caller's buffer of capacity + 1 characters.
  void CopyReply(char* buffer, std::size_t capacity) const {
    const char* reply = reinterpret_cast<const char*>(bytes_ + RouterMessage::Parameters);
    std::size_t n = std::min(strnlen(reply, ParameterArea()), capacity);
    std::memcpy(buffer, reply, n);
    buffer[n] = '\0';
  }

 private:
  DWORD message_;
  std::size_t size_ = 0;
  unsigned char* bytes_ = nullptr;
};

void ReportUnreachable(std::string_view process, HWND owner) {
  rtl::ShortString text = rtl::ShortString("Cannot run ") + process + ". " + "\r" +
                          "Either server has not been installed or" + "\r" +
                          "insufficient resources to load server.";
  MessageBoxA(owner, text.c_str(), "Brinmark", MB_OK | MB_ICONERROR);
}

bool DeliverProcessRequest(const rtl::ShortString& ProcessName, char* Parameters, int ReplyCapacity,
                           HWND Owner, bool StartRequest) {
  if (!ServerModule) return false;
  rtl::ShortString name = ProcessName;
  if (name.view().find(':') == std::string_view::npos)
    name = rtl::ShortString("Client:") + name.view();
  std::size_t colon = name.view().find(':');
  rtl::ShortString server = StrTrim(rtl::UpperCase(name.view().substr(0, colon)));
  std::string_view process = name.view().substr(colon + 1);

  DWORD destination = RouteGetModuleHandle(server.c_str());
  // A start request never asks for another start: without the host it fails at once.
  if (destination == 0 && !StartRequest) {
    rtl::ShortString start = rtl::ShortString("Action = start | Server = ") + server.view();
    char parameters[256];
    std::memcpy(parameters, start.c_str(), start.size() + 1);
    if (DeliverProcessRequest("Client:SetupEDAServers", parameters, 255, NoOwner, true))
      destination = RouteGetModuleHandle(server.c_str());
  }
  if (destination == 0) {
    if (!StartRequest) ReportUnreachable(process, Owner);
    return false;
  }

  DWORD message = RouteCreateMessage(ProcessRequestKind, ServerModule->Identifier, 0);
  if (message == 0) return false;
  {
    LockedMessage block(message);
    if (!block) {
      RouteDestroyMessage(message);
      return false;
    }
    Write32(block.Bytes(), RouterMessage::Destination, destination);
    Write32(block.Bytes(), RouterMessage::Code, ProcessRequestCode);
    block.SetText(StrTrim(rtl::UpperCase(process)));
    block.SetParameters(Parameters);
    Write32(block.Bytes(), RouterMessage::Window, Owner);
  }
  RouteSendMessage(message);
  bool delivered = false;
  {
    LockedMessage block(message);
    if (block) {
      if (Parameters && ReplyCapacity > 0)
        block.CopyReply(Parameters, static_cast<std::size_t>(ReplyCapacity));
      delivered = true;
    }
  }
  RouteDestroyMessage(message);
  return delivered;
}

}  // namespace

bool RunProcess(const rtl::ShortString& ProcessName, char* Parameters, int ReplyCapacity,
                HWND Owner) {
  return DeliverProcessRequest(ProcessName, Parameters, ReplyCapacity, Owner, false);
}

DWORD SendServerMessage(DWORD Code, DWORD Destination, HWND Owner, const rtl::ShortString& Text,
                        DWORD Value) {
  if (!ServerModule) return 0;
  DWORD message = RouteCreateMessage(CodedMessageKind, ServerModule->Identifier, 0);
  if (message == 0) return 0;
  {
    LockedMessage block(message);
    if (!block) {
      RouteDestroyMessage(message);
      return 0;
    }
    Write32(block.Bytes(), RouterMessage::Code, Code);
    Write32(block.Bytes(), RouterMessage::Destination, Destination);
    Write32(block.Bytes(), RouterMessage::Window, Owner);
    Write32(block.Bytes(), RouterMessage::Value, Value);
    block.SetText(Text);
  }
  RouteSendMessage(message);
  DWORD answer = 0;
  {
    LockedMessage block(message);
    if (block) answer = Read32(block.Bytes(), RouterMessage::Value);
  }
  RouteDestroyMessage(message);
  return answer;
}

DWORD ClientModuleHandle() { return RouteGetModuleHandle("Client"); }

// --- fonts -----------------------------------------------------------------------------------

namespace {

bool TakesHostFont(QWidget* w) {
  return (w->isWindow() && qobject_cast<rtl::TForm*>(w)) || qobject_cast<QTreeView*>(w) ||
         qobject_cast<QListView*>(w) || qobject_cast<QTabWidget*>(w) || qobject_cast<QTabBar*>(w) ||
         qobject_cast<QPushButton*>(w) || qobject_cast<QLabel*>(w) || qobject_cast<QGroupBox*>(w) ||
         qobject_cast<QCheckBox*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
         qobject_cast<QRadioButton*>(w) || qobject_cast<QLineEdit*>(w) ||
         qobject_cast<QComboBox*>(w);
}

QList<QWidget*> ChildControls(QWidget* control) {
  return control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
}

// Qt hands a parent's font down to children that did not set their own: controls that must
// keep theirs get it set explicitly first.
void KeepOwnFont(QWidget* control) {
  for (QWidget* child : ChildControls(control)) {
    if (!TakesHostFont(child)) {
      QFont own = child->font();
      own.setResolveMask(QFont::AllPropertiesResolved);
      child->setFont(own);
    }
    KeepOwnFont(child);
  }
}

void GiveFont(QWidget* control, const QFont& font) {
  if (TakesHostFont(control)) control->setFont(font);
  for (QWidget* child : ChildControls(control)) GiveFont(child, font);
}

}  // namespace

void ApplyFont(QWidget* control, HFONT font) {
  if (!control) return;
  std::optional<QFont> qfont = platform::FontOf(font);
  if (!qfont) return;
  KeepOwnFont(control);
  GiveFont(control, *qfont);
}

// --- the server dialog -----------------------------------------------------------------------

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

HFONT TServerDialog::GetClientFont() {
  return SendServerMessage(ClientFontCode, ClientModuleHandle(), 0, "", 0);
}

bool TServerDialog::RunHelpTopic(const rtl::ShortString& topic, bool popup) {
  if (HelpFileName.empty() && ServerModule) HelpFileName = ServerModule->HelpFile;
  rtl::ShortString parameters = rtl::ShortString("FileName = ") + HelpFileName.view() +
                                " | Topic = " + topic.view() +
                                " | Popup = " + (popup ? "TRUE" : "FALSE");
  char buffer[256];
  std::memcpy(buffer, parameters.c_str(), parameters.size() + 1);
  return RunProcess("Client:RunHelpTopic", buffer, 255, 0);
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

namespace {

// Labels are drawn on their parent and have no window of their own.
bool IsWindowedControl(QWidget* w) { return !qobject_cast<QLabel*>(w); }

// The components a window owns, in order: named controls, not those a radio group owns.
bool IsComponentOf(QWidget* window, QWidget* w) {
  QString name = w->objectName();
  if (name.isEmpty() || name.startsWith("qt_")) return false;
  for (QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
    if (qobject_cast<rtl::TRadioGroup*>(p)) return false;
  return true;
}

// A windowed component of the window, or a button of a radio group (it stands for its group).
bool IsHelpTarget(QWidget* window, QWidget* w) {
  auto* group = qobject_cast<rtl::TRadioGroup*>(w->parentWidget());
  auto* button = qobject_cast<QRadioButton*>(w);
  if (group && button && group->Buttons().contains(button)) return true;
  return IsComponentOf(window, w) && IsWindowedControl(w);
}

QWidget* ControlOf(QWidget* window, HWND item) {
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!IsComponentOf(window, w) || !IsWindowedControl(w)) continue;
    if (auto* group = qobject_cast<rtl::TRadioGroup*>(w)) {
      for (QRadioButton* button : group->Buttons())
        if (platform::HandleOf(button) == item) return group;
    } else if (platform::HandleOf(w) == item) {
      return w;
    }
  }
  return nullptr;
}

rtl::ShortString HelpTopic(const rtl::ShortString& prefix, const QString& caption,
                           const QString& component) {
  rtl::ShortString joined = prefix + "_" + caption.toLocal8Bit().toStdString() + "_" +
                            component.toLocal8Bit().toStdString();
  std::string topic;
  for (char c : joined.view())
    if (!std::strchr(" $(),-/?", c)) topic += c;
  return topic;
}

}  // namespace

void TServerDialog::WMHelp(const HELPINFO* info) {
  SendServerMessage(HelpRequestCode, ClientModuleHandle(), 0, "", 0);
  if (!info || info->iContextType == HELPINFO_MENUITEM || info->hItemHandle == 0 || !ServerModule)
    return;
  rtl::ShortString prefix = ServerModule->GetServerName();
  QWidget* control = ControlOf(this, info->hItemHandle);
  if (!control || qobject_cast<QTextEdit*>(control) || qobject_cast<QHeaderView*>(control) ||
      qobject_cast<QTabWidget*>(control))
    return;
  rtl::ShortString topic = HelpTopic(prefix, windowTitle(), control->objectName());
  if (HelpTopicDefined(topic))
    RunHelpTopic(topic, true);
  else
    RunHelpTopic("No_Help_Topic", true);
}

bool TServerDialog::HelpTopicDefined(const rtl::ShortString& topic) {
  if (!ServerModule) return false;
  char program[256];
  DWORD length = GetModuleFileNameA(nullptr, program, 255);
  std::string path(program, length);
  std::size_t slash = path.find_last_of("\\/");
  std::string directory = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  if (directory.empty() || (directory.back() != '\\' && directory.back() != '/')) directory += '\\';
  rtl::ShortString mapFile = ChangeExtension(directory + ServerModule->HelpFile.str(), "id");
  std::ifstream in(platform::NativePath(mapFile.c_str()), std::ios::binary);
  if (!in) return false;
  std::string line;
  rtl::ShortString value;
  while (std::getline(in, line)) {
    rtl::ShortString first(line);  // the first 255 characters of the line
    if (GetParameterValue(first.c_str(), topic, value)) return true;
  }
  return false;
}

void TServerDialog::HelpFor(QWidget* control, QPoint globalPos) {
  // The widget under the pointer or in focus may be a part of a control (a memo's viewport, a
  // combo box's edit box) or a label: help is for the nearest control that help can name.
  while (control && control != this && !IsHelpTarget(this, control))
    control = control->parentWidget();
  HELPINFO info{};
  info.cbSize = sizeof info;
  info.iContextType = HELPINFO_WINDOW;
  info.hItemHandle = platform::HandleOf(control);
  info.MousePos = {globalPos.x(), globalPos.y()};
  WMHelp(&info);
}

bool TServerDialog::event(QEvent* e) {
  if (e->type() == QEvent::QueryWhatsThis) {
    e->accept();
    return true;
  }
  if (e->type() == QEvent::WhatsThis) {
    auto* help = static_cast<QHelpEvent*>(e);
    QWidget* target = childAt(help->pos());
    HelpFor(target ? target : this, help->globalPos());
    e->accept();
    return true;
  }
  return rtl::TForm::event(e);
}

}  // namespace suite
