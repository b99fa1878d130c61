#pragma once
// Typed access to the values of a statement's rowset: a cell (one column of one row) read as
// text, integer, double, bytes, date or time, or written into its buffer; and a row of cells.

#include "odbc/OCLStatement.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ocl {

// One value of the rowset, rows counted from 1, as the database holds it: integers in 64 bits,
// decimals, dates and times in the driver's text (AsString), floats and doubles as the
// shortest text that reads back the same. Reading converts where that makes sense and raises
// rtl::EConvertError, naming column and row, where it does not. A character or binary value
// longer than its buffer is read whole where the driver still reaches its row, and is never
// read as if the buffer held all of it: where it cannot be had, reading it raises
// rtl::Exception with the remedy. NULL reads as an empty text, 0 or an empty value (IsNull
// tells). Long data that BlobDeferral left unread is read on first access.
class TCell {
 public:
  TCell(THstmt& Statement, SQLUSMALLINT Column, SQLULEN Row)
      : stmt_(&Statement), column_(Column), row_(Row) {
    if (!Statement.ColsBound() || Column < 1 || Column > Statement.ColNames().size() || Row < 1 ||
        Row > Statement.RowSetSize())
      RequireBoundCell();
    rec_ = Statement.Columns()[Column - 1].get();
  }

  SQLUSMALLINT Column() const { return column_; }
  SQLULEN Row() const { return row_; }
  // The length of the value in bytes, or SQL_NULL_DATA, or SQL_NO_TOTAL.
  SQLLEN Indicator() const { return rec_->Ind[row_ - 1]; }
  // The value is longer than its buffer, which holds only its start (read whole, it is in the
  // row's stream of the column).
  bool IsCut() const;
  bool IsLongData() const { return !rec_->Data; }

  bool IsNull() {
    stmt_->RequireFilledRow(row_);
    if (!rec_->Data) Load();
    return Ind() == SQL_NULL_DATA;
  }
  std::string AsString();
  std::int64_t AsInteger();
  double AsDouble();
  std::vector<std::byte> AsBytes();
  SQL_DATE_STRUCT AsDate();
  SQL_TIME_STRUCT AsTime();
  SQL_TIMESTAMP_STRUCT AsTimestamp();
  // The value of a long-data cell.
  rtl::TMemoryStream& Stream();

  // Fill the buffer and indicator (a long-data cell: its stream). A value the column cannot
  // hold exactly is refused, never cut or rounded: a text longer than its buffer, a number a
  // REAL or DOUBLE would round, a decimal with more digits than the column's precision and
  // scale.
  void SetNull();
  void SetString(std::string_view Value);
  void SetInteger(std::int64_t Value);
  void SetDouble(double Value);
  void SetBytes(const void* Value, std::size_t Size);
  void SetDate(const SQL_DATE_STRUCT& Value);
  void SetTime(const SQL_TIME_STRUCT& Value);
  void SetTimestamp(const SQL_TIMESTAMP_STRUCT& Value);

 private:
  // Binds the columns when they are not bound; raises for a cell outside the rowset.
  void RequireBoundCell();
  std::byte* Element() const { return rec_->Element(row_); }
  SQLLEN& Ind() const { return rec_->Ind[row_ - 1]; }
  void Load();
  // A character or binary value (bound or long) without a copy.
  std::string_view Bytes();
  void WriteBytes(std::string_view Value);
  void WriteDecimal(std::string_view Value);
  void WriteFloat(double Value, std::string_view Given);
  void WriteDouble(double Value, std::string_view Given);
  template <class T>
  void Store(const T& Value);
  const char* Kind() const;
  std::string Where() const;
  [[noreturn]] void Refuse(const std::string& What) const;
  [[noreturn]] void RefuseCut() const;

  THstmt* stmt_;
  TColRec* rec_;
  SQLUSMALLINT column_;
  SQLULEN row_;
};

// A row of the rowset: its cells by column number or by name (without regard to case).
class TRowView {
 public:
  TRowView() = default;
  TRowView(THstmt& Statement, SQLULEN Row) : stmt_(&Statement), row_(Row) {}

  SQLULEN Number() const { return row_; }
  TCell operator[](SQLUSMALLINT Column) const { return TCell(*stmt_, Column, row_); }
  TCell operator[](std::string_view ColumnName) const;
  // The driver's status of the row (SQL_ROW_SUCCESS, ...).
  SQLUSMALLINT Status() const { return stmt_->RowStatus(row_); }
  SQLUSMALLINT Mark() const { return stmt_->RowMark(row_); }
  void SetMark(SQLUSMALLINT Operation) const { stmt_->SetRowMark(row_, Operation); }

 private:
  THstmt* stmt_ = nullptr;
  SQLULEN row_ = 0;
};

}  // namespace ocl
