// Result sets on the real drivers: column binding, fetching rowsets, long data, typed cells,
// scrolling and bookmarks.

#include "tests/odbc/OdbcTestSupport.h"

#include <cstring>
#include <functional>
#include <set>

using namespace ocl;
using ocl_test::ExecSql;
using ocl_test::NewStatement;
using ocl_test::Raised;

namespace {

std::string Pattern(std::size_t size, int step) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * step) % 26);
  return bytes;
}

std::vector<std::byte> AsByteVector(const std::string& text) {
  auto* first = reinterpret_cast<const std::byte*>(text.data());
  return std::vector<std::byte>(first, first + text.size());
}

class FetchTest : public ocl_test::OdbcTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    OdbcTest::SetUp();
    db_ = ocl_test::ConnectedTo(Sqlite(), folder_.File("fetch.sqlite"));
  }
  bool Sqlite() const { return std::string(GetParam()) == "SQLite"; }
  // A fresh table of that name.
  void Table(const std::string& name, const std::string& columns) {
    ExecSql(*db_, "DROP TABLE IF EXISTS " + name);
    ExecSql(*db_, "CREATE TABLE " + name + " (" + columns + ")");
  }
  std::string Double() const { return Sqlite() ? "DOUBLE" : "DOUBLE PRECISION"; }
  std::string Blob() const { return Sqlite() ? "BLOB" : "BYTEA"; }
  std::string Hex(const std::string& digits) const {
    return Sqlite() ? "x'" + digits + "'" : "decode('" + digits + "', 'hex')";
  }
  // Rows 1 to count with id and name 'name<id>'.
  void Numbers(const std::string& name, int count) {
    Table(name, "id INTEGER, name VARCHAR(40)");
    ExecSql(*db_, "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
                      std::to_string(count) + ") INSERT INTO " + name +
                      " SELECT x, 'name' || x FROM c");
  }

  testing_support::TempFolder folder_;
  std::unique_ptr<THdbc> db_;
};

TEST_P(FetchTest, RowsetsComeWholeAndTheEndIsQuiet) {
  Numbers("numbers", 2500);
  auto none = NewStatement(*db_, "SELECT id, name FROM numbers WHERE id < 0");
  int fetches = 0;
  none->OnFetch = [&](rtl::TComponent*) { ++fetches; };
  none->Execute();
  EXPECT_FALSE(none->Fetch());
  for (auto& row : none->Rows()) ADD_FAILURE() << "row " << row.Number();
  EXPECT_EQ(fetches, 0);

  auto one = NewStatement(*db_, "SELECT id, name FROM numbers WHERE id = 7");
  one->Execute();
  ASSERT_TRUE(one->Fetch());
  EXPECT_EQ(one->RowsFetched(), 1u);
  EXPECT_EQ(one->Cell(2, 1).AsString(), "name7");
  EXPECT_FALSE(one->Fetch());

  // 2,500 rows in rowsets of 1,000: the last one holds 500, and rows 501 to 1,000 of its
  // buffers, left from the rowset before, are never seen.
  auto all = NewStatement(*db_, "SELECT id, name FROM numbers ORDER BY id", 1000);
  all->OnFetch = [&](rtl::TComponent*) { ++fetches; };
  all->Execute();
  auto id = all->Column<std::int64_t>(1);
  auto name = all->Column<std::string_view>("NAME");
  TRowView kept;
  int expected = 1;
  for (auto& row : all->Rows()) {
    ASSERT_EQ(row[1].AsInteger(), expected);
    ASSERT_EQ(row["NAME"].AsString(), "name" + std::to_string(expected));
    ASSERT_EQ(id[row], expected);
    ASSERT_EQ(name[row], "name" + std::to_string(expected));
    if (expected == 2001) {
      EXPECT_EQ(all->RowsFetched(), 500u);
      // A row kept from an earlier rowset is checked again, by its cells and its views alike.
      const std::string notFilled =
          "Row 600 of Query was not fetched: the last fetch filled 500 row(s).";
      EXPECT_EQ(Raised<rtl::Exception>([&] { kept[1].AsInteger(); }).Message(), notFilled);
      EXPECT_EQ(Raised<rtl::Exception>([&] { id[kept]; }).Message(), notFilled);
      EXPECT_EQ(Raised<rtl::Exception>([&] { name.IsNull(kept); }).Message(), notFilled);
    }
    if (expected == 1600) kept = row;
    ++expected;
  }
  EXPECT_EQ(expected, 2501);
  EXPECT_EQ(fetches, 3);

  // Read by number, a row the last rowset did not fill raises rather than give the row of the
  // rowset before.
  auto last = NewStatement(*db_, "SELECT id FROM numbers WHERE id > 1500 ORDER BY id", 600);
  last->Execute();
  ASSERT_TRUE(last->Fetch());
  ASSERT_TRUE(last->Fetch());
  EXPECT_EQ(last->Cell(1, 400).AsInteger(), 2500);
  for (SQLULEN row : {401, 600})
    EXPECT_EQ(Raised<rtl::Exception>([&] { last->Cell(1, row).AsString(); }).Message(),
              "Row " + std::to_string(row) +
                  " of Query was not fetched: the last fetch filled 400 row(s).");
}

TEST_P(FetchTest, EveryTypeRoundTripsAndNullsReadEmpty) {
  Table("types", "i INTEGER, s SMALLINT, b BIGINT, d " + Double() +
                     ", v VARCHAR(255), dt DATE, tm TIME, ts TIMESTAMP, bin " + Blob());
  std::string text255 = Pattern(255, 7);
  ExecSql(*db_, "INSERT INTO types VALUES (2147483647, 32767, 9223372036854775807, 1.5e300, '" +
                    text255 + "', '2024-02-29', '23:59:58', '2024-02-29 13:45:59.125', " +
                    Hex("00ff10") + ")");
  ExecSql(*db_,
          "INSERT INTO types VALUES (-2147483648, -32768, -9223372036854775807 - 1, -0.1, '', "
          "'1900-01-01', '00:00:00', '1999-12-31 23:59:59', " +
              Hex("") + ")");
  ExecSql(*db_, "INSERT INTO types VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");

  auto stmt = NewStatement(*db_, "SELECT * FROM types ORDER BY i DESC", 3);
  stmt->Execute();
  ASSERT_TRUE(stmt->Fetch());
  ASSERT_EQ(stmt->RowsFetched(), 3u);
  // Ordered with NULLs first on PostgreSQL and last on SQLite.
  SQLULEN max = Sqlite() ? 1 : 2, min = max + 1, null = Sqlite() ? 3 : 1;

  EXPECT_EQ(stmt->Cell(1, max).AsInteger(), 2147483647);
  EXPECT_EQ(stmt->Cell(1, min).AsInteger(), -2147483647 - 1);
  EXPECT_EQ(stmt->Cell(2, max).AsInteger(), 32767);
  EXPECT_EQ(stmt->Cell(2, min).AsInteger(), -32768);
  EXPECT_EQ(stmt->Cell(3, max).AsInteger(), INT64_MAX);
  EXPECT_EQ(stmt->Cell(3, min).AsInteger(), INT64_MIN);
  EXPECT_EQ(stmt->Cell(4, max).AsDouble(), 1.5e300);
  EXPECT_EQ(stmt->Cell(4, min).AsDouble(), -0.1);
  EXPECT_EQ(stmt->Cell(5, max).AsString(), text255);
  EXPECT_EQ(stmt->Cell(5, min).AsString(), "");
  EXPECT_FALSE(stmt->Cell(5, min).IsNull());
  EXPECT_EQ(stmt->Cell(6, max).AsString(), "2024-02-29");
  EXPECT_EQ(stmt->Cell(6, min).AsDate().year, 1900);
  EXPECT_EQ(stmt->Cell(7, max).AsString(), "23:59:58");
  EXPECT_EQ(stmt->Cell(8, max).AsString(), "2024-02-29 13:45:59.125");
  EXPECT_EQ(stmt->Cell(8, min).AsTimestamp().second, 59);
  EXPECT_EQ(stmt->Cell(8, max).AsDate().day, 29);
  EXPECT_EQ(stmt->Cell(9, max).AsBytes(), AsByteVector(std::string("\0\xff\x10", 3)));
  for (SQLUSMALLINT column = 1; column <= 9; ++column) {
    TCell cell = stmt->Cell(column, null);
    EXPECT_TRUE(cell.IsNull()) << column;
    EXPECT_EQ(cell.AsString(), "") << column;
  }
  EXPECT_EQ(stmt->Cell(1, null).AsInteger(), 0);

  // The typed views read the same buffers; NULL reads 0 or empty.
  auto i = stmt->Column<std::int64_t>(1), s = stmt->Column<std::int64_t>("s"),
       b = stmt->Column<std::int64_t>(3);
  auto d = stmt->Column<double>(4);
  auto v = stmt->Column<std::string_view>(5), bin = stmt->Column<std::string_view>(9);
  auto at = [&](SQLULEN row) { return stmt->Row(row); };
  EXPECT_EQ(i[at(max)], 2147483647);
  EXPECT_EQ(s[at(min)], -32768);
  EXPECT_EQ(b[at(min)], INT64_MIN);
  EXPECT_EQ(d[at(max)], 1.5e300);
  EXPECT_EQ(v[at(max)], text255);
  EXPECT_EQ(v[at(min)], "");
  EXPECT_FALSE(v.IsNull(at(min)));
  EXPECT_EQ(bin[at(max)], std::string_view("\0\xff\x10", 3));
  EXPECT_EQ(i[at(null)], 0);
  EXPECT_EQ(d[at(null)], 0.0);
  EXPECT_EQ(v[at(null)], "");
  EXPECT_TRUE(i.IsNull(at(null)) && d.IsNull(at(null)) && v.IsNull(at(null)));
  // What a view cannot read raises: another type, another statement's row, a row outside the
  // rowset, and a view made before the columns were bound anew.
  std::string message = Raised<rtl::Exception>([&] { stmt->Column<double>(1); }).Message();
  EXPECT_NE(message.find("Column i (1) of Query holds integer values"), std::string::npos)
      << message;
  Raised<rtl::Exception>([&] { stmt->Column<std::int64_t>(5); });
  Raised<rtl::Exception>([&] { stmt->Column<std::string_view>(10); });
  auto other = NewStatement(*db_, "SELECT i FROM types");
  other->Execute();
  ASSERT_TRUE(other->Fetch());
  EXPECT_EQ(Raised<rtl::Exception>([&] { i[other->Row(1)]; }).Message(),
            "Row 1 is no row of Query.");
  Raised<rtl::Exception>([&] { i[at(4)]; });
  stmt->SetSQL("SELECT v FROM types");
  stmt->Execute();
  for (auto& row : stmt->Rows())
    EXPECT_NE(Raised<rtl::Exception>([&] { i[row]; }).Message().find("bound anew"),
              std::string::npos);
}

TEST_P(FetchTest, ACutValueIsReadWholeWhereTheDriverReachesItsRowAndRefusedElsewhere) {
  // SQLite holds any length whatever the declared one; PostgreSQL describes a VARCHAR without
  // length as VARCHAR(255), and holds any length too.
  Table("wide",
        "id INTEGER, v " + std::string(Sqlite() ? "VARCHAR(10)" : "VARCHAR") + ", bin " + Blob());
  std::string fits = Pattern(255, 3), wide = Pattern(2000, 5);
  // One byte more than the column's buffer holds: SQLite's VARCHAR(10) gets the least buffer,
  // PostgreSQL's VARCHAR(255) four bytes a character.
  const std::size_t capacity = Sqlite() ? 255 : 1020;
  std::string justOver = Pattern(capacity + 1, 7);
  ExecSql(*db_, "INSERT INTO wide VALUES (1, '" + fits + "', NULL)");
  ExecSql(*db_, "INSERT INTO wide VALUES (2, '" + wide + "', " + Hex(std::string(600, 'a')) + ")");
  ExecSql(*db_, "INSERT INTO wide VALUES (3, '" + justOver + "', NULL)");

  auto stmt = NewStatement(*db_, "SELECT id, v, bin FROM wide ORDER BY id", 2);
  stmt->Execute();
  stmt->AddColType(3, SQL_VARBINARY);
  ASSERT_TRUE(stmt->Fetch());
  EXPECT_EQ(stmt->Cell(2, 1).AsString(), fits);
  EXPECT_TRUE(stmt->Cell(2, 2).IsCut());
  if (Sqlite()) {
    // Its driver reads data only at the row it fetched last.
    std::string message = Raised<rtl::Exception>([&] { stmt->Cell(2, 2).AsString(); }).Message();
    EXPECT_NE(message.find("Column v (2), row 2"), std::string::npos) << message;
    EXPECT_NE(message.find("2000 bytes"), std::string::npos) << message;
    EXPECT_NE(message.find("AddColType(2, SQL_LONGVARCHAR)"), std::string::npos) << message;
    Raised<rtl::Exception>([&] { stmt->Cell(2, 2).AsInteger(); });
    message = Raised<rtl::Exception>([&] { stmt->Cell(3, 2).AsBytes(); }).Message();
    EXPECT_NE(message.find("AddColType(3, SQL_LONGVARBINARY)"), std::string::npos) << message;
  } else {
    EXPECT_EQ(stmt->Cell(2, 2).AsString(), wide);
    EXPECT_EQ(stmt->Cell(3, 2).AsBytes(), AsByteVector(std::string(300, '\xaa')));
  }
  ASSERT_EQ(stmt->Columns()[1]->Capacity(), static_cast<SQLLEN>(capacity));
  ASSERT_TRUE(stmt->Fetch());
  EXPECT_TRUE(stmt->Cell(2, 1).IsCut());
  auto cut = stmt->Column<std::string_view>(2);
  if (Sqlite()) {
    Raised<rtl::Exception>([&] { stmt->Cell(2, 1).AsString(); });
    Raised<rtl::Exception>([&] { cut[stmt->Row(1)]; });
  } else {
    EXPECT_EQ(stmt->Cell(2, 1).AsString(), justOver);
    EXPECT_EQ(cut[stmt->Row(1)], justOver);
  }

  // Named on a statement that has no handle yet, before its first use.
  auto whole = NewStatement(*db_, "SELECT id, v, bin FROM wide ORDER BY id");
  whole->AddColType(2, SQL_LONGVARCHAR);
  whole->AddColType(3, SQL_LONGVARBINARY);
  whole->Execute();
  auto view = whole->Column<std::string_view>(2);
  std::vector<std::string> values, viewed;
  std::vector<std::size_t> sizes;
  for (auto& row : whole->Rows()) {
    values.push_back(row[2].AsString());
    viewed.emplace_back(view[row]);
    sizes.push_back(row[3].AsBytes().size());
  }
  EXPECT_EQ(values, (std::vector<std::string>{fits, wide, justOver}));
  EXPECT_EQ(viewed, values);
  EXPECT_EQ(sizes, (std::vector<std::size_t>{0, 300, 0}));
}

TEST_P(FetchTest, LongValuesAreReadWholeForEveryRow) {
  Table("lobs", "id INTEGER, txt TEXT, bin " + Blob());
  std::string text = Pattern(5 << 20, 1), bytes = Pattern(5 << 20, 3);
  bytes[0] = bytes[4711] = '\0';
  auto insert = NewStatement(*db_, "INSERT INTO lobs VALUES (1, :t, :b)");
  rtl::TMemoryStream textStream(text), bytesStream(bytes);
  insert->BindBlobParam("t", &textStream, false);
  insert->BindBlobParam("b", &bytesStream, true);
  insert->Execute();
  ExecSql(*db_, "INSERT INTO lobs VALUES (2, NULL, NULL)");
  ExecSql(*db_, "INSERT INTO lobs VALUES (3, 'short', " + Hex("01") + ")");

  auto read = [&](SQLUINTEGER rowSetSize) {
    auto stmt = NewStatement(*db_, "SELECT id, txt, bin FROM lobs ORDER BY id", rowSetSize);
    stmt->Execute();
    ASSERT_TRUE(stmt->Fetch());
    std::vector<std::string> texts, binaries, viewed;
    std::vector<bool> nulls;
    for (SQLULEN row = 1; row <= stmt->RowsFetched(); ++row) {
      texts.push_back(stmt->Cell("txt", row).AsString());
      binaries.push_back(stmt->Cell("bin", row).Stream().AsString());
      nulls.push_back(stmt->Cell("txt", row).IsNull());
    }
    while (stmt->Fetch()) {
      texts.push_back(stmt->Cell("txt", 1).AsString());
      binaries.push_back(stmt->Cell("bin", 1).Stream().AsString());
      nulls.push_back(stmt->Cell("bin", 1).IsNull());
    }
    EXPECT_EQ(texts, (std::vector<std::string>{text, "", "short"}));
    EXPECT_EQ(binaries, (std::vector<std::string>{bytes, "", "\x01"}));
    EXPECT_EQ(nulls, (std::vector<bool>{false, true, false}));
    // A view reads long data whole too.
    stmt->Execute();
    auto txt = stmt->Column<std::string_view>("txt");
    for (auto& row : stmt->Rows()) viewed.emplace_back(txt[row]);
    EXPECT_EQ(viewed, texts);
  };
  read(1);
  // SQLite's driver reads long data only at the row it fetched last: its rowsets are filled
  // row by row.
  read(1000);
}

INSTANTIATE_TEST_SUITE_P(Drivers, FetchTest, ::testing::Values("SQLite", "PostgreSQL"));

// What does not depend on the driver, on SQLite.
class SqliteFetchTest : public ocl_test::OdbcTest {
 protected:
  void SetUp() override {
    OdbcTest::SetUp();
    db_ = ocl_test::ConnectedTo(true, folder_.File("cells.sqlite"));
  }
  testing_support::TempFolder folder_;
  std::unique_ptr<THdbc> db_;
};

TEST_F(SqliteFetchTest, ColumnsAreBoundByTheTable) {
  ExecSql(*db_, "CREATE TABLE t (v VARCHAR(40), u SMALLINT UNSIGNED, s SMALLINT, n VARCHAR(10))");
  for (int i = 1; i <= 10; ++i)
    ExecSql(*db_, "INSERT INTO t VALUES ('" + Pattern(40, i) + "', 65535, -32768, '" +
                      std::to_string(i * 11) + "')");
  auto stmt = NewStatement(*db_, "SELECT v, u, s, n FROM t", 10);
  stmt->SetBindBookmarks(true);
  stmt->Execute();
  stmt->AddColType(4, SQL_INTEGER);
  ASSERT_EQ(stmt->ColCount(), 4);
  const auto& columns = stmt->Columns();
  EXPECT_EQ(columns[0]->CType, SQL_C_CHAR);
  EXPECT_EQ(stmt->ColNames()[0].Name, "v");
  EXPECT_EQ(stmt->ColNames()[0].DisplaySize, 40);
  // Every integer in 64 bits, which SQLite's columns hold whatever their declared type.
  EXPECT_EQ(columns[1]->CType, SQL_C_SBIGINT);
  EXPECT_EQ(columns[2]->CType, SQL_C_SBIGINT);
  EXPECT_EQ(columns[3]->CType, SQL_C_SBIGINT);
  EXPECT_EQ(columns[3]->SqlType, SQL_INTEGER);
  // SQLite names bookmarks among its cursor's abilities but refuses the bookmark column.
  EXPECT_FALSE(stmt->BindBookmarks());
  EXPECT_EQ(stmt->Bookmarks(), nullptr);

  ASSERT_TRUE(stmt->Fetch());
  ASSERT_EQ(stmt->RowsFetched(), 10u);
  for (SQLULEN row = 1; row <= 10; ++row) {
    EXPECT_EQ(stmt->Cell(1, row).AsString(), Pattern(40, static_cast<int>(row)));
    EXPECT_EQ(stmt->Cell(2, row).AsInteger(), 65535);
    EXPECT_EQ(stmt->Cell(3, row).AsInteger(), -32768);
    EXPECT_EQ(stmt->Cell(4, row).AsInteger(), static_cast<std::int64_t>(row * 11));
  }

  EXPECT_EQ(stmt->RowMark(3), 0);
  stmt->SetRowMark(3, 0x0018);
  EXPECT_EQ(stmt->RowMark(3), 8);
  EXPECT_EQ(stmt->Row(3).Mark(), 8);
  EXPECT_EQ(stmt->RowMark(0), 0);
  EXPECT_EQ(stmt->RowMark(11), 0);
}

// Filled row by row, a rowset starts only where the driver can find its first row.
TEST_F(SqliteFetchTest, ARowsetFilledRowByRowMovesForward) {
  ExecSql(*db_, "CREATE TABLE notes (id INTEGER, body TEXT)");
  for (int i = 1; i <= 5; ++i)
    ExecSql(*db_,
            "INSERT INTO notes VALUES (" + std::to_string(i) + ", '" + Pattern(i * 5000, i) + "')");
  auto stmt = NewStatement(*db_, "SELECT id, body FROM notes ORDER BY id", 2);
  stmt->SetCursorType(SQL_CURSOR_STATIC);
  stmt->Execute();
  auto rowset = [&](SQLSMALLINT orientation, SQLLEN offset) {
    std::vector<std::int64_t> ids;
    if (!stmt->FetchScroll(orientation, offset)) return ids;
    for (SQLULEN row = 1; row <= stmt->RowsFetched(); ++row) {
      ids.push_back(stmt->Cell(1, row).AsInteger());
      EXPECT_EQ(stmt->Cell(2, row).AsString(), Pattern(ids.back() * 5000, ids.back()));
    }
    return ids;
  };
  EXPECT_EQ(rowset(SQL_FETCH_ABSOLUTE, 4), (std::vector<std::int64_t>{4, 5}));
  EXPECT_TRUE(stmt->FillsRowByRow());
  EXPECT_EQ(rowset(SQL_FETCH_FIRST, 0), (std::vector<std::int64_t>{1, 2}));
  EXPECT_EQ(rowset(SQL_FETCH_NEXT, 0), (std::vector<std::int64_t>{3, 4}));
  for (SQLSMALLINT orientation : {SQL_FETCH_PRIOR, SQL_FETCH_LAST, SQL_FETCH_RELATIVE})
    Raised<rtl::Exception>([&] { stmt->FetchScroll(orientation, -1); });
  Raised<rtl::Exception>([&] { stmt->FetchScroll(SQL_FETCH_ABSOLUTE, -1); });
}

TEST_F(SqliteFetchTest, CellsConvertWhereItMakesSenseAndRefuseOtherwise) {
  ExecSql(*db_, "CREATE TABLE t (name VARCHAR(20), num SMALLINT, price DOUBLE, day DATE)");
  ExecSql(*db_, "INSERT INTO t VALUES ('abc', 12, 2.5, '2024-01-31')");
  ExecSql(*db_, "INSERT INTO t VALUES (' 42 ', 7, 3, NULL)");
  auto stmt = NewStatement(*db_, "SELECT name, num, price, day FROM t", 2);
  stmt->Execute();
  ASSERT_TRUE(stmt->Fetch());
  TRowView first = stmt->Row(1), second = stmt->Row(2);

  EXPECT_EQ(second["Name"].AsInteger(), 42);
  EXPECT_EQ(first["NUM"].AsString(), "12");
  EXPECT_EQ(first["price"].AsString(), "2.5");
  EXPECT_EQ(second["price"].AsInteger(), 3);
  Raised<rtl::Exception>([&] { first["nothing"]; });
  std::string message = Raised<rtl::EConvertError>([&] { first["name"].AsInteger(); }).Message();
  EXPECT_EQ(message, "Column name (1), row 1 of Query: 'abc' is not a valid integer value.");
  message = Raised<rtl::EConvertError>([&] { first[3].AsInteger(); }).Message();
  EXPECT_NE(message.find("row 1"), std::string::npos) << message;
  Raised<rtl::EConvertError>([&] { first[2].AsDate(); });
  Raised<rtl::EConvertError>([&] { first[4].AsBytes(); });

  // Writers fill buffer and indicator, and refuse what does not fit.
  message = Raised<rtl::Exception>([&] { first[1].SetString(std::string(256, 'x')); }).Message();
  EXPECT_NE(message.find("256 bytes"), std::string::npos) << message;
  EXPECT_EQ(first[1].AsString(), "abc");
  first[1].SetString(std::string(255, 'y'));
  EXPECT_EQ(first[1].AsString(), std::string(255, 'y'));
  // SQLite's SMALLINT holds 64 bits; PostgreSQL's refuses what it cannot hold when written.
  first[2].SetInteger(70000);
  EXPECT_EQ(first[2].AsInteger(), 70000);
  first[2].SetString("-5");
  EXPECT_EQ(first[2].AsInteger(), -5);
  first[3].SetNull();
  EXPECT_TRUE(first[3].IsNull());
  second[4].SetDate({2025, 6, 1});
  EXPECT_EQ(second[4].AsString(), "2025-06-01");
  EXPECT_EQ(second[4].Indicator(), 10);  // as text, which SQLite holds
}

// Scrolling, bookmarks and long data inside rowsets, which PostgreSQL's driver offers.
class PostgresFetchTest : public ocl_test::OdbcTest {
 protected:
  void SetUp() override {
    OdbcTest::SetUp();
    db_ = ocl_test::ConnectedTo(false, "");
  }
  std::unique_ptr<THdbc> db_;
};

TEST_F(PostgresFetchTest, TextInRowsetsOf1000IsReadWholeAndDeferredOnDemand) {
  ExecSql(*db_, "DROP TABLE IF EXISTS notes");
  ExecSql(*db_,
          "CREATE TABLE notes AS SELECT x AS id, repeat(md5(x::text), x % 200) AS body "
          "FROM generate_series(1, 2500) AS x");
  auto stmt = NewStatement(*db_, "SELECT id, body FROM notes ORDER BY id", 1000);
  stmt->Execute();
  ASSERT_EQ(stmt->ColCount(), 2);
  EXPECT_EQ(stmt->Columns()[1]->SqlType, SQL_LONGVARCHAR);
  int rows = 0;
  for (auto& row : stmt->Rows()) {
    ++rows;
    std::int64_t id = row[1].AsInteger();
    ASSERT_EQ(row[2].AsString().size(), static_cast<std::size_t>(32 * (id % 200))) << id;
  }
  EXPECT_EQ(rows, 2500);

  // Deferred: nothing is read until asked, then one value of one row.
  auto deferred = NewStatement(*db_, "SELECT id, body FROM notes WHERE id <= 3 ORDER BY id", 3);
  deferred->SetBlobDeferral(true);
  deferred->Execute();
  ASSERT_TRUE(deferred->Fetch());
  const TColRec& body = *deferred->Columns()[1];
  EXPECT_EQ(body.Loaded, (std::vector<bool>{false, false, false}));
  deferred->ReadBlob(2, 3);
  EXPECT_EQ(body.Loaded, (std::vector<bool>{false, false, true}));
  EXPECT_EQ(deferred->Cell(2, 3).Stream().Size(), 32u * 3);
  EXPECT_EQ(deferred->Cell(2, 2).AsString().size(), 32u * 2);
  EXPECT_EQ(body.Loaded, (std::vector<bool>{false, true, true}));
}

// A float, a double or a decimal is written only where the column holds it unrounded.
TEST_F(PostgresFetchTest, WritersRefuseWhatTheColumnWouldRound) {
  ExecSql(*db_, "DROP TABLE IF EXISTS exact");
  ExecSql(*db_, "CREATE TABLE exact (r REAL, d DOUBLE PRECISION, n NUMERIC(5,2))");
  auto stmt = NewStatement(*db_, "SELECT r, d, n FROM exact");
  stmt->Execute();
  struct TWrite {
    SQLUSMALLINT Column;
    std::function<void(TCell&)> Write;
    const char* Stored;  // null: refused
  };
  const TWrite writes[] = {
      {1, [](TCell& c) { c.SetDouble(1e300); }, nullptr},
      {1, [](TCell& c) { c.SetInteger(16777217); }, nullptr},
      {1, [](TCell& c) { c.SetString("16777217"); }, nullptr},
      {1, [](TCell& c) { c.SetDouble(0.1); }, "0.1"},
      {1, [](TCell& c) { c.SetInteger(16777216); }, "16777216"},
      {2, [](TCell& c) { c.SetInteger(9007199254740993); }, nullptr},
      {2, [](TCell& c) { c.SetString("0.1000000000000000000001"); }, nullptr},
      {2, [](TCell& c) { c.SetString(" 1e300 "); }, "1e+300"},
      {3, [](TCell& c) { c.SetString("123.456"); }, nullptr},
      {3, [](TCell& c) { c.SetString("1234.5"); }, nullptr},
      {3, [](TCell& c) { c.SetDouble(0.125); }, nullptr},
      {3, [](TCell& c) { c.SetInteger(1000); }, nullptr},
      {3, [](TCell& c) { c.SetString("abc"); }, nullptr},
      {3, [](TCell& c) { c.SetString("-123.40"); }, "-123.40"},
      {3, [](TCell& c) { c.SetDouble(0.5); }, "0.5"},
      {3, [](TCell& c) { c.SetInteger(999); }, "999"},
  };
  for (const TWrite& write : writes) {
    TCell cell = stmt->Cell(write.Column, 1);
    cell.SetNull();
    if (!write.Stored) {
      Raised<rtl::EConvertError>([&] { write.Write(cell); });
      EXPECT_TRUE(cell.IsNull()) << write.Column;
    } else {
      write.Write(cell);
      EXPECT_EQ(cell.AsString(), write.Stored);
    }
  }
}

TEST_F(PostgresFetchTest, AStaticCursorScrollsAndFetchesByBookmark) {
  ExecSql(*db_, "DROP TABLE IF EXISTS numbers");
  ExecSql(*db_, "CREATE TABLE numbers AS SELECT x AS id FROM generate_series(1, 5) AS x");
  auto stmt = NewStatement(*db_, "SELECT id FROM numbers ORDER BY id", 2);
  stmt->SetCursorType(SQL_CURSOR_STATIC);
  stmt->SetBindBookmarks(true);
  stmt->Execute();
  auto first = [&](SQLSMALLINT orientation, SQLLEN offset) {
    if (!stmt->FetchScroll(orientation, offset)) return SQLLEN{0};
    return static_cast<SQLLEN>(stmt->Cell(1, 1).AsInteger());
  };
  EXPECT_EQ(first(SQL_FETCH_LAST, 0), 4);
  EXPECT_EQ(stmt->Cell(1, 2).AsInteger(), 5);
  EXPECT_EQ(first(SQL_FETCH_PRIOR, 0), 2);
  EXPECT_EQ(first(SQL_FETCH_ABSOLUTE, 1), 1);
  EXPECT_EQ(first(SQL_FETCH_RELATIVE, 2), 3);
  ASSERT_TRUE(stmt->BindBookmarks());
  std::vector<std::byte> four = stmt->Bookmark(2);
  EXPECT_EQ(first(SQL_FETCH_FIRST, 0), 1);
  ASSERT_TRUE(stmt->FetchBookmark(four));
  EXPECT_EQ(stmt->Cell(1, 1).AsInteger(), 4);
  EXPECT_EQ(first(SQL_FETCH_FIRST, 0), 1);
  EXPECT_EQ(first(SQL_FETCH_PRIOR, 0), 0);
}

}  // namespace
