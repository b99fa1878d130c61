#pragma once
// The framework's application object: the Qt application with the default exception handler,
// the main form and the title.

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <QString>
#include <exception>
#include <functional>

namespace rtl {

class Application : public QApplication {
  Q_OBJECT
 public:
  Application(int& argc, char** argv);
  // Destroys the main form, then the Qt application.
  ~Application() override;

  // The one application object, or nullptr when none exists.
  static Application* Instance();

  void Initialize();
  // Creates a form owned by the application; the first one becomes the main form.
  template <class Form>
  Form* CreateForm(Form*& reference) {
    reference = new Form();
    AdoptForm(reference);
    return reference;
  }
  QWidget* MainForm() const { return mainForm_; }
  // Shows the main form and runs the message loop until Terminate.
  void Run();
  // Ends the message loop after the current event.
  void Terminate();
  bool Terminated() const { return terminated_; }
  void ProcessMessages();

  QString Title() const;
  void SetTitle(const QString& title) { title_ = title; }

  // Shows an exception's message in a message box; EAbort is silent.
  void HandleException(const std::exception& error);

  // The framework's default exception handler: an exception from an event handler never
  // crosses the event loop.
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  void AdoptForm(QWidget* form);

  QPointer<QWidget> mainForm_;
  QList<QPointer<QWidget>> forms_;
  QString title_;
  bool terminated_ = false;
};

// Runs an event handler under the default exception handler.
void Guarded(const std::function<void()>& handler);

}  // namespace rtl
