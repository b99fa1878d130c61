#include "odbc/OCLStatement.h"

#include "odbc/OCLEnvironment.h"
#include "odbc/OCLTranslate.h"
#include "rtl/Published.h"

#include <cstdint>

namespace ocl {

THstmt::THstmt(rtl::TComponent* AOwner) : THbase(AOwner) {
  if (!AOwner) return;
  for (int i = 0; i < AOwner->ComponentCount(); ++i) {
    if (auto* db = dynamic_cast<THdbc*>(AOwner->Components(i))) {
      hDbc_ = db;
      hDbcIdentity_ = db;
      break;
    }
  }
}

THstmt::~THstmt() {
  Teardown();
  // Destroyed by a handler while its execution polls: the execution goes first, and the
  // Execute that polled returns without touching the statement again.
  FinishPolling();
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
  } else if (AComponent == hDbcIdentity_) {
    if (!AComponent->InState(rtl::csDestroying)) return SethDbc(nullptr);
    // Nothing may raise out of the connection's destruction: the handle goes whatever the
    // driver, or an execution still polling, says.
    ReleaseHandle();
    hDbc_ = nullptr;
    hDbcIdentity_ = nullptr;
  }
}

void THstmt::RequireIdle() const {
  if (polling_) throw rtl::Exception("Statement " + Name() + " is still executing.");
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
  // The writes below close a handle that holds nothing yet: column types named before the
  // first use stay, as they do on a statement that has its handle.
  std::vector<TColTypeRec> named = std::move(colTypes_);
  SetConcurrencyType(concurrencyType_);
  SetCursorType(cursorType_);
  SetRowSetSize(rowSetSize_);
  colTypes_ = std::move(named);
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
  THdbc* db = hDbc();
  if (db) db->Children().Remove(this);
  try {
    Close();
    FreeOwnHandle();
  } catch (...) {
    // Still holding its handle, it stays listed, so that its connection frees it first.
    if (db && Allocated()) db->Children().Add(this);
    throw;
  }
  return !Allocated();
}

void THstmt::ForceRelease() noexcept {
  FinishPolling();
  if (THdbc* db = hDbc()) db->Children().Remove(this);
  DropOwnHandle();
  DropParams();
  DropColumns();
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
  rowByRow_ = false;
}

void THstmt::SethDbc(THdbc* Value) {
  FreeHandle();
  hDbc_ = Value;
  hDbcIdentity_ = Value;
}

void THstmt::SetSQL(const std::string& Value) {
  if (Allocated()) Close();
  prepared_ = false;
  executed_ = false;
  sql_ = Value;
}

void THstmt::SetConcurrencyType(SQLUINTEGER Value) {
  concurrencyType_ = Value;
  ApplyAttribute(SQL_ATTR_CONCURRENCY, Value);
}

void THstmt::SetCursorType(SQLUINTEGER Value) {
  cursorType_ = Value;
  ApplyAttribute(SQL_ATTR_CURSOR_TYPE, Value);
}

void THstmt::SetRowSetSize(SQLUINTEGER Value) {
  if (static_cast<std::int32_t>(Value) <= 0) return;
  rowSetSize_ = Value;
  ApplyAttribute(SQL_ATTR_ROW_ARRAY_SIZE, Value);
}

// A new value reaches an allocated handle only where the driver's differs; the cursor closes
// and the bindings go in any case. An unreadable value is left alone.
void THstmt::ApplyAttribute(SQLINTEGER Attribute, SQLULEN Value) {
  if (!Allocated()) return;
  Close();
  if (Attribute == SQL_ATTR_CURSOR_TYPE) RefreshCursorAttributes();
  SQLULEN current = 0;
  if (!Test(SQLGetStmtAttr(CurrentHandle(), Attribute, &current, 0, nullptr))) return;
  if (current == Value) return;
  Check(SQLSetStmtAttr(CurrentHandle(), Attribute, IntegerAttribute(Value), SQL_IS_UINTEGER));
}

void THstmt::RefreshCursorAttributes() {
  static constexpr SQLUSMALLINT infoTypes[] = {
      SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1, SQL_KEYSET_CURSOR_ATTRIBUTES1,
      SQL_DYNAMIC_CURSOR_ATTRIBUTES1, SQL_STATIC_CURSOR_ATTRIBUTES1};
  if (cursorType_ > SQL_CURSOR_STATIC) return;
  // Reached only with a handle, which has a connection.
  cursorAttributes_ = hDbc()->GetInfoInteger(infoTypes[cursorType_]);
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
