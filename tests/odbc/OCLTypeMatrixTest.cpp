// Values of every common column type on both drivers, exactly as stored: stored by plain SQL
// and read through typed cells in rowsets of 1 and of 1,000; written through cell writers and
// through parameters and compared with what plain SQL stored; read and written back with one
// column changed, leaving the others as they were. Plain SQL shows each stored value: SQLite
// its type and bytes (typeof, hex), PostgreSQL its type and the digest of its text.

#include "tests/odbc/OdbcTestSupport.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace ocl;
using ocl_test::ExecSql;

namespace {

using TValue = std::optional<std::string>;  // none: NULL

enum class TLiteral { Number, Text, Bytes, Keyword };

// One column of the matrix, and its value in each row: the text a cell reads, which is also
// what the writers and parameters are given.
struct TMatrixColumn {
  std::string Name;
  std::string Type;
  TLiteral Literal;
  std::vector<TValue> Values;
  // The SQL literal where it is no quoted text of the value (BOOLEAN's TRUE, for one).
  std::vector<std::string> Literals = {};
};

constexpr int Rows = 5;

std::string Pattern(std::size_t size, int step) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * step) % 251);
  return bytes;
}

std::string Letters(std::size_t size) {
  std::string text(size, 'a');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 26);
  return text;
}

std::string HexDigits(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char c : bytes) text += {digits[c >> 4], digits[c & 15]};
  return text;
}

std::vector<TMatrixColumn> Matrix(bool Sqlite) {
  // 200 characters of 2, 3 and 4 bytes in UTF-8.
  std::string utf8;
  for (int i = 0; i < 66; ++i) utf8 += "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";
  utf8 += "\xc3\xa9\xc3\xa9";
  std::string json = "{\"list\": [";
  for (int i = 0; i < 100; ++i) json += std::to_string(i * 7) + ", ";
  json += "0], \"name\": \"\xc3\xa9t\xc3\xa9\"}";
  std::vector<TMatrixColumn> matrix = {
      {"i",
       "INTEGER",
       TLiteral::Number,
       {"2147483647",
        "-2147483648",
        Sqlite ? "9000000000" : "0",
        Sqlite ? "-9223372036854775808" : "1",
        {}}},
      {"b",
       "BIGINT",
       TLiteral::Number,
       {"9223372036854775807", "-9223372036854775807", "0", "5000000000", {}}},
      {"s", "SMALLINT", TLiteral::Number, {"32767", "-32768", "0", {}, "1"}},
      {"bo",
       "BOOLEAN",
       TLiteral::Keyword,
       {"1", "0", {}, "1", "0"},
       {"TRUE", "FALSE", "NULL", "TRUE", "FALSE"}},
      {"r", "REAL", TLiteral::Number, {"0.1", "-3.4e+38", "16777216", {}, "1.5"}},
      {"d",
       Sqlite ? "DOUBLE" : "DOUBLE PRECISION",
       TLiteral::Number,
       {"1.5e+300", "-0.1", "2.5", "0", {}}},
      // SQLite keeps a NUMERIC as a double (or an integer), read through 15 digits.
      {"n", "NUMERIC(30,10)", TLiteral::Number,
       Sqlite ? std::vector<TValue>{"12345678901234.5", "-0.5", "0", "0.25", {}}
              : std::vector<TValue>{"12345678901234567890.0123456789",
                                    "-0.5000000000",
                                    "0.0000000000",
                                    "98765432109876.5400000000",
                                    {}}},
      {"dt", "DATE", TLiteral::Text, {"2024-02-29", "1900-01-01", {}, "2000-12-31", "1970-01-01"}},
      {"tm",
       Sqlite ? "TIME" : "TIME(6)",
       TLiteral::Text,
       {"12:34:56.123456", "00:00:00", "23:59:59.5", {}, "08:00:00"}},
      {"ts",
       Sqlite ? "TIMESTAMP" : "TIMESTAMP(6)",
       TLiteral::Text,
       {"2024-02-29 13:45:59.123456",
        "1999-12-31 23:59:59",
        {},
        "2000-01-01 00:00:00",
        "2024-01-01 12:00:00.5"}},
      {"v", "VARCHAR(300)", TLiteral::Text, {Letters(300), "", "it's", {}, "x"}},
      {"u8",
       "VARCHAR(200)",
       TLiteral::Text,
       {utf8, "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", {}}},
      {"tx", "TEXT", TLiteral::Text, {Letters(1 << 20), "", "short", {}, "x"}},
      {"bl",
       Sqlite ? "BLOB" : "BYTEA",
       TLiteral::Bytes,
       {"", "\x01", Pattern(256, 3), Pattern(257, 5), Pattern(5 << 20, 7)}},
      {"uu",
       "UUID",
       TLiteral::Text,
       {"a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11",
        "00000000-0000-0000-0000-000000000000",
        {},
        "ffffffff-ffff-ffff-ffff-ffffffffffff",
        "123e4567-e89b-12d3-a456-426614174000"}},
      // SQLite keeps JSON in TEXT columns.
      {"j", Sqlite ? "TEXT" : "JSON", TLiteral::Text, {json, "[]", "null", {}, "{}"}},
      {"iv",
       "INTERVAL",
       TLiteral::Text,
       {"1 day 02:03:04", "00:00:00", "-1 days", {}, "1 year 2 mons"}},
  };
  return matrix;
}

class TypeMatrixTest : public ocl_test::OdbcTest,
                       public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    OdbcTest::SetUp();
    db_ = ocl_test::ConnectedTo(Sqlite(), folder_.File("matrix.sqlite"));
    matrix_ = Matrix(Sqlite());
    std::string columns = "id INTEGER PRIMARY KEY, note VARCHAR(10)";
    for (const TMatrixColumn& column : matrix_) columns += ", " + column.Name + " " + column.Type;
    ExecSql(*db_, "DROP TABLE IF EXISTS matrix");
    ExecSql(*db_, "CREATE TABLE matrix (" + columns + ")");
    for (int row = 0; row < Rows; ++row) {
      std::string values = std::to_string(row + 1) + ", 'kept'";
      for (const TMatrixColumn& column : matrix_) values += ", " + Literal(column, row);
      ExecSql(*db_, "INSERT INTO matrix VALUES (" + values + ")");
    }
  }
  bool Sqlite() const { return std::string(GetParam()) == "SQLite"; }

  std::string Literal(const TMatrixColumn& Column, int Row) const {
    if (!Column.Literals.empty()) return Column.Literals[Row];
    const TValue& value = Column.Values[Row];
    if (!value) return "NULL";
    switch (Column.Literal) {
      case TLiteral::Number: return *value;
      case TLiteral::Bytes:
        return Sqlite() ? "x'" + HexDigits(*value) + "'"
                        : "decode('" + HexDigits(*value) + "', 'hex')";
      default: {
        std::string quoted = "'";
        for (char c : *value) quoted += c == '\'' ? std::string("''") : std::string(1, c);
        return quoted + "'";
      }
    }
  }

  std::unique_ptr<THstmt> Statement(const std::string& sql, SQLUINTEGER rowSetSize = 1) {
    return ocl_test::NewStatement(*db_, sql, rowSetSize, "Matrix");
  }

  std::string Columns() const {
    std::string names;
    for (const TMatrixColumn& column : matrix_) names += ", " + column.Name;
    return names;
  }

  // Every stored value of the row as plain SQL shows it.
  std::vector<std::string> Stored(int Id) {
    std::string shown;
    for (const TMatrixColumn& column : matrix_) {
      const std::string& c = column.Name;
      shown += (shown.empty() ? "" : ", ") +
               (Sqlite() ? "typeof(" + c + ") || '/' || hex(" + c + ")"
                         : "coalesce(CAST(pg_typeof(" + c + ") AS text) || '/' || md5(CAST(" + c +
                               " AS text)), 'NULL')");
    }
    auto stmt = Statement("SELECT " + shown + " FROM matrix WHERE id = " + std::to_string(Id));
    stmt->Execute();
    std::vector<std::string> values;
    EXPECT_TRUE(stmt->Fetch()) << Id;
    for (SQLUSMALLINT n = 1; n <= matrix_.size(); ++n)
      values.push_back(stmt->Cell(n, 1).AsString());
    return values;
  }

  testing_support::TempFolder folder_;
  std::unique_ptr<THdbc> db_;
  std::vector<TMatrixColumn> matrix_;
};

TEST_P(TypeMatrixTest, ReadInRowsetsOf1And1000AsStored) {
  for (SQLUINTEGER rowSetSize : {1u, 1000u}) {
    auto stmt = Statement("SELECT id" + Columns() + " FROM matrix ORDER BY id", rowSetSize);
    stmt->Execute();
    int row = 0;
    for (auto& cells : stmt->Rows()) {
      for (std::size_t n = 0; n < matrix_.size(); ++n) {
        const TValue& value = matrix_[n].Values[row];
        TCell cell = cells[static_cast<SQLUSMALLINT>(n + 2)];
        std::string where = matrix_[n].Name + " row " + std::to_string(row + 1) +
                            " of rowsets of " + std::to_string(rowSetSize);
        ASSERT_EQ(cell.IsNull(), !value) << where;
        EXPECT_EQ(cell.AsString(), value.value_or("")) << where;
        if (matrix_[n].Literal == TLiteral::Number && value &&
            value->find_first_of(".e") == std::string::npos) {
          EXPECT_EQ(cell.AsInteger(), std::stoll(*value)) << where;
        }
      }
      ++row;
    }
    EXPECT_EQ(row, Rows);
  }
}

TEST_P(TypeMatrixTest, WrittenThroughCellsAndParametersAsPlainSqlStoresIt) {
  auto cells = Statement("SELECT id" + Columns() + " FROM matrix WHERE 1 = 0");
  cells->Execute();
  cells->SetPrimary(1);
  for (int row = 0; row < Rows; ++row) {
    cells->Cell(1, 1).SetInteger(101 + row);
    for (std::size_t n = 0; n < matrix_.size(); ++n) {
      TCell cell = cells->Cell(static_cast<SQLUSMALLINT>(n + 2), 1);
      const TValue& value = matrix_[n].Values[row];
      if (!value)
        cell.SetNull();
      else
        cell.SetString(*value);
    }
    cells->Insert();
  }

  // Parameters of the types the columns are read with: integers, floats and doubles as
  // themselves, decimals, times, UUIDs and the rest as text, long data from streams; bound
  // with named types (ids 201 on), and with the column's size and digits or as long data
  // (ids 301 on; an empty stream would be NULL there).
  std::string markers = "?";
  for (std::size_t n = 0; n < matrix_.size(); ++n) markers += ", ?";
  auto insert = Statement("INSERT INTO matrix (id" + Columns() + ") VALUES (" + markers + ")");
  insert->Prepare();
  std::vector<std::byte> numbers(matrix_.size() * 8);
  std::vector<std::string> texts(matrix_.size());
  std::vector<rtl::TMemoryStream> streams(matrix_.size());
  for (bool typed : {true, false}) {
    for (int row = 0; row < Rows; ++row) {
      std::int64_t id = (typed ? 201 : 301) + row;
      insert->BindParamTyped(1, SQL_C_SBIGINT, &id, SQL_BIGINT);
      for (std::size_t n = 0; n < matrix_.size(); ++n) {
        const TColRec& read = *cells->Columns()[n + 1];
        auto number = static_cast<SQLUSMALLINT>(n + 2);
        const TValue& value = matrix_[n].Values[row];
        SQLPOINTER buffer = &numbers[n * 8];
        if (read.CType == SQL_C_SBIGINT && value) {
          std::int64_t integer = std::stoll(*value);
          std::memcpy(buffer, &integer, sizeof integer);
        } else if (read.CType == SQL_C_DOUBLE && value) {
          double real = std::stod(*value);
          std::memcpy(buffer, &real, sizeof real);
        } else if (read.CType == SQL_C_FLOAT && value) {
          float single = std::stof(*value);
          std::memcpy(buffer, &single, sizeof single);
        } else if (!read.Data) {
          streams[n] = rtl::TMemoryStream(value.value_or(""));
          buffer = streams[n].Memory();
        } else {
          texts[n] = value.value_or("");
          buffer = texts[n].data();
        }
        if (!value) buffer = nullptr;
        bool binary = read.CType == SQL_C_BINARY;
        if (!read.Data && typed)
          insert->BindParamTyped(number, read.CType, value ? &streams[n] : nullptr, read.SqlType);
        else if (!read.Data && value && !value->empty())
          insert->BindBlobParam(number, &streams[n], binary);
        else if (typed)
          insert->BindParamTyped(number, read.CType, buffer, read.SqlType);
        else
          insert->BindParameter(number, read.CType, buffer, read.SqlType, read.ColumnSize,
                                read.Digits, 0);
        if (value && (read.CType == SQL_C_CHAR || binary) && (read.Data || value->empty()))
          insert->SetParamLength(number, static_cast<SQLLEN>(value->size()));
      }
      insert->Execute();
    }
  }

  for (int row = 1; row <= Rows; ++row) {
    std::vector<std::string> stored = Stored(row);
    EXPECT_EQ(Stored(100 + row), stored) << "cells, row " << row;
    EXPECT_EQ(Stored(200 + row), stored) << "named types, row " << row;
    EXPECT_EQ(Stored(300 + row), stored) << "described sizes and long data, row " << row;
  }
}

TEST_P(TypeMatrixTest, ARowWrittenBackWithOneColumnChangedKeepsEveryOther) {
  std::vector<std::vector<std::string>> before;
  for (int row = 1; row <= Rows; ++row) before.push_back(Stored(row));
  // Row by row, long data written back too; then as one rowset.
  auto single = Statement("SELECT id, note" + Columns() + " FROM matrix ORDER BY id");
  single->Execute();
  single->SetPrimary(1);
  for (auto& row : single->Rows()) {
    row[2].SetString("one");
    single->Update();
  }
  auto rowset = Statement("SELECT id, note" + Columns() + " FROM matrix ORDER BY id", 1000);
  // SQLite's static cursor offers positioned updates, which its rowsets with long data, filled
  // row by row, cannot use: the driver's cursor holds the last row only.
  if (Sqlite()) rowset->SetCursorType(SQL_CURSOR_STATIC);
  rowset->Execute();
  rowset->SetPrimary(1);
  ASSERT_TRUE(rowset->Fetch());
  for (SQLULEN row = 1; row <= rowset->RowsFetched(); ++row) {
    rowset->Cell(2, row).SetString("all");
    rowset->SetRowMark(row, roUpdate);
  }
  rowset->Update();

  for (int row = 1; row <= Rows; ++row) EXPECT_EQ(Stored(row), before[row - 1]) << "row " << row;
  auto notes = Statement("SELECT DISTINCT note FROM matrix");
  notes->Execute();
  std::vector<std::string> seen;
  for (auto& row : notes->Rows()) seen.push_back(row[1].AsString());
  EXPECT_EQ(seen, std::vector<std::string>{"all"});
}

INSTANTIATE_TEST_SUITE_P(Drivers, TypeMatrixTest, ::testing::Values("SQLite", "PostgreSQL"));

}  // namespace
