// What real drivers do not do on demand, through the scripted test driver: warnings on
// connect and disconnect, a failing disconnect, unreadable diagnostics, refused isolation
// levels, no SQLDescribeParam; and what arrives at the driver on connect.

#include "odbc/OCLError.h"
#include "rtl/ComponentReader.h"
#include "tests/odbc/OdbcTestSupport.h"
#include "tests/support/ModalWatcher.h"

#include <QLineEdit>
#include <QPlainTextEdit>

#include <memory>
#include <set>

using namespace ocl;
using ocl_test::Raised;

namespace {

class ScriptedTest : public ocl_test::ScriptedDriverTest {
 protected:
  std::unique_ptr<THdbc> Scripted(std::vector<std::string> script) {
    auto db = ocl_test::NewConnection();
    db->SetDriver(SCRIPTED_DRIVER_PATH);
    db->SetAttributes(script);
    db->OnConnect = [this](rtl::TComponent*) { ++connects_; };
    return db;
  }
  int IsolationSets() { return *Exported<int>("ScriptedDriver_IsolationSets"); }
  int Rollbacks() { return *Exported<int>("ScriptedDriver_Rollbacks"); }
  std::string LastConnect() { return Exported<char>("ScriptedDriver_LastConnect"); }
  int connects_ = 0;
};

TEST_F(ScriptedTest, AConnectWarningIsAcceptedUnlessInfoIsError) {
  auto db = Scripted({"Connect=warning"});
  db->Connect();
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(connects_, 1);
  db->Disconnect();

  Environment()->Error().InfoIsError = true;
  EODBC e = Raised<EODBC>([&] { db->Connect(); });
  EXPECT_EQ(e.RetCode, SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(e.SqlState, "01000");
  EXPECT_EQ(e.NativeError, 4711);
  EXPECT_EQ(e.Message(), "[Scripted]connected with a warning");
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ(connects_, 1);
  // The driver's connection was closed too: the handle frees without complaint.
  EXPECT_NO_THROW(db->FreeHandle());
  EXPECT_FALSE(db->Allocated());
}

TEST_F(ScriptedTest, ADriverWithoutDescribeParamIsNotedAndALongAnswerIsCut) {
  auto db = Scripted({});
  db->Connect();
  EXPECT_TRUE(db->NoDescribeParam());
  EXPECT_EQ(db->GetInfoString(SQL_DBMS_NAME), "Scripted");
  // 300 characters arrive cut to the buffer, with a warning that is no failure.
  EXPECT_EQ(db->GetInfoString(SQL_SERVER_NAME), std::string(255, 'S'));
}

TEST_F(ScriptedTest, SQLConnectHandsOverTheDataSourceUserAndPasswordUnchanged) {
  // The driver registered as a data source in an odbc.ini of this test's own.
  testing_support::TempFolder folder;
  testing_support::WriteFile(folder.File("odbc.ini"),
                             "[MelrokScripted]\nDriver=" SCRIPTED_DRIVER_PATH "\n");
  testing_support::ScopedEnv ini("ODBCINI", folder.File("odbc.ini").c_str());
  auto db = ocl_test::NewConnection();
  db->SetDataSource("MelrokScripted");
  db->SetUserName("me;{x}");
  db->SetPassword(" p=w; ");
  db->Connect();
  EXPECT_EQ(LastConnect(), "SQLConnect(MelrokScripted, me;{x},  p=w; )");
}

TEST_F(ScriptedTest, SQLDriverConnectGetsThePromptModeAndTheWindow) {
  auto db = Scripted({});
  db->SetInfoPrompt(SQL_DRIVER_COMPLETE_REQUIRED);
  TOCLUserInterface hooks;
  hooks.MainWindow = [] { return reinterpret_cast<SQLHWND>(0x5150); };
  SetUserInterface(hooks);
  db->Connect();
  EXPECT_EQ(LastConnect(), "SQLDriverConnect(0x5150, 3)");

  // The environment's own prompt window comes first.
  db->Disconnect();
  Environment()->PromptWindow = reinterpret_cast<SQLHWND>(0x1234);
  db->SetInfoPrompt(SQL_DRIVER_COMPLETE);
  db->Connect();
  EXPECT_EQ(LastConnect(), "SQLDriverConnect(0x1234, 1)");
}

TEST_F(ScriptedTest, ADisconnectWarningCountedAsFailureStillClosesTheConnection) {
  auto db = Scripted({"Disconnect=warning"});
  int disconnects = 0;
  db->OnDisconnect = [&](rtl::TComponent*) { ++disconnects; };
  db->Connect();
  Environment()->Error().InfoIsError = true;
  EODBC e = Raised<EODBC>([&] { db->Disconnect(); });
  EXPECT_EQ(e.RetCode, SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(e.SqlState, "01002");
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ(disconnects, 1);
  // Nothing is left that the driver manager would refuse (08003).
  EXPECT_TRUE(db->FreeHandle());
  EXPECT_EQ(disconnects, 1);
}

TEST_F(ScriptedTest, AConnectionExceptionIsALostLinkWhereTheDriverCannotTell) {
  // The driver answers no SQL_ATTR_CONNECTION_DEAD; its first disconnect fails with 08S01.
  auto db = Scripted({"Disconnect=flaky"});
  db->Connect();
  EXPECT_EQ(Raised<EODBC>([&] { db->Disconnect(); }).SqlState, "08S01");
  EXPECT_FALSE(db->Connected());
  db->Connect();
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(connects_, 2);
}

TEST_F(ScriptedTest, DestructionRollsBackOnlyWhenADisconnectIsRefusedForATransaction) {
  // The first disconnect fails for another reason; a plain retry closes the connection.
  auto db = Scripted({"Disconnect=flaky"});
  int disconnects = 0;
  db->OnDisconnect = [&](rtl::TComponent*) { ++disconnects; };
  db->Connect();
  int rollbacks = Rollbacks();
  EXPECT_NO_THROW(db.reset());
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(Rollbacks(), rollbacks);
  EXPECT_TRUE(Environment()->Children().Empty());
}

TEST_F(ScriptedTest, AnUnreadableDiagnosticStillRaisesWithTheReturnCode) {
  auto db = Scripted({"Connect=fail", "Diag=unreadable"});
  EODBC e = Raised<EODBC>([&] { db->Connect(); });
  EXPECT_EQ(e.RetCode, SQL_ERROR);
  EXPECT_EQ(e.Message(), "Unable to Retrieve ODBC Error");
  EXPECT_EQ(e.SqlState, "");
  EXPECT_EQ(e.NativeError, 0);
  EXPECT_TRUE(e.Records.empty());
  EXPECT_FALSE(db->Connected());
}

TEST_F(ScriptedTest, EveryDiagnosticRecordIsReachable) {
  auto db = Scripted({"Connect=fail", "Diag=several"});
  EODBC e = Raised<EODBC>([&] { db->Connect(); });
  std::multiset<std::string> records;
  for (const TDiagRecord& r : e.Records)
    records.insert(r.SqlState + " " + std::to_string(r.NativeError) + " " + r.Message);
  EXPECT_EQ(records, (std::multiset<std::string>{"08001 4711 [Scripted]the server is not there",
                                                 "01000 2 [Scripted]record 2",
                                                 "01000 3 [Scripted]record 3"}));
  // The driver manager puts the error before the warnings; the first is the exception's own.
  ASSERT_FALSE(e.Records.empty());
  EXPECT_EQ(e.Records[0].SqlState, "08001");
  EXPECT_EQ(e.SqlState, "08001");
  EXPECT_EQ(e.NativeError, 4711);
  EXPECT_EQ(e.Message(), "[Scripted]the server is not there");
}

TEST_F(ScriptedTest, TheErrorDialogShowsAnUnreadableDiagnosticFromALoadedConnection) {
  OCLError_Startup();
  testing_support::ModalWatcher watcher;
  QString summary, memo, state, native;
  watcher.Expect([&](QWidget* modal) {
    auto* d = qobject_cast<TOEErrorDialog*>(modal);
    ASSERT_NE(d, nullptr);
    summary = d->Label1->text();
    memo = d->Memo1->toPlainText();
    state = d->Edit1->text();
    native = d->Edit2->text();
    d->Button1->click();
  });
  rtl::TComponent owner(nullptr);
  std::string text =
      std::string("object Remote: THdbc\n  Driver = '") + SCRIPTED_DRIVER_PATH +
      "'\n  Attributes = ('Connect=fail' 'Diag=unreadable')\n  Connected = True\nend\n";
  EXPECT_NO_THROW(rtl::ReadComponents(text, &owner));
  OCLError_Shutdown();
  EXPECT_EQ(watcher.Pending(), 0);
  EXPECT_EQ(summary, "Cannot connect Remote to database.");
  EXPECT_EQ(memo, "Unable to Retrieve ODBC Error");
  EXPECT_EQ(state, "");
  EXPECT_EQ(native, "0");
}

TEST_F(ScriptedTest, TheIsolationLevelIsSetOnlyWhenItDiffers) {
  auto db = Scripted({"Isolation=refuse"});
  int sets = IsolationSets();
  db->Connect();  // the driver's level is already the default
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(IsolationSets(), sets);
  db->SetIsolationLevel(SQL_TXN_READ_COMMITTED);  // the current level
  EXPECT_EQ(IsolationSets(), sets);

  EXPECT_EQ(Raised<EODBC>([&] { db->SetIsolationLevel(SQL_TXN_SERIALIZABLE); }).SqlState, "HYC00");
  EXPECT_EQ(IsolationSets(), sets + 1);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(db->IsolationLevel(), static_cast<SQLUINTEGER>(SQL_TXN_SERIALIZABLE));
}

TEST_F(ScriptedTest, ARefusedIsolationLevelOnConnectLeavesItOpenWithoutOnConnect) {
  auto db = Scripted({"Isolation=refuse"});
  db->SetIsolationLevel(SQL_TXN_SERIALIZABLE);
  EXPECT_THROW(db->Connect(), EODBC);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(connects_, 0);
}

TEST_F(ScriptedTest, AnUnreadableIsolationLevelIsOnlyStored) {
  auto db = Scripted({"IsolationRead=fail"});
  db->Connect();
  int sets = IsolationSets();
  EXPECT_NO_THROW(db->SetIsolationLevel(SQL_TXN_SERIALIZABLE));
  EXPECT_EQ(db->IsolationLevel(), static_cast<SQLUINTEGER>(SQL_TXN_SERIALIZABLE));
  EXPECT_EQ(IsolationSets(), sets);
}

}  // namespace
