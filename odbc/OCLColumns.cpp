// Binding the result columns to buffers of RowSetSize rows, with the row status, the pending-
// operation marks and the bookmarks beside them.

#include "odbc/OCLStatement.h"
#include "rtl/SysUtils.h"

#include <algorithm>
#include <cstring>

namespace ocl {

namespace {

struct TColumnBinding {
  SQLSMALLINT CType;
  SQLLEN BufferLength;
  bool LongData;  // no buffer: read into a stream
};

bool IsIntegerType(SQLSMALLINT SqlType) {
  return SqlType == SQL_TINYINT || SqlType == SQL_SMALLINT || SqlType == SQL_INTEGER ||
         SqlType == SQL_BIGINT;
}

TColumnBinding Fixed(SQLSMALLINT CType) { return {CType, 0, false}; }

// C type and buffer length by the column's SQL type. Every type without a buffer of its own
// is long data, read as text or bytes.
TColumnBinding ColumnBinding(SQLSMALLINT SqlType, bool Unsigned) {
  switch (SqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR: return {SQL_C_CHAR, 256, false};
    case SQL_BINARY:
    case SQL_VARBINARY: return {SQL_C_BINARY, 256, false};
    case SQL_REAL: return Fixed(SQL_C_FLOAT);
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_DECIMAL:
    case SQL_NUMERIC: return Fixed(SQL_C_DOUBLE);
    case SQL_BIT: return Fixed(SQL_C_BIT);
    case SQL_TINYINT: return Fixed(Unsigned ? SQL_C_UTINYINT : SQL_C_STINYINT);
    case SQL_SMALLINT: return Fixed(Unsigned ? SQL_C_USHORT : SQL_C_SSHORT);
    case SQL_INTEGER: return Fixed(Unsigned ? SQL_C_ULONG : SQL_C_SLONG);
    case SQL_BIGINT: return Fixed(Unsigned ? SQL_C_UBIGINT : SQL_C_SBIGINT);
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP: return Fixed(SqlType);
    case SQL_LONGVARCHAR: return {SQL_C_CHAR, 0, true};
    default: return {SQL_C_BINARY, 0, true};
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
  BindBookmarkColumn();
  // With several rows a rowset, the row operations leave long data alone.
  if (hasUnboundCols_ && rowSetSize_ > 1) hasUnboundCols_ = false;
  SetRowArrayAttributes();
  colsBound_ = true;
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

void THstmt::BindColumn(SQLUSMALLINT Column) {
  auto named = std::find_if(colTypes_.begin(), colTypes_.end(),
                            [Column](const TColTypeRec& rec) { return rec.Column == Column; });
  auto type = named != colTypes_.end()
                  ? named->SqlType
                  : static_cast<SQLSMALLINT>(ColAttrInteger(Column, SQL_DESC_CONCISE_TYPE));
  colNames_.push_back(
      {ColAttrString(Column, SQL_DESC_NAME), ColAttrInteger(Column, SQL_DESC_DISPLAY_SIZE)});
  bool isUnsigned = IsIntegerType(type) && ColAttrInteger(Column, SQL_DESC_UNSIGNED) != 0;
  TColumnBinding binding = ColumnBinding(type, isUnsigned);

  auto rec = std::make_unique<TColRec>();
  rec->CType = binding.CType;
  rec->SqlType = type;
  rec->Ind = std::make_unique<SQLLEN[]>(rowSetSize_);
  if (binding.LongData) {
    rec->Stream = std::make_unique<rtl::TMemoryStream>();
    rec->MoreStreams.resize(rowSetSize_ - 1);
    rec->Loaded.assign(rowSetSize_, false);
  } else {
    rec->Data = std::make_unique<std::byte[]>(rowSetSize_ * CTypeSize(binding.CType));
  }
  TColRec& bound = *columns_.emplace_back(std::move(rec));
  if (!bound.Data) {
    hasUnboundCols_ = true;
    return;
  }
  Check(SQLBindCol(CurrentHandle(), Column, bound.CType, bound.Data.get(), binding.BufferLength,
                   bound.Ind.get()));
}

// A row array of RowSetSize 16-bit elements, all 0: the row status and the marks.
TColRec* THstmt::AppendRowArray() {
  auto rec = std::make_unique<TColRec>();
  rec->CType = SQL_C_USHORT;
  rec->SqlType = CTypeSqlType(SQL_C_USHORT);
  rec->Data = std::make_unique<std::byte[]>(rowSetSize_ * CTypeSize(SQL_C_USHORT));
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
  rec->Data = std::make_unique<std::byte[]>(rowSetSize_ * bookmarkLength_);
  rec->Ind = std::make_unique<SQLLEN[]>(rowSetSize_);
  bookmarks_ = columns_.emplace_back(std::move(rec)).get();
  Check(SQLBindCol(CurrentHandle(), 0, SQL_C_VARBOOKMARK, bookmarks_->Data.get(), bookmarkLength_,
                   bookmarks_->Ind.get()));
}

// The driver writes the number of rows fetched and each row's status there. One that refuses
// leaves one row, fetched without a word.
void THstmt::SetRowArrayAttributes() {
  if (!Test(SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched_, 0)))
    rowsFetched_ = 1;
  if (!Test(SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_ROW_STATUS_PTR, rowStatus_->Data.get(), 0)))
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
