#include "tests/support/ModalWatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QAbstractButton>
#include <QMessageBox>
#include <QWidget>

namespace testing_support {

ModalWatcher::ModalWatcher() {
  timer_.setInterval(10);
  connect(&timer_, &QTimer::timeout, this, &ModalWatcher::Poll);
  timer_.start();
}

ModalWatcher::~ModalWatcher() = default;

void ModalWatcher::Expect(Answer answer) { answers_.push_back(std::move(answer)); }

void ModalWatcher::ExpectMessageBox() {
  Expect([](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      if (QAbstractButton* button = box->buttons().value(0))
        button->click();
      else
        box->reject();
    }
  });
}

void ModalWatcher::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || modal == last_ || !modal->isVisible()) return;
  last_ = modal;
  Modals << modal->metaObject()->className();
  if (auto* box = qobject_cast<QMessageBox*>(modal))
    MessageBoxes << box->windowTitle() + "|" + box->text();
  if (answers_.empty()) return;
  Answer answer = std::move(answers_.front());
  answers_.pop_front();
  answer(modal);
  last_ = nullptr;
}

}  // namespace testing_support
