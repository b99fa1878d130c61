// The message box shown as a modal Qt message box.

#include "platform/WindowHandles.h"
#include "platform/Windows.h"

#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <vector>

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  // As on Windows, an owner that is no window (65535, a destroyed one) refuses the box.
  QWidget* owner = platform::WidgetOf(hWnd);
  if (hWnd != 0 && !owner) return 0;
  QMessageBox box(owner);
  box.setText(QString::fromLocal8Bit(lpText ? lpText : ""));
  box.setWindowTitle(QString::fromLocal8Bit(lpCaption ? lpCaption : "Error"));
  switch (uType & 0xF0) {
    case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  struct Choice {
    QMessageBox::StandardButton button;
    int result;
  };
  std::vector<Choice> choices;
  switch (uType & 0xF) {
    case MB_OKCANCEL: choices = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
    case MB_ABORTRETRYIGNORE:
      choices = {{QMessageBox::Abort, IDABORT},
                 {QMessageBox::Retry, IDRETRY},
                 {QMessageBox::Ignore, IDIGNORE}};
      break;
    case MB_YESNOCANCEL:
      choices = {
          {QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    case MB_YESNO: choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
    case MB_RETRYCANCEL:
      choices = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    default: choices = {{QMessageBox::Ok, IDOK}}; break;
  }
  for (const Choice& c : choices) box.addButton(c.button);
  // Closing the box without a choice answers as Windows does: Cancel where offered, else the
  // first button.
  int closed = choices.begin()->result;
  for (const Choice& c : choices)
    if (c.result == IDCANCEL) closed = IDCANCEL;
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  for (const Choice& c : choices)
    if (clicked && clicked == box.button(c.button)) return c.result;
  return closed;
}
