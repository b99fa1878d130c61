// Row operations on the real drivers: rows of a rowset written back through the drivers'
// positioned operations or through generated statements, checked by plain queries.

#include "tests/odbc/OdbcTestSupport.h"

#include <functional>
#include <regex>
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
          "Id INTEGER " + key + ", Name VARCHAR(40), Price " + Double() + ", Photo " + Blob());
  }
  // The rows of Parts that match, executed, with Id as the key.
  std::unique_ptr<THstmt> Parts(const std::string& where, SQLUINTEGER rowSetSize = 1) {
    auto stmt = Statement("SELECT Id, Name, Price, Photo FROM Parts " + where, rowSetSize);
    stmt->SetTargetTable("Parts");
    stmt->Execute();
    stmt->AddColType(4, SQL_LONGVARBINARY);
    stmt->SetPrimary(1);
    return stmt;
  }
  std::vector<std::string> PartsRows() { return Rows("SELECT * FROM Parts ORDER BY id", 4); }
  // Statements as generated from Parts: PostgreSQL reports the names it was given unquoted in
  // lower case.
  std::vector<TSeen> Named(std::vector<TSeen> statements) const {
    for (TSeen& seen : statements)
      for (std::string name : {"Id", "Name", "Price", "Photo"})
        if (!Sqlite())
          seen.Text = std::regex_replace(seen.Text, std::regex("\\b" + name + "\\b"),
                                         std::string(1, char(name[0] + 32)) + name.substr(1));
    return statements;
  }

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
  EXPECT_EQ(seen_, Named({{roInsert, "INSERT INTO Parts (Id, Name, Price) VALUES (?, ?, ?)"},
                          {roUpdate, "UPDATE Parts SET Photo = ? WHERE Id = ?"}}));
  EXPECT_EQ(PartsRows(), std::vector<std::string>{"7|Bolt|0.25|" + Hex(photo)});

  seen_.clear();
  auto update = Parts("WHERE id = 7");
  ASSERT_TRUE(update->Fetch());
  update->Cell(3, 1).SetDouble(0.5);
  update->Cell(4, 1).SetBytes(newPhoto.data(), newPhoto.size());
  update->Update();
  EXPECT_EQ(seen_, Named({{roUpdate, "UPDATE Parts SET Id = ?, Name = ?, Price = ? WHERE Id = ?"},
                          {roUpdate, "UPDATE Parts SET Photo = ? WHERE Id = ?"}}));
  EXPECT_EQ(PartsRows(), std::vector<std::string>{"7|Bolt|0.5|" + Hex(newPhoto)});

  seen_.clear();
  ExecSql(*db_, "INSERT INTO Parts VALUES (8, 'Nut', 0.1, NULL)");
  auto remove = Parts("WHERE id = 7");
  ASSERT_TRUE(remove->Fetch());
  remove->Delete();
  EXPECT_EQ(seen_, Named({{roDelete, "DELETE FROM Parts WHERE Id = ?"}}));
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
  std::string id = Named({{0, "Id"}})[0].Text;
  EXPECT_EQ(seen_, (std::vector<TSeen>{{roUpdate, "UPDATE \"Part List\" SET " + id +
                                                      " = ?, \"Unit Price\" = ?, "
                                                      "\"Maker\"\"s\" = ? WHERE " +
                                                      id + " = ?"}}));
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
    auto open = [&](const std::string& where, SQLUINTEGER rowSetSize, bool fetch = true) {
      auto stmt = Statement(query + where, rowSetSize);
      stmt->SetCursorType(SQL_CURSOR_STATIC);
      stmt->SetConcurrencyType(SQL_CONCUR_LOCK);
      stmt->SetSkipByPosition(generated);
      stmt->Execute();
      stmt->AddColType(2, SQL_VARCHAR);  // psqlODBC reports a long varchar as long data
      stmt->SetPrimary(1);
      if (fetch) {
        EXPECT_TRUE(stmt->Fetch());
      }
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
    // Marks set while the rows are read, two a rowset: each rowset's are written before the
    // next comes, the last one's before the end of the result is fetched.
    auto read = open(" ORDER BY id", 2, false);
    for (auto& row : read->Rows()) {
      std::int64_t id = row[1].AsInteger();
      if (id == 4 || id == 6) row[3].SetDouble(id * 11);
      if (id == 4 || id == 6) row.SetMark(roUpdate);
      if (id == 5) row.SetMark(roDelete);
    }
    read->Update();

    std::vector<SQLUSMALLINT> operations;
    for (const TSeen& seen : seen_) operations.push_back(seen.Operation);
    std::vector<SQLUSMALLINT> expected{roInsert};
    if (generated)
      expected = {roUpdate, roDelete, roInsert, roUpdate, roInsert, roUpdate, roDelete, roUpdate};
    EXPECT_EQ(operations, expected);
    return Rows("SELECT id, substr(name, 1, 3), price FROM Stock ORDER BY id");
  };
  std::vector<std::string> positioned = edit(false);
  EXPECT_EQ(positioned, (std::vector<std::string>{"1|A|10", "3|ccc|3", "4|d|44", "6|A|66"}));
  EXPECT_EQ(edit(true), positioned);
}

// Ids 1 to 25 in rowsets of ten: ids 3 and 15 are to go, and 24 to cost 99.
TEST_P(RowOpsTest, MarksBelongToTheRowsetTheyWereSetIn) {
  auto mark = [](TRowView& row) {
    std::int64_t id = row[1].AsInteger();
    if (id == 3 || id == 15) row.SetMark(roDelete);
    if (id == 24) row[2].SetDouble(99);
    if (id == 24) row.SetMark(roUpdate);
  };
  struct TCase {
    const char* Name;
    std::function<void(THstmt&)> Edit;
  };
  const TCase cases[] = {
      {"each rowset's operations after its marks",
       [&](THstmt& stmt) {
         while (stmt.Fetch()) {
           for (SQLULEN n = 1; n <= stmt.RowsFetched(); ++n) {
             TRowView row = stmt.Row(n);
             mark(row);
           }
           stmt.Delete();
           stmt.Update();
         }
       }},
      {"marks while reading, the operations after the end",
       [&](THstmt& stmt) {
         for (auto& row : stmt.Rows()) mark(row);
         stmt.Delete();
         stmt.Update();
       }},
  };
  std::vector<std::string> expected;
  for (int id = 1; id <= 25; ++id)
    if (id != 3 && id != 15) expected.push_back(std::to_string(id) + "|" + (id == 24 ? "99" : "1"));
  for (bool positioned : {false, true}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + (positioned ? ", positioned" : ", generated"));
      Table("Numbers", "id INTEGER PRIMARY KEY, price " + Double());
      ExecSql(*db_,
              "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 25) "
              "INSERT INTO Numbers SELECT x, 1 FROM n");
      auto stmt = Statement("SELECT id, price FROM Numbers ORDER BY id", 10);
      if (positioned) {
        stmt->SetCursorType(SQL_CURSOR_STATIC);
        stmt->SetConcurrencyType(SQL_CONCUR_LOCK);
      }
      stmt->Execute();
      stmt->SetPrimary(1);
      c.Edit(*stmt);
      EXPECT_EQ(Rows("SELECT * FROM Numbers ORDER BY id"), expected);
    }
  }
}

// Keys as fetched find the rows, whatever the buffers hold now: an edited key moves its row,
// and a NULL key finds the row whose key is NULL, not the one whose key is 0.
TEST_P(RowOpsTest, RowsAreFoundByTheirKeysAsFetched) {
  Table("Keys", "id INTEGER, name VARCHAR(20)");
  ExecSql(*db_, "INSERT INTO Keys VALUES (0, 'a'), (NULL, 'bb'), (1, 'c'), (2, 'd'), (3, 'e')");
  auto open = [&] {
    auto stmt = Statement("SELECT id, name FROM Keys ORDER BY name", 10);
    stmt->SetTargetTable("Keys");
    stmt->Execute();
    stmt->SetPrimary(1);
    EXPECT_TRUE(stmt->Fetch());
    return stmt;
  };
  auto keys = open();
  keys->Cell(2, 2).SetString("bb2");
  keys->Cell(1, 3).SetInteger(10);
  keys->Cell(1, 4).SetInteger(3);
  for (SQLUSMALLINT row : {2, 3, 4}) keys->SetRowMark(row, roUpdate);
  keys->Update();
  EXPECT_EQ(Rows("SELECT * FROM Keys ORDER BY name"),
            (std::vector<std::string>{"0|a", "NULL|bb2", "10|c", "3|d", "3|e"}));
  // An updated row is found by its new key.
  keys->Cell(2, 3).SetString("c2");
  keys->SetRowMark(4, 0);
  keys->Update();
  keys = open();
  keys->SetRowMark(2, roDelete);
  keys->Delete();
  EXPECT_EQ(Rows("SELECT * FROM Keys ORDER BY name"),
            (std::vector<std::string>{"0|a", "10|c2", "3|d", "3|e"}));
  EXPECT_EQ(seen_.back().Text, "DELETE FROM Keys WHERE id IS NULL");
}

// A long value that cannot follow the insert by the new row's keys goes in the insert itself.
TEST_P(RowOpsTest, AnInsertWithLongDataIsWrittenWhole) {
  const std::string identity =
      Sqlite() ? "PRIMARY KEY" : "GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY";
  struct TCase {
    const char* Name;
    SQLUINTEGER RowSetSize;
    bool Key, KeyLeftToTheDatabase;
    const char* Statement;
  };
  const TCase cases[] = {
      {"without a key", 1, false, false,
       "INSERT INTO Parts (Id, Name, Price, Photo) VALUES (?, ?, ?, ?)"},
      {"with the key left to the database", 1, true, true,
       "INSERT INTO Parts (Name, Price, Photo) VALUES (?, ?, ?)"},
      {"in a rowset of several rows", 3, true, false,
       "INSERT INTO Parts (Id, Name, Price, Photo) VALUES (?, ?, ?, ?)"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    PartsTable(identity);
    seen_.clear();
    auto parts = Parts("WHERE Id < 0", c.RowSetSize);
    parts->SetPrimary(1, c.Key);
    std::vector<std::string> expected;
    for (SQLUSMALLINT row = 1; row <= std::min<SQLUINTEGER>(c.RowSetSize, 2); ++row) {
      std::string photo = Photo(3000 * row, 3 + row);
      parts->Cell(1, row).SetInteger(row);
      if (c.KeyLeftToTheDatabase) parts->Columns()[0]->Ind[row - 1] = SQL_COLUMN_IGNORE;
      parts->Cell(2, row).SetString("Part" + std::to_string(row));
      parts->Cell(3, row).SetDouble(row);
      parts->Cell(4, row).SetBytes(photo.data(), photo.size());
      parts->SetRowMark(row, roInsert);
      expected.push_back(std::to_string(row) + "|Part" + std::to_string(row) + "|" +
                         std::to_string(row) + "|" + Hex(photo));
    }
    parts->Insert();
    EXPECT_EQ(PartsRows(), expected);
    EXPECT_EQ(seen_, Named(std::vector<TSeen>(expected.size(), {roInsert, c.Statement})));
  }
}

// Another connection changes a row's key, or deletes the row, after it was read: its UPDATE or
// DELETE finds nothing, which raises; the rows before it stay written, the rest are not tried.
TEST_P(RowOpsTest, ARowChangedSinceItWasReadIsReported) {
  struct TCase {
    const char* Change;
    SQLUSMALLINT Mark;
    void (THstmt::*Operation)();
    std::vector<std::string> After;
    const char* Message;
  };
  const TCase cases[] = {
      {"UPDATE Parts SET Id = 20 WHERE Id = 2",
       roUpdate,
       &THstmt::Update,
       {"1|Bolt|10|NULL", "3|Pin|3|NULL", "20|Nut|2|NULL"},
       "Row 2 of Rows was changed or deleted since it was read: its UPDATE found no row."},
      {"DELETE FROM Parts WHERE Id = 2",
       roDelete,
       &THstmt::Delete,
       {"3|Pin|3|NULL"},
       "Row 2 of Rows was changed or deleted since it was read: its DELETE found no row."},
  };
  auto other = ocl_test::ConnectedTo(Sqlite(), folder_.File("rows.sqlite"));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Change);
    PartsTable();
    ExecSql(*db_,
            "INSERT INTO Parts VALUES (1, 'Bolt', 1, NULL), (2, 'Nut', 2, NULL), "
            "(3, 'Pin', 3, NULL)");
    auto parts = Statement("SELECT Id, Name, Price FROM Parts ORDER BY Id", 10);
    parts->Execute();
    parts->SetPrimary(1);
    ASSERT_TRUE(parts->Fetch());
    for (SQLUSMALLINT row = 1; row <= 3; ++row) {
      parts->Cell(3, row).SetDouble(row * 10);
      parts->SetRowMark(row, c.Mark);
    }
    ExecSql(*other, c.Change);
    EXPECT_STREQ(Raised<rtl::Exception>([&] { (parts.get()->*c.Operation)(); }).what(), c.Message);
    EXPECT_EQ(PartsRows(), c.After);
  }
}

// Names the database would read as others, or not as names at all, go in quotes; plain ones
// stay as they are. The names are the table's own, not those the query gave the columns.
TEST_P(RowOpsTest, NamesAreWrittenAsTheDatabaseReadsThem) {
  for (std::string name : {"order", "MixedCase", "unit-price"}) {
    SCOPED_TRACE(name);
    std::string quoted = "\"" + name + "\"";
    // SQLite reads names without regard to case.
    std::string written = Sqlite() && name == "MixedCase" ? name : quoted;
    Table(quoted, "id INTEGER PRIMARY KEY, " + quoted + " VARCHAR(20)");
    ExecSql(*db_, "INSERT INTO " + quoted + " VALUES (1, 'a'), (2, 'b')");
    seen_.clear();
    auto stmt = Statement("SELECT id, " + quoted + " FROM " + quoted + " ORDER BY id", 10);
    stmt->Execute();
    stmt->SetPrimary(1);
    ASSERT_TRUE(stmt->Fetch());
    stmt->Cell(2, 1).SetString("x");
    stmt->SetRowMark(1, roUpdate);
    stmt->SetRowMark(2, roDelete);
    stmt->Update();
    stmt->Delete();
    auto empty = Statement("SELECT id, " + quoted + " FROM " + quoted + " WHERE id < 0");
    empty->Execute();
    empty->Cell(1, 1).SetInteger(3);
    empty->Cell(2, 1).SetString("c");
    empty->Insert();
    EXPECT_EQ(seen_,
              (std::vector<TSeen>{
                  {roUpdate, "UPDATE " + written + " SET id = ?, " + written + " = ? WHERE id = ?"},
                  {roDelete, "DELETE FROM " + written + " WHERE id = ?"},
                  {roInsert, "INSERT INTO " + written + " (id, " + written + ") VALUES (?, ?)"}}));
    EXPECT_EQ(Rows("SELECT * FROM " + quoted + " ORDER BY id"),
              (std::vector<std::string>{"1|x", "3|c"}));
  }
  // An aliased column: PostgreSQL's driver names the column; SQLite's gives the alias back, and
  // the database refuses the statement before anything is written.
  Table("Aliased", "id INTEGER PRIMARY KEY, name VARCHAR(20)");
  ExecSql(*db_, "INSERT INTO Aliased VALUES (1, 'a')");
  auto aliased = Statement("SELECT id AS part_id, name AS part_name FROM Aliased");
  aliased->Execute();
  aliased->SetPrimary(1);
  ASSERT_TRUE(aliased->Fetch());
  aliased->Cell(2, 1).SetString("x");
  if (Sqlite()) {
    Raised<EODBC>([&] { aliased->Update(); });
  } else {
    aliased->Update();
    EXPECT_EQ(seen_.back().Text, "UPDATE aliased SET id = ?, name = ? WHERE id = ?");
  }
  EXPECT_EQ(Rows("SELECT * FROM Aliased"), std::vector<std::string>{Sqlite() ? "1|a" : "1|x"});
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
  // A NULL value is written as NULL; a key set NULL is written so, and the row is found by the
  // key as it was fetched.
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

// Names as the driver reports them, and as the application writes TargetTable.
TEST(QuoteNameTest, ANameIsQuotedWhereTheDatabaseWouldReadItAsAnother) {
  TNameRules lower{"\"", SQL_IC_LOWER, {"TOP"}}, upper{"\"", SQL_IC_UPPER, {}};
  struct TCase {
    std::string Name;
    const TNameRules& Rules;
    std::string Reported, Written;
  };
  const TCase cases[] = {
      {"parts", lower, "parts", "parts"},
      {"Parts", lower, "\"Parts\"", "Parts"},
      {"PARTS", upper, "PARTS", "PARTS"},
      {"Parts", upper, "\"Parts\"", "Parts"},
      {"Order", lower, "\"Order\"", "\"order\""},
      {"order", upper, "\"order\"", "\"ORDER\""},
      {"top", lower, "\"top\"", "\"top\""},
      {"unit-price", lower, "\"unit-price\"", "\"unit-price\""},
      {"Maker\"s", upper, "\"Maker\"\"s\"", "\"Maker\"\"s\""},
      {"shop.parts", lower, "\"shop.parts\"", "shop.parts"},
      {"shop.\"Mixed.Case\"", lower, "\"shop.\"\"Mixed.Case\"\"\"", "shop.\"Mixed.Case\""},
      {"my shop.order", lower, "\"my shop.order\"", "\"my shop\".\"order\""},
      {"", lower, "", ""},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(QuoteName(c.Name, c.Rules), c.Reported) << c.Name;
    EXPECT_EQ(QuoteWrittenName(c.Name, c.Rules), c.Written) << c.Name;
  }
  // A database without quoted names gets every name as it is.
  EXPECT_EQ(QuoteName("order", {"", SQL_IC_UPPER, {}}), "order");
}

}  // namespace
