#pragma once
// What the ODBC tests share: a fresh library environment per test, connections to the two
// real drivers by their registered names, and a raw statement handle for the failures only a
// statement produces.

#include "odbc/OCL.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace ocl_test {

// Starts the library before each test and stops it afterwards.
class OdbcTest : public ::testing::Test {
 protected:
  void SetUp() override { ocl::OCL_Startup(); }
  void TearDown() override { ocl::OCL_Shutdown(); }
};

// Points a connection at a SQLite database file through the "SQLite3" driver.
void UseSqlite(ocl::THdbc& db, const std::string& file);
// Points a connection at the test server through the "PostgreSQL Unicode" driver; fails the
// test when scripts/testdb.sh has not started it.
void UsePostgres(ocl::THdbc& db);

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
