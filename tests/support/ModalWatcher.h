#pragma once
// Answers the modal windows a test provokes: each time a modal window is open, the next
// queued answer runs on it (and may close it). What was seen is recorded for the test.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

class QWidget;

namespace testing_support {

class ModalWatcher : public QObject {
  Q_OBJECT
 public:
  using Answer = std::function<void(QWidget* modal)>;

  ModalWatcher();
  ~ModalWatcher() override;

  // Queues an answer for the next modal window.
  void Expect(Answer answer);
  // Queues closing the next message box with its default (first) button.
  void ExpectMessageBox();

  // "caption|text" of each message box seen, and the class name of every modal window.
  QStringList MessageBoxes;
  QStringList Modals;
  int Pending() const { return static_cast<int>(answers_.size()); }

 private:
  void Poll();
  QTimer timer_;
  std::deque<Answer> answers_;
  QWidget* last_ = nullptr;
};

}  // namespace testing_support
