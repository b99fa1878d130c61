// Binding the result columns to buffers of RowSetSize rows, with the row status, the pending-
// operation marks and the bookmarks beside them.

#include "odbc/OCLStatement.h"
#include "rtl/SysUtils.h"

#include <algorithm>
#include <cstring>

namespace ocl {

namespace {

// A value of more bytes than this gets no buffer in the rowset: its column is long data, each
// value read whole into a stream. Up to it, a text or binary column's buffer holds the column's
// described size.
constexpr SQLULEN MaxBufferedValue = 4096;
// The least buffer of a text or binary column, and the one of a column of unknown size.
constexpr SQLLEN ShortValue = 256;
// Dates and times as text, with a fraction of nine digits, a zone or an era.
constexpr SQLLEN DateTimeText = 64;

struct TColumnBinding {
  SQLSMALLINT CType;
  SQLLEN Size;    // bytes of one row's element
  bool LongData;  // no buffer: read into a stream
};

TColumnBinding Fixed(SQLSMALLINT CType) { return {CType, CTypeSize(CType), false}; }

// A text of that many characters, four bytes each at most (UTF-8), and its NUL. A long type of
// unknown size is long data; another type of unknown size gets the short buffer.
TColumnBinding Text(SQLULEN Characters, bool LongType) {
  if (Characters == 0 && !LongType) return {SQL_C_CHAR, ShortValue, false};
  if (Characters == 0 || Characters > MaxBufferedValue / 4) return {SQL_C_CHAR, 0, true};
  return {SQL_C_CHAR, std::max<SQLLEN>(ShortValue, 4 * static_cast<SQLLEN>(Characters) + 1), false};
}

TColumnBinding Binary(SQLULEN Bytes, bool LongType) {
  if (Bytes == 0 && !LongType) return {SQL_C_BINARY, ShortValue, false};
  if (Bytes == 0 || Bytes > MaxBufferedValue) return {SQL_C_BINARY, 0, true};
  return {SQL_C_BINARY, std::max<SQLLEN>(ShortValue, static_cast<SQLLEN>(Bytes)), false};
}

// A decimal of that many digits as text: sign, point, a leading zero and the NUL beside them.
TColumnBinding Decimal(SQLULEN Digits) {
  if (Digits > MaxBufferedValue) return {SQL_C_CHAR, 0, true};
  return {SQL_C_CHAR, std::max<SQLLEN>(DateTimeText, static_cast<SQLLEN>(Digits) + 4), false};
}

// C type and buffer by the column's SQL type and size (0: unknown). Each value comes whole
// and unchanged: integers in 64 bits (SQLite's driver gives any integer column 64-bit values,
// and cuts them to a smaller buffer without a word), decimals and dates in the driver's text
// (a double has too few digits, a time structure no fraction), every type without a C type of
// its own (uuid, interval, json, arrays, the driver's own) as text.
TColumnBinding ColumnBinding(SQLSMALLINT SqlType, SQLULEN Size, bool Unsigned) {
  switch (SqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR: return Text(Size, false);
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR: return Text(Size, true);
    case SQL_BINARY:
    case SQL_VARBINARY: return Binary(Size, false);
    case SQL_LONGVARBINARY: return Binary(Size, true);
    case SQL_REAL: return Fixed(SQL_C_FLOAT);
    case SQL_DOUBLE:
    case SQL_FLOAT: return Fixed(SQL_C_DOUBLE);
    case SQL_DECIMAL:
    case SQL_NUMERIC: return Decimal(Size);
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER: return Fixed(SQL_C_SBIGINT);
    case SQL_BIGINT: return Fixed(Unsigned ? SQL_C_UBIGINT : SQL_C_SBIGINT);
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP: return {SQL_C_CHAR, DateTimeText, false};
    default: return Text(Size, true);
  }
}

}  // namespace

SQLUSMALLINT THstmt::ColCount() {
  if (!Allocated()) AllocHandle();
  if (!colsBound_) BindCols();
  return colCount_;
}

void THstmt::BindCols() {
  RequireIdle();
  if (!Allocated()) AllocHandle();
  DropLeftoverColumns();
  // The driver counts its columns here; SQLite refuses the count as an attribute of column 0.
  SQLSMALLINT count = 0;
  Check(SQLNumResultCols(CurrentHandle(), &count));
  colCount_ = static_cast<SQLUSMALLINT>(std::max<SQLSMALLINT>(count, 0));
  for (SQLUSMALLINT n = 1; n <= colCount_; ++n) BindColumn(n);
  rowStatus_ = AppendRowArray();
  rowMarks_ = AppendRowArray();
  // Long data in a rowset of several rows: read as each row comes where the driver cannot
  // reach the rows of a rowset, or need not (a forward-only cursor, nothing deferred).
  rowByRow_ = hasUnboundCols_ && rowSetSize_ > 1 &&
              ((cursorType_ == SQL_CURSOR_FORWARD_ONLY && !blobDeferral_) || !ReadsInsideRowsets());
  if (rowByRow_)
    BindToDriverRow();
  else
    BindBookmarkColumn();
  // With several rows a rowset, the row operations leave long data alone.
  if (hasUnboundCols_ && rowSetSize_ > 1) hasUnboundCols_ = false;
  SetRowArrayAttributes();
  colsBound_ = true;
  NewStamp(true);
}

// The records of an earlier binding, whole or cut short by a failure, go before the columns
// are bound again, so that names and records stay in column order. The driver forgets their
// buffers first.
void THstmt::DropLeftoverColumns() {
  if (columns_.empty()) return;
  Check(SQLFreeStmt(CurrentHandle(), SQL_UNBIND));
  SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
  DropColumns();
}

// The column as the driver describes it, or with the SQL type the caller named. A named type
// says nothing of the size: a long type then is long data, read whole, whatever the driver
// said. Fills the record's types and element size (0 for long data).
void THstmt::DescribeColumn(SQLUSMALLINT Column, TColRec& Rec) {
  SQLSMALLINT type = 0, digits = 0, nullable = 0;
  SQLULEN size = 0;
  Check(SQLDescribeCol(CurrentHandle(), Column, nullptr, 0, nullptr, &type, &size, &digits,
                       &nullable));
  Rec.ColumnSize = size;
  Rec.Digits = digits;
  auto named = std::find_if(colTypes_.begin(), colTypes_.end(),
                            [Column](const TColTypeRec& rec) { return rec.Column == Column; });
  if (named != colTypes_.end()) {
    type = named->SqlType;
    size = 0;
  } else if (type == SQL_BINARY &&
             rtl::SameText(ColAttrString(Column, SQL_DESC_TYPE_NAME), "BLOB")) {
    // SQLite's driver describes a BLOB column, whose values have any length, as BINARY(255).
    type = SQL_LONGVARBINARY;
    size = 0;
  }
  Rec.SqlType = type;
  bool isUnsigned = type == SQL_BIGINT && ColAttrInteger(Column, SQL_DESC_UNSIGNED) != 0;
  TColumnBinding binding = ColumnBinding(type, size, isUnsigned);
  Rec.CType = binding.CType;
  Rec.Kind = ValueKind(binding.CType, type);
  Rec.Size = binding.LongData ? 0 : binding.Size;
}

void THstmt::BindColumn(SQLUSMALLINT Column) {
  auto rec = std::make_unique<TColRec>();
  DescribeColumn(Column, *rec);
  colNames_.push_back(
      {ColAttrString(Column, SQL_DESC_NAME), ColAttrInteger(Column, SQL_DESC_DISPLAY_SIZE)});
  // One element more than the rowset, for the row the driver fills when the rowset is filled
  // row by row.
  rec->Ind = std::make_unique<SQLLEN[]>(rowSetSize_ + 1);
  if (rec->Size == 0)
    rec->MakeStreams(rowSetSize_);
  else
    rec->Data = std::make_unique<std::byte[]>((rowSetSize_ + 1) * static_cast<SQLULEN>(rec->Size));
  TColRec& bound = *columns_.emplace_back(std::move(rec));
  if (!bound.Data) {
    hasUnboundCols_ = true;
    return;
  }
  Check(SQLBindCol(CurrentHandle(), Column, bound.CType, bound.Data.get(), bound.Size,
                   bound.Ind.get()));
}

// A row array of RowSetSize 16-bit elements, all 0: the row status and the marks.
TColRec* THstmt::AppendRowArray() {
  auto rec = std::make_unique<TColRec>();
  rec->CType = SQL_C_USHORT;
  rec->SqlType = CTypeSqlType(SQL_C_USHORT);
  rec->Size = CTypeSize(SQL_C_USHORT);
  rec->Data = std::make_unique<std::byte[]>(rowSetSize_ * static_cast<SQLULEN>(rec->Size));
  rec->Ind = std::make_unique<SQLLEN[]>(rowSetSize_);
  return columns_.emplace_back(std::move(rec)).get();
}

void THstmt::BindBookmarkColumn() {
  bookmarks_ = nullptr;
  if (cursorAttributes_ & SQL_CA1_BOOKMARK) {
    // A driver may name bookmarks among its cursor's abilities and still refuse the bookmark
    // column (SQLite does): the statement then goes without bookmarks.
    SQLLEN length = 0;
    if (Test(SQLColAttribute(CurrentHandle(), 0, SQL_DESC_OCTET_LENGTH, nullptr, 0, nullptr,
                             &length)) &&
        length > 0)
      bookmarkLength_ = length;
    else
      bindBookmarks_ = false;
  }
  if (!bindBookmarks_) return;
  auto rec = std::make_unique<TColRec>();
  rec->CType = SQL_C_VARBOOKMARK;
  rec->SqlType = SQL_BINARY;
  rec->Size = bookmarkLength_;
  rec->Data = std::make_unique<std::byte[]>(rowSetSize_ * static_cast<SQLULEN>(bookmarkLength_));
  rec->Ind = std::make_unique<SQLLEN[]>(rowSetSize_);
  bookmarks_ = columns_.emplace_back(std::move(rec)).get();
  Check(SQLBindCol(CurrentHandle(), 0, SQL_C_VARBOOKMARK, bookmarks_->Data.get(), bookmarkLength_,
                   bookmarks_->Ind.get()));
}

// Filled row by row, the bound columns take the driver's one row past the end of their
// buffers; no bookmarks then.
void THstmt::BindToDriverRow() {
  for (SQLUSMALLINT n = 1; n <= colCount_; ++n) {
    TColRec& rec = *columns_[n - 1];
    if (rec.Data)
      Check(SQLBindCol(CurrentHandle(), n, rec.CType, rec.Element(rowSetSize_ + 1), rec.Size,
                       &rec.Ind[rowSetSize_]));
  }
  bookmarks_ = nullptr;
}

// The driver writes the number of rows fetched and each row's status there. One that refuses
// leaves one row, fetched without a word. Filled row by row, the driver fetches one row at a
// time, and the rowset's count and status are the statement's own.
void THstmt::SetRowArrayAttributes() {
  SQLULEN driverRows = rowByRow_ ? 1 : rowSetSize_;
  SQLULEN current = 0;
  if (Test(SQLGetStmtAttr(CurrentHandle(), SQL_ATTR_ROW_ARRAY_SIZE, &current, 0, nullptr)) &&
      current != driverRows)
    Check(SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_ROW_ARRAY_SIZE, IntegerAttribute(driverRows),
                         SQL_IS_UINTEGER));
  SQLULEN* fetched = rowByRow_ ? &driverRowsFetched_ : &rowsFetched_;
  SQLUSMALLINT* status =
      rowByRow_ ? &driverRowStatus_ : reinterpret_cast<SQLUSMALLINT*>(rowStatus_->Data.get());
  if (!Test(SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_ROWS_FETCHED_PTR, fetched, 0)))
    rowsFetched_ = 1;
  if (!Test(SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_ROW_STATUS_PTR, status, 0)))
    std::memset(rowStatus_->Data.get(), 0, sizeof(SQLUSMALLINT));
}

std::string THstmt::ColAttrString(SQLUSMALLINT Column, SQLUSMALLINT Field) {
  char text[256] = {};
  SQLSMALLINT length = 0;
  Check(SQLColAttribute(CurrentHandle(), Column, Field, text, sizeof text, &length, nullptr));
  return BufferText(text, sizeof text);
}

SQLLEN THstmt::ColAttrInteger(SQLUSMALLINT Column, SQLUSMALLINT Field) {
  // The driver writes a whole SQLLEN.
  SQLLEN value = 0;
  Check(SQLColAttribute(CurrentHandle(), Column, Field, nullptr, 0, nullptr, &value));
  return value;
}

SQLUSMALLINT THstmt::ColumnNumber(std::string_view ColumnName) {
  ColCount();
  for (std::size_t i = 0; i < colNames_.size(); ++i)
    if (rtl::SameText(colNames_[i].Name, ColumnName)) return static_cast<SQLUSMALLINT>(i + 1);
  throw rtl::Exception("Column " + std::string(ColumnName) + " not found in the result of " +
                       Name() + ".");
}

void THstmt::RequireColumn(SQLUSMALLINT Column) {
  if (Column < 1 || Column > ColCount())
    throw rtl::Exception("Column " + std::to_string(Column) + " is not a result column of " +
                         Name() + ".");
}

void THstmt::RequireRow(SQLULEN Row) const {
  if (Row < 1 || Row > rowSetSize_)
    throw rtl::Exception("Row " + std::to_string(Row) + " is outside the rowset of " + Name() +
                         " (rows 1 to " + std::to_string(rowSetSize_) + ").");
}

void THstmt::SetPrimary(SQLUSMALLINT Column, bool Value) {
  RequireColumn(Column);
  bool was = columns_[Column - 1]->Primary;
  columns_[Column - 1]->Primary = Value;
  if (Value && !was) KeepKey(static_cast<SQLUSMALLINT>(Column - 1));
}

SQLUSMALLINT THstmt::RowMark(SQLULEN Row) const {
  if (!rowMarks_ || Row < 1 || Row > rowSetSize_) return 0;
  SQLUSMALLINT mark;
  std::memcpy(&mark, RowAddress(rowMarks_->Data.get(), Row, SQL_C_USHORT), sizeof mark);
  return mark & 0x000F;
}

void THstmt::SetRowMark(SQLULEN Row, SQLUSMALLINT Operation) {
  ColCount();
  RequireRow(Row);
  std::memcpy(RowAddress(rowMarks_->Data.get(), Row, SQL_C_USHORT), &Operation, sizeof Operation);
}

std::vector<std::byte> THstmt::Bookmark(SQLULEN Row) const {
  if (!bookmarks_ || Row < 1 || Row > rowSetSize_)
    throw rtl::Exception(Name() + " has no bookmark for row " + std::to_string(Row) + ".");
  const std::byte* first = bookmarks_->Data.get() + bookmarkLength_ * static_cast<SQLLEN>(Row - 1);
  SQLLEN length = bookmarks_->Ind[Row - 1];
  if (length <= 0 || length > bookmarkLength_) length = bookmarkLength_;
  return std::vector<std::byte>(first, first + length);
}

}  // namespace ocl
