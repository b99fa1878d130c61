#pragma once
// The framework's form: a top-level dialog whose frame comes from Windows-style creation
// parameters, computed by CreateParams and applied as Qt window flags.

#include "platform/Windows.h"

#include <QDialog>
#include <QPointer>

namespace rtl {

// The window creation parameters of a form.
struct TCreateParams {
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = 0;
};

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };

class TForm : public QDialog {
  Q_OBJECT
 public:
  explicit TForm(QWidget* parent = nullptr);

  // The form's own settings, from which the base CreateParams fills the style.
  TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
  unsigned BorderIcons = biSystemMenu | biMinimize | biMaximize;

  // Fills the creation parameters as for any form; descendants change them.
  virtual void CreateParams(TCreateParams& Params);
  // The parameters the window was last created with.
  const TCreateParams& CreatedParams() const { return created_; }
  bool HandleAllocated() const { return handleAllocated_; }
  // The owner window the form was last created with, null when none or once it is destroyed.
  QWidget* Owner() const { return owner_; }
  // Creates the window anew from fresh creation parameters.
  void RecreateWnd();

  void setVisible(bool visible) override;

 protected:
  // Called when the form is about to be shown.
  virtual void DoShow() {}
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateWnd();
  void SetTransientOwner();

  TCreateParams created_;
  QPointer<QWidget> owner_;
  bool handleAllocated_ = false;
};

}  // namespace rtl
