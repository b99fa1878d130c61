// Row operations on the real drivers: rows of a rowset written back through the drivers'
// positioned operations or through generated statements, checked by plain queries.

#include "tests/odbc/OdbcTestSupport.h"

#include <string>
#include <vector>

using namespace ocl;
using ocl_test::ExecSql;
using ocl_test::Raised;

namespace {

struct TSeen {
  SQLUSMALLINT Operation;
  std::string Text;
  bool operator==(const TSeen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TSeen& seen) {
  return out << seen.Operation << " " << seen.Text;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char c : bytes) text += {digits[c >> 4], digits[c & 15]};
  return text;
}

std::string Photo(std::size_t size, int step) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * step) % 251);
  return bytes;
}

class RowOpsFixture : public ocl_test::OdbcTest {
 protected:
  void SetUp() override {
    OdbcTest::SetUp();
    db_ = ocl_test::ConnectedTo(Sqlite(), folder_.File("rows.sqlite"));
  }
  virtual bool Sqlite() const = 0;
  std::string Double() const { return Sqlite() ? "DOUBLE" : "DOUBLE PRECISION"; }
  std::string Blob() const { return Sqlite() ? "BLOB" : "BYTEA"; }
  void Table(const std::string& name, const std::string& columns) {
    ExecSql(*db_, "DROP TABLE IF EXISTS " + name);
    ExecSql(*db_, "CREATE TABLE " + name + " (" + columns + ")");
  }

  // A statement whose every generated statement is recorded.
  std::unique_ptr<THstmt> Statement(const std::string& sql, SQLUINTEGER rowSetSize = 1) {
    std::unique_ptr<THstmt> stmt(rtl::TComponent::Create<THstmt>(nullptr));
    stmt->SetName("Rows");
    stmt->SethDbc(db_.get());
    stmt->SetRowSetSize(rowSetSize);
    stmt->SetSQL(sql);
    stmt->OnStatement = [this](rtl::TComponent*, SQLUSMALLINT operation, std::string& text) {
      seen_.push_back({operation, text});
    };
    return stmt;
  }

  // The rows of a query, a line each: values joined by "|", NULL as such, binary as hex (a
  // column read as long binary data where named).
  std::vector<std::string> Rows(const std::string& sql, SQLUSMALLINT longBinary = 0) {
    auto stmt = Statement(sql, longBinary ? 1 : 20);
    stmt->Execute();
    if (longBinary) stmt->AddColType(longBinary, SQL_LONGVARBINARY);
    std::vector<std::string> rows;
    for (auto& row : stmt->Rows()) {
      std::string line;
      for (SQLUSMALLINT n = 1; n <= stmt->ColCount(); ++n) {
        TCell cell = row[n];
        if (n > 1) line += "|";
        if (cell.IsNull())
          line += "NULL";
        else if (stmt->Columns()[n - 1]->CType == SQL_C_BINARY)
          line += Hex(cell.AsString());
        else
          line += cell.AsString();
      }
      rows.push_back(line);
    }
    return rows;
  }

  // A table Parts of key Id, values Name and Price and the long data Photo.
  void PartsTable(const std::string& key = "PRIMARY KEY") {
    Table("Parts",
          "id INTEGER " + key + ", name VARCHAR(40), price " + Double() + ", photo " + Blob());
  }
  // The rows of Parts that match, executed, with Id as the key.
  std::unique_ptr<THstmt> Parts(const std::string& where) {
    auto stmt = Statement(
        "SELECT id AS \"Id\", name AS \"Name\", price AS \"Price\", photo AS \"Photo\" FROM "
        "Parts " +
        where);
    stmt->SetTargetTable("Parts");
    stmt->Execute();
    stmt->AddColType(4, SQL_LONGVARBINARY);
    stmt->SetPrimary(1);
    return stmt;
  }
  std::vector<std::string> PartsRows() { return Rows("SELECT * FROM Parts ORDER BY id", 4); }

  testing_support::TempFolder folder_;
  std::unique_ptr<THdbc> db_;
  std::vector<TSeen> seen_;
};

class RowOpsTest : public RowOpsFixture, public ::testing::WithParamInterface<const char*> {
 protected:
  bool Sqlite() const override { return std::string(GetParam()) == "SQLite"; }
};

// What does not depend on the driver, on SQLite.
class SqliteRowOpsTest : public RowOpsFixture {
 protected:
  bool Sqlite() const override { return true; }
};

TEST_P(RowOpsTest, ThePartsExamplesRunAsShownAndLeaveTheTable) {
  PartsTable();
  // Created first: psqlODBC loses a little memory when a table is created after it described
  // the columns of another.
  Table("\"Part List\"",
        "id INTEGER PRIMARY KEY, \"Unit Price\" " + Double() + ", \"Maker\"\"s\" VARCHAR(20)");
  ExecSql(*db_, "INSERT INTO \"Part List\" VALUES (1, 2.5, 'Acme')");
  std::string photo = Photo(5000, 7), newPhoto = Photo(300, 11);
  auto insert = Parts("WHERE id < 0");
  insert->Cell(1, 1).SetInteger(7);
  insert->Cell(2, 1).SetString("Bolt");
  insert->Cell(3, 1).SetDouble(0.25);
  insert->Cell(4, 1).SetBytes(photo.data(), photo.size());
  insert->Insert();
  EXPECT_EQ(seen_,
            (std::vector<TSeen>{{roInsert, "INSERT INTO Parts (Id, Name, Price) VALUES (?, ?, ?)"},
                                {roUpdate, "UPDATE Parts SET Photo = ? WHERE Id = ?"}}));
  EXPECT_EQ(PartsRows(), std::vector<std::string>{"7|Bolt|0.25|" + Hex(photo)});

  seen_.clear();
  auto update = Parts("WHERE id = 7");
  ASSERT_TRUE(update->Fetch());
  update->Cell(3, 1).SetDouble(0.5);
  update->Cell(4, 1).SetBytes(newPhoto.data(), newPhoto.size());
  update->Update();
  EXPECT_EQ(seen_, (std::vector<TSeen>{
                       {roUpdate, "UPDATE Parts SET Id = ?, Name = ?, Price = ? WHERE Id = ?"},
                       {roUpdate, "UPDATE Parts SET Photo = ? WHERE Id = ?"}}));
  EXPECT_EQ(PartsRows(), std::vector<std::string>{"7|Bolt|0.5|" + Hex(newPhoto)});

  seen_.clear();
  ExecSql(*db_, "INSERT INTO Parts VALUES (8, 'Nut', 0.1, NULL)");
  auto remove = Parts("WHERE id = 7");
  ASSERT_TRUE(remove->Fetch());
  remove->Delete();
  EXPECT_EQ(seen_, (std::vector<TSeen>{{roDelete, "DELETE FROM Parts WHERE Id = ?"}}));
  EXPECT_EQ(PartsRows(), std::vector<std::string>{"8|Nut|0.1|NULL"});

  // Names with a blank or a double quote are quoted, the quote doubled; the table's name is
  // the driver's.
  seen_.clear();
  auto quoted = Statement("SELECT id AS \"Id\", \"Unit Price\", \"Maker\"\"s\" FROM \"Part List\"");
  quoted->Execute();
  quoted->SetPrimary(1);
  ASSERT_TRUE(quoted->Fetch());
  quoted->Cell(2, 1).SetDouble(3.75);
  quoted->Cell(3, 1).SetString("Zenith");
  quoted->Update();
  EXPECT_EQ(seen_, (std::vector<TSeen>{{roUpdate,
                                        "UPDATE \"Part List\" SET Id = ?, \"Unit Price\" = ?, "
                                        "\"Maker\"\"s\" = ? WHERE Id = ?"}}));
  EXPECT_EQ(Rows("SELECT * FROM \"Part List\""), std::vector<std::string>{"1|3.75|Zenith"});
}

// The same edits through the driver's positioned operations and through generated statements.
TEST_P(RowOpsTest, PositionedAndGeneratedWritesLeaveTheSameTable) {
  const std::string query = "SELECT id AS \"Id\", name AS \"Name\", price AS \"Price\" FROM Stock";
  auto edit = [&](bool generated) {
    Table("Stock", "id INTEGER PRIMARY KEY, name VARCHAR(400), price " + Double());
    ExecSql(*db_, "INSERT INTO Stock VALUES (1, 'a', 1), (2, 'b', 2), (3, '" +
                      std::string(300, 'c') + "', 3), (4, 'd', 4)");
    seen_.clear();
    auto open = [&](const std::string& where, SQLUINTEGER rowSetSize) {
      auto stmt = Statement(query + where, rowSetSize);
      stmt->SetCursorType(SQL_CURSOR_STATIC);
      stmt->SetConcurrencyType(SQL_CONCUR_LOCK);
      stmt->SetSkipByPosition(generated);
      stmt->Execute();
      stmt->AddColType(2, SQL_VARCHAR);  // psqlODBC reports a long varchar as long data
      stmt->SetPrimary(1);
      EXPECT_TRUE(stmt->Fetch());
      return stmt;
    };
    auto rows = open(" ORDER BY id", 4);
    EXPECT_EQ(rows->RowsFetched(), 4u);
    EXPECT_EQ(rows->PositionCaps() & SQL_CA1_POS_UPDATE, generated ? 0u : SQL_CA1_POS_UPDATE);
    // Row 3's name was cut when fetched: row 1 is written, row 3 refused, row 4 not tried.
    for (SQLUSMALLINT row : {1, 3, 4}) {
      rows->Cell(3, row).SetDouble(row * 10);
      rows->SetRowMark(row, roUpdate);
    }
    EXPECT_STREQ(Raised<rtl::Exception>([&] { rows->Update(); }).what(),
                 "Column Name of row 3 was cut when it was fetched, and cannot be written back.");
    rows->SetRowMark(2, roDelete);
    rows->Delete();
    // A new row in row 4 is added alone, not with the whole rowset.
    rows->Cell(1, 4).SetInteger(5);
    rows->Cell(2, 4).SetString("e");
    rows->SetRowMark(4, roInsert);
    rows->Insert();
    // One row a rowset: an update and the driver's bulk add.
    auto one = open(" WHERE id = 1", 1);
    one->Cell(2, 1).SetString("A");
    one->Update();
    one->Cell(1, 1).SetInteger(6);
    one->Insert();

    std::vector<SQLUSMALLINT> operations;
    for (const TSeen& seen : seen_) operations.push_back(seen.Operation);
    std::vector<SQLUSMALLINT> expected{roInsert};
    if (generated) expected = {roUpdate, roDelete, roInsert, roUpdate, roInsert};
    EXPECT_EQ(operations, expected);
    return Rows("SELECT id, substr(name, 1, 3), price FROM Stock ORDER BY id");
  };
  std::vector<std::string> positioned = edit(false);
  EXPECT_EQ(positioned,
            (std::vector<std::string>{"1|A|10", "3|ccc|3", "4|d|4", "5|e|40", "6|A|10"}));
  EXPECT_EQ(edit(true), positioned);
}

INSTANTIATE_TEST_SUITE_P(Drivers, RowOpsTest, ::testing::Values("SQLite", "PostgreSQL"));

TEST_F(SqliteRowOpsTest, EachMarkedRowWritesItsOwnValuesInsideTheTransaction) {
  Table("Items", "id INTEGER PRIMARY KEY, name VARCHAR(40), price DOUBLE, code BLOB");
  ExecSql(*db_,
          "INSERT INTO Items VALUES (1, 'a', 1, x'01'), (2, 'b', 2, x'02'), "
          "(3, 'c', 3, x'03')");
  const std::vector<std::string> before{"1|a|1|01", "2|b|2|02", "3|c|3|03"};
  auto rows = Statement(
      "SELECT id AS \"Id\", name AS \"Name\", price AS \"Price\", code AS "
      "\"Code\" FROM Items ORDER BY id",
      10);
  rows->Execute();
  rows->AddColType(4, SQL_VARBINARY);
  rows->SetPrimary(1);
  ASSERT_TRUE(rows->Fetch());
  ASSERT_EQ(rows->RowsFetched(), 3u);
  // Marks update, none, update, and one beyond the rows fetched; every row changed, binary
  // values of their own lengths with zero bytes inside.
  for (SQLUSMALLINT row = 1; row <= 3; ++row) {
    rows->Cell(2, row).SetString(std::string(row, 'N'));
    rows->Cell(3, row).SetDouble(row * 10.5);
    std::string code(row + 2, '\0');
    code.back() = static_cast<char>(0xf0 + row);
    rows->Cell(4, row).SetBytes(code.data(), code.size());
  }
  // Row 3's name NULL; row 1's code ignored, row 3's not.
  rows->Cell(2, 3).SetNull();
  rows->Columns()[3]->Ind[0] = SQL_COLUMN_IGNORE;
  for (SQLUSMALLINT row : {1, 3, 5}) rows->SetRowMark(row, roUpdate);
  const std::vector<std::string> after{"1|N|10.5|01", "2|b|2|02", "3|NULL|31.5|00000000f3"};

  db_->SetAutoCommit(false);
  rows->Update();
  EXPECT_EQ(Rows("SELECT * FROM Items ORDER BY id", 4), after);
  db_->Rollback();
  EXPECT_EQ(Rows("SELECT * FROM Items ORDER BY id", 4), before);
  rows->Update();
  db_->Commit();
  db_->SetAutoCommit(true);
  EXPECT_EQ(Rows("SELECT * FROM Items ORDER BY id", 4), after);

  // A mark that combines two operations is neither.
  rows->SetRowMark(1, roUpdate | roDelete);
  rows->Cell(3, 1).SetDouble(99);
  rows->SetRowMark(2, roDelete);
  rows->SetRowMark(3, 0);
  rows->Update();
  rows->Delete();
  EXPECT_EQ(Rows("SELECT * FROM Items ORDER BY id", 4),
            (std::vector<std::string>{after[0], after[2]}));
  // Two updates for each of the two runs and one delete: row 5 was never handled.
  EXPECT_EQ(seen_.size(), 5u);
}

TEST_F(SqliteRowOpsTest, ConfirmationsAndLinkHooksComeFirst) {
  PartsTable();
  ExecSql(*db_, "INSERT INTO Parts VALUES (1, 'Bolt', 1, NULL)");
  auto stmt = Parts("WHERE id = 1");
  ASSERT_TRUE(stmt->Fetch());
  std::vector<std::string> asked, linked;
  bool allow = false;
  auto confirm = [&](rtl::TComponent* sender, const std::string& message) {
    EXPECT_EQ(sender, stmt.get());
    asked.push_back(message);
    return allow;
  };
  stmt->OnInsert = stmt->OnUpdate = stmt->OnDelete = stmt->OnRefresh = confirm;
  auto link = [&](const char* name) {
    return [&linked, name](rtl::TComponent*) {
      linked.push_back(name);
      return false;
    };
  };
  stmt->OnLinkInsert = link("insert");
  stmt->OnLinkUpdate = link("update");

  // Refused: nothing runs, and the link hook is not asked.
  stmt->Cell(1, 1).SetInteger(2);
  stmt->Insert();
  EXPECT_TRUE(linked.empty());
  // Allowed: a link hook counts only beside OnLinkExecute. One row a rowset is row 1, whatever
  // its mark.
  allow = true;
  stmt->SetRowMark(1, roDelete);
  stmt->Insert();
  stmt->OnLinkExecute = [](rtl::TComponent*) {};
  stmt->Update();
  EXPECT_EQ(linked, std::vector<std::string>{"update"});
  // Without positioned refresh, a refresh asks and does nothing.
  stmt->Refresh();
  stmt->Delete();
  EXPECT_EQ(asked, (std::vector<std::string>{"Insert row(s)?", "Insert row(s)?", "Update row(s)?",
                                             "Refresh row(s)?", "Delete row(s)?"}));
  EXPECT_EQ(seen_,
            (std::vector<TSeen>{{roInsert, "INSERT INTO Parts (Id, Name, Price) VALUES (?, ?, ?)"},
                                {roUpdate, "UPDATE Parts SET Photo = ? WHERE Id = ?"},
                                {roDelete, "DELETE FROM Parts WHERE Id = ?"}}));
  EXPECT_EQ(PartsRows(), std::vector<std::string>{"1|Bolt|1|NULL"});
}

TEST_F(SqliteRowOpsTest, GeneratedStatementsFollowTheIndicatorsAndTheApplication) {
  PartsTable("");  // no key constraint: a key may become NULL
  ExecSql(*db_,
          "INSERT INTO Parts VALUES (1, 'Bolt', 1, x'0102'), (2, 'Nut', 2, NULL), "
          "(3, 'Pin', 3, NULL)");
  auto stmt = Parts("WHERE id = 1");
  ASSERT_TRUE(stmt->Fetch());
  // An ignored column is left out; with no value column left, only the long data is written.
  stmt->Cell(2, 1).SetString("Screw");
  stmt->Columns()[1]->Ind[0] = SQL_COLUMN_IGNORE;
  stmt->Cell(3, 1).SetDouble(5);
  stmt->Update();
  stmt->Cell(3, 1).SetDouble(7);
  stmt->Columns()[0]->Ind[0] = stmt->Columns()[2]->Ind[0] = SQL_COLUMN_IGNORE;
  stmt->Cell(4, 1).SetBytes("\x03", 1);
  stmt->Update();
  EXPECT_EQ(seen_,
            (std::vector<TSeen>{{roUpdate, "UPDATE Parts SET Id = ?, Price = ? WHERE Id = ?"},
                                {roUpdate, "UPDATE Parts SET Photo = ? WHERE Id = ?"},
                                {roUpdate, "UPDATE Parts SET Photo = ? WHERE Id = ?"}}));
  EXPECT_EQ(PartsRows(), (std::vector<std::string>{"1|Bolt|5|03", "2|Nut|2|NULL", "3|Pin|3|NULL"}));
  // A NULL value is written as NULL, while a NULL key still finds its row by its buffer.
  stmt->Cell(2, 1).SetString("Screw");
  stmt->Cell(3, 1).SetNull();
  stmt->Columns()[0]->Ind[0] = SQL_NULL_DATA;
  stmt->Update();
  EXPECT_EQ(PartsRows(),
            (std::vector<std::string>{"NULL|Screw|NULL|03", "2|Nut|2|NULL", "3|Pin|3|NULL"}));

  // Text the application adds is executed with the same parameters; the target table is
  // trimmed, and blanks only leave the name empty for the driver to refuse.
  auto nut = Parts("WHERE id = 2");
  ASSERT_TRUE(nut->Fetch());
  nut->OnStatement = [this](rtl::TComponent*, SQLUSMALLINT operation, std::string& text) {
    text += " OR Id = 3";
    seen_.push_back({operation, text});
  };
  nut->SetTargetTable(" \tParts\r\n");
  nut->Delete();
  EXPECT_EQ(seen_.back().Text, "DELETE FROM Parts WHERE Id = ? OR Id = 3");
  EXPECT_EQ(PartsRows(), std::vector<std::string>{"NULL|Screw|NULL|03"});
  nut->SetTargetTable("   ");
  Raised<EODBC>([&] { nut->Delete(); });
  EXPECT_EQ(seen_.back().Text, "DELETE FROM  WHERE Id = ? OR Id = 3");

  // The two fixed messages: no key, and no table name.
  nut->SetPrimary(1, false);
  EXPECT_STREQ(Raised<rtl::Exception>([&] { nut->Update(); }).what(),
               "Unable to update/delete row:  No primary columns specified.");
  auto computed = Statement("SELECT 1 AS Id");
  computed->Execute();
  EXPECT_STREQ(Raised<rtl::Exception>([&] { computed->Insert(); }).what(),
               "Unable to retrieve table name:  TargetTable property not set.");
}

TEST_F(SqliteRowOpsTest, ALongValueLeftUnreadIsLeftAsItIs) {
  PartsTable();
  ExecSql(*db_, "INSERT INTO Parts VALUES (1, 'Bolt', 1, x'0102')");
  auto stmt = Parts("WHERE id = 1");
  stmt->SetBlobDeferral(true);
  ASSERT_TRUE(stmt->Fetch());
  stmt->Cell(3, 1).SetDouble(2);
  stmt->Update();
  EXPECT_EQ(seen_.size(), 1u);
  EXPECT_EQ(PartsRows(), std::vector<std::string>{"1|Bolt|2|0102"});
}

TEST_F(SqliteRowOpsTest, RowsAndKeysOutOfReachAreRefused) {
  PartsTable();
  ExecSql(*db_, "INSERT INTO Parts VALUES (1, 'Bolt', 1, NULL)");
  // A key read as long data has no buffer to bind; it would match no row, or with several
  // rows a rowset be read from no buffer at all.
  auto longKey = Statement("SELECT id AS \"Id\", name AS \"Name\" FROM Parts");
  longKey->SetTargetTable("Parts");
  longKey->Execute();
  longKey->AddColType(1, SQL_LONGVARCHAR);
  ASSERT_TRUE(longKey->Fetch());
  longKey->SetPrimary(1);
  EXPECT_STREQ(Raised<rtl::Exception>([&] { longKey->Delete(); }).what(),
               "Key column Id is long data, which cannot find a row: name a type with a buffer "
               "for it (AddColType).");
  seen_.clear();

  // Rows outside the rowset, and rows beyond the 65,535 the row operations number.
  auto stmt = Statement("SELECT id AS \"Id\", name AS \"Name\" FROM Parts", 10);
  stmt->SetTargetTable("Parts");
  stmt->Execute();
  stmt->SetPrimary(1);
  ASSERT_TRUE(stmt->Fetch());
  Raised<rtl::Exception>([&] { stmt->ExecInsert(0); });
  Raised<rtl::Exception>([&] { stmt->ExecUpdate("WHERE Id = ?", true, 11); });
  Raised<rtl::Exception>([&] { stmt->ExecDelete("WHERE Id = ?", true, 11); });
  auto many = Statement(
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 65537) "
      "SELECT x AS Id, 'Nut' AS Name FROM c",
      65537);
  many->SetTargetTable("Parts");
  many->Execute();
  many->SetPrimary(1);
  ASSERT_TRUE(many->Fetch());
  ASSERT_EQ(many->RowsFetched(), 65537u);
  many->SetRowMark(65537, roUpdate);
  Raised<rtl::Exception>([&] { many->Update(); });
  EXPECT_TRUE(seen_.empty());
  EXPECT_EQ(PartsRows(), std::vector<std::string>{"1|Bolt|1|NULL"});
}

}  // namespace
