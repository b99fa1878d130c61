#include "odbc/OCLStatement.h"

#include "odbc/OCLEnvironment.h"
#include "odbc/OCLTranslate.h"
#include "rtl/Published.h"

#include <atomic>
#include <cstdint>

namespace ocl {

namespace {

// Stamps are unique in the process, so that equal stamps mean the same statement too.
std::atomic<std::uint64_t> lastStamp{0};

}  // namespace

void THstmt::NewStamp(bool Binding) {
  stamp_.Rowset = ++lastStamp;
  if (Binding) stamp_.Binding = stamp_.Rowset;
}

THstmt::THstmt(rtl::TComponent* AOwner) : THbase(AOwner) {
  if (!AOwner) return;
  for (int i = 0; i < AOwner->ComponentCount(); ++i) {
    if (auto* db = dynamic_cast<THdbc*>(AOwner->Components(i))) {
      hDbc_ = db;
      break;
    }
  }
}

THstmt::~THstmt() {
  Teardown();
  // Destroyed by a handler while its execution polls: the execution goes first, and the
  // Execute that polled returns without touching the statement again.
  execution_.CancelPolledCall(CurrentHandle());
  ReleaseHandle();
}

void THstmt::ReleaseHandle() noexcept {
  try {
    FreeHandle();
  } catch (...) {
    ForceRelease();
  }
}

const rtl::TPropertyList& THstmt::Published() const {
  static const rtl::TPropertyList list =
      rtl::TPublished<THstmt>(TComponent::Published())
          .Reference<THdbc>("hDbc", &THstmt::hDbc, &THstmt::SethDbc)
          .Text("SQL", &THstmt::SQL, &THstmt::SetSQL)
          .Integer("ConcurrencyType", &THstmt::ConcurrencyType, &THstmt::SetConcurrencyType)
          .Integer("CursorType", &THstmt::CursorType, &THstmt::SetCursorType)
          .Integer("RowSetSize", &THstmt::RowSetSize, &THstmt::SetRowSetSize)
          .Boolean("SkipByPosition", &THstmt::SkipByPosition, &THstmt::SetSkipByPosition)
          .Boolean("SkipByCursor", &THstmt::SkipByCursor, &THstmt::SetSkipByCursor)
          .Boolean("BindBookmarks", &THstmt::BindBookmarks, &THstmt::SetBindBookmarks)
          .Integer("BlobSize", &THstmt::BlobSize, &THstmt::SetBlobSize)
          .Boolean("BlobDeferral", &THstmt::BlobDeferral, &THstmt::SetBlobDeferral)
          .Enumeration("BlobPlacement", &THstmt::BlobPlacement, &THstmt::SetBlobPlacement, bpByExec)
          .Boolean("ExecAsync", &THstmt::ExecAsync, &THstmt::SetExecAsync);
  return list;
}

void THstmt::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
  THbase::Notification(AComponent, Operation);
  if (Operation == rtl::TOperation::opInsert) {
    if (auto* db = dynamic_cast<THdbc*>(AComponent); db && !hDbc()) SethDbc(db);
  } else if (AComponent && AComponent == hDbc_.Present()) {
    if (!AComponent->InState(rtl::csDestroying)) return SethDbc(nullptr);
    // Nothing may raise out of the connection's destruction: the handle goes whatever the
    // driver, or an execution still polling, says.
    ReleaseHandle();
    hDbc_ = nullptr;
  }
}

void THstmt::RequireIdle() const {
  if (!execution_.Idle()) throw rtl::Exception("Statement " + Name() + " is still executing.");
}

SQLHSTMT THstmt::Handle() {
  if (!Allocated()) AllocHandle();
  return CurrentHandle();
}

bool THstmt::AllocHandle() {
  if (Allocated()) return true;
  THdbc* db = hDbc();
  if (!db) throw rtl::Exception("Property Hdbc of " + Name() + " not set.");
  if (!db->Connected()) db->Connect();
  AllocateOwnHandle(db->Handle());
  // Listed exactly while it holds a handle: the connection's FreeAll relies on it.
  db->Children().Add(this);
  try {
    ApplyAttribute(SQL_ATTR_CONCURRENCY, concurrencyType_);
    ApplyAttribute(SQL_ATTR_CURSOR_TYPE, cursorType_);
    ApplyAttribute(SQL_ATTR_ROW_ARRAY_SIZE, rowSetSize_);
  } catch (...) {
    // Half set up, the handle would keep the driver's values for good: it goes, and the next
    // use sets up a new one.
    db->Children().Remove(this);
    DropOwnHandle();
    throw;
  }
  EnableBookmarks();
  return Allocated();
}

void THstmt::EnableBookmarks() {
  if (!(cursorAttributes_ & SQL_CA1_BOOKMARK)) {
    bindBookmarks_ = false;
    return;
  }
  bool ok = Test(SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_USE_BOOKMARKS,
                                IntegerAttribute(SQL_UB_VARIABLE), SQL_IS_UINTEGER));
  if (bindBookmarks_) bindBookmarks_ = ok;
}

bool THstmt::FreeHandle() {
  THbase::FreeHandle();
  if (!Allocated()) return true;
  RequireIdle();
  // Also while the connection is being torn down: a statement it destroys leaves its list.
  THdbc* db = hDbc_.Present();
  if (db) db->Children().Remove(this);
  try {
    Close();
    FreeOwnHandle();
    // What the driver prepared went with the handle.
    prepared_ = false;
  } catch (...) {
    // Still holding its handle, it stays listed, so that its connection frees it first.
    if (db && Allocated()) db->Children().Add(this);
    throw;
  }
  return !Allocated();
}

void THstmt::ForceRelease() noexcept {
  execution_.CancelPolledCall(CurrentHandle());
  if (THdbc* db = hDbc_.Present()) db->Children().Remove(this);
  DropOwnHandle();
  prepared_ = false;
  DropParams();
  DropColumns();
}

void THstmt::AfterFailure(const std::string& SqlState) noexcept {
  if (THdbc* db = hDbc()) db->AfterFailure(SqlState);
}

void THstmt::Close() {
  RequireIdle();
  if (!Allocated()) AllocHandle();
  Check(SQLFreeStmt(CurrentHandle(), SQL_CLOSE));
  DropParams();
  Check(SQLFreeStmt(CurrentHandle(), SQL_RESET_PARAMS));
  bool hadColumns = !columns_.empty();
  DropColumns();
  // The driver keeps the address of the row status array: it goes with the columns.
  if (hadColumns) SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
  Check(SQLFreeStmt(CurrentHandle(), SQL_UNBIND));
  colTypes_.clear();
}

void THstmt::DropParams() {
  params_.clear();
  paramSetSize_ = 0;
  paramNames_.clear();
}

void THstmt::DropColumns() {
  columns_.clear();
  rowStatus_ = rowMarks_ = bookmarks_ = nullptr;
  colCount_ = 0;
  rowsFetched_ = 0;
  colNames_.clear();
  hasUnboundCols_ = false;
  colsBound_ = false;
  rowset_ = {};
  rowByRow_ = false;
  NewStamp(true);
}

void THstmt::SethDbc(THdbc* Value) {
  FreeHandle();
  hDbc_ = Value;
}

void THstmt::SetSQL(const std::string& Value) {
  if (Allocated()) Close();
  prepared_ = false;
  executed_ = false;
  sql_ = Value;
}

void THstmt::SetConcurrencyType(SQLUINTEGER Value) {
  WriteAttribute(SQL_ATTR_CONCURRENCY, concurrencyType_, Value);
}

void THstmt::SetCursorType(SQLUINTEGER Value) {
  WriteAttribute(SQL_ATTR_CURSOR_TYPE, cursorType_, Value);
}

void THstmt::SetRowSetSize(SQLUINTEGER Value) {
  if (static_cast<std::int32_t>(Value) <= 0) return;
  WriteAttribute(SQL_ATTR_ROW_ARRAY_SIZE, rowSetSize_, Value);
}

// The value the statement has changes nothing. A new one closes the statement first, so that
// a close that fails (or is refused while an execution polls) leaves the value with the
// buffers made for it.
void THstmt::WriteAttribute(SQLINTEGER Attribute, SQLUINTEGER& Field, SQLUINTEGER Value) {
  if (Value == Field) return;
  if (Allocated()) Close();
  Field = Value;
  ApplyAttribute(Attribute, Field);
}

// The stored value reaches an allocated handle where the driver's differs. One the driver
// refuses or changes gives way to the driver's: the rowset's buffers are made for what the
// driver fills. An unreadable value is left alone.
void THstmt::ApplyAttribute(SQLINTEGER Attribute, SQLUINTEGER& Field) {
  if (!Allocated()) return;
  if (Attribute == SQL_ATTR_CURSOR_TYPE) RefreshCursorAttributes();
  SQLULEN current = 0;
  if (!Test(SQLGetStmtAttr(CurrentHandle(), Attribute, &current, 0, nullptr))) return;
  if (current == Field) return;
  SQLRETURN ret =
      SQLSetStmtAttr(CurrentHandle(), Attribute, IntegerAttribute(Field), SQL_IS_UINTEGER);
  if (ret == SQL_SUCCESS) return;
  // The value is read again only after a failure's diagnostic, which the reading clears.
  try {
    Check(ret);
  } catch (...) {
    TakeDriverValue(Attribute, Field, current);
    throw;
  }
  TakeDriverValue(Attribute, Field, current);
}

// What the driver holds after a write that did not go through as asked; Before where the
// driver does not tell.
void THstmt::TakeDriverValue(SQLINTEGER Attribute, SQLUINTEGER& Field, SQLULEN Before) {
  SQLULEN held = Before;
  if (!SQL_SUCCEEDED(SQLGetStmtAttr(CurrentHandle(), Attribute, &held, 0, nullptr))) held = Before;
  Field = static_cast<SQLUINTEGER>(held);
  if (Attribute == SQL_ATTR_CURSOR_TYPE) RefreshCursorAttributes();
}

void THstmt::RefreshCursorAttributes() {
  static constexpr SQLUSMALLINT infoTypes[] = {
      SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1, SQL_KEYSET_CURSOR_ATTRIBUTES1,
      SQL_DYNAMIC_CURSOR_ATTRIBUTES1, SQL_STATIC_CURSOR_ATTRIBUTES1};
  if (cursorType_ > SQL_CURSOR_STATIC) return;
  // Reached only with a handle, which has a connection.
  cursorAttributes_ = hDbc()->GetInfoInteger(infoTypes[cursorType_]);
}

void THstmt::RequireFilledRow(SQLULEN Row) const {
  if (rowsFetched_ == 0 || (Row <= rowsFetched_ && RowStatus(Row) != SQL_ROW_NOROW)) return;
  throw rtl::Exception("Row " + std::to_string(Row) + " of " + Name() +
                       " was not fetched: the last fetch filled " + std::to_string(rowsFetched_) +
                       " row(s).");
}

void THstmt::SetBlobSize(SQLINTEGER Value) {
  if (Value != blobSize_ && Value > 1024) blobSize_ = Value;
}

void THstmt::SetTargetTable(const std::string& Value) {
  targetTable_ = Value;
  hasTargetTable_ = true;
}

void THstmt::AddColType(SQLUSMALLINT Column, SQLSMALLINT SqlType) {
  for (TColTypeRec& rec : colTypes_) {
    if (rec.Column == Column) {
      rec.SqlType = SqlType;
      return;
    }
  }
  colTypes_.push_back({Column, SqlType});
}

std::string THstmt::TranslateSQL() { return ocl::TranslateSQL(sql_, paramNames_); }

void THstmt::Prepare() {
  Close();
  std::string text = TranslateSQL();
  Check(SQLPrepare(CurrentHandle(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS));
  prepared_ = true;
}

void THstmt::DoExecute() {
  if (OnExecute) OnExecute(this);
}

void THstmt::DoFetch() {
  if (OnFetch) OnFetch(this);
}

}  // namespace ocl
