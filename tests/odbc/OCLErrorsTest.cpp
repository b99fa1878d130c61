// Return-code tests, the fixed messages, and diagnostics read from real drivers.

#include "tests/odbc/OdbcTestSupport.h"

#include <memory>

using namespace ocl;
using ocl_test::NewConnection;
using ocl_test::OdbcTest;
using ocl_test::Raised;
using ocl_test::TRawStatement;

namespace {

class ErrorsTest : public OdbcTest {
 protected:
  TODBCError& Error() { return Environment()->Error(); }

  // The exception RaiseError gives for a return code.
  EODBC RaisedFor(THbase* component, SQLRETURN ret) {
    return Raised<EODBC>([&] { Error().RaiseError(component, ret); });
  }

  testing_support::TempFolder folder_;
};

TEST_F(ErrorsTest, SucceededAcceptsAWarningOnlyWhileInfoIsNoError) {
  EXPECT_TRUE(Error().Succeeded(SQL_SUCCESS));
  EXPECT_TRUE(Error().Succeeded(SQL_SUCCESS_WITH_INFO));
  for (SQLRETURN ret :
       {SQL_ERROR, SQL_INVALID_HANDLE, SQL_NO_DATA, SQL_STILL_EXECUTING, SQL_NEED_DATA})
    EXPECT_FALSE(Error().Succeeded(ret)) << ret;

  Error().InfoIsError = true;
  EXPECT_TRUE(Error().Succeeded(SQL_SUCCESS));
  EXPECT_FALSE(Error().Succeeded(SQL_SUCCESS_WITH_INFO));
}

TEST_F(ErrorsTest, OtherReturnCodesGiveFixedMessagesEvenWithDiagnosticsPresent) {
  auto db = NewConnection();
  ocl_test::UseSqlite(*db, folder_.File("fixed.db"));
  db->Connect();
  // Leave a diagnostic record on the connection: RaiseError must not report it for these.
  SQLRETURN warned = SQLSetConnectAttr(db->Handle(), SQL_ATTR_TXN_ISOLATION,
                                       reinterpret_cast<SQLPOINTER>(SQL_TXN_READ_COMMITTED), 0);
  ASSERT_EQ(warned, SQL_SUCCESS_WITH_INFO);

  struct Case {
    SQLRETURN ret;
    const char* message;
  };
  for (Case c :
       {Case{SQL_NO_DATA, "No Data Found"}, Case{SQL_INVALID_HANDLE, "Invalid ODBC Handle"},
        Case{SQL_STILL_EXECUTING, "ODBC Return Code 2"}, Case{SQL_NEED_DATA, "ODBC Return Code 99"},
        Case{-3, "ODBC Return Code -3"}}) {
    EODBC e = RaisedFor(db.get(), c.ret);
    EXPECT_EQ(e.Message(), c.message);
    EXPECT_EQ(e.RetCode, c.ret);
    EXPECT_EQ(e.SqlState, "");
    EXPECT_EQ(e.NativeError, 0);
    EXPECT_EQ(e.Component, db.get());
    EXPECT_EQ(Error().HandleType, SQL_HANDLE_DBC);
    EXPECT_EQ(Error().Handle, db->Handle());
  }
}

TEST_F(ErrorsTest, AnUnreadableRecordKeepsTheReturnCode) {
  // A connection that never allocated holds a null handle, and RaiseError does not allocate.
  auto db = NewConnection();
  Error().SqlState = "stale";
  Error().NativeError = 7;
  EODBC e = RaisedFor(db.get(), SQL_ERROR);
  EXPECT_EQ(e.Message(), "Unable to Retrieve ODBC Error");
  EXPECT_EQ(e.RetCode, SQL_ERROR);
  EXPECT_EQ(e.SqlState, "");
  EXPECT_EQ(e.NativeError, 0);
  EXPECT_FALSE(db->Allocated());
  EXPECT_EQ(Error().Handle, nullptr);

  EODBC warning = RaisedFor(db.get(), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(warning.Message(), "Unable to Retrieve ODBC Error");
  EXPECT_EQ(warning.RetCode, SQL_SUCCESS_WITH_INFO);
}

TEST_F(ErrorsTest, AFailedSqliteConnectCarriesTheDriversDiagnostic) {
  auto db = NewConnection();
  ocl_test::UseSqlite(*db, folder_.File("no such folder/x.db"));
  EODBC e = Raised<EODBC>([&] { db->Connect(); });
  EXPECT_EQ(e.Component, db.get());
  EXPECT_EQ(e.RetCode, SQL_ERROR);
  EXPECT_EQ(e.SqlState, "HY000");
  EXPECT_EQ(e.NativeError, 14);  // the database file cannot be opened
  EXPECT_EQ(e.Message(), "[SQLite]connect failed");
  EXPECT_EQ(Error().SqlState, "HY000");
  EXPECT_FALSE(db->Connected());
  EXPECT_EQ(db->LastRet, SQL_ERROR);
}

TEST_F(ErrorsTest, APostgresSyntaxErrorCarriesItsSqlState) {
  auto db = NewConnection();
  ocl_test::UsePostgres(*db);
  db->Connect();
  TRawStatement statement(nullptr, *db);
  EODBC e = Raised<EODBC>([&] { statement.Execute("SELEKT 1"); });
  EXPECT_EQ(e.Component, &statement);
  EXPECT_EQ(e.RetCode, SQL_ERROR);
  EXPECT_EQ(e.SqlState, "42601");
  EXPECT_NE(e.NativeError, 0);
  EXPECT_NE(e.Message().find("syntax error"), std::string::npos) << e.Message();
  EXPECT_EQ(Error().HandleType, SQL_HANDLE_STMT);
}

TEST_F(ErrorsTest, ALongDriverMessageArrivesWholeWithItsSqlState) {
  // unixODBC answers a message cut to the buffer as SQLite's whole, without a warning, for
  // PostgreSQL's.
  struct Case {
    bool sqlite;
    std::string sql, state, body;
  };
  std::string table(400, 'q'), raised(1000, 'x');
  for (const Case& c :
       {Case{true, "SELECT * FROM " + table, "HY000", "[SQLite]no such table: " + table},
        Case{false, "DO $$ BEGIN RAISE EXCEPTION '" + raised + "'; END $$", "P0001",
             "ERROR: " + raised}}) {
    auto db = ocl_test::ConnectedTo(c.sqlite, folder_.File("long.db"));
    TRawStatement statement(nullptr, *db);
    // Warnings counted as failures do not count the reading of the message among them.
    for (bool infoIsError : {false, true}) {
      Error().InfoIsError = infoIsError;
      EODBC e = Raised<EODBC>([&] { statement.Execute(c.sql); });
      Error().InfoIsError = false;
      EXPECT_EQ(e.SqlState, c.state) << infoIsError;
      EXPECT_EQ(e.Message().substr(0, c.body.size()), c.body) << infoIsError;
      EXPECT_GT(e.Message().size(), c.body.size()) << e.Message();
    }
  }
}

TEST_F(ErrorsTest, InfoIsErrorTurnsAWarningIntoAnException) {
  auto db = NewConnection();
  ocl_test::UseSqlite(*db, folder_.File("warn.db"));
  db->Connect();
  TRawStatement statement(nullptr, *db);
  // SQLite refuses asynchronous execution with a warning (01S02, option value changed).
  auto enableAsync = [&] {
    return SQLSetStmtAttr(statement.Handle(), SQL_ATTR_ASYNC_ENABLE,
                          reinterpret_cast<SQLPOINTER>(SQL_ASYNC_ENABLE_ON), 0);
  };
  EXPECT_NO_THROW(statement.Check(enableAsync()));
  EXPECT_EQ(statement.LastRet, SQL_SUCCESS_WITH_INFO);

  Error().InfoIsError = true;
  EODBC e = Raised<EODBC>([&] { statement.Check(enableAsync()); });
  EXPECT_EQ(e.RetCode, SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(e.SqlState, "01S02");
  EXPECT_EQ(e.Message(), "[SQLite]option value changed");
}

}  // namespace
