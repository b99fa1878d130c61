// Row operations on the scripted driver, for what no real driver here offers: statements
// positioned on the cursor (WHERE CURRENT OF), and a positioned update that asks for data.

#include "tests/odbc/OdbcTestSupport.h"

#include <memory>
#include <string>
#include <vector>

using namespace ocl;

namespace {

class RowOpsScriptedTest : public ocl_test::ScriptedDriverTest {
 protected:
  void TearDown() override {
    owner_.reset();
    ScriptedDriverTest::TearDown();
  }

  // A static cursor over the scripted rows of Parts, fetched, with Id as the key.
  THstmt* Parts(SQLUINTEGER caps, std::vector<std::string> script, SQLUINTEGER rowSetSize = 1) {
    script.push_back("Info" + std::to_string(SQL_STATIC_CURSOR_ATTRIBUTES1) + "=" +
                     std::to_string(caps));
    script.push_back("Table=Parts");
    auto* db = rtl::TComponent::Create<THdbc>(owner_.get());
    db->SetDriver(SCRIPTED_DRIVER_PATH);
    db->SetAttributes(script);
    auto* stmt = rtl::TComponent::Create<THstmt>(owner_.get());
    stmt->SetName("Parts" + std::to_string(++made_));
    stmt->SethDbc(db);
    stmt->SetCursorType(SQL_CURSOR_STATIC);
    stmt->SetRowSetSize(rowSetSize);
    stmt->SetSQL("SELECT Id, Name, Price FROM Parts");
    stmt->Execute();
    stmt->SetPrimary(1);
    EXPECT_TRUE(stmt->Fetch());
    stmt->OnStatement = [this](rtl::TComponent*, SQLUSMALLINT, std::string& text) {
      statements_.push_back(text);
    };
    return stmt;
  }

  // What the driver executed and was asked since the last call, a line each.
  std::string Log() {
    std::string all = Exported<const char*()>("ScriptedDriver_Log")();
    std::string since = all.substr(logged_);
    logged_ = all.size();
    return since;
  }

  std::unique_ptr<rtl::TComponent> owner_ = std::make_unique<rtl::TComponent>(nullptr);
  std::vector<std::string> statements_;
  std::size_t logged_ = 0;
  int made_ = 0;
};

TEST_F(RowOpsScriptedTest, StatementsPositionedOnTheCursorNameIt) {
  THstmt* stmt = Parts(SQL_CA1_NEXT | SQL_CA1_POSITIONED_UPDATE | SQL_CA1_POSITIONED_DELETE,
                       {"Columns=Id:4,Name:12,Price:8", "Rows=7,Bolt,0.25", "Cursor=C1"});
  Log();
  stmt->Update();
  stmt->Delete();
  EXPECT_EQ(Log(),
            "UPDATE Parts SET Id = ?, Name = ?, Price = ? WHERE CURRENT OF C1 <- 7, 'Bolt', 0.25\n"
            "DELETE FROM Parts WHERE CURRENT OF C1\n");
  // Skipped, the cursor leaves the rows to their keys.
  stmt->SetSkipByCursor(true);
  stmt->Update();
  EXPECT_EQ(Log(),
            "UPDATE Parts SET Id = ?, Name = ?, Price = ? WHERE Id = ? <- 7, 'Bolt', 0.25, 7\n");
  EXPECT_EQ(statements_.size(), 3u);

  // In a rowset of several rows the cursor is put on the row first; a statement that changes
  // nothing there raises.
  stmt = Parts(SQL_CA1_NEXT | SQL_CA1_POSITIONED_UPDATE | SQL_CA1_POSITIONED_DELETE,
               {"Columns=Id:4,Name:12,Price:8", "Rows=7,Bolt,0.25/8,Nut,0.5", "Cursor=C1"}, 2);
  stmt->SetRowMark(2, roUpdate);
  Log();
  stmt->Update();
  EXPECT_EQ(Log(),
            "SQLSetPos(2, 0)\n"
            "UPDATE Parts SET Id = ?, Name = ?, Price = ? WHERE CURRENT OF C1 <- 8, 'Nut', 0.5\n");
  stmt = Parts(SQL_CA1_NEXT | SQL_CA1_POSITIONED_DELETE,
               {"Columns=Id:4", "Rows=7/8", "Cursor=C1", "Affected=0"}, 2);
  stmt->SetRowMark(1, roDelete);
  EXPECT_STREQ(
      ocl_test::Raised<rtl::Exception>([&] { stmt->Delete(); }).what(),
      "Row 1 of Parts3 was changed or deleted since it was read: its DELETE found no row.");
}

TEST_F(RowOpsScriptedTest, APositionedUpdateThatAsksForDataLeavesTheStatementUsable) {
  THstmt* stmt = Parts(SQL_CA1_NEXT | SQL_CA1_POS_UPDATE,
                       {"Columns=Id:4,Name:12", "Rows=7,Bolt/8,Nut/9,Pin", "SetPos=needdata"}, 2);
  stmt->SetRowMark(1, roUpdate);
  stmt->SetRowMark(2, roUpdate);
  Log();
  stmt->Update();
  EXPECT_EQ(stmt->LastRet, SQL_NEED_DATA);
  EXPECT_EQ(Log(), "SQLSetPos(1, 2)\nSQLSetPos(2, 2)\n");
  ASSERT_TRUE(stmt->Fetch());
  EXPECT_EQ(stmt->RowsFetched(), 1u);
  EXPECT_TRUE(statements_.empty());
}

}  // namespace
