// Fetching rowsets into the column buffers, and reading long data whole into the streams of
// the fetched rows.

#include "odbc/OCLStatement.h"

#include <algorithm>
#include <cstring>

namespace ocl {

namespace {

// The first piece of a long value is small, so that short values cost little; the driver
// then tells how much is left, and the rest comes in one piece.
constexpr std::size_t FirstPiece = 4096;

bool IsVariable(const TColRec& Rec) { return Rec.CType == SQL_C_CHAR || Rec.CType == SQL_C_BINARY; }

}  // namespace

bool THstmt::Fetch() {
  BeginFetch();
  if (rowByRow_) return FinishFetch(FillRowByRow(SQL_FETCH_NEXT, 0));
  return FinishFetch(rowSetSize_ > 1 ? SQLFetchScroll(CurrentHandle(), SQL_FETCH_NEXT, 0)
                                     : SQLFetch(CurrentHandle()));
}

bool THstmt::FetchScroll(SQLSMALLINT Orientation, SQLLEN Offset) {
  if (Orientation == SQL_FETCH_BOOKMARK)
    throw rtl::Exception("Fetch by bookmark with FetchBookmark.");
  BeginFetch();
  if (rowByRow_) return FinishFetch(FillRowByRow(Orientation, Offset));
  return FinishFetch(SQLFetchScroll(CurrentHandle(), Orientation, Offset));
}

bool THstmt::FetchBookmark(const std::vector<std::byte>& Bookmark, SQLLEN Offset) {
  BeginFetch();
  if (!bindBookmarks_ || rowByRow_)
    throw rtl::Exception(Name() + " has no bookmarks: set BindBookmarks.");
  // The driver reads the bookmark at the fetch; the statement keeps it until the next one.
  fetchBookmark_ = Bookmark;
  Check(SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_FETCH_BOOKMARK_PTR, fetchBookmark_.data(), 0));
  return FinishFetch(SQLFetchScroll(CurrentHandle(), SQL_FETCH_BOOKMARK, Offset));
}

void THstmt::BeginFetch() {
  RequireIdle();
  ColCount();
  SettleMarks();
  NewStamp(false);
}

bool THstmt::FinishFetch(SQLRETURN Ret) {
  if (Ret == SQL_NO_DATA) {
    LastRet = Ret;
    return false;
  }
  Check(Ret);
  KeepFetchedKeys();
  if (!rowByRow_) ReadLongData();
  DoFetch();
  return true;
}

// Whether the driver reads data of any row of a rowset (SQLGetData after SQLSetPos). SQLite's
// does not: it answers with the values of the row it fetched last.
bool THstmt::ReadsInsideRowsets() {
  return hDbc()->GetInfoInteger(SQL_GETDATA_EXTENSIONS) & SQL_GD_BLOCK;
}

// A rowset filled one row at a time, for long data where the driver reads it only at the row
// it fetched last, and on a forward-only cursor, where that costs less than positioning on
// each row (psqlODBC's SQLSetPos costs about 15,000 instructions). The driver fills one row of
// its own (past the end of each buffer); that
// row is copied to its place in the rowset, and its long values, and its values longer than
// their buffer, are read whole before the next row is fetched. Only moves that start a rowset
// at a row the driver can find are possible.
SQLRETURN THstmt::FillRowByRow(SQLSMALLINT Orientation, SQLLEN Offset) {
  if (Orientation != SQL_FETCH_NEXT && Orientation != SQL_FETCH_FIRST &&
      !(Orientation == SQL_FETCH_ABSOLUTE && Offset > 0))
    throw rtl::Exception(Name() +
                         " reads long data row by row, as its driver reads it only at the row "
                         "it fetched last: it fetches forward, from the first row or from a "
                         "row number. Set RowSetSize to 1 to move freely.");
  ForgetStreams();
  SQLRETURN result = SQL_NO_DATA;
  SQLULEN row = 0;
  while (row < rowSetSize_) {
    driverRowStatus_ = SQL_ROW_SUCCESS;
    SQLRETURN ret = row == 0 ? SQLFetchScroll(CurrentHandle(), Orientation, Offset)
                             : SQLFetchScroll(CurrentHandle(), SQL_FETCH_NEXT, 0);
    if (ret == SQL_NO_DATA) break;
    Check(ret);
    if (result != SQL_SUCCESS_WITH_INFO) result = ret;
    TakeRow(++row);
  }
  rowsFetched_ = row;
  for (SQLULEN rest = row + 1; rest <= rowSetSize_; ++rest) SetRowStatus(rest, SQL_ROW_NOROW);
  return result;
}

// The row the driver filled, to row Row of the rowset.
void THstmt::TakeRow(SQLULEN Row) {
  SetRowStatus(Row, driverRowStatus_);
  // A deleted row, or one in error, has no values for the driver to give.
  const bool readable = RowHasData(Row);
  for (SQLUSMALLINT n = 1; n <= colCount_; ++n) {
    TColRec& rec = *columns_[n - 1];
    if (!rec.Data) {
      if (readable) ReadLongValue(rec, n, Row);
      continue;
    }
    const std::byte* filled = rec.Element(rowSetSize_ + 1);
    SQLLEN length = rec.Ind[rowSetSize_];
    rec.Ind[Row - 1] = length;
    std::size_t bytes = length == SQL_NULL_DATA ? 0 : static_cast<std::size_t>(rec.Size);
    if (IsVariable(rec) && length >= 0 && length < rec.Size)
      bytes = static_cast<std::size_t>(length) + (rec.CType == SQL_C_CHAR ? 1 : 0);
    std::copy(filled, filled + bytes, rec.Element(Row));
    if (readable && IsVariable(rec) && (length == SQL_NO_TOTAL || length > rec.Capacity())) {
      rec.MakeStreams(rowSetSize_);
      ReadLongValue(rec, n, Row);
    }
  }
}

void THstmt::SetRowStatus(SQLULEN Row, SQLUSMALLINT Status) {
  std::memcpy(RowAddress(rowStatus_->Data.get(), Row, SQL_C_USHORT), &Status, sizeof Status);
}

// Every long-data value of the rowset read whole, or under BlobDeferral left for ReadBlob; no
// value of an earlier rowset stays behind.
void THstmt::ReadLongData() {
  if (!ForgetStreams() || blobDeferral_) return;
  SQLULEN rows = std::min<SQLULEN>(rowsFetched_, rowSetSize_);
  for (SQLULEN row = 1; row <= rows; ++row) {
    if (!RowHasData(row)) continue;
    PositionOn(row);
    for (SQLUSMALLINT n = 1; n <= colCount_; ++n)
      if (!columns_[n - 1]->Data) ReadLongValue(*columns_[n - 1], n, row);
  }
}

// Empties the streams of the rowset before the next one: those of long data, and the whole
// values of bound columns that did not fit their buffers. True when there is long data.
bool THstmt::ForgetStreams() {
  bool longData = false;
  for (SQLUSMALLINT n = 1; n <= colCount_; ++n) {
    TColRec& rec = *columns_[n - 1];
    if (!rec.Stream) continue;
    longData = longData || !rec.Data;
    for (SQLULEN row = 1; row <= rowSetSize_; ++row) {
      if (!rec.Data) rec.Ind[row - 1] = 0;
      if (!rec.Data || rec.Loaded[row - 1]) rec.RowStream(row).Clear();
      rec.Loaded[row - 1] = false;
    }
  }
  return longData;
}

bool THstmt::RowHasData(SQLULEN Row) const {
  SQLUSMALLINT status = RowStatus(Row);
  return status != SQL_ROW_NOROW && status != SQL_ROW_ERROR && status != SQL_ROW_DELETED;
}

void THstmt::PositionOn(SQLULEN Row) {
  if (rowSetSize_ > 1)
    Check(SQLSetPos(CurrentHandle(), static_cast<SQLSETPOSIROW>(Row), SQL_POSITION,
                    SQL_LOCK_NO_CHANGE));
}

void THstmt::RequireFetched(SQLULEN Row) const {
  if (Row < 1 || Row > std::min<SQLULEN>(rowsFetched_, rowSetSize_) || !RowHasData(Row))
    throw rtl::Exception("Row " + std::to_string(Row) + " of " + Name() + " was not fetched.");
}

void THstmt::ReadBlob(SQLUSMALLINT Column, SQLULEN Row) {
  RequireIdle();
  if (Column < 1 || Column > ColCount() || columns_[Column - 1]->Data)
    throw rtl::Exception("Column " + std::to_string(Column) + " of " + Name() +
                         " is no long-data column.");
  TColRec& rec = *columns_[Column - 1];
  if (Row >= 1 && Row <= rowSetSize_ && rec.Loaded[Row - 1]) return;
  RequireFetched(Row);
  PositionOn(Row);
  ReadLongValue(rec, Column, Row);
}

bool THstmt::ReadWholeValue(SQLUSMALLINT Column, SQLULEN Row) {
  TColRec& rec = *columns_[Column - 1];
  if (rec.Stream && rec.Loaded[Row - 1]) return true;
  // Filled row by row, a value was read whole when its row was fetched, or not at all.
  if (rowByRow_ || (rowSetSize_ > 1 && !ReadsInsideRowsets())) return false;
  RequireIdle();
  RequireFetched(Row);
  rec.MakeStreams(rowSetSize_);
  PositionOn(Row);
  ReadLongValue(rec, Column, Row);
  return true;
}

// The value in pieces into the row's stream; NULL leaves it empty. The first piece goes to the
// stack, so that a short value costs the stream no more than its own bytes.
void THstmt::ReadLongValue(TColRec& Rec, SQLUSMALLINT Column, SQLULEN Row) {
  rtl::TMemoryStream& stream = Rec.RowStream(Row);
  const std::size_t terminator = Rec.CType == SQL_C_CHAR ? 1 : 0;
  std::byte first[FirstPiece + 1];
  std::size_t got = 0;
  std::size_t piece = std::min<std::size_t>(FirstPiece, static_cast<std::size_t>(blobSize_));
  SQLLEN length = 0;
  for (bool onStack = true;; onStack = false) {
    if (!onStack) stream.SetSize(got + piece + terminator);
    std::byte* target = onStack ? first : stream.Memory() + got;
    SQLLEN left = 0;
    SQLRETURN ret = SQLGetData(CurrentHandle(), Column, Rec.CType, target,
                               static_cast<SQLLEN>(piece + terminator), &left);
    if (ret == SQL_NO_DATA) break;
    // A warning here says that more is to come.
    if (ret != SQL_SUCCESS_WITH_INFO) Check(ret);
    if (left == SQL_NULL_DATA) {
      length = SQL_NULL_DATA;
      break;
    }
    bool more = ret == SQL_SUCCESS_WITH_INFO &&
                (left == SQL_NO_TOTAL || static_cast<std::size_t>(left) > piece);
    std::size_t bytes = more || left < 0 ? piece : std::min(static_cast<std::size_t>(left), piece);
    if (onStack) {
      stream.SetSize(bytes);
      std::memcpy(stream.Memory(), first, bytes);
    }
    got += bytes;
    if (!more) break;
    piece = left == SQL_NO_TOTAL ? static_cast<std::size_t>(blobSize_)
                                 : static_cast<std::size_t>(left) - piece;
  }
  stream.SetSize(length == SQL_NULL_DATA ? 0 : got);
  Rec.Ind[Row - 1] = length == SQL_NULL_DATA ? SQL_NULL_DATA : static_cast<SQLLEN>(got);
  Rec.Loaded[Row - 1] = true;
}

}  // namespace ocl
