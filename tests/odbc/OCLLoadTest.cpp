// Connections read from stored descriptions: the deferred Connected and the error dialog.

#include "odbc/OCLError.h"
#include "rtl/ComponentReader.h"
#include "tests/odbc/OdbcTestSupport.h"
#include "tests/support/ModalWatcher.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <memory>

using namespace ocl;

namespace {

class LoadTest : public ocl_test::OdbcTest {
 protected:
  void SetUp() override {
    OCLError_Startup();
    OdbcTest::SetUp();
  }
  void TearDown() override {
    OdbcTest::TearDown();
    OCLError_Shutdown();
  }
  std::string Description(const std::string& file, bool connected) {
    return "# the sales database\n"
           "object SalesDb: THdbc\n"
           "  Driver = 'SQLite3'\n"
           "  Attributes = ('Database=" +
           file +
           "')\n"
           "  Connected = " +
           (connected ? "True" : "False") +
           "\n"
           "  Tag = 7\n"
           "end\n";
  }
  testing_support::TempFolder folder_;
};

TEST_F(LoadTest, AStoredConnectionConnectsOnceLoaded) {
  rtl::TComponent owner(nullptr);
  auto created = rtl::ReadComponents(Description(folder_.File("sales.db"), true), &owner);
  ASSERT_EQ(created.size(), 1u);
  auto* db = dynamic_cast<THdbc*>(owner.FindComponent("SalesDb"));
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(created[0], db);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(db->Tag(), 7);
  EXPECT_EQ(db->GetInfoString(SQL_DATABASE_NAME), folder_.File("sales.db"));
  EXPECT_FALSE(db->InState(rtl::csLoading));

  auto* idle = dynamic_cast<THdbc*>(rtl::ReadComponents(
      "object Idle: THdbc\n Driver = 'SQLite3'\n Connected = False\nend", &owner)[0]);
  EXPECT_FALSE(idle->Allocated());
}

TEST_F(LoadTest, AFailedConnectShowsTheErrorDialogAndRaisesNothing) {
  rtl::TComponent owner(nullptr);
  testing_support::ModalWatcher watcher;
  QString label, memo, state, native, caption;
  watcher.Expect([&](QWidget* modal) {
    auto* dialog = qobject_cast<TOEErrorDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    label = dialog->Label1->text();
    memo = dialog->Memo1->toPlainText();
    state = dialog->Edit1->text();
    native = dialog->Edit2->text();
    dialog->Button1->click();
  });
  std::vector<rtl::TComponent*> created;
  EXPECT_NO_THROW(created = rtl::ReadComponents(
                      Description(folder_.File("missing folder/sales.db"), true), &owner));
  EXPECT_EQ(watcher.Pending(), 0);
  EXPECT_EQ(watcher.Modals, QStringList{"ocl::TOEErrorDialog"});
  EXPECT_EQ(label, "Cannot connect SalesDb to database.");
  EXPECT_EQ(memo, "[SQLite]connect failed");
  EXPECT_EQ(state, "HY000");
  EXPECT_EQ(native, "14");
  ASSERT_EQ(created.size(), 1u);
  EXPECT_FALSE(static_cast<THdbc*>(created[0])->Connected());
}

TEST_F(LoadTest, WithoutTheDialogTheFailureGoesToTheCallerAfterTheOthersLoaded) {
  OCLError_Shutdown();
  rtl::TComponent owner(nullptr);
  std::string text = Description(folder_.File("missing folder/x.db"), true) +
                     "object OtherDb: THdbc\n  Driver = 'SQLite3'\n  Attributes = ('Database=" +
                     folder_.File("other.db") + "')\n  Connected = True\nend\n";
  EXPECT_THROW(rtl::ReadComponents(text, &owner), EODBC);
  ASSERT_EQ(owner.ComponentCount(), 2);
  auto* other = static_cast<THdbc*>(owner.FindComponent("OtherDb"));
  ASSERT_NE(other, nullptr);
  EXPECT_TRUE(other->Connected());
  EXPECT_FALSE(other->InState(rtl::csLoading));
}

TEST_F(LoadTest, ADatabaseErrorFromAPropertyKeepsItsClass) {
  // A pooling change closes every connection; SQLite refuses while a transaction is open.
  auto busy = ocl_test::NewConnection();
  ocl_test::OpenTransaction(*busy, folder_.File("busy.db"));

  rtl::TComponent owner(nullptr);
  EODBC e = ocl_test::Raised<EODBC>([&] {
    rtl::ReadComponents("object PooledDb: THdbc\n  ConnectionPooling = True\nend\n", &owner);
  });
  EXPECT_EQ(e.SqlState, "25000");
  EXPECT_EQ(e.Component, busy.get());
  EXPECT_EQ(owner.ComponentCount(), 0);
  ASSERT_TRUE(SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, busy->Handle(), SQL_ROLLBACK)));
}

TEST_F(LoadTest, AnOwnerInDesignModeWarnsOfASecondEnvironment) {
  rtl::TComponent owner(nullptr);
  owner.SetDesigning(true);
  testing_support::ModalWatcher watcher;
  watcher.ExpectMessageBox();
  rtl::TComponent::Create<THenv>(&owner);
  EXPECT_TRUE(watcher.MessageBoxes.isEmpty());  // the first one is welcome
  auto* second = rtl::TComponent::Create<THenv>(&owner);
  ASSERT_EQ(watcher.MessageBoxes.size(), 1);
  EXPECT_TRUE(watcher.MessageBoxes[0].endsWith("|You only need one environment class."));
  EXPECT_TRUE(second->Allocated());  // and it goes on
}

}  // namespace
