#pragma once
// The dialog in which the library shows a failed ODBC call: a one-line summary, and on
// "Details >>" the driver's message, the SQLSTATE and the native error number.

#include "odbc/OCLErrors.h"
#include "rtl/Forms.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <memory>
#include <string>

namespace Ui {
class OEErrorDialog;
}

namespace ocl {

class TOEErrorDialog : public rtl::TForm {
  Q_OBJECT
 public:
  // Outer heights, with this program's Windows dialog frame of FrameHeight pixels.
  static constexpr int CollapsedHeight = 111;
  static constexpr int ExpandedHeight = 242;
  static constexpr int FrameHeight = 27;

  explicit TOEErrorDialog(QWidget* parent = nullptr);
  ~TOEErrorDialog() override;

  QLabel* Image1;
  QLabel* Label1;
  QPushButton* Button1;
  QPushButton* Button2;
  QFrame* Bevel1;
  QPlainTextEdit* Memo1;
  QLabel* Label2;
  QLineEdit* Edit1;
  QLabel* Label3;
  QLineEdit* Edit2;

  bool DetailsShown = false;
  QString Summary;
  QString ErrorMessage;
  QString SqlStateText;
  QString NativeErrorText;

  // The outer height of the window: its client area plus the frame.
  int Height() const { return height() + FrameHeight; }

  void FormShow();
  void Button1Click();
  void Button2Click();
  void ShowDetails();
  void HideDetails();

 protected:
  void DoShow() override { FormShow(); }

 private:
  void SetHeight(int outer);
  std::unique_ptr<Ui::OEErrorDialog> ui_;
};

// Fills the dialog from the exception and the summary, shows it modally and frees it.
void ShowODBCError(const EODBC& E, const std::string& Summary);

// The error-dialog unit's start-up and shut-down: offer the library its dialogs, and take
// them back.
void OCLError_Startup();
void OCLError_Shutdown();

}  // namespace ocl
