// The error dialog on the offscreen platform.

#include "odbc/OCLError.h"
#include "rtl/Application.h"
#include "tests/support/ModalWatcher.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>

#include <vector>

using namespace ocl;

namespace {

struct Seen {
  int height = 0, clientHeight = 0;
  bool details = false;
  QString button;
};

Seen Look(TOEErrorDialog* d) {
  return {d->Height(), d->height(), d->DetailsShown, d->Button2->text()};
}

TEST(ErrorDialog, OpensCollapsedAndTogglesTheDetails) {
  rtl::Application::Instance()->SetTitle("Melrok");
  testing_support::ModalWatcher watcher;
  std::vector<Seen> seen;
  QString caption, memo, state, native, summary;
  bool bevelHidden = false, memoShown = false;
  watcher.Expect([&](QWidget* modal) {
    auto* d = qobject_cast<TOEErrorDialog*>(modal);
    ASSERT_NE(d, nullptr);
    caption = d->windowTitle();
    summary = d->Label1->text();
    memo = d->Memo1->toPlainText();
    state = d->Edit1->text();
    native = d->Edit2->text();
    seen.push_back(Look(d));
    bevelHidden = d->Bevel1->geometry().top() >= d->height();
    d->Button2->click();
    seen.push_back(Look(d));
    memoShown =
        d->Edit2->geometry().bottom() < d->height() && d->Memo1->geometry().bottom() < d->height();
    d->Button2->click();
    seen.push_back(Look(d));
    d->Button2->click();  // closed while expanded
    d->Button1->click();
  });
  EODBC error(nullptr, SQL_ERROR, "42601", -7, "[Driver]syntax error at or near \"SELEKT\"");
  ShowODBCError(error, "Cannot run the query.");
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(caption, "Database Error: Melrok");
  EXPECT_EQ(summary, "Cannot run the query.");
  EXPECT_EQ(memo, "[Driver]syntax error at or near \"SELEKT\"");
  EXPECT_EQ(state, "42601");
  EXPECT_EQ(native, "-7");

  EXPECT_EQ(seen[0].height, 111);
  EXPECT_EQ(seen[0].clientHeight, 84);
  EXPECT_FALSE(seen[0].details);
  EXPECT_EQ(seen[0].button, "Details >>");
  EXPECT_TRUE(bevelHidden);
  EXPECT_EQ(seen[1].height, 242);
  EXPECT_EQ(seen[1].clientHeight, 215);
  EXPECT_TRUE(seen[1].details);
  EXPECT_EQ(seen[1].button, "Details <<");
  EXPECT_TRUE(memoShown);
  EXPECT_EQ(seen[2].height, 111);
  EXPECT_EQ(seen[2].button, "Details >>");

  EXPECT_EQ(watcher.Pending(), 0);
}

TEST(ErrorDialog, ADialogShownAgainAfterClosingExpandedOpensCollapsed) {
  testing_support::ModalWatcher watcher;
  TOEErrorDialog dialog;
  dialog.Summary = "Cannot run the query.";
  std::vector<Seen> seen;
  watcher.Expect([&](QWidget* modal) {
    ASSERT_EQ(modal, &dialog);
    dialog.Button2->click();
    seen.push_back(Look(&dialog));
    dialog.Button1->click();  // closed while expanded
  });
  dialog.exec();
  watcher.Expect([&](QWidget* modal) {
    ASSERT_EQ(modal, &dialog);
    seen.push_back(Look(&dialog));
    dialog.Button1->click();
  });
  dialog.exec();
  EXPECT_EQ(watcher.Pending(), 0);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen[0].details);
  EXPECT_EQ(seen[0].clientHeight, 215);
  EXPECT_FALSE(seen[1].details);
  EXPECT_EQ(seen[1].clientHeight, 84);
  EXPECT_EQ(seen[1].button, "Details >>");
}

TEST(ErrorDialog, AnUnreadableRecordWithAnEmptyTitle) {
  rtl::Application::Instance()->SetTitle("");
  testing_support::ModalWatcher watcher;
  QString caption, memo, state, native;
  bool detailsByEnter = false, closedByEnter = false;
  watcher.Expect([&](QWidget* modal) {
    auto* d = qobject_cast<TOEErrorDialog*>(modal);
    caption = d->windowTitle();
    memo = d->Memo1->toPlainText();
    state = d->Edit1->text();
    native = d->Edit2->text();
    // Enter presses the focused button; in an edit box it reaches the default button, OK.
    QApplication::setActiveWindow(d);
    ASSERT_TRUE(QTest::qWaitForWindowActive(d));
    d->Button2->setFocus();
    QTest::keyClick(d->Button2, Qt::Key_Return);
    detailsByEnter = d->isVisible() && d->DetailsShown;
    d->Edit1->setFocus();
    QTest::keyClick(d->Edit1, Qt::Key_Return);
    closedByEnter = !d->isVisible();
    if (!closedByEnter) d->Button1->click();
  });
  EODBC error(nullptr, SQL_ERROR, "", 0, "Unable to Retrieve ODBC Error");
  ShowODBCError(error, "Cannot connect Db to database.");
  EXPECT_EQ(caption, "Database Error: ");
  EXPECT_EQ(memo, "Unable to Retrieve ODBC Error");
  EXPECT_EQ(state, "");
  EXPECT_EQ(native, "0");
  EXPECT_TRUE(detailsByEnter);
  EXPECT_TRUE(closedByEnter);
}

TEST(ErrorDialog, ALongMessageStaysWholeInTheReadOnlyMemo) {
  testing_support::ModalWatcher watcher;
  QString memo;
  bool readOnly = false;
  watcher.Expect([&](QWidget* modal) {
    auto* d = qobject_cast<TOEErrorDialog*>(modal);
    memo = d->Memo1->toPlainText();
    readOnly = d->Memo1->isReadOnly() && d->Edit1->isReadOnly() && d->Edit2->isReadOnly();
    d->Button1->click();
  });
  std::string text(2000, 'x');
  ShowODBCError(EODBC(nullptr, SQL_ERROR, "HY000", 1, text), "Long.");
  EXPECT_EQ(memo.size(), 2000);
  EXPECT_TRUE(readOnly);
}

}  // namespace
