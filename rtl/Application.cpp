#include "rtl/Application.h"

#include "platform/Windows.h"
#include "rtl/Exceptions.h"

#include <QFileInfo>
#include <QFont>
#include <QWidget>

namespace rtl {

namespace {
Application* theApplication = nullptr;
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  theApplication = this;
  // The main form ends the application itself (see TForm); Qt's own rule would also end it
  // when a last dialog closes.
  setQuitOnLastWindowClosed(false);
  // Windows dialog fonts named by stored forms, drawn with a metric-compatible free font.
  for (const char* family : {"MS Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2", "Arial"})
    QFont::insertSubstitution(family, "Liberation Sans");
}

Application::~Application() {
  for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) delete it->data();
  forms_.clear();
  theApplication = nullptr;
}

Application* Application::Instance() { return theApplication; }

void Application::Initialize() { terminated_ = false; }

void Application::AdoptForm(QWidget* form) {
  forms_.append(form);
  if (!mainForm_) mainForm_ = form;
}

void Application::Run() {
  if (terminated_) return;
  if (mainForm_) mainForm_->show();
  exec();
}

void Application::Terminate() {
  terminated_ = true;
  quit();
}

void Application::ProcessMessages() { processEvents(QEventLoop::AllEvents); }

QString Application::Title() const {
  if (!title_.isNull()) return title_;
  return QFileInfo(applicationFilePath()).completeBaseName();
}

void Application::HandleException(const std::exception& error) {
  if (dynamic_cast<const EAbort*>(&error)) return;
  QByteArray text = QByteArray(error.what());
  if (!text.isEmpty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  QByteArray caption = Title().toLocal8Bit();
  MessageBoxA(0, text.constData(), caption.constData(), MB_OK | MB_ICONSTOP);
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    HandleException(error);
  } catch (...) {
    HandleException(Exception("Unknown exception"));
  }
  return false;
}

void Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    if (Application* app = Application::Instance()) app->HandleException(error);
  }
}

}  // namespace rtl
