#include "rtl/Forms.h"

#include "platform/WindowHandles.h"
#include "rtl/Application.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QWindow>

namespace rtl {

TForm::TForm(QWidget* parent) : QDialog(parent) {}

void TForm::CreateParams(TCreateParams& Params) {
  Params.X = x();
  Params.Y = y();
  Params.Width = width();
  Params.Height = height();
  Params.Style = WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  Params.ExStyle = 0;
  Params.WndParent = 0;
  switch (BorderStyle) {
    case TFormBorderStyle::bsNone: Params.Style |= WS_POPUP; break;
    case TFormBorderStyle::bsSingle:
    case TFormBorderStyle::bsToolWindow: Params.Style |= WS_CAPTION | WS_BORDER; break;
    case TFormBorderStyle::bsSizeable:
    case TFormBorderStyle::bsSizeToolWin: Params.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case TFormBorderStyle::bsDialog:
      Params.Style |= WS_POPUP | WS_CAPTION | DS_MODALFRAME;
      Params.ExStyle |= WS_EX_DLGMODALFRAME;
      break;
  }
  if (BorderStyle == TFormBorderStyle::bsToolWindow ||
      BorderStyle == TFormBorderStyle::bsSizeToolWin)
    Params.ExStyle |= WS_EX_TOOLWINDOW;
  if (BorderStyle != TFormBorderStyle::bsNone && (BorderIcons & biSystemMenu)) {
    Params.Style |= WS_SYSMENU;
    if (BorderStyle != TFormBorderStyle::bsDialog) {
      if (BorderIcons & biMinimize) Params.Style |= WS_MINIMIZEBOX;
      if (BorderIcons & biMaximize) Params.Style |= WS_MAXIMIZEBOX;
    }
    if (BorderIcons & biHelp) Params.ExStyle |= WS_EX_CONTEXTHELP;
  }
}

void TForm::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  created_ = params;
  handleAllocated_ = true;

  Qt::WindowFlags flags = (params.Style & WS_POPUP) ? Qt::Dialog : Qt::Window;
  flags |= Qt::CustomizeWindowHint;
  if ((params.Style & WS_CAPTION) == WS_CAPTION) flags |= Qt::WindowTitleHint;
  if (params.Style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (params.Style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
  if (params.Style & WS_MAXIMIZEBOX) flags |= Qt::WindowMaximizeButtonHint;
  if (params.ExStyle & WS_EX_CONTEXTHELP) flags |= Qt::WindowContextHelpButtonHint;
  if (params.ExStyle & WS_EX_TOOLWINDOW) flags |= Qt::Tool;

  QPoint position = pos();
  // The owner keeps the window above it and is what a window-modal run blocks, but does not
  // free it: the window is no Qt child of its owner.
  owner_ = platform::WidgetOf(params.WndParent);
  setParent(nullptr, flags);
  move(position);
  SetTransientOwner();
  if (params.Style & WS_THICKFRAME) {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  } else {
    setFixedSize(size());
  }
}

void TForm::SetTransientOwner() {
  QWindow* owner = nullptr;
  if (owner_) {
    owner_->window()->winId();  // the window system's window of each, so one can own the other
    owner = owner_->window()->windowHandle();
  }
  if (!owner && !windowHandle()) return;
  winId();
  windowHandle()->setTransientParent(owner);  // a re-created window may have lost its owner
}

void TForm::RecreateWnd() {
  bool wasVisible = isVisible();
  CreateWnd();
  if (wasVisible) QDialog::setVisible(true);
}

void TForm::setVisible(bool visible) {
  if (visible && !handleAllocated_) CreateWnd();
  if (visible && !isVisible()) DoShow();
  QDialog::setVisible(visible);
}

void TForm::keyPressEvent(QKeyEvent* event) {
  // Escape does not close a form; Enter reaches a default button only where one is set.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TForm::closeEvent(QCloseEvent* event) {
  QDialog::closeEvent(event);
  Application* app = Application::Instance();
  if (event->isAccepted() && app && app->MainForm() == this) app->Terminate();
}

}  // namespace rtl
