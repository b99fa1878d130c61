// Writing the rows of a statement's buffers back: the driver's positioned operations where the
// cursor offers them, otherwise generated INSERT, UPDATE and DELETE statements.

#include "odbc/OCLCells.h"
#include "odbc/OCLEnvironment.h"
#include "odbc/OCLStatement.h"
#include "rtl/SysUtils.h"

#include <cstdint>

namespace ocl {

std::string QuoteName(const std::string& Name) {
  if (Name.find_first_of(" \"") == std::string::npos) return Name;
  std::string quoted = "\"";
  for (char c : Name) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

void THstmt::Insert() {
  RowOperation(OnInsert, "Insert row(s)?", OnLinkInsert, roInsert, &THstmt::InsertRow);
}
void THstmt::Update() {
  RowOperation(OnUpdate, "Update row(s)?", OnLinkUpdate, roUpdate, &THstmt::UpdateRow);
}
void THstmt::Delete() {
  RowOperation(OnDelete, "Delete row(s)?", OnLinkDelete, roDelete, &THstmt::DeleteRow);
}
void THstmt::Refresh() {
  RowOperation(OnRefresh, "Refresh row(s)?", OnLinkRefresh, roRefresh, &THstmt::RefreshRow);
}

void THstmt::RowOperation(const TConfirmEvent& Confirm, const char* Question,
                          const TLinkEvent& Link, SQLUSMALLINT Mark, TRowStep Step) {
  if (!Allocated()) AllocHandle();
  if (Confirm && !Confirm(this, Question)) return;
  if (OnLinkExecute && Link && !Link(this)) return;
  if (rowSetSize_ <= 1) return (this->*Step)(1);
  // With no rows fetched (none yet, or the last fetch found the end of the result) the buffers
  // hold the application's rows: each marked one, or row 1 when none is marked.
  bool fetched = static_cast<SQLLEN>(rowsFetched_) > 0;
  SQLULEN rows = fetched ? rowsFetched_ : rowSetSize_;
  bool marked = false;
  for (SQLULEN row = 1; row <= rows; ++row) {
    if (RowMark(row) != Mark) continue;
    // Rows are numbered in 16 bits here: a later one would be taken for another row.
    if (row > UINT16_MAX)
      throw rtl::Exception("Row " + std::to_string(row) + " of " + Name() +
                           " is beyond the 65535 rows a row operation reaches.");
    marked = true;
    (this->*Step)(static_cast<SQLUSMALLINT>(row));
  }
  if (!fetched && !marked) (this->*Step)(1);
}

void THstmt::InsertRow(SQLUSMALLINT Row) {
  RefuseCutValues(Row, true, false);
  if (PositionCaps() & SQL_CA1_BULK_ADD)
    AddRow(Row);
  else
    ExecInsert(Row);
  if (hasUnboundCols_) ExecUpdateBlobs("WHERE " + PrimaryWhere(), true, Row);
}

// The driver's bulk add takes the whole rowset: with several rows, the row goes through a
// generated INSERT instead, as no driver here honours a row-operation array for it.
void THstmt::AddRow(SQLUSMALLINT Row) {
  if (rowSetSize_ > 1) return ExecInsert(Row);
  Check(SQLBulkOperations(CurrentHandle(), SQL_ADD));
}

void THstmt::UpdateRow(SQLUSMALLINT Row) {
  bool useKeys = false;
  if (PositionCaps() & SQL_CA1_POS_UPDATE) {
    RefuseCutValues(Row, true, false);
    SetPosition(Row, SQL_UPDATE);
  } else {
    std::string condition = RowCondition(SQL_CA1_POSITIONED_UPDATE, useKeys);
    RefuseCutValues(Row, true, useKeys);
    ExecUpdate(condition, useKeys, Row);
  }
  if (hasUnboundCols_) {
    std::string condition = RowCondition(SQL_CA1_POSITIONED_UPDATE, useKeys);
    ExecUpdateBlobs(condition, useKeys, Row);
  }
}

void THstmt::DeleteRow(SQLUSMALLINT Row) {
  if (PositionCaps() & SQL_CA1_POS_DELETE) return SetPosition(Row, SQL_DELETE);
  bool useKeys = false;
  std::string condition = RowCondition(SQL_CA1_POSITIONED_DELETE, useKeys);
  RefuseCutValues(Row, false, useKeys);
  ExecDelete(condition, useKeys, Row);
}

void THstmt::RefreshRow(SQLUSMALLINT Row) {
  if (PositionCaps() & SQL_CA1_POS_REFRESH) SetPosition(Row, SQL_REFRESH);
}

void THstmt::SetPosition(SQLUSMALLINT Row, SQLUSMALLINT Operation) {
  SQLRETURN ret = SQLSetPos(CurrentHandle(), Row, Operation, SQL_LOCK_NO_CHANGE);
  if (Operation == SQL_UPDATE && ret == SQL_NEED_DATA) {
    // Accepted without data: the driver's wait for it ends, so the statement stays usable.
    LastRet = ret;
    SQLCancel(CurrentHandle());
    return;
  }
  Check(ret);
}

// The rows are found by the cursor where it offers positioned statements, else by their keys.
std::string THstmt::RowCondition(SQLUINTEGER PositionedBit, bool& UseKeys) {
  UseKeys = !(CursorCaps() & PositionedBit);
  if (UseKeys) return "WHERE " + PrimaryWhere();
  return "WHERE CURRENT OF " + GetCursorName();
}

std::string THstmt::PrimaryWhere() {
  std::string where;
  SQLUSMALLINT count = ColCount();
  for (SQLUSMALLINT i = 0; i < count; ++i)
    if (columns_[i]->Primary) where += QuoteName(colNames_[i].Name) + " = ? AND ";
  if (where.empty())
    throw rtl::Exception("Unable to update/delete row:  No primary columns specified.");
  where.resize(where.size() - 5);
  return where;
}

std::string THstmt::GetTableName(SQLUSMALLINT Column) {
  if (hasTargetTable_) return std::string(rtl::TrimControls(targetTable_));
  SQLCHAR buffer[256] = {};
  SQLSMALLINT length = 0;
  std::string name;
  if (Test(SQLColAttribute(CurrentHandle(), Column, SQL_DESC_TABLE_NAME, buffer, sizeof buffer,
                           &length, nullptr)))
    name = rtl::TrimControls(BufferText(buffer, sizeof buffer));
  if (name.empty())
    throw rtl::Exception("Unable to retrieve table name:  TargetTable property not set.");
  return name;
}

std::string THstmt::GetCursorName() {
  SQLCHAR buffer[256] = {};
  SQLSMALLINT length = 0;
  Check(SQLGetCursorName(Handle(), buffer, sizeof buffer, &length));
  return BufferText(buffer, sizeof buffer);
}

// A column's part in the statements of a row: the row's own indicator tells whether it is
// left out, as the driver's positioned operations read it.
bool THstmt::IsValueColumn(const TColRec& Column, SQLUSMALLINT Row) const {
  return Column.Data && Column.Ind[Row - 1] != SQL_COLUMN_IGNORE;
}

bool THstmt::IsLongDataColumn(const TColRec& Column, SQLUSMALLINT Row) const {
  return !Column.Data && Column.Ind[Row - 1] != SQL_COLUMN_IGNORE;
}

// A long value that BlobDeferral left unread, and that nothing has written since: it is what
// the table holds, and writing the empty stream would lose it.
bool THstmt::IsUnread(TColRec& Column, SQLUSMALLINT Row) const {
  return Column.Ind[Row - 1] != SQL_NULL_DATA && !Column.Loaded[Row - 1] &&
         Column.RowStream(Row).Size() == 0;
}

void THstmt::RefuseCutValues(SQLUSMALLINT Row, bool Values, bool Keys) {
  SQLUSMALLINT count = ColCount();
  for (SQLUSMALLINT i = 0; i < count; ++i) {
    const TColRec& column = *columns_[i];
    bool used = (Values && IsValueColumn(column, Row)) || (Keys && column.Primary);
    if (used && TCell(*this, static_cast<SQLUSMALLINT>(i + 1), Row).IsCut())
      throw rtl::Exception("Column " + colNames_[i].Name + " of row " + std::to_string(Row) +
                           " was cut when it was fetched, and cannot be written back.");
  }
}

// A statement of its own under the same connection for generated statements; the caller
// frees it, also when a step fails.
std::unique_ptr<THstmt> THstmt::TemporaryStatement() {
  std::unique_ptr<THstmt> temp(rtl::TComponent::Create<THstmt>(nullptr));
  temp->SethDbc(hDbc());
  temp->SetBlobSize(blobSize_);
  return temp;
}

// Shows the text to the application, which may change it, and prepares it.
void THstmt::PrepareGenerated(THstmt& Temp, SQLUSMALLINT Operation, std::string Text) {
  if (OnStatement) OnStatement(this, Operation, Text);
  Temp.SetSQL(Text);
  Temp.Prepare();
}

// Binds a column's value of the row as parameter Number, declared as the driver described the
// column (its SQL type, size and digits) and with its length, so that the value goes back as
// it came; the next number.
SQLUSMALLINT THstmt::BindColumn(THstmt& Temp, SQLUSMALLINT Number, const TColRec& Column,
                                SQLUSMALLINT Row, bool AsNull) {
  SQLPOINTER value = nullptr;
  // The driver only reads an input parameter.
  if (!AsNull)
    value =
        Column.Data ? Column.Element(Row) : const_cast<std::byte*>(Column.RowStream(Row).Memory());
  Temp.BindParameter(Number, Column.CType, value, Column.SqlType, Column.ColumnSize, Column.Digits,
                     0);
  if (value && (Column.CType == SQL_C_CHAR || Column.CType == SQL_C_BINARY))
    Temp.SetParamLength(Number, Column.Data ? Column.Ind[Row - 1]
                                            : static_cast<SQLLEN>(Column.RowStream(Row).Size()));
  return static_cast<SQLUSMALLINT>(Number + 1);
}

// The value columns of the row from parameter 1 on, NULL as none; the next number.
SQLUSMALLINT THstmt::BindValueColumns(THstmt& Temp, SQLUSMALLINT Row) {
  SQLUSMALLINT number = 1;
  for (SQLUSMALLINT i = 0; i < colCount_; ++i) {
    const TColRec& column = *columns_[i];
    if (IsValueColumn(column, Row))
      number = BindColumn(Temp, number, column, Row, column.Ind[Row - 1] == SQL_NULL_DATA);
  }
  return number;
}

SQLUSMALLINT THstmt::BindKeyColumns(THstmt& Temp, SQLUSMALLINT Number, SQLUSMALLINT Row) {
  for (SQLUSMALLINT i = 0; i < colCount_; ++i) {
    if (!columns_[i]->Primary) continue;
    // Without a buffer the key would be bound to nothing and find no row.
    if (!columns_[i]->Data)
      throw rtl::Exception("Key column " + colNames_[i].Name +
                           " is long data, which cannot find a row: name a type with a buffer "
                           "for it (AddColType).");
    Number = BindColumn(Temp, Number, *columns_[i], Row, false);
  }
  return Number;
}

void THstmt::ExecInsert(SQLUSMALLINT Row) {
  std::string names, markers;
  SQLUSMALLINT count = ColCount();
  RequireRow(Row);
  for (SQLUSMALLINT i = 0; i < count; ++i) {
    if (!IsValueColumn(*columns_[i], Row)) continue;
    names += (names.empty() ? "" : ", ") + QuoteName(colNames_[i].Name);
    markers += markers.empty() ? "?" : ", ?";
  }
  if (names.empty()) return;
  std::string text =
      "INSERT INTO " + QuoteName(GetTableName(1)) + " (" + names + ") VALUES (" + markers + ")";
  auto temp = TemporaryStatement();
  PrepareGenerated(*temp, roInsert, text);
  BindValueColumns(*temp, Row);
  temp->Execute();
}

void THstmt::ExecUpdate(const std::string& Condition, bool BindKeys, SQLUSMALLINT Row) {
  std::string sets;
  SQLUSMALLINT count = ColCount();
  RequireRow(Row);
  for (SQLUSMALLINT i = 0; i < count; ++i)
    if (IsValueColumn(*columns_[i], Row))
      sets += (sets.empty() ? "" : ", ") + QuoteName(colNames_[i].Name) + " = ?";
  if (sets.empty()) return;
  std::string text = "UPDATE " + QuoteName(GetTableName(1)) + " SET " + sets + " " + Condition;
  auto temp = TemporaryStatement();
  PrepareGenerated(*temp, roUpdate, text);
  SQLUSMALLINT number = BindValueColumns(*temp, Row);
  if (BindKeys) BindKeyColumns(*temp, number, Row);
  temp->Execute();
}

void THstmt::ExecUpdateBlobs(const std::string& Condition, bool BindKeys, SQLUSMALLINT Row) {
  SQLUSMALLINT count = ColCount();
  RequireRow(Row);
  std::unique_ptr<THstmt> temp;
  for (SQLUSMALLINT n = 1; n <= count; ++n) {
    TColRec& column = *columns_[n - 1];
    if (!IsLongDataColumn(column, Row) || IsUnread(column, Row)) continue;
    std::string text = "UPDATE " + QuoteName(GetTableName(n)) + " SET " +
                       QuoteName(colNames_[n - 1].Name) + " = ? " + Condition;
    // One statement serves every long-data column.
    if (!temp) temp = TemporaryStatement();
    PrepareGenerated(*temp, roUpdate, text);
    // An empty value is no NULL, which is what an empty stream would send.
    if (column.Ind[Row - 1] == SQL_NULL_DATA || column.RowStream(Row).Size() == 0)
      BindColumn(*temp, 1, column, Row, column.Ind[Row - 1] == SQL_NULL_DATA);
    else
      temp->BindBlobParam(1, &column.RowStream(Row), column.CType == SQL_C_BINARY);
    if (BindKeys) BindKeyColumns(*temp, 2, Row);
    temp->Execute();
  }
}

void THstmt::ExecDelete(const std::string& Condition, bool BindKeys, SQLUSMALLINT Row) {
  ColCount();
  RequireRow(Row);
  std::string text = "DELETE FROM " + QuoteName(GetTableName(1)) + " " + Condition;
  auto temp = TemporaryStatement();
  PrepareGenerated(*temp, roDelete, text);
  if (BindKeys) BindKeyColumns(*temp, 1, Row);
  temp->Execute();
}

}  // namespace ocl
