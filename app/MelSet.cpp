#include "app/MelSet.h"

#include "app/INIUtil.h"
#include "platform/WindowHandles.h"
#include "app/SettingsText.h"
#include "rtl/Application.h"
#include "ui_MelSet.h"

namespace app {

TMelrokForm* MelrokForm = nullptr;

std::string DirectoryPart(std::string_view path) {
  std::size_t last = path.find_last_of("\\/:");
  if (last == std::string_view::npos) return {};
  return std::string(path.substr(0, last + 1));
}

TMelrokForm::TMelrokForm(QWidget* parent)
    : suite::TServerDialog(parent), ui_(std::make_unique<Ui::MelrokForm>()) {
  ui_->setupUi(this);
  move(337, 259);  // placed where it was designed, not centred
  PalomirOpenDialog = new rtl::TOpenDialog(this);
  PalomirOpenDialog->setObjectName("PalomirOpenDialog");
  PalomirOpenDialog->Filter = "Palomir Software|Palomir.exe";
  Edit1 = ui_->Edit1;
  BSet = ui_->BSet;
  BCancel = ui_->BCancel;
  Label1 = ui_->Label1;
  Browse = ui_->Browse;
  Label2 = ui_->Label2;
  Label3 = ui_->Label3;
  Label4 = ui_->Label4;
  // Labels size themselves to their text in the window's font.
  for (QLabel* label : {Label1, Label2, Label3, Label4})
    label->resize(label->sizeHint().width(), label->height());
  connect(Browse, &QPushButton::clicked, this, [this] { rtl::Guarded([this] { BrowseClick(); }); });
  connect(BSet, &QPushButton::clicked, this, [this] { rtl::Guarded([this] { BSetClick(); }); });
  connect(BCancel, &QPushButton::clicked, this,
          [this] { rtl::Guarded([this] { BCancelClick(); }); });
  FormCreate();
}

TMelrokForm::~TMelrokForm() = default;

void TMelrokForm::FormCreate() {
  rtl::ShortString value = ReadIniString(FittersSection, MelrokPMKey, "");
  Edit1->setText(TextOf(value.view()));
  QString text = Edit1->text();
  if (!text.isEmpty()) Edit1->setText(text + FitterExecutable);
}

void TMelrokForm::BrowseClick() {
  if (PalomirOpenDialog->Execute(this)) Edit1->setText(PalomirOpenDialog->FileName);
}

void TMelrokForm::BSetClick() {
  std::string text = BytesOf(Edit1->text());
  if (text.empty()) return;
  std::string path = DirectoryPart(text);
  rtl::ShortString directory(CutWhole(path, rtl::ShortString::MaxLength));
  if (!WriteIniString(FittersSection, MelrokPMKey, directory)) {
    // Ending as if recorded would hide the failure; the window stays for a retry or Cancel.
    std::string file = *IniFileName() ? IniFileName() : "Tessora.INI";
    std::string message =
        "The fitter location could not be recorded in the settings file \"" + file + "\".";
    QByteArray caption = windowTitle().toLocal8Bit();
    MessageBoxA(platform::HandleOf(this), message.c_str(), caption.constData(),
                MB_OK | MB_ICONERROR);
    return;
  }
  rtl::Application::Instance()->Terminate();
}

void TMelrokForm::BCancelClick() { rtl::Application::Instance()->Terminate(); }

}  // namespace app
