// Connections on the two real drivers: the choice of connect call, the connection string,
// property writers, pooling changes, information queries and destruction.

#include "tests/odbc/OdbcTestSupport.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace ocl;
using ocl_test::NewConnection;
using ocl_test::OdbcTest;
using ocl_test::OpenTransaction;
using ocl_test::Raised;

namespace {

SQLULEN ConnectAttr(THdbc& db, SQLINTEGER attribute) {
  SQLULEN value = 0;
  EXPECT_TRUE(SQL_SUCCEEDED(SQLGetConnectAttr(db.Handle(), attribute, &value, 0, nullptr)));
  return value;
}

class ConnectionTest : public OdbcTest {
 protected:
  testing_support::TempFolder folder_;
};

TEST_F(ConnectionTest, BothDriversAreRegisteredByName) {
  std::vector<std::string> names;
  SQLCHAR name[256], attributes[1024];
  SQLSMALLINT nameLength, attributesLength;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (SQL_SUCCEEDED(SQLDrivers(Environment()->Handle(), direction, name, sizeof name,
                                  &nameLength, attributes, sizeof attributes, &attributesLength))) {
    names.emplace_back(reinterpret_cast<char*>(name));
    direction = SQL_FETCH_NEXT;
  }
  EXPECT_NE(std::find(names.begin(), names.end(), "SQLite3"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "PostgreSQL Unicode"), names.end());
}

// Which connect function the driver manager saw, from its trace of the connection.
class ConnectCallTest : public ConnectionTest {
 protected:
  std::string Traced(THdbc& db) {
    std::string file = folder_.File("trace" + std::to_string(++traces_) + ".log");
    SQLSetConnectAttr(db.Handle(), SQL_ATTR_TRACEFILE, file.data(), SQL_NTS);
    SQLSetConnectAttr(db.Handle(), SQL_ATTR_TRACE, reinterpret_cast<SQLPOINTER>(SQL_OPT_TRACE_ON),
                      0);
    std::string error;
    try {
      db.Connect();
    } catch (const EODBC& e) {
      error = e.SqlState;
    }
    SQLSetConnectAttr(db.Handle(), SQL_ATTR_TRACE, reinterpret_cast<SQLPOINTER>(SQL_OPT_TRACE_OFF),
                      0);
    std::string trace = testing_support::ReadFile(file);
    bool viaConnect = trace.find("[SQLConnect.c]") != std::string::npos;
    bool viaDriverConnect = trace.find("[SQLDriverConnect.c]") != std::string::npos;
    EXPECT_NE(viaConnect, viaDriverConnect) << trace;
    return std::string(viaConnect ? "SQLConnect" : "SQLDriverConnect") +
           (error.empty() ? "" : " " + error);
  }
  int traces_ = 0;
};

TEST_F(ConnectCallTest, SQLConnectOnlyWithoutPromptDriverAndAttributes) {
  auto empty = NewConnection();
  EXPECT_EQ(Traced(*empty), "SQLConnect IM002");  // even with no data source at all

  auto prompted = NewConnection();
  prompted->SetDataSource("MelrokNoSuchSource");
  prompted->SetInfoPrompt(SQL_DRIVER_COMPLETE);
  EXPECT_EQ(prompted->BuildConnectString(), "DSN=MelrokNoSuchSource;");
  EXPECT_EQ(Traced(*prompted), "SQLDriverConnect IM002");

  auto withDriver = NewConnection();
  ocl_test::UseSqlite(*withDriver, folder_.File("a.db"));
  EXPECT_EQ(Traced(*withDriver), "SQLDriverConnect");
  EXPECT_TRUE(withDriver->Connected());

  auto withAttributes = NewConnection();
  withAttributes->SetAttributes({"DRIVER=SQLite3", "Database=" + folder_.File("b.db")});
  EXPECT_EQ(Traced(*withAttributes), "SQLDriverConnect");
  EXPECT_EQ(withAttributes->GetInfoString(SQL_DATABASE_NAME), folder_.File("b.db"));
}

TEST_F(ConnectionTest, TheConnectionStringKeepsItsOrderAndBracesRiskyValues) {
  auto db = NewConnection();
  db->SetDataSource("Sales");
  db->SetAttributes({"ReadOnly=1"});
  EXPECT_EQ(db->BuildConnectString(), "DSN=Sales;ReadOnly=1;");

  db->SetAttributes({"A=1", "B=2"});
  db->SetDriver("Drv");
  db->SetPassword("pw");
  db->SetUserName("me");
  EXPECT_EQ(db->BuildConnectString(), "DSN=Sales;UID=me;PWD=pw;DRIVER=Drv;A=1;B=2;");

  db->SetPassword("a;DRIVER=x");
  db->SetUserName("{me");
  db->SetDataSource(" padded");
  db->SetDriver("tail ");
  db->SetAttributes({"Keep=as;is"});
  EXPECT_EQ(db->BuildConnectString(),
            "DSN={ padded};UID={{me};PWD={a;DRIVER=x};DRIVER={tail };Keep=as;is;");

  // A value that is one braced value already goes as given; one that only looks like it is
  // braced again, so that its closing brace cannot end it early.
  db->SetAttributes({});
  db->SetDriver("{SQL Driver}");
  db->SetPassword("{a}};DRIVER=x}");
  db->SetUserName("{a};DRIVER=x}");
  db->SetDataSource("{a}}");
  EXPECT_EQ(db->BuildConnectString(),
            "DSN={{a}}}}};UID={{a}};DRIVER=x}}};PWD={a}};DRIVER=x};DRIVER={SQL Driver};");
}

TEST_F(ConnectionTest, ABracedDriverNameConnects) {
  auto db = NewConnection();
  ocl_test::UseSqlite(*db, folder_.File("braced.db"));
  db->SetDriver("{SQLite3}");
  db->Connect();
  EXPECT_EQ(db->GetInfoString(SQL_DBMS_NAME), "SQLite");
}

TEST_F(ConnectionTest, APasswordCannotAddAttributes) {
  // PostgreSQL trusts the test user, so the password is not checked; unbraced, its second
  // half would make the connection read-only.
  auto db = NewConnection();
  ocl_test::UsePostgres(*db);
  db->SetPassword("x;ReadOnly=1");
  db->Connect();
  EXPECT_EQ(db->GetInfoString(SQL_DATA_SOURCE_READ_ONLY), "N");
}

class BothDrivers : public ConnectionTest, public ::testing::WithParamInterface<const char*> {
 protected:
  std::unique_ptr<THdbc> Open() {
    auto db = NewConnection();
    if (std::string(GetParam()) == "SQLite")
      ocl_test::UseSqlite(*db, folder_.File("db.sqlite"));
    else
      ocl_test::UsePostgres(*db);
    db->OnConnect = [this](rtl::TComponent*) { ++connects_; };
    db->OnDisconnect = [this](rtl::TComponent*) { ++disconnects_; };
    return db;
  }
  int connects_ = 0, disconnects_ = 0;
};

TEST_P(BothDrivers, WritingTheCurrentStateDoesNothing) {
  auto db = Open();
  db->SetConnected(false);
  EXPECT_FALSE(db->Allocated());  // no ODBC call was made
  EXPECT_EQ(disconnects_, 0);

  db->SetConnected(true);
  ASSERT_TRUE(db->Connected());
  EXPECT_EQ(connects_, 1);
  db->LastRet = 12345;
  db->SetConnected(true);
  EXPECT_EQ(db->LastRet, 12345);
  EXPECT_EQ(connects_, 1);

  db->SetConnected(false);
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ(disconnects_, 1);
  db->LastRet = 12345;
  db->SetConnected(false);
  EXPECT_EQ(db->LastRet, 12345);
  EXPECT_EQ(disconnects_, 1);
}

TEST_P(BothDrivers, WritingCursorLibWhileConnectedClosesTheConnection) {
  auto db = Open();
  db->Connect();
  EXPECT_EQ(ConnectAttr(*db, SQL_ATTR_ODBC_CURSORS), SQL_CUR_USE_DRIVER);
  db->SetCursorLib(SQL_CUR_USE_IF_NEEDED);
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ(disconnects_, 1);
  EXPECT_TRUE(db->Allocated());
  EXPECT_EQ(ConnectAttr(*db, SQL_ATTR_ODBC_CURSORS), SQL_CUR_USE_IF_NEEDED);
  // Not reopened, but it opens again on request.
  db->Connect();
  EXPECT_EQ(connects_, 2);
}

TEST_P(BothDrivers, FunctionSupportedAnswersOneFunctionAfterConnecting) {
  auto db = Open();
  for (SQLUSMALLINT all : {SQL_API_ALL_FUNCTIONS, SQL_API_ODBC3_ALL_FUNCTIONS})
    EXPECT_EQ(Raised<rtl::Exception>([&] { db->FunctionSupported(all); }).Message(),
              "Cannot return information for more than one function at a time.");
  EXPECT_FALSE(db->Allocated());

  // The driver manager refuses the question on a connection that is not open.
  EXPECT_FALSE(db->FunctionSupported(SQL_API_SQLEXECDIRECT));
  EXPECT_TRUE(db->Allocated());
  db->Connect();
  EXPECT_TRUE(db->FunctionSupported(SQL_API_SQLEXECDIRECT));
  // Both drivers describe parameters.
  EXPECT_FALSE(db->NoDescribeParam());
}

TEST_P(BothDrivers, InformationQueriesAnswerOrGiveNeutralValues) {
  auto db = Open();
  db->Connect();
  std::string dbms = db->GetInfoString(SQL_DBMS_NAME);
  EXPECT_EQ(dbms, std::string(GetParam()) == "SQLite" ? "SQLite" : "PostgreSQL");
  // A 16-bit answer arrives whole in the 32-bit value.
  EXPECT_EQ(db->GetInfoInteger(SQL_TXN_CAPABLE), static_cast<SQLUINTEGER>(SQL_TC_ALL));
  EXPECT_EQ(db->GetInfoString(9999), "");
  EXPECT_EQ(db->GetInfoInteger(9999), 0u);
}

TEST_P(BothDrivers, DestroyingAnOpenConnectionDisconnectsAfterTheTeardown) {
  struct Watcher : rtl::TComponent {
    using rtl::TComponent::TComponent;
    void Notification(rtl::TComponent* c, rtl::TOperation op) override {
      if (op == rtl::TOperation::opRemove) removed.push_back(c);
    }
    std::vector<rtl::TComponent*> removed;
  };
  rtl::TComponent owner(nullptr);
  Watcher* watcher = rtl::TComponent::Create<Watcher>(&owner);
  auto db = Open();
  owner.InsertComponent(db.get());
  db->Connect();
  THdbc* raw = db.release();
  bool sawTeardown = false;
  raw->OnDisconnect = [&](rtl::TComponent* sender) {
    sawTeardown = sender->Owner() == nullptr && sender->InState(rtl::csDestroying) &&
                  watcher->removed.size() == 1 && watcher->removed[0] == sender;
    ++disconnects_;
  };
  delete raw;
  EXPECT_EQ(disconnects_, 1);
  EXPECT_TRUE(sawTeardown);
  EXPECT_TRUE(Environment()->Children().Empty());
}

TEST_P(BothDrivers, APoolingChangeClosesEveryConnectionAndRecreatesTheEnvironment) {
  auto open = Open();
  open->Connect();
  auto allocated = NewConnection();
  allocated->Handle();
  int environmentFrees = 0;
  Environment()->OnFreeHandle = [&](rtl::TComponent*) { ++environmentFrees; };

  open->SetConnectionPooling(false);  // the current value
  EXPECT_EQ(environmentFrees, 0);
  EXPECT_TRUE(open->Connected());

  open->SetConnectionPooling(true);
  EXPECT_EQ(environmentFrees, 1);
  EXPECT_EQ(disconnects_, 1);
  EXPECT_FALSE(open->Connected());
  EXPECT_FALSE(open->Allocated());
  EXPECT_FALSE(allocated->Allocated());
  EXPECT_TRUE(Environment()->Allocated());
  EXPECT_TRUE(allocated->ConnectionPooling());
  // The new environment serves new connections.
  open->Connect();
  EXPECT_EQ(connects_, 2);
  EXPECT_EQ(Environment()->Children().Items(), (std::vector<THbase*>{open.get()}));
}

TEST_P(BothDrivers, DataSourceChangesCloseOnlyInDesignMode) {
  auto db = Open();
  db->Connect();
  db->SetDataSource("Elsewhere");
  EXPECT_TRUE(db->Connected());
  db->SetDataSource("");

  db->SetDesigning(true);
  db->SetPassword("changed");
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ(disconnects_, 1);
  EXPECT_EQ(db->Password(), "changed");
}

INSTANTIATE_TEST_SUITE_P(Drivers, BothDrivers, ::testing::Values("SQLite", "PostgreSQL"));

TEST_F(ConnectionTest, IsolationLevelReachesTheOpenConnection) {
  auto db = NewConnection();
  ocl_test::UsePostgres(*db);
  db->SetIsolationLevel(SQL_TXN_REPEATABLE_READ);  // no handle yet: only stored
  EXPECT_FALSE(db->Allocated());
  db->Connect();
  EXPECT_EQ(ConnectAttr(*db, SQL_ATTR_TXN_ISOLATION), SQL_TXN_REPEATABLE_READ);

  db->SetIsolationLevel(SQL_TXN_SERIALIZABLE);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(ConnectAttr(*db, SQL_ATTR_TXN_ISOLATION), SQL_TXN_SERIALIZABLE);
  // The server agrees.
  ocl_test::TRawStatement statement(nullptr, *db);
  statement.Execute("SHOW transaction_isolation");
  ASSERT_EQ(SQLFetch(statement.Handle()), SQL_SUCCESS);
  char value[64] = {};
  SQLLEN length = 0;
  ASSERT_TRUE(
      SQL_SUCCEEDED(SQLGetData(statement.Handle(), 1, SQL_C_CHAR, value, sizeof value, &length)));
  EXPECT_STREQ(value, "serializable");
}

TEST_F(ConnectionTest, AConnectionTheServerEndedReadsClosedAndOpensAgain) {
  auto db = NewConnection();
  ocl_test::UsePostgres(*db);
  db->SetAutoCommit(false);
  int connects = 0, disconnects = 0;
  db->OnConnect = [&](rtl::TComponent*) { ++connects; };
  db->OnDisconnect = [&](rtl::TComponent*) { ++disconnects; };
  std::unique_ptr<THstmt> stmt(rtl::TComponent::Create<THstmt>(nullptr));
  stmt->SethDbc(db.get());
  stmt->SetSQL("SELECT pg_backend_pid()");
  stmt->Execute();
  ASSERT_TRUE(stmt->Fetch());
  std::string pid = stmt->Cell(1, 1).AsString();

  // Ended from a second connection, as when the server shuts down.
  auto other = ocl_test::ConnectedTo(false, "");
  ocl_test::ExecSql(*other, "SELECT pg_terminate_backend(" + pid + ")");
  std::unique_ptr<THstmt> gone(rtl::TComponent::Create<THstmt>(nullptr));
  gone->SethDbc(other.get());
  gone->SetSQL("SELECT COUNT(*) FROM pg_stat_activity WHERE pid = " + pid);
  gone->Prepare();
  for (int tries = 0; tries < 100; ++tries) {
    gone->Execute();
    ASSERT_TRUE(gone->Fetch());
    if (gone->Cell(1, 1).AsInteger() == 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }

  stmt->SetSQL("SELECT pg_backend_pid()");
  EXPECT_EQ(Raised<EODBC>([&] { stmt->Execute(); }).SqlState, "57P01");
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ(Raised<rtl::Exception>([&] { db->Commit(); }).Message(),
            "Connection  was lost: its open work is not committed.");
  EXPECT_NO_THROW(db->Rollback());

  db->Connect();
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(connects, 2);
  stmt->SetSQL("SELECT pg_backend_pid()");
  stmt->Execute();
  ASSERT_TRUE(stmt->Fetch());
  EXPECT_NE(stmt->Cell(1, 1).AsString(), pid);
}

TEST_F(ConnectionTest, ADisconnectThatFailsRaisesButDestructionReleasesAnyway) {
  auto db = NewConnection();
  OpenTransaction(*db, folder_.File("tx.db"));

  // SQLite will not close with a transaction open.
  EXPECT_EQ(Raised<EODBC>([&] { db->Disconnect(); }).SqlState, "25000");
  EXPECT_TRUE(db->Connected());

  int disconnects = 0;
  db->OnDisconnect = [&](rtl::TComponent*) { ++disconnects; };
  EXPECT_NO_THROW(db.reset());
  EXPECT_EQ(disconnects, 1);
  EXPECT_TRUE(Environment()->Children().Empty());
  // The environment frees cleanly, so nothing was left on it.
  EXPECT_NO_THROW(Environment()->ReleaseHandle());
}

// Two open connections and one merely allocated; the newest, released first, refuses to close.
class RefusedDisconnectTest : public ConnectionTest {
 protected:
  void SetUp() override {
    ConnectionTest::SetUp();
    older_ = NewConnection();
    ocl_test::UseSqlite(*older_, folder_.File("older.db"));
    older_->Connect();
    allocated_ = NewConnection();
    allocated_->Handle();
    refusing_ = NewConnection();
    OpenTransaction(*refusing_, folder_.File("refusing.db"));
    for (THdbc* db : {older_.get(), refusing_.get()})
      db->OnDisconnect = [this](rtl::TComponent* sender) { closed_.push_back(sender); };
  }
  std::unique_ptr<THdbc> older_, allocated_, refusing_;
  std::vector<rtl::TComponent*> closed_;
};

TEST_F(RefusedDisconnectTest, ShutDownReleasesEveryConnectionAndTheEnvironment) {
  SQLHENV environment = Environment()->Handle();
  EXPECT_NO_THROW(OCL_Shutdown());
  EXPECT_FALSE(older_->Connected());
  EXPECT_FALSE(older_->Allocated());
  EXPECT_FALSE(allocated_->Allocated());
  // The refusing one gave up its transaction to close.
  EXPECT_FALSE(refusing_->Connected());
  EXPECT_FALSE(refusing_->Allocated());
  EXPECT_EQ(closed_, (std::vector<rtl::TComponent*>{older_.get(), refusing_.get()}));
  // The driver manager no longer knows the environment handle.
  SQLINTEGER version = 0;
  EXPECT_EQ(SQLGetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, &version, 0, nullptr),
            SQL_INVALID_HANDLE);
}

TEST_F(RefusedDisconnectTest, ADirectReleaseFreesTheOthersThenRaises) {
  int environmentFrees = 0;
  Environment()->OnFreeHandle = [&](rtl::TComponent*) { ++environmentFrees; };
  EODBC e = Raised<EODBC>([] { Environment()->ReleaseHandle(); });
  EXPECT_EQ(e.SqlState, "25000");
  EXPECT_EQ(e.Component, refusing_.get());
  EXPECT_EQ(environmentFrees, 1);
  EXPECT_FALSE(older_->Allocated());
  EXPECT_FALSE(allocated_->Allocated());
  EXPECT_EQ(closed_, (std::vector<rtl::TComponent*>{older_.get()}));
  // The refusing connection still needs the environment: both stay, and it stays listed.
  EXPECT_TRUE(refusing_->Connected());
  EXPECT_TRUE(Environment()->Allocated());
  EXPECT_EQ(Environment()->Children().Items(), (std::vector<THbase*>{refusing_.get()}));

  // Once the work is committed, the release completes.
  ASSERT_TRUE(SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, refusing_->Handle(), SQL_COMMIT)));
  EXPECT_TRUE(Environment()->ReleaseHandle());
  EXPECT_FALSE(refusing_->Allocated());
  EXPECT_EQ(closed_.size(), 2u);
}

}  // namespace
