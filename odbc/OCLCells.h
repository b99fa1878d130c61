#pragma once
// Typed access to the values of a statement's rowset: a cell (one column of one row) read as
// text, integer, double, bytes, date or time, or written into its buffer; and a row of cells.

#include "odbc/OCLStatement.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
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
  // Rowset: the stamp of the rowset in which the row was found filled (TRowView), 0 for none:
  // the row is then checked at every read.
  TCell(THstmt& Statement, SQLUSMALLINT Column, SQLULEN Row, std::uint64_t Rowset = 0)
      : stmt_(&Statement), column_(Column), row_(Row), rowset_(Rowset) {
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
    RequireFilled();
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
  friend class TColumnBase;
  // Binds the columns when they are not bound; raises for a cell outside the rowset.
  void RequireBoundCell();
  // Raises for a row the last fetch did not fill, unless it was found filled in this rowset.
  void RequireFilled() const {
    if (rowset_ != stmt_->Stamp().Rowset) stmt_->RequireFilledRow(row_);
  }
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
  std::uint64_t rowset_;
};

// A row of the rowset: its cells by column number or by name (without regard to case).
class TRowView {
 public:
  TRowView() = default;
  // A row by its number, checked at every read.
  TRowView(THstmt& Statement, SQLULEN Row) : stmt_(&Statement), row_(Row) {}

  SQLULEN Number() const { return row_; }
  THstmt* Statement() const { return stmt_; }
  // Where the range of rows found the row filled; none for a row by its number.
  const TRowsetStamp& Stamp() const { return stamp_; }
  TCell operator[](SQLUSMALLINT Column) const { return TCell(*stmt_, Column, row_, stamp_.Rowset); }
  TCell operator[](std::string_view ColumnName) const;
  // The driver's status of the row (SQL_ROW_SUCCESS, ...).
  SQLUSMALLINT Status() const { return stmt_->RowStatus(row_); }
  SQLUSMALLINT Mark() const { return stmt_->RowMark(row_); }
  void SetMark(SQLUSMALLINT Operation) const { stmt_->SetRowMark(row_, Operation); }

 private:
  friend class TRows;
  TRowView(THstmt& Statement, SQLULEN Row, const TRowsetStamp& Stamp)
      : stmt_(&Statement), row_(Row), stamp_(Stamp) {}

  THstmt* stmt_ = nullptr;
  SQLULEN row_ = 0;
  TRowsetStamp stamp_;
};

// What the column views share: the checks made once when a view is made, and the reads that
// leave the plain buffer (long data, a value longer than its buffer, a row checked anew).
class TColumnBase {
 protected:
  // How the view reads the buffer.
  enum class TReading : std::uint8_t { Integer, Unsigned, Float, Double, Bytes };
  // Raises rtl::Exception for a column the statement does not have, or one whose buffer does
  // not hold values read so.
  TColumnBase(THstmt& Statement, SQLUSMALLINT Column, TReading Reading);

  // The row is one the range of rows found filled in the rowset the buffers hold, under the
  // binding the view was made for.
  bool Current(const TRowView& Row) const {
    return Row.Stamp().Rowset == stmt_->Stamp().Rowset && Row.Stamp().Binding == binding_;
  }
  // Raises where a cell of that row could not be read (a view made for an earlier binding, a
  // row of another statement, outside the rowset or not fetched).
  void Verify(const TRowView& Row) const;
  // The bytes of a value its buffer does not hold whole, read as a cell reads them.
  std::string_view Whole(const TRowView& Row) const;
  // As Whole, none for NULL, from one read of the cell.
  std::optional<std::string_view> WholeOrNull(const TRowView& Row) const;
  bool CellIsNull(const TRowView& Row) const;
  static const char* ReadingName(TReading Reading);

  THstmt* stmt_;
  SQLUSMALLINT column_;
  const std::byte* data_;  // none for long data
  const SQLLEN* ind_;
  SQLLEN size_;
  SQLLEN capacity_;
  std::uint64_t binding_;
};

// A column of the rowset read as values of one type, for the rows that Rows() yields:
//   auto price = parts->Column<double>("Price");
//   for (auto& row : parts->Rows()) total += price[row];
// What a cell checks at every read is checked once: the column and its type when the view is
// made, the row once per rowset. Integer columns (BIT to BIGINT) read as std::int64_t, BIGINT
// UNSIGNED as std::uint64_t, DOUBLE and FLOAT as double, REAL as float; every other column as
// std::string_view, the bytes the driver gave (a text without its NUL; long data and a value
// longer than its buffer whole), valid until the next fetch. NULL reads as 0 or empty (IsNull
// tells; Read gives none instead). A view of a type the column is not bound as raises
// rtl::Exception when it is made, and one used after the columns were bound anew when it is
// read. A row by its number is checked as a cell checks it.
template <class T>
class TColumnOf : private TColumnBase {
  static_assert(std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::uint64_t> ||
                    std::is_same_v<T, float> || std::is_same_v<T, double> ||
                    std::is_same_v<T, std::string_view>,
                "a column reads as std::int64_t, std::uint64_t, float, double or "
                "std::string_view");

 public:
  TColumnOf(THstmt& Statement, SQLUSMALLINT Column) : TColumnBase(Statement, Column, Reading()) {}

  T operator[](const TRowView& Row) const {
    if (!Current(Row)) Verify(Row);
    const auto i = static_cast<std::size_t>(Row.Number() - 1);
    if constexpr (std::is_same_v<T, std::string_view>) {
      const SQLLEN ind = data_ ? ind_[i] : SQL_NO_TOTAL;
      if (ind >= 0 && ind <= capacity_) return Element(i, ind);
      if (ind == SQL_NULL_DATA) return {};
      return Whole(Row);
    } else {
      if (ind_[i] == SQL_NULL_DATA) return T{};
      return Element(i);
    }
  }

  // The value, or none for NULL: the row checked once for both.
  std::optional<T> Read(const TRowView& Row) const {
    if (!Current(Row)) Verify(Row);
    const auto i = static_cast<std::size_t>(Row.Number() - 1);
    if constexpr (std::is_same_v<T, std::string_view>) {
      const SQLLEN ind = data_ ? ind_[i] : SQL_NO_TOTAL;
      if (ind >= 0 && ind <= capacity_) return Element(i, ind);
      if (ind == SQL_NULL_DATA) return std::nullopt;
      return WholeOrNull(Row);
    } else {
      if (ind_[i] == SQL_NULL_DATA) return std::nullopt;
      return Element(i);
    }
  }

  bool IsNull(const TRowView& Row) const {
    if (!Current(Row)) Verify(Row);
    if (!data_) return CellIsNull(Row);
    return ind_[Row.Number() - 1] == SQL_NULL_DATA;
  }

 private:
  T Element(std::size_t I) const {
    T value;
    std::memcpy(&value, data_ + I * sizeof(T), sizeof(T));
    return value;
  }
  std::string_view Element(std::size_t I, SQLLEN Length) const {
    return {reinterpret_cast<const char*>(data_) + I * static_cast<std::size_t>(size_),
            static_cast<std::size_t>(Length)};
  }

  static constexpr TReading Reading() {
    if constexpr (std::is_same_v<T, std::int64_t>) return TReading::Integer;
    if constexpr (std::is_same_v<T, std::uint64_t>) return TReading::Unsigned;
    if constexpr (std::is_same_v<T, float>) return TReading::Float;
    if constexpr (std::is_same_v<T, double>) return TReading::Double;
    return TReading::Bytes;
  }
};

template <class T>
TColumnOf<T> THstmt::Column(SQLUSMALLINT Number) {
  return TColumnOf<T>(*this, Number);
}

template <class T>
TColumnOf<T> THstmt::Column(std::string_view ColumnName) {
  return TColumnOf<T>(*this, ColumnNumber(ColumnName));
}

}  // namespace ocl
