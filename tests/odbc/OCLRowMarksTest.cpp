// Marked rows of a rowset that holds no fetched rows: while the rows are read to the end of
// the result, and in the buffers of an empty result that the application fills itself.

#include "tests/odbc/OdbcTestSupport.h"

using namespace ocl;
using ocl_test::ExecSql;

namespace {

class RowMarksTest : public ocl_test::OdbcTest {
 protected:
  void SetUp() override {
    OdbcTest::SetUp();
    db_ = ocl_test::ConnectedTo(true, folder_.File("parts.db"));
    ExecSql(*db_, "CREATE TABLE parts (id INTEGER PRIMARY KEY, name VARCHAR(40), price DOUBLE)");
    ExecSql(*db_,
            "INSERT INTO parts VALUES (1, 'Bolt', 0.25), (2, 'Nut', 0.1), (3, 'Washer', 0.05)");
  }
  void TearDown() override {
    db_.reset();
    OdbcTest::TearDown();
  }
  std::unique_ptr<THstmt> Query(const std::string& sql, SQLUINTEGER rowSetSize) {
    std::unique_ptr<THstmt> stmt(rtl::TComponent::Create<THstmt>(nullptr));
    stmt->SethDbc(db_.get());
    stmt->SetRowSetSize(rowSetSize);
    stmt->SetSQL(sql);
    stmt->Execute();
    return stmt;
  }
  std::string Parts() {
    auto stmt = Query("SELECT id, name, price FROM parts ORDER BY id", 1);
    std::string text;
    for (auto& row : stmt->Rows())
      text += row[1].AsString() + " " + row[2].AsString() + " " + row[3].AsString() + "\n";
    return text;
  }

  testing_support::TempFolder folder_;
  std::unique_ptr<THdbc> db_;
};

TEST_F(RowMarksTest, MarkedRowsAreWrittenWhenNoRowsAreFetched) {
  auto parts = Query("SELECT id, name, price FROM parts ORDER BY id", 10);
  parts->SetPrimary(1);
  for (auto& row : parts->Rows()) {
    if (row["name"].AsString() != "Nut") continue;
    row["price"].SetDouble(0.12);
    row.SetMark(roUpdate);
  }
  // The range fetched until the end, writing the marked row before: no rows are fetched now,
  // and the operation finds nothing more to do.
  ASSERT_EQ(parts->RowsFetched(), 0u);
  parts->Update();

  parts = Query("SELECT id, name, price FROM parts WHERE 1 = 0", 10);
  parts->Cell(1, 1).SetInteger(4);
  parts->Cell(2, 1).SetString("Spring");
  parts->Cell(3, 1).SetDouble(1.5);
  parts->Cell(1, 2).SetInteger(5);
  parts->Cell(2, 2).SetString("Pin");
  parts->Cell(3, 2).SetDouble(0.02);
  parts->SetRowMark(1, roInsert);
  parts->SetRowMark(2, roInsert);
  parts->Insert();

  EXPECT_EQ(Parts(), "1 Bolt 0.25\n2 Nut 0.12\n3 Washer 0.05\n4 Spring 1.5\n5 Pin 0.02\n");
}

}  // namespace
