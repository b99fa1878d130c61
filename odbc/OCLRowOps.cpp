// Writing the rows of a statement's buffers back: the driver's positioned operations where the
// cursor offers them, otherwise generated INSERT, UPDATE and DELETE statements.

#include "odbc/OCLCells.h"
#include "odbc/OCLEnvironment.h"
#include "odbc/OCLStatement.h"
#include "rtl/SysUtils.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace ocl {

const THstmt::TOperation THstmt::Operations[4] = {
    {&THstmt::OnInsert, "Insert row(s)?", &THstmt::OnLinkInsert, roInsert, &THstmt::InsertRow},
    {&THstmt::OnUpdate, "Update row(s)?", &THstmt::OnLinkUpdate, roUpdate, &THstmt::UpdateRow},
    {&THstmt::OnDelete, "Delete row(s)?", &THstmt::OnLinkDelete, roDelete, &THstmt::DeleteRow},
    {&THstmt::OnRefresh, "Refresh row(s)?", &THstmt::OnLinkRefresh, roRefresh,
     &THstmt::RefreshRow}};

void THstmt::Insert() { RowOperation(Operations[0], false); }
void THstmt::Update() { RowOperation(Operations[1], false); }
void THstmt::Delete() { RowOperation(Operations[2], false); }
void THstmt::Refresh() { RowOperation(Operations[3], false); }

void THstmt::RowOperation(const TOperation& Operation, bool PendingOnly) {
  if (!Allocated()) AllocHandle();
  const TConfirmEvent& confirm = this->*Operation.Confirm;
  if (confirm && !confirm(this, Operation.Question)) return;
  const TLinkEvent& link = this->*Operation.Link;
  if (OnLinkExecute && link && !link(this)) return;
  if (rowSetSize_ <= 1) return (this->*Operation.Step)(1);
  std::vector<SQLUSMALLINT> rows = MarkedRows(Operation.Mark, PendingOnly);
  // Buffers that no fetch has filled (an empty result) hold the application's own row.
  if (rows.empty() && !PendingOnly && static_cast<SQLLEN>(rowsFetched_) <= 0 && !rowset_.Filled)
    rows.push_back(1);
  for (SQLUSMALLINT row : rows) {
    (this->*Operation.Step)(row);
    rowset_.Handled[row - 1] = Operation.Mark;
    rowset_.AnyHandled = true;
  }
}

// The fetched rows whose mark is the operation; with none fetched (none yet, or the last fetch
// found the end of the result), the rows of the buffers so marked.
std::vector<SQLUSMALLINT> THstmt::MarkedRows(SQLUSMALLINT Mark, bool PendingOnly) {
  SizeRowsetMemory();
  bool fetched = static_cast<SQLLEN>(rowsFetched_) > 0;
  SQLULEN last = fetched ? std::min<SQLULEN>(rowsFetched_, rowSetSize_) : rowSetSize_;
  std::vector<SQLUSMALLINT> rows;
  for (SQLULEN row = 1; row <= last; ++row) {
    if (RowMark(row) != Mark || (PendingOnly && rowset_.Handled[row - 1] == Mark)) continue;
    // Rows are numbered in 16 bits here: a later one would be taken for another row.
    if (row > UINT16_MAX)
      throw rtl::Exception("Row " + std::to_string(row) + " of " + Name() +
                           " is beyond the 65535 rows a row operation reaches.");
    rows.push_back(static_cast<SQLUSMALLINT>(row));
  }
  return rows;
}

void THstmt::InsertRow(SQLUSMALLINT Row) {
  RefuseCutValues(Row, true, false);
  // A long value follows the insert only where the new row can be found by its keys: otherwise
  // it goes in the insert itself, so that no row is ever left without it.
  bool longValues = HasLongValues(Row);
  bool follow = longValues && rowSetSize_ <= 1 && LongDataCanFollow(Row);
  if (longValues && !follow)
    ExecInsert(Row, true);
  else if (PositionCaps() & SQL_CA1_BULK_ADD)
    AddRow(Row);
  else
    ExecInsert(Row);
  KeepWrittenKeys(Row, true);
  if (follow) ExecUpdateBlobs("WHERE " + KeyCondition(Row), true, Row);
}

// The driver's bulk add takes the whole rowset: with several rows, the row goes through a
// generated INSERT instead, as no driver here honours a row-operation array for it.
void THstmt::AddRow(SQLUSMALLINT Row) {
  if (rowSetSize_ > 1) return ExecInsert(Row);
  Check(SQLBulkOperations(CurrentHandle(), SQL_ADD));
}

void THstmt::UpdateRow(SQLUSMALLINT Row) {
  bool useKeys = UsesKeys(SQL_CA1_POSITIONED_UPDATE);
  if (PositionCaps() & SQL_CA1_POS_UPDATE) {
    RefuseCutValues(Row, true, false);
    SetPosition(Row, SQL_UPDATE);
  } else {
    RefuseCutValues(Row, true, useKeys);
    ExecUpdate(RowCondition(useKeys, Row), useKeys, Row);
  }
  // The long data finds the row by the keys it has now.
  KeepWrittenKeys(Row, false);
  if (hasUnboundCols_) ExecUpdateBlobs(RowCondition(useKeys, Row), useKeys, Row);
}

void THstmt::DeleteRow(SQLUSMALLINT Row) {
  if (PositionCaps() & SQL_CA1_POS_DELETE) return SetPosition(Row, SQL_DELETE);
  bool useKeys = UsesKeys(SQL_CA1_POSITIONED_DELETE);
  RefuseCutValues(Row, false, useKeys);
  ExecDelete(RowCondition(useKeys, Row), useKeys, Row);
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

// The row is found by its keys, or by the cursor where it offers positioned statements: the
// cursor is put on the row first, as a statement changes the row the cursor is on.
std::string THstmt::RowCondition(bool UseKeys, SQLUSMALLINT Row) {
  if (UseKeys) return "WHERE " + KeyCondition(Row);
  PositionOn(Row);
  return "WHERE CURRENT OF " + GetCursorName();
}

std::string THstmt::PrimaryWhere() { return KeyCondition(0); }

// Over the key columns; for a row, a key that is NULL there is matched as such (row 0: every
// key has a marker).
std::string THstmt::KeyCondition(SQLUSMALLINT Row) {
  SQLUSMALLINT count = ColCount();
  TNameRules rules = NameRules(*hDbc());
  std::string where;
  for (SQLUSMALLINT i = 0; i < count; ++i) {
    if (!columns_[i]->Primary) continue;
    bool null = Row > 0 && KeyValues(i, Row).Ind[Row - 1] == SQL_NULL_DATA;
    where += (where.empty() ? "" : " AND ") + ColumnName(i, rules) + (null ? " IS NULL" : " = ?");
  }
  if (where.empty())
    throw rtl::Exception("Unable to update/delete row:  No primary columns specified.");
  return where;
}

std::string THstmt::GetTableName(SQLUSMALLINT Column) {
  if (hasTargetTable_) return std::string(rtl::TrimControls(targetTable_));
  std::string name;
  for (SQLUSMALLINT field : {SQL_DESC_BASE_TABLE_NAME, SQL_DESC_TABLE_NAME}) {
    std::string reported = DriverName(Column, field);
    name = rtl::TrimControls(reported);
    if (!name.empty()) break;
  }
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

// A text attribute of a result column; empty where the driver gives none.
std::string THstmt::DriverName(SQLUSMALLINT Column, SQLUSMALLINT Field) {
  SQLCHAR buffer[256] = {};
  SQLSMALLINT length = 0;
  if (!Test(
          SQLColAttribute(CurrentHandle(), Column, Field, buffer, sizeof buffer, &length, nullptr)))
    return {};
  return BufferText(buffer, sizeof buffer);
}

// The column's own name in its table, not the name the query gave it.
std::string THstmt::ColumnName(SQLUSMALLINT Index, const TNameRules& Rules) {
  std::string name = DriverName(static_cast<SQLUSMALLINT>(Index + 1), SQL_DESC_BASE_COLUMN_NAME);
  return QuoteName(name.empty() ? colNames_[Index].Name : name, Rules);
}

// TargetTable is written as in the application's SQL; a driver's name is the table's own.
std::string THstmt::TableName(SQLUSMALLINT Column, const TNameRules& Rules) {
  std::string name = GetTableName(Column);
  return hasTargetTable_ ? QuoteWrittenName(name, Rules) : QuoteName(name, Rules);
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

bool THstmt::IsLongValue(TColRec& Column, SQLUSMALLINT Row) const {
  return IsLongDataColumn(Column, Row) && !IsUnread(Column, Row);
}

bool THstmt::HasLongValues(SQLUSMALLINT Row) {
  SQLUSMALLINT count = ColCount();
  for (SQLUSMALLINT i = 0; i < count; ++i)
    if (IsLongValue(*columns_[i], Row)) return true;
  return false;
}

// The new row can be found by its keys: every key is written with a value.
bool THstmt::LongDataCanFollow(SQLUSMALLINT Row) const {
  bool any = false;
  for (SQLUSMALLINT i = 0; i < colCount_; ++i) {
    const TColRec& column = *columns_[i];
    if (!column.Primary) continue;
    if (!IsValueColumn(column, Row) || column.Ind[Row - 1] == SQL_NULL_DATA) return false;
    any = true;
  }
  return any;
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

// How every generated statement runs, on the temporary statement (made on first use): shown
// to the application, which may change its text, prepared, bound, executed. An UPDATE or
// DELETE that finds no row raises: the row changed or went since it was read.
void THstmt::RunGenerated(std::unique_ptr<THstmt>& Temp, SQLUSMALLINT Operation, std::string Text,
                          SQLUSMALLINT Row, const std::function<void(THstmt&)>& BindParameters) {
  if (!Temp) Temp = TemporaryStatement();
  if (OnStatement) OnStatement(this, Operation, Text);
  Temp->SetSQL(Text);
  Temp->Prepare();
  BindParameters(*Temp);
  Temp->Execute();
  if (Operation == roInsert) return;
  SQLLEN count = -1;
  bool found = Temp->LastRet != SQL_NO_DATA &&
               !(SQL_SUCCEEDED(SQLRowCount(Temp->Handle(), &count)) && count == 0);
  if (!found)
    throw rtl::Exception("Row " + std::to_string(Row) + " of " + Name() +
                         " was changed or deleted since it was read: its " +
                         (Operation == roDelete ? "DELETE" : "UPDATE") + " found no row.");
}

// Binds a value of the row, read from From, as parameter Number, declared as the driver
// described the column (its SQL type, size and digits) and with its length, so that the value
// goes back as it came; the next number.
SQLUSMALLINT THstmt::BindRowValue(THstmt& Temp, SQLUSMALLINT Number, const TColRec& Column,
                                  TRowValues From, SQLUSMALLINT Row, bool AsNull) {
  SQLPOINTER value = AsNull ? nullptr : Column.ElementIn(From.Data, Row);
  Temp.BindParameter(Number, Column.CType, value, Column.SqlType, Column.ColumnSize, Column.Digits,
                     0);
  if (value && (Column.CType == SQL_C_CHAR || Column.CType == SQL_C_BINARY))
    Temp.SetParamLength(Number, From.Ind[Row - 1]);
  return static_cast<SQLUSMALLINT>(Number + 1);
}

SQLUSMALLINT THstmt::BindLongValue(THstmt& Temp, SQLUSMALLINT Number, TColRec& Column,
                                   SQLUSMALLINT Row) {
  bool isNull = Column.Ind[Row - 1] == SQL_NULL_DATA;
  rtl::TMemoryStream& stream = Column.RowStream(Row);
  if (!isNull && stream.Size() > 0) {
    Temp.BindBlobParam(Number, &stream, Column.CType == SQL_C_BINARY);
    return static_cast<SQLUSMALLINT>(Number + 1);
  }
  // NULL, or an empty value, which is no NULL as an empty stream would send it.
  SQLPOINTER value = isNull ? nullptr : stream.Memory();
  Temp.BindParameter(Number, Column.CType, value, Column.SqlType, Column.ColumnSize, Column.Digits,
                     0);
  if (value) Temp.SetParamLength(Number, 0);
  return static_cast<SQLUSMALLINT>(Number + 1);
}

// The value columns of the row from parameter 1 on, NULL as none, and with LongData its long
// values among them; the next number.
SQLUSMALLINT THstmt::BindValueColumns(THstmt& Temp, SQLUSMALLINT Row, bool LongData) {
  SQLUSMALLINT number = 1;
  for (SQLUSMALLINT i = 0; i < colCount_; ++i) {
    TColRec& column = *columns_[i];
    if (IsValueColumn(column, Row))
      number = BindRowValue(Temp, number, column, {column.Data.get(), column.Ind.get()}, Row,
                            column.Ind[Row - 1] == SQL_NULL_DATA);
    else if (LongData && IsLongValue(column, Row))
      number = BindLongValue(Temp, number, column, Row);
  }
  return number;
}

// The keys that find the row, as KeyCondition writes them: a NULL key has no marker.
SQLUSMALLINT THstmt::BindKeyColumns(THstmt& Temp, SQLUSMALLINT Number, SQLUSMALLINT Row) {
  for (SQLUSMALLINT i = 0; i < colCount_; ++i) {
    if (!columns_[i]->Primary) continue;
    // Without a buffer the key would be bound to nothing and find no row.
    if (!columns_[i]->Data)
      throw rtl::Exception("Key column " + colNames_[i].Name +
                           " is long data, which cannot find a row: name a type with a buffer "
                           "for it (AddColType).");
    TRowValues key = KeyValues(i, Row);
    if (key.Ind[Row - 1] != SQL_NULL_DATA)
      Number = BindRowValue(Temp, Number, *columns_[i], key, Row, false);
  }
  return Number;
}

void THstmt::ExecInsert(SQLUSMALLINT Row, bool LongData) {
  SQLUSMALLINT count = ColCount();
  RequireRow(Row);
  TNameRules rules = NameRules(*hDbc());
  std::string names, markers;
  for (SQLUSMALLINT i = 0; i < count; ++i) {
    TColRec& column = *columns_[i];
    if (!IsValueColumn(column, Row) && !(LongData && IsLongValue(column, Row))) continue;
    names += (names.empty() ? "" : ", ") + ColumnName(i, rules);
    markers += markers.empty() ? "?" : ", ?";
  }
  if (names.empty()) return;
  std::string text =
      "INSERT INTO " + TableName(1, rules) + " (" + names + ") VALUES (" + markers + ")";
  std::unique_ptr<THstmt> temp;
  RunGenerated(temp, roInsert, text, Row, [&](THstmt& t) { BindValueColumns(t, Row, LongData); });
}

void THstmt::ExecUpdate(const std::string& Condition, bool BindKeys, SQLUSMALLINT Row) {
  SQLUSMALLINT count = ColCount();
  RequireRow(Row);
  TNameRules rules = NameRules(*hDbc());
  std::string sets;
  for (SQLUSMALLINT i = 0; i < count; ++i)
    if (IsValueColumn(*columns_[i], Row))
      sets += (sets.empty() ? "" : ", ") + ColumnName(i, rules) + " = ?";
  if (sets.empty()) return;
  std::string text = "UPDATE " + TableName(1, rules) + " SET " + sets + " " + Condition;
  std::unique_ptr<THstmt> temp;
  RunGenerated(temp, roUpdate, text, Row, [&](THstmt& t) {
    SQLUSMALLINT number = BindValueColumns(t, Row, false);
    if (BindKeys) BindKeyColumns(t, number, Row);
  });
}

void THstmt::ExecUpdateBlobs(const std::string& Condition, bool BindKeys, SQLUSMALLINT Row) {
  SQLUSMALLINT count = ColCount();
  RequireRow(Row);
  TNameRules rules = NameRules(*hDbc());
  // One statement serves every long-data column.
  std::unique_ptr<THstmt> temp;
  for (SQLUSMALLINT n = 1; n <= count; ++n) {
    TColRec& column = *columns_[n - 1];
    if (!IsLongValue(column, Row)) continue;
    std::string text =
        "UPDATE " + TableName(n, rules) + " SET " + ColumnName(n - 1, rules) + " = ? " + Condition;
    RunGenerated(temp, roUpdate, text, Row, [&](THstmt& t) {
      BindLongValue(t, 1, column, Row);
      if (BindKeys) BindKeyColumns(t, 2, Row);
    });
  }
}

void THstmt::ExecDelete(const std::string& Condition, bool BindKeys, SQLUSMALLINT Row) {
  ColCount();
  RequireRow(Row);
  TNameRules rules = NameRules(*hDbc());
  std::string text = "DELETE FROM " + TableName(1, rules) + " " + Condition;
  std::unique_ptr<THstmt> temp;
  RunGenerated(temp, roDelete, text, Row, [&](THstmt& t) {
    if (BindKeys) BindKeyColumns(t, 1, Row);
  });
}

// ---------------------------------------------------------------------------------------------
// The rowset the row operations work on: marks that belong to it, and its keys as fetched.

void THstmt::SizeRowsetMemory() {
  if (rowset_.Handled.size() < rowSetSize_) rowset_.Handled.resize(rowSetSize_);
  if (rowset_.Kept.size() < rowSetSize_) rowset_.Kept.resize(rowSetSize_);
}

// No mark outlives its rowset, and none is lost unawares: those the application set and no
// operation has handled yet are applied before the rows they belong to go. A refresh is not:
// the rows are about to be read anew.
void THstmt::SettleMarks() {
  if (!rowMarks_) return;
  if (AnyMark()) {
    if (rowSetSize_ > 1) {
      for (const TOperation& operation : Operations)
        if (operation.Mark != roRefresh && !MarkedRows(operation.Mark, true).empty())
          RowOperation(operation, true);
    }
    std::memset(rowMarks_->Data.get(), 0, rowSetSize_ * sizeof(SQLUSMALLINT));
  }
  if (rowset_.AnyHandled) rowset_.Handled.assign(rowSetSize_, 0);
  rowset_.AnyHandled = false;
}

// Whether any row has a mark: most rowsets have none, and this is what every fetch asks.
bool THstmt::AnyMark() const {
  const std::byte* marks = rowMarks_->Data.get();
  const std::size_t bytes = rowSetSize_ * sizeof(SQLUSMALLINT);
  std::size_t i = 0;
  for (std::uint64_t word = 0; i + sizeof word <= bytes; i += sizeof word) {
    std::memcpy(&word, marks + i, sizeof word);
    if (word != 0) return true;
  }
  for (; i < bytes; ++i)
    if (marks[i] != std::byte{0}) return true;
  return false;
}

// The keys of the rows just fetched, as they came: editing a key in the buffer moves its row.
void THstmt::KeepFetchedKeys() {
  SizeRowsetMemory();
  rowset_.Filled = true;
  auto rows = static_cast<std::ptrdiff_t>(std::min<SQLULEN>(rowsFetched_, rowSetSize_));
  auto first = rowset_.Kept.begin();
  std::fill(first, first + rows, true);
  std::fill(first + rows, first + static_cast<std::ptrdiff_t>(rowSetSize_), false);
  for (SQLUSMALLINT i = 0; i < colCount_; ++i)
    if (columns_[i]->Primary) KeepKey(i);
}

void THstmt::KeepKey(SQLUSMALLINT Index) {
  const TColRec& column = *columns_[Index];
  if (!column.Data) return;
  TKeptKey& kept = KeptKey(Index);
  std::memcpy(kept.Data.get(), column.Data.get(), rowSetSize_ * column.Size);
  std::memcpy(kept.Ind.get(), column.Ind.get(), rowSetSize_ * sizeof(SQLLEN));
}

// The kept values of a key column with a buffer, laid out as its buffers.
THstmt::TKeptKey& THstmt::KeptKey(SQLUSMALLINT Index) {
  if (rowset_.Keys.size() < colCount_) rowset_.Keys.resize(colCount_);
  TKeptKey& kept = rowset_.Keys[Index];
  if (!kept.Data) {
    kept.Data = std::make_unique<std::byte[]>(rowSetSize_ * columns_[Index]->Size);
    kept.Ind = std::make_unique<SQLLEN[]>(rowSetSize_);
  }
  return kept;
}

// A row just written has the keys it was written with; an inserted row is found by them only
// where all were written.
void THstmt::KeepWrittenKeys(SQLUSMALLINT Row, bool Inserted) {
  SizeRowsetMemory();
  bool all = true;
  for (SQLUSMALLINT i = 0; i < colCount_; ++i) {
    const TColRec& column = *columns_[i];
    if (!column.Primary) continue;
    if (!IsValueColumn(column, Row)) {
      all = false;
      continue;
    }
    TKeptKey& kept = KeptKey(i);
    std::memcpy(column.ElementIn(kept.Data.get(), Row), column.Element(Row), column.Size);
    kept.Ind[Row - 1] = column.Ind[Row - 1];
  }
  if (Inserted) rowset_.Kept[Row - 1] = all;
}

// A row the cursor delivered is found by its keys as kept; one the application filled, by its
// buffers.
THstmt::TRowValues THstmt::KeyValues(SQLUSMALLINT Index, SQLUSMALLINT Row) {
  TColRec& column = *columns_[Index];
  bool kept = Row <= rowset_.Kept.size() && rowset_.Kept[Row - 1] && Index < rowset_.Keys.size() &&
              rowset_.Keys[Index].Data;
  if (kept) return {rowset_.Keys[Index].Data.get(), rowset_.Keys[Index].Ind.get()};
  return {column.Data.get(), column.Ind.get()};
}

}  // namespace ocl
