// Context help of a server window: the host shows the topic named after the server, the window
// and the control the request is for.

#include "platform/Profile.h"
#include "platform/WindowHandles.h"
#include "suite/Rt_Param.h"
#include "suite/Rt_Util.h"
#include "suite/Rt_forms.h"
#include "suite/Rt_formsControls.h"

#include <QFrame>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QTabWidget>
#include <QTextEdit>
#include <cstring>
#include <fstream>
#include <string>

namespace suite {
namespace {

// Labels, images and bevels (plain frames) are drawn on what holds them and have no window of
// their own.
bool IsWindowedControl(const QWidget* w) {
  return !qobject_cast<const QLabel*>(w) && w->metaObject() != &QFrame::staticMetaObject;
}

// The components a window owns, in order: its controls, not those a radio group owns.
bool IsComponentOf(const QWidget* window, const QWidget* w) {
  if (!IsControl(w)) return false;
  for (QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
    if (qobject_cast<rtl::TRadioGroup*>(p)) return false;
  return true;
}

// The windowed component of the window whose window handle is the item; a radio group answers
// for the handles of its buttons.
QWidget* ComponentOf(QWidget* window, HWND item) {
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

bool HasNoHelp(const QWidget* control) {
  return qobject_cast<const QTextEdit*>(control) || qobject_cast<const QHeaderView*>(control) ||
         qobject_cast<const QTabWidget*>(control);
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

bool TServerDialog::RunHelpTopic(const rtl::ShortString& topic, bool popup) {
  if (HelpFileName.empty() && ServerModule) HelpFileName = ServerModule->HelpFile;
  rtl::ShortString parameters = rtl::ShortString("FileName = ") + HelpFileName.view() +
                                " | Topic = " + topic.view() +
                                " | Popup = " + (popup ? "TRUE" : "FALSE");
  char buffer[256];
  std::memcpy(buffer, parameters.c_str(), parameters.size() + 1);
  return RunProcess("Client:RunHelpTopic", buffer, 255, 0);
}

void TServerDialog::WMHelp(const HELPINFO* info) {
  SendServerMessage(HelpRequestCode, ClientModuleHandle(), 0, "", 0);
  if (!info || info->iContextType == HELPINFO_MENUITEM || info->hItemHandle == 0 || !ServerModule)
    return;
  rtl::ShortString prefix = ServerModule->GetServerName();
  QWidget* control = ComponentOf(this, info->hItemHandle);
  if (!control || HasNoHelp(control)) return;
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

void TServerDialog::HelpFor(QWidget* widget, QPoint globalPos) {
  // The request names the window under the pointer or in focus: the windowed control that the
  // widget is or is an inner part of. A label or a bevel is no window; its point is its holder's.
  while (widget && widget != this && !(IsControl(widget) && IsWindowedControl(widget)))
    widget = widget->parentWidget();
  HELPINFO info{};
  info.cbSize = sizeof info;
  info.iContextType = HELPINFO_WINDOW;
  info.hItemHandle = platform::HandleOf(widget);
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
