#include "platform/WindowHandles.h"
#include "suite/Rt_forms.h"
#include "tests/suite/TestRouter.h"

#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

using namespace suite;
using testing_support::TestRouter;

namespace {

rtl::TCreateParams ParamsOf(TServerDialog& dialog) {
  rtl::TCreateParams params;
  dialog.CreateParams(params);
  return params;
}

}  // namespace

TEST(ServerDialogFrame, StyleIsExactWhateverTheFormAsksFor) {
  TServerDialog dialog;
  for (auto border : {rtl::TFormBorderStyle::bsSizeable, rtl::TFormBorderStyle::bsSingle,
                      rtl::TFormBorderStyle::bsNone, rtl::TFormBorderStyle::bsToolWindow}) {
    dialog.BorderStyle = border;
    dialog.BorderIcons = rtl::biSystemMenu | rtl::biMinimize | rtl::biMaximize;
    rtl::TCreateParams params = ParamsOf(dialog);
    EXPECT_EQ(params.Style, 0x80C80080u);
    EXPECT_EQ(params.ExStyle & 0x401u, 0x401u);
  }
  // Other extended-style bits stay.
  dialog.BorderStyle = rtl::TFormBorderStyle::bsToolWindow;
  EXPECT_EQ(ParamsOf(dialog).ExStyle, WS_EX_TOOLWINDOW | 0x401u);
}

TEST(ServerDialogFrame, WindowIsAFixedDialogWithHelpButtonAndNoOwnerWithoutRouter) {
  RouterModule = nullptr;
  LoadRouterEntries();
  TServerDialog dialog;
  dialog.BorderStyle = rtl::TFormBorderStyle::bsSizeable;
  dialog.resize(200, 100);
  dialog.show();
  ASSERT_TRUE(dialog.HandleAllocated());
  EXPECT_EQ(dialog.parentWidget(), nullptr);
  EXPECT_EQ(dialog.CreatedParams().WndParent, 0u);

  Qt::WindowFlags flags = dialog.windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_TRUE(flags & Qt::WindowContextHelpButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(dialog.minimumSize(), QSize(200, 100));
  EXPECT_EQ(dialog.maximumSize(), QSize(200, 100));
}

TEST(ServerDialogFrame, OwnerIsTheHostsMainWindowAskedAgainOnRecreateAndFreesNothing) {
  auto* hostWindow = new QWidget;
  QWidget otherHostWindow;
  TestRouter router(TEST_ROUTER_FULL);
  router.SetClientMainWindow(platform::HandleOf(hostWindow));

  QPointer<TServerDialog> dialog = new TServerDialog;
  dialog->show();
  EXPECT_EQ(dialog->Owner(), hostWindow);
  EXPECT_EQ(dialog->windowHandle()->transientParent(), hostWindow->windowHandle());
  // The host's main window going first leaves the dialog alive, without an owner.
  delete hostWindow;
  ASSERT_FALSE(dialog.isNull());
  EXPECT_EQ(dialog->Owner(), nullptr);
  EXPECT_EQ(dialog->windowHandle()->transientParent(), nullptr);

  router.SetClientMainWindow(platform::HandleOf(&otherHostWindow));
  dialog->RecreateWnd();
  EXPECT_EQ(dialog->windowHandle()->transientParent(), otherHostWindow.windowHandle());
  EXPECT_TRUE(dialog->isWindow());
  EXPECT_TRUE(dialog->isVisible());
  delete dialog;
}

TEST(ServerDialogFrame, HelpFileNameStartsEmptyAndIsSetByName) {
  TServerDialog dialog;
  EXPECT_TRUE(dialog.HelpFileName.empty());
  ASSERT_TRUE(QMetaObject::invokeMethod(&dialog, "SetState_HelpFileName",
                                        Q_ARG(QString, QString("PLD.HLP"))));
  EXPECT_EQ(dialog.HelpFileName, "PLD.HLP");
}
