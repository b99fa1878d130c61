// A column binding that fails half-way. No real driver refuses SQLBindCol on demand, so this
// program reaches the driver manager's SQLBindCol through a link-time wrapper (-Wl,--wrap)
// that refuses the bind of a chosen column once and passes every other call on.

#include "tests/odbc/OdbcTestSupport.h"

using namespace ocl;

namespace {
SQLUSMALLINT refuseColumn = 0;
}  // namespace

extern "C" SQLRETURN __real_SQLBindCol(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT type,
                                       SQLPOINTER value, SQLLEN length, SQLLEN* indicator);

extern "C" SQLRETURN __wrap_SQLBindCol(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT type,
                                       SQLPOINTER value, SQLLEN length, SQLLEN* indicator) {
  if (column != 0 && column == refuseColumn) {
    refuseColumn = 0;
    return SQL_ERROR;
  }
  return __real_SQLBindCol(statement, column, type, value, length, indicator);
}

namespace {

using BindFailureTest = ocl_test::OdbcTest;

TEST_F(BindFailureTest, TheNextBindingStartsAfreshInColumnOrder) {
  testing_support::TempFolder folder;
  auto db = ocl_test::NewConnection();
  ocl_test::UseSqlite(*db, folder.File("bind.sqlite"));
  db->Connect();
  ocl_test::ExecSql(*db, "CREATE TABLE t (a INTEGER, b VARCHAR(10), c DOUBLE)");
  ocl_test::ExecSql(*db, "INSERT INTO t VALUES (1, 'one', 1.5)");
  std::unique_ptr<THstmt> stmt(rtl::TComponent::Create<THstmt>(nullptr));
  stmt->SethDbc(db.get());
  stmt->SetSQL("SELECT a, b, c FROM t");
  stmt->Execute();

  refuseColumn = 2;
  ocl_test::Raised<EODBC>([&] { stmt->ColCount(); });
  EXPECT_FALSE(stmt->ColsBound());
  EXPECT_EQ(stmt->Columns().size(), 2u);  // the records made so far stay

  ASSERT_EQ(stmt->ColCount(), 3);
  ASSERT_EQ(stmt->Columns().size(), 5u);  // three columns, row status and marks
  std::vector<std::string> names;
  for (const TColName& name : stmt->ColNames()) names.push_back(name.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(stmt->Columns()[0]->CType, SQL_C_SBIGINT);
  EXPECT_EQ(stmt->Columns()[1]->CType, SQL_C_CHAR);
  EXPECT_EQ(stmt->Columns()[2]->CType, SQL_C_DOUBLE);
  EXPECT_EQ(stmt->Columns()[3].get(), stmt->RowStatusArray());
  ASSERT_TRUE(stmt->Fetch());
  EXPECT_EQ(stmt->Cell("b", 1).AsString(), "one");
  EXPECT_EQ(stmt->Cell("c", 1).AsDouble(), 1.5);

  // Leftovers of a failure go with Close as well.
  refuseColumn = 3;
  ocl_test::Raised<EODBC>([&] { stmt->BindCols(); });
  EXPECT_EQ(stmt->Columns().size(), 3u);
  stmt->Close();
  EXPECT_TRUE(stmt->Columns().empty());
  EXPECT_TRUE(stmt->ColNames().empty());
}

}  // namespace
