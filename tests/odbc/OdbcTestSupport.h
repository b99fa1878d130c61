#pragma once
// What the ODBC tests share: a fresh library environment per test, connections to the two
// real drivers by their registered names, and a raw statement handle for the failures only a
// statement produces.

#include "odbc/OCL.h"
#include "tests/support/Library.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace ocl_test {

// Starts the library before each test and stops it afterwards.
class OdbcTest : public ::testing::Test {
 protected:
  void SetUp() override { ocl::OCL_Startup(); }
  void TearDown() override { ocl::OCL_Shutdown(); }
};

// A connection without an owner, pointed at nothing yet.
std::unique_ptr<ocl::THdbc> NewConnection();

// A connection without an owner, connected to a SQLite database file or to the test server.
std::unique_ptr<ocl::THdbc> ConnectedTo(bool Sqlite, const std::string& SqliteFile);

// A statement without an owner under the connection, named and with its SQL and rowset size.
std::unique_ptr<ocl::THstmt> NewStatement(ocl::THdbc& Db, const std::string& Sql,
                                          SQLUINTEGER RowSetSize = 1,
                                          const std::string& Name = "Query");

// Runs the call, which must raise E; the exception, for further checks. A call that raises
// nothing, or something else, fails the test.
template <class E, class Call>
E Raised(Call&& call) {
  try {
    call();
  } catch (const E& e) {
    return e;
  } catch (const std::exception& e) {
    ADD_FAILURE() << "raised another exception: " << e.what();
    throw;
  }
  ADD_FAILURE() << "raised nothing";
  throw std::logic_error("no exception");
}

// Connects to a new SQLite database file with a write pending in an open transaction, which
// SQLite will not close.
void OpenTransaction(ocl::THdbc& db, const std::string& file);

// Tests of the scripted driver (SCRIPTED_DRIVER_PATH). The driver stays loaded for the whole
// test, so that what it records covers the test from before the first connect; its records are
// reset at the start.
class ScriptedDriverTest : public OdbcTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A function or variable the driver exports for tests (see ScriptedDriver.cpp).
  template <class T>
  T* Exported(const char* Name) {
    auto* symbol = testing_support::ModuleSymbol<T>(driver_, Name);
    EXPECT_NE(symbol, nullptr) << Name;
    return symbol;
  }

 private:
  void* driver_ = nullptr;
};

// Points a connection at a SQLite database file through the "SQLite3" driver.
void UseSqlite(ocl::THdbc& db, const std::string& file);
// Points a connection at the test server through the "PostgreSQL Unicode" driver; fails the
// test when scripts/testdb.sh has not started it.
void UsePostgres(ocl::THdbc& db);
// The same two as one connection string.
std::string ConnectString(bool Sqlite, const std::string& SqliteFile);

// A statement handle under a connection, checked through the library like a statement
// component's calls.
class TRawStatement : public ocl::THbase {
 public:
  TRawStatement(rtl::TComponent* AOwner, ocl::THdbc& Db);
  ~TRawStatement() override;
  SQLSMALLINT HandleType() const override { return SQL_HANDLE_STMT; }
  SQLHANDLE CurrentHandle() const override { return handle_; }
  SQLHSTMT Handle() const { return handle_; }
  void Execute(const std::string& Sql);
  // Passes a return code through the library's check.
  using ocl::THbase::Check;

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

// Runs one statement on the connection.
void ExecSql(ocl::THdbc& db, const std::string& sql);

}  // namespace ocl_test
