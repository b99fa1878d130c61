#include "rtl/Application.h"
#include "rtl/Exceptions.h"
#include "rtl/ShortString.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/QtPrinters.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using testing_support::ModalWatcher;

namespace {

// Runs the message loop until `last` has run or two seconds have passed.
bool RunLoopUntil(bool& last) {
  rtl::Application* app = rtl::Application::Instance();
  app->Initialize();
  QTimer::singleShot(2000, app, [app] { app->Terminate(); });
  app->exec();
  return last;
}

}  // namespace

TEST(DefaultExceptionHandler, ShowsTheMessageAndTheLoopGoesOn) {
  rtl::Application* app = rtl::Application::Instance();
  app->SetTitle("Melrok");
  ModalWatcher watcher;
  watcher.ExpectMessageBox();
  bool later = false;
  QTimer::singleShot(0, app, [] { throw rtl::Exception("The fitter is busy"); });
  QTimer::singleShot(200, app, [&] {
    later = true;
    rtl::Application::Instance()->Terminate();
  });
  EXPECT_TRUE(RunLoopUntil(later));
  EXPECT_EQ(watcher.MessageBoxes, QStringList{"Melrok|The fitter is busy."});
}

TEST(DefaultExceptionHandler, AbortIsSilentAndGuardedHandlersReportToo) {
  rtl::Application* app = rtl::Application::Instance();
  app->SetTitle("Melrok");
  ModalWatcher watcher;
  watcher.ExpectMessageBox();
  QPushButton button;
  QObject::connect(&button, &QPushButton::clicked,
                   [] { rtl::Guarded([] { throw rtl::EConvertError::InvalidInteger("x1"); }); });
  bool later = false;
  QTimer::singleShot(0, app, [] { throw rtl::EAbort(); });
  QTimer::singleShot(50, app, [&] { button.click(); });
  QTimer::singleShot(300, app, [&] {
    later = true;
    rtl::Application::Instance()->Terminate();
  });
  EXPECT_TRUE(RunLoopUntil(later));
  EXPECT_EQ(watcher.MessageBoxes, QStringList{"Melrok|'x1' is not a valid integer value."});
}

TEST(ShortString, KeepsTheFirst255Characters) {
  std::string long_(300, 'a');
  long_[254] = 'z';
  rtl::ShortString s(long_);
  EXPECT_EQ(s.size(), 255u);
  EXPECT_EQ(s[254], 'z');
  EXPECT_EQ(std::strlen(s.c_str()), 255u);
  s += "more";
  EXPECT_EQ(s.size(), 255u);
  rtl::ShortString t("abc");
  t += std::string(400, 'b');
  EXPECT_EQ(t.size(), 255u);
  EXPECT_EQ(t.view().substr(0, 4), "abcb");
  t.resize(2);
  EXPECT_EQ(t, "ab");
  EXPECT_EQ(rtl::ShortString(static_cast<const char*>(nullptr)), "");
}
