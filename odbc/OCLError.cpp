#include "odbc/OCLError.h"

#include "odbc/OCLUserInterface.h"
#include "platform/Windows.h"
#include "rtl/Application.h"
#include "ui_OCLError.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

namespace ocl {

namespace {

// A red disc with a white cross on the dialog grey.
QPixmap ErrorPicture() {
  QPixmap picture(32, 32);
  picture.fill(QColor(192, 192, 192));
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(128, 0, 0), 1));
  painter.setBrush(QColor(255, 0, 0));
  painter.drawEllipse(QRectF(1.5, 1.5, 29, 29));
  painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::FlatCap));
  painter.drawLine(QPointF(10, 10), QPointF(22, 22));
  painter.drawLine(QPointF(22, 10), QPointF(10, 22));
  return picture;
}

}  // namespace

TOEErrorDialog::TOEErrorDialog(QWidget* parent)
    : rtl::TForm(parent), ui_(std::make_unique<Ui::OEErrorDialog>()) {
  ui_->setupUi(this);
  BorderStyle = rtl::TFormBorderStyle::bsSingle;
  BorderIcons = rtl::biSystemMenu;
  Image1 = ui_->Image1;
  Label1 = ui_->Label1;
  Button1 = ui_->Button1;
  Button2 = ui_->Button2;
  Bevel1 = ui_->Bevel1;
  Memo1 = ui_->Memo1;
  Label2 = ui_->Label2;
  Edit1 = ui_->Edit1;
  Label3 = ui_->Label3;
  Edit2 = ui_->Edit2;
  Image1->setPixmap(ErrorPicture());
  connect(Button1, &QPushButton::clicked, this,
          [this] { rtl::Guarded([this] { Button1Click(); }); });
  connect(Button2, &QPushButton::clicked, this,
          [this] { rtl::Guarded([this] { Button2Click(); }); });
  // Centred on the screen.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, ExpandedHeight / 2));
  }
}

TOEErrorDialog::~TOEErrorDialog() = default;

void TOEErrorDialog::SetHeight(int outer) { setFixedSize(width(), outer - FrameHeight); }

void TOEErrorDialog::FormShow() {
  QString title = rtl::Application::Instance() ? rtl::Application::Instance()->Title() : QString();
  setWindowTitle("Database Error: " + title);
  Label1->setText(Summary);
  Memo1->setPlainText(ErrorMessage);
  Edit1->setText(SqlStateText);
  Edit2->setText(NativeErrorText);
  HideDetails();
}

void TOEErrorDialog::Button1Click() { close(); }

void TOEErrorDialog::Button2Click() {
  if (DetailsShown)
    HideDetails();
  else
    ShowDetails();
}

void TOEErrorDialog::ShowDetails() {
  SetHeight(ExpandedHeight);
  DetailsShown = true;
  Button2->setText("Details <<");
}

void TOEErrorDialog::HideDetails() {
  SetHeight(CollapsedHeight);
  DetailsShown = false;
  Button2->setText("Details >>");
}

void ShowODBCError(const EODBC& E, const std::string& Summary) {
  auto dialog = std::make_unique<TOEErrorDialog>();
  dialog->Summary = QString::fromLocal8Bit(Summary.c_str());
  dialog->SqlStateText = QString::fromLocal8Bit(E.SqlState.c_str());
  dialog->NativeErrorText = QString::number(E.NativeError);
  dialog->ErrorMessage = QString::fromLocal8Bit(E.Message().c_str());
  dialog->exec();
}

void OCLError_Startup() {
  TOCLUserInterface hooks;
  hooks.ShowError = ShowODBCError;
  hooks.ShowWarning = [](const std::string& text) {
    MessageBoxA(0, text.c_str(), "Warning", MB_OK | MB_ICONWARNING);
  };
  hooks.MainWindow = []() -> SQLHWND {
#ifdef _WIN32
    if (rtl::Application* app = rtl::Application::Instance())
      if (QWidget* form = app->MainForm()) return reinterpret_cast<SQLHWND>(form->winId());
#endif
    // unixODBC reads a window handle as its own description of a prompt window, not as a
    // toolkit window: none is given there.
    return nullptr;
  };
  hooks.ProcessMessages = [] {
    if (rtl::Application* app = rtl::Application::Instance()) app->ProcessMessages();
  };
  SetUserInterface(std::move(hooks));
}

void OCLError_Shutdown() { SetUserInterface({}); }

}  // namespace ocl
