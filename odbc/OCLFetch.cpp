// Fetching rowsets into the column buffers, and reading long data whole into the streams of
// the fetched rows.

#include "odbc/OCLStatement.h"

#include <algorithm>

namespace ocl {

namespace {

// The first piece of a long value is small, so that short values cost little; the driver
// then tells how much is left, and the rest comes in one piece.
constexpr std::size_t FirstPiece = 4096;

}  // namespace

bool THstmt::Fetch() {
  BeginFetch();
  return FinishFetch(rowSetSize_ > 1 ? SQLFetchScroll(CurrentHandle(), SQL_FETCH_NEXT, 0)
                                     : SQLFetch(CurrentHandle()));
}

bool THstmt::FetchScroll(SQLSMALLINT Orientation, SQLLEN Offset) {
  if (Orientation == SQL_FETCH_BOOKMARK)
    throw rtl::Exception("Fetch by bookmark with FetchBookmark.");
  BeginFetch();
  return FinishFetch(SQLFetchScroll(CurrentHandle(), Orientation, Offset));
}

bool THstmt::FetchBookmark(const std::vector<std::byte>& Bookmark, SQLLEN Offset) {
  BeginFetch();
  if (!bindBookmarks_) throw rtl::Exception(Name() + " has no bookmarks: set BindBookmarks.");
  // The driver reads the bookmark at the fetch; the statement keeps it until the next one.
  fetchBookmark_ = Bookmark;
  Check(SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_FETCH_BOOKMARK_PTR, fetchBookmark_.data(), 0));
  return FinishFetch(SQLFetchScroll(CurrentHandle(), SQL_FETCH_BOOKMARK, Offset));
}

void THstmt::BeginFetch() {
  RequireIdle();
  ColCount();
  RequireLongDataReadable();
  SettleMarks();
}

bool THstmt::FinishFetch(SQLRETURN Ret) {
  if (Ret == SQL_NO_DATA) {
    LastRet = Ret;
    return false;
  }
  Check(Ret);
  KeepFetchedKeys();
  ReadLongData();
  DoFetch();
  return true;
}

// SQLGetData reaches the rows of a rowset only where the driver allows it on block cursors;
// otherwise no rowset is fetched that could not be read whole.
void THstmt::RequireLongDataReadable() {
  if (rowSetSize_ <= 1) return;
  for (SQLUSMALLINT n = 1; n <= colCount_; ++n) {
    if (columns_[n - 1]->Data) continue;
    if (hDbc()->GetInfoInteger(SQL_GETDATA_EXTENSIONS) & SQL_GD_BLOCK) return;
    throw rtl::Exception("Column " + colNames_[n - 1].Name + " of " + Name() +
                         " is long data, which this driver reads only with RowSetSize 1. Set "
                         "RowSetSize to 1, or name a type with a buffer for the column "
                         "(AddColType).");
  }
}

// Every long-data value of the rowset read whole, or under BlobDeferral left for ReadBlob; no
// value of an earlier rowset stays behind.
void THstmt::ReadLongData() {
  if (!hasUnboundCols_ && rowSetSize_ == 1) return;
  bool any = false;
  for (SQLUSMALLINT n = 1; n <= colCount_; ++n) {
    TColRec& rec = *columns_[n - 1];
    if (rec.Data) continue;
    any = true;
    for (SQLULEN row = 1; row <= rowSetSize_; ++row) {
      rec.RowStream(row).Clear();
      rec.Ind[row - 1] = 0;
      rec.Loaded[row - 1] = false;
    }
  }
  if (!any || blobDeferral_) return;
  SQLULEN rows = std::min<SQLULEN>(rowsFetched_, rowSetSize_);
  for (SQLULEN row = 1; row <= rows; ++row) {
    if (!RowHasData(row)) continue;
    PositionOn(row);
    for (SQLUSMALLINT n = 1; n <= colCount_; ++n)
      if (!columns_[n - 1]->Data) ReadLongValue(*columns_[n - 1], n, row);
  }
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

void THstmt::ReadBlob(SQLUSMALLINT Column, SQLULEN Row) {
  RequireIdle();
  if (Column < 1 || Column > ColCount() || columns_[Column - 1]->Data)
    throw rtl::Exception("Column " + std::to_string(Column) + " of " + Name() +
                         " is no long-data column.");
  TColRec& rec = *columns_[Column - 1];
  if (Row >= 1 && Row <= rowSetSize_ && rec.Loaded[Row - 1]) return;
  if (Row < 1 || Row > std::min<SQLULEN>(rowsFetched_, rowSetSize_) || !RowHasData(Row))
    throw rtl::Exception("Row " + std::to_string(Row) + " of " + Name() + " was not fetched.");
  PositionOn(Row);
  ReadLongValue(rec, Column, Row);
}

// The value in pieces straight into the row's stream; NULL leaves it empty.
void THstmt::ReadLongValue(TColRec& Rec, SQLUSMALLINT Column, SQLULEN Row) {
  rtl::TMemoryStream& stream = Rec.RowStream(Row);
  const std::size_t terminator = Rec.CType == SQL_C_CHAR ? 1 : 0;
  std::size_t got = 0;
  std::size_t piece = std::min<std::size_t>(FirstPiece, static_cast<std::size_t>(blobSize_));
  SQLLEN length = 0;
  for (;;) {
    stream.SetSize(got + piece + terminator);
    SQLLEN left = 0;
    SQLRETURN ret = SQLGetData(CurrentHandle(), Column, Rec.CType, stream.Memory() + got,
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
    if (!more) {
      got += left >= 0 ? std::min(static_cast<std::size_t>(left), piece) : piece;
      break;
    }
    got += piece;
    piece = left == SQL_NO_TOTAL ? static_cast<std::size_t>(blobSize_)
                                 : static_cast<std::size_t>(left) - piece;
  }
  stream.SetSize(length == SQL_NULL_DATA ? 0 : got);
  Rec.Ind[Row - 1] = length == SQL_NULL_DATA ? SQL_NULL_DATA : static_cast<SQLLEN>(got);
  Rec.Loaded[Row - 1] = true;
}

}  // namespace ocl
