#pragma once
// The setup window: shows the recorded fitter location, lets the user type or browse for
// "Palomir.exe", and records the executable's directory on Set.

#include "rtl/Dialogs.h"
#include "suite/Rt_forms.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <memory>
#include <string>
#include <string_view>

namespace Ui {
class MelrokForm;
}

namespace app {

// The settings-file section and key of the fitter's directory.
inline constexpr const char* FittersSection = "Fitters";
inline constexpr const char* MelrokPMKey = "MelrokPM";
inline constexpr const char* FitterExecutable = "Palomir.exe";

// Everything up to and including the last backslash, "/" or ":" of a path; empty without one.
std::string DirectoryPart(std::string_view path);

class TMelrokForm : public suite::TServerDialog {
  Q_OBJECT
 public:
  explicit TMelrokForm(QWidget* parent = nullptr);
  ~TMelrokForm() override;

  rtl::TOpenDialog* PalomirOpenDialog;
  QLineEdit* Edit1;
  QPushButton* BSet;
  QPushButton* BCancel;
  QLabel* Label1;
  QPushButton* Browse;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;

  void BrowseClick();
  void BSetClick();
  void BCancelClick();
  void FormCreate();

 private:
  std::unique_ptr<Ui::MelrokForm> ui_;
};

// The one setup window, filled when the application creates it.
extern TMelrokForm* MelrokForm;

}  // namespace app
