#pragma once
// The statement component: SQL text with ":name" parameter markers, prepared and executed
// under a connection, synchronously or in the driver's asynchronous mode, with parameters
// bound to the caller's buffers and long data sent in pieces; result columns bound to buffers
// of RowSetSize rows and fetched rowset by rowset.

#include "odbc/OCLBase.h"
#include "odbc/OCLConnection.h"
#include "odbc/OCLNames.h"
#include "odbc/OCLTypes.h"

#include <concepts>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace ocl {

class TCell;
class TRowView;
class TRows;
template <class T>
class TColumnOf;

// What a row or a column view was made for: the statement's binding of its columns, and its
// rowset. Each binding and each fetch (or execution) takes a new number, unique in the
// process, so that a view can tell with one comparison that it still reads what it was made
// for.
struct TRowsetStamp {
  std::uint64_t Binding = 0;
  std::uint64_t Rowset = 0;
};

// The pending operation of a row (row marks), and the operation of a generated statement.
enum TRowOperation : SQLUSMALLINT { roUpdate = 1, roDelete = 2, roRefresh = 4, roInsert = 8 };

// How long data reaches the driver: as the driver asks (bpDetect), in BlobSize pieces at
// execution (bpByParts), or in one piece from the bound block (bpByExec).
enum TBlobPlacement : std::uint8_t { bpDetect = 0, bpByParts = 1, bpByExec = 2 };

// Asks the application whether to go on; DefaultMsg is the question.
using TConfirmEvent = std::function<bool(rtl::TComponent* Sender, const std::string& DefaultMsg)>;
// Shows a generated statement to the application, which may change its text.
using TStatementEvent =
    std::function<void(rtl::TComponent* Sender, SQLUSMALLINT Operation, std::string& SQL)>;
// A confirmation hook of a linked component.
using TLinkEvent = std::function<bool(rtl::TComponent* Sender)>;

// A memory stream, whatever its constness: no plain parameter buffer.
template <class T>
concept MemoryStream = std::derived_from<std::remove_cv_t<T>, rtl::TMemoryStream>;

class THstmt : public THbase {
 public:
  // Links to the first connection among the owner's components.
  explicit THstmt(rtl::TComponent* AOwner);
  ~THstmt() override;

  const rtl::TPropertyList& Published() const override;
  void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;
  SQLSMALLINT HandleType() const override { return SQL_HANDLE_STMT; }

  // The statement handle, allocated on first need (connecting hDbc if it is not).
  SQLHSTMT Handle();
  bool AllocHandle();
  bool FreeHandle() override;
  void ForceRelease() noexcept override;
  // The connection learns of the failure too.
  void AfterFailure(const std::string& SqlState) noexcept override;

  // Closes the cursor and drops every parameter and column binding.
  void Close();
  void Prepare();
  // Runs the statement; a searched change that matched nothing ends quietly (no OnExecute).
  // Raises rtl::EAbort when Cancel was asked meanwhile.
  void Execute();
  // Asks the driver to stop the running execution, which then ends in rtl::EAbort. Allowed from
  // a handler during an asynchronous Execute and from another thread during any Execute; does
  // nothing while nothing runs.
  void Cancel();
  // SQL with its ":name" markers turned into "?"; fills ParamNames.
  std::string TranslateSQL();

  // Parameter binding. Values are not copied: the buffers must stay valid until Execute.
  // Character values end in a NUL (or carry their length through SetParamLength); a binary
  // value's length must be given with SetParamLength, or the driver reads no bytes. Array
  // binds (ArraySize > 0) give every parameter of one execution the same number of elements,
  // character and binary elements 256 bytes apart; a rebind sets the number it is given. A
  // bind the driver refuses leaves the parameter as it was.
  void BindParameter(SQLUSMALLINT ParamNo, SQLSMALLINT CType, SQLPOINTER Value, SQLSMALLINT SqlType,
                     SQLULEN ColumnSize, SQLSMALLINT Digits, SQLLEN ArraySize);
  // With the type the driver describes.
  void BindParam(SQLUSMALLINT ParamNo, SQLSMALLINT CType, SQLPOINTER Value);
  // With a named SQL type; the two long types take their value, and its length, from a
  // memory stream.
  void BindParamTyped(SQLUSMALLINT ParamNo, SQLSMALLINT CType, SQLPOINTER Value,
                      SQLSMALLINT SqlType);
  void BindParamTyped(SQLUSMALLINT ParamNo, SQLSMALLINT CType, rtl::TMemoryStream* Stream,
                      SQLSMALLINT SqlType);
  // Long data from a stream; an empty stream is NULL.
  void BindBlobParam(SQLUSMALLINT ParamNo, rtl::TMemoryStream* Stream, bool Binary);
  // Sets the length of a bound value (the first element of an array).
  void SetParamLength(SQLUSMALLINT ParamNo, SQLLEN Size);
  // The length/indicator entries of a bound parameter (one per array element), for NULLs and
  // lengths inside an array; null when the parameter is not bound.
  SQLLEN* ParamIndicators(SQLUSMALLINT ParamNo);
  bool UseExplicitTypes();
  bool BlobsByParts();

  // The same by marker name, matched without regard to case: every marker of that name is
  // bound. An unknown name raises rtl::Exception.
  std::vector<SQLUSMALLINT> ParamNumbers(std::string_view ParamName);
  void BindParameter(std::string_view ParamName, SQLSMALLINT CType, SQLPOINTER Value,
                     SQLSMALLINT SqlType, SQLULEN ColumnSize, SQLSMALLINT Digits, SQLLEN ArraySize);
  void BindParam(std::string_view ParamName, SQLSMALLINT CType, SQLPOINTER Value);
  void BindParamTyped(std::string_view ParamName, SQLSMALLINT CType, SQLPOINTER Value,
                      SQLSMALLINT SqlType);
  void BindParamTyped(std::string_view ParamName, SQLSMALLINT CType, rtl::TMemoryStream* Stream,
                      SQLSMALLINT SqlType);
  void BindBlobParam(std::string_view ParamName, rtl::TMemoryStream* Stream, bool Binary);
  // A stream bound where a buffer goes would send the stream object itself.
  template <MemoryStream S>
  void BindParameter(SQLUSMALLINT, SQLSMALLINT, S*, SQLSMALLINT, SQLULEN, SQLSMALLINT,
                     SQLLEN) = delete;
  template <MemoryStream S>
  void BindParameter(std::string_view, SQLSMALLINT, S*, SQLSMALLINT, SQLULEN, SQLSMALLINT,
                     SQLLEN) = delete;
  template <MemoryStream S>
  void BindParam(SQLUSMALLINT, SQLSMALLINT, S*) = delete;
  template <MemoryStream S>
  void BindParam(std::string_view, SQLSMALLINT, S*) = delete;

  // The input/output type of the next parameter bind; it returns to SQL_PARAM_INPUT after it,
  // whether it succeeded or not.
  SQLSMALLINT ParamDirection() const { return paramDirection_; }
  void SetParamDirection(SQLSMALLINT Value) { paramDirection_ = Value; }
  // The table named in generated statements.
  const std::string& TargetTable() const { return targetTable_; }
  bool HasTargetTable() const { return hasTargetTable_; }
  void SetTargetTable(const std::string& Value);
  // Names the SQL type of a result column instead of the driver; has effect at the next
  // column binding.
  void AddColType(SQLUSMALLINT Column, SQLSMALLINT SqlType);

  // Result columns, bound on first use to buffers of RowSetSize rows: character and binary
  // values up to 255 and 256 bytes, numbers, dates and times by their type. A long-data column
  // (a long type, or any type without a buffer) gets a memory stream for each row instead.
  void BindCols();
  // The number of result columns; binds them when they are not bound.
  SQLUSMALLINT ColCount();
  std::string ColAttrString(SQLUSMALLINT Column, SQLUSMALLINT Field);
  SQLLEN ColAttrInteger(SQLUSMALLINT Column, SQLUSMALLINT Field);
  // The number of a result column by name, matched without regard to case; an unknown name
  // raises rtl::Exception.
  SQLUSMALLINT ColumnNumber(std::string_view ColumnName);
  // Raise rtl::Exception for a column that is no result column (binding the columns first), or
  // for a row outside the rowset.
  void RequireColumn(SQLUSMALLINT Column);
  void RequireRow(SQLULEN Row) const;
  // Raises rtl::Exception for a row that the last fetch did not fill. With no row fetched, the
  // buffers hold what the application wrote into them, and every row may be read.
  void RequireFilledRow(SQLULEN Row) const;
  // Marks a result column as part of the key of generated statements; the rowset's values of
  // the column are kept from then on as the values that find its rows.
  void SetPrimary(SQLUSMALLINT Column, bool Value = true);
  // The pending operation of a row of the rowset (roUpdate 1, roDelete 2, roRefresh 4, roInsert
  // 8): the low four bits of its mark; 0 for a row outside the rowset. The marks belong to the
  // current rowset: the next fetch (or execution) first applies those not yet handled, then
  // clears them all.
  SQLUSMALLINT RowMark(SQLULEN Row) const;
  void SetRowMark(SQLULEN Row, SQLUSMALLINT Operation);

  // The bound records, in column order, then the row status, the marks and the bookmarks.
  const std::vector<std::unique_ptr<TColRec>>& Columns() const { return columns_; }
  const std::vector<TColName>& ColNames() const { return colNames_; }
  TColRec* RowStatusArray() const { return rowStatus_; }
  // The driver's status of a row of the rowset (SQL_ROW_SUCCESS, SQL_ROW_NOROW, ...).
  SQLUSMALLINT RowStatus(SQLULEN Row) const {
    if (!rowStatus_ || Row < 1 || Row > rowSetSize_) return SQL_ROW_NOROW;
    SQLUSMALLINT status;
    std::memcpy(&status, RowAddress(rowStatus_->Data.get(), Row, SQL_C_USHORT), sizeof status);
    return status;
  }
  TColRec* RowMarks() const { return rowMarks_; }
  TColRec* Bookmarks() const { return bookmarks_; }
  SQLULEN RowsFetched() const { return rowsFetched_; }
  bool HasUnboundCols() const { return hasUnboundCols_; }
  bool ColsBound() const { return colsBound_; }
  SQLLEN BookmarkLength() const { return bookmarkLength_; }

  // Fetches the next rowset into the column buffers (binding them first); false at the end,
  // raising nothing. Long data is read whole for every fetched row, unless BlobDeferral leaves
  // it to ReadBlob. OnFetch follows each rowset.
  bool Fetch();
  // The same for a scrollable cursor: SQL_FETCH_NEXT, _PRIOR, _FIRST, _LAST, _ABSOLUTE or
  // _RELATIVE with its offset.
  bool FetchScroll(SQLSMALLINT Orientation, SQLLEN Offset);
  // The rowset that starts Offset rows from a bookmarked row (with BindBookmarks).
  bool FetchBookmark(const std::vector<std::byte>& Bookmark, SQLLEN Offset = 0);
  // The bookmark of a row of the rowset (with BindBookmarks).
  std::vector<std::byte> Bookmark(SQLULEN Row) const;
  // Reads the long-data value of one column of one row of the rowset, when not read yet.
  void ReadBlob(SQLUSMALLINT Column, SQLULEN Row);
  // Reads whole, into the row's stream of the column, a value longer than its buffer; false
  // where the driver cannot reach the row any more (inside a rowset of a driver that reads
  // data only at the row it fetched last).
  bool ReadWholeValue(SQLUSMALLINT Column, SQLULEN Row);
  // A rowset with long data is filled one row at a time on a forward-only cursor without
  // BlobDeferral, and on a driver that reads data only at the row it fetched last; decided
  // when the columns are bound.
  bool FillsRowByRow() const { return rowByRow_; }

  // Typed access to the values of the rowset (OCLCells.h), rows counted from 1; and the rows
  // of the result as a range that fetches rowset by rowset (OCLRows.h).
  TCell Cell(SQLUSMALLINT Column, SQLULEN Row);
  TCell Cell(std::string_view ColumnName, SQLULEN Row);
  TRowView Row(SQLULEN Row);
  TRows Rows();
  // A column read as values of one type, for every row of the rowsets that Rows() yields
  // (OCLCells.h); binds the columns when they are not bound.
  template <class T>
  TColumnOf<T> Column(SQLUSMALLINT Number);
  template <class T>
  TColumnOf<T> Column(std::string_view ColumnName);
  // The binding and the rowset the buffers hold now.
  const TRowsetStamp& Stamp() const { return stamp_; }

  // State.
  bool Prepared() const { return prepared_; }
  bool Executed() const { return executed_; }
  bool CancelRequested() const { return execution_.CancelRequested(); }
  SQLULEN ParamSetSize() const { return paramSetSize_; }
  const std::vector<std::string>& ParamNames() const { return paramNames_; }
  SQLUINTEGER CursorAttributes() const { return cursorAttributes_; }
  const std::vector<TParamRec>& Params() const { return params_; }

  // Published properties.
  THdbc* hDbc() const { return hDbc_.Get(); }
  void SethDbc(THdbc* Value);
  const std::string& SQL() const { return sql_; }
  void SetSQL(const std::string& Value);
  // A new value of the three attributes closes the statement: the cursor and every binding go.
  // The value it has changes nothing; one the driver refuses or changes leaves the driver's.
  SQLUINTEGER ConcurrencyType() const { return concurrencyType_; }
  void SetConcurrencyType(SQLUINTEGER Value);
  SQLUINTEGER CursorType() const { return cursorType_; }
  void SetCursorType(SQLUINTEGER Value);
  SQLUINTEGER RowSetSize() const { return rowSetSize_; }
  void SetRowSetSize(SQLUINTEGER Value);
  bool SkipByPosition() const { return skipByPosition_; }
  void SetSkipByPosition(bool Value) { skipByPosition_ = Value; }
  bool SkipByCursor() const { return skipByCursor_; }
  void SetSkipByCursor(bool Value) { skipByCursor_ = Value; }
  bool BindBookmarks() const { return bindBookmarks_; }
  void SetBindBookmarks(bool Value) { bindBookmarks_ = Value; }
  SQLINTEGER BlobSize() const { return blobSize_; }
  void SetBlobSize(SQLINTEGER Value);
  bool BlobDeferral() const { return blobDeferral_; }
  void SetBlobDeferral(bool Value) { blobDeferral_ = Value; }
  TBlobPlacement BlobPlacement() const { return blobPlacement_; }
  void SetBlobPlacement(TBlobPlacement Value) { blobPlacement_ = Value; }
  bool ExecAsync() const { return execAsync_; }
  void SetExecAsync(bool Value) { execAsync_ = Value; }

  // Row operations: the rows of the rowset (RowSetSize 1: row 1; else each fetched row whose
  // mark is the operation, and with none fetched each marked row of the buffers, or row 1 of
  // buffers that no fetch has filled when none is marked) written back through the driver's
  // positioned operations, or through generated INSERT, UPDATE and DELETE statements that take
  // each value from the row they handle and find the row by its keys as they were fetched. An
  // UPDATE or DELETE that finds no row raises. Each asks OnInsert ... OnRefresh first.
  virtual void Insert();
  virtual void Update();
  virtual void Delete();
  virtual void Refresh();
  void InsertRow(SQLUSMALLINT Row);
  void UpdateRow(SQLUSMALLINT Row);
  void DeleteRow(SQLUSMALLINT Row);
  void RefreshRow(SQLUSMALLINT Row);
  // Generated statements for one row (1 = the first of the rowset). With LongData the insert
  // carries the row's long-data values too.
  void ExecInsert(SQLUSMALLINT Row = 1, bool LongData = false);
  void ExecUpdate(const std::string& Condition, bool BindKeys, SQLUSMALLINT Row = 1);
  void ExecUpdateBlobs(const std::string& Condition, bool BindKeys, SQLUSMALLINT Row = 1);
  void ExecDelete(const std::string& Condition, bool BindKeys, SQLUSMALLINT Row = 1);
  // "<key> = ? AND <key> = ?" over the Primary columns.
  std::string PrimaryWhere();
  // The table's name as the driver reports it for the column, or TargetTable.
  std::string GetTableName(SQLUSMALLINT Column);
  std::string GetCursorName();
  // The cursor capabilities the row operations use: none when skipped, nor where the rowset
  // was filled row by row (the driver's cursor holds its last row only).
  SQLUINTEGER PositionCaps() const { return skipByPosition_ || rowByRow_ ? 0 : cursorAttributes_; }
  SQLUINTEGER CursorCaps() const { return skipByCursor_ || rowByRow_ ? 0 : cursorAttributes_; }

  rtl::TNotifyEvent OnExecute;
  rtl::TNotifyEvent OnFetch;
  TConfirmEvent OnInsert, OnUpdate, OnDelete, OnRefresh;
  TStatementEvent OnStatement;
  // Hooks of a linked component; the library never assigns them.
  rtl::TNotifyEvent OnLinkExecute;
  TLinkEvent OnLinkInsert, OnLinkUpdate, OnLinkDelete, OnLinkRefresh;

 protected:
  virtual void DoExecute();
  virtual void DoFetch();

 private:
  // Raises while an execution runs: a handler must not start another operation on the
  // statement while Execute polls.
  void RequireIdle() const;
  void WriteAttribute(SQLINTEGER Attribute, SQLUINTEGER& Field, SQLUINTEGER Value);
  void ApplyAttribute(SQLINTEGER Attribute, SQLUINTEGER& Field);
  void TakeDriverValue(SQLINTEGER Attribute, SQLUINTEGER& Field, SQLULEN Before);
  void RefreshCursorAttributes();
  void EnableBookmarks();
  // FreeHandle, or where that fails ForceRelease; for destruction.
  void ReleaseHandle() noexcept;
  void DropParams();
  void DropColumns();

  // Row operations' steps.
  using TRowStep = void (THstmt::*)(SQLUSMALLINT Row);
  struct TOperation {
    TConfirmEvent THstmt::*Confirm;
    const char* Question;
    TLinkEvent THstmt::*Link;
    SQLUSMALLINT Mark;
    TRowStep Step;
  };
  static const TOperation Operations[4];
  // Every row the operation handles, or only those whose mark it has not handled yet.
  void RowOperation(const TOperation& Operation, bool PendingOnly);
  std::vector<SQLUSMALLINT> MarkedRows(SQLUSMALLINT Mark, bool PendingOnly);
  bool UsesKeys(SQLUINTEGER PositionedBit) const { return !(CursorCaps() & PositionedBit); }
  std::string RowCondition(bool UseKeys, SQLUSMALLINT Row);
  std::string KeyCondition(SQLUSMALLINT Row);
  void SetPosition(SQLUSMALLINT Row, SQLUSMALLINT Operation);
  void AddRow(SQLUSMALLINT Row);
  bool IsValueColumn(const TColRec& Column, SQLUSMALLINT Row) const;
  bool IsLongDataColumn(const TColRec& Column, SQLUSMALLINT Row) const;
  bool IsUnread(TColRec& Column, SQLUSMALLINT Row) const;
  // A long-data value of the row that a statement writes: set, or read from the table.
  bool IsLongValue(TColRec& Column, SQLUSMALLINT Row) const;
  bool HasLongValues(SQLUSMALLINT Row);
  bool LongDataCanFollow(SQLUSMALLINT Row) const;
  // Refuses a row whose values (or keys) were cut when fetched, before anything of it runs.
  void RefuseCutValues(SQLUSMALLINT Row, bool Values, bool Keys);
  // Names as the database reads them back: the driver's base column and table where it gives
  // them.
  std::string DriverName(SQLUSMALLINT Column, SQLUSMALLINT Field);
  std::string ColumnName(SQLUSMALLINT Index, const TNameRules& Rules);
  std::string TableName(SQLUSMALLINT Column, const TNameRules& Rules);
  std::unique_ptr<THstmt> TemporaryStatement();
  void RunGenerated(std::unique_ptr<THstmt>& Temp, SQLUSMALLINT Operation, std::string Text,
                    SQLUSMALLINT Row, const std::function<void(THstmt&)>& BindParameters);
  // Where a row's values are read from: a column's buffers, or the keys kept of it.
  struct TRowValues {
    std::byte* Data;
    const SQLLEN* Ind;
  };
  SQLUSMALLINT BindRowValue(THstmt& Temp, SQLUSMALLINT Number, const TColRec& Column,
                            TRowValues From, SQLUSMALLINT Row, bool AsNull);
  SQLUSMALLINT BindLongValue(THstmt& Temp, SQLUSMALLINT Number, TColRec& Column, SQLUSMALLINT Row);
  SQLUSMALLINT BindValueColumns(THstmt& Temp, SQLUSMALLINT Row, bool LongData);
  SQLUSMALLINT BindKeyColumns(THstmt& Temp, SQLUSMALLINT Number, SQLUSMALLINT Row);

  // The one execution a statement runs at a time, as Execute, Cancel (from any thread),
  // RequireIdle and destruction see it: idle, or running with its driver calls made once or,
  // when asynchronous, polled while the application's events run.
  class TExecution {
   public:
    void Start(bool Asynchronous);
    void End();
    bool Idle() const;
    bool Asynchronous() const;
    bool CancelRequested() const;
    // The asynchronous call being polled (none between two calls, and once it was cancelled).
    void SetPolledCall(std::function<SQLRETURN()> Call);
    bool PollingCall() const;
    // Asks the driver to stop the running execution; nothing while idle.
    void Cancel(SQLHSTMT Handle);
    // Cancels the polled call and calls it until the driver has given it up; then idle.
    void CancelPolledCall(SQLHSTMT Handle) noexcept;

   private:
    enum class TPhase : std::uint8_t { Idle, Running, Polling };
    mutable std::mutex lock_;
    TPhase phase_ = TPhase::Idle;
    bool cancelRequested_ = false;
    std::function<SQLRETURN()> polledCall_;
  };

  // What the row operations keep of the rowset: each key column's values as fetched (or as
  // last written), whether a row's keys are kept so, the operation last handled on each row,
  // and whether a fetch has filled the buffers since they were bound.
  struct TKeptKey {
    std::unique_ptr<std::byte[]> Data;
    std::unique_ptr<SQLLEN[]> Ind;
  };
  struct TRowsetMemory {
    std::vector<TKeptKey> Keys;
    std::vector<bool> Kept;
    std::vector<SQLUSMALLINT> Handled;
    bool AnyHandled = false;
    bool Filled = false;
  };
  void SizeRowsetMemory();
  // Before the cursor moves on: marks not yet handled are applied, then all are cleared.
  void SettleMarks();
  bool AnyMark() const;
  void KeepFetchedKeys();
  void KeepKey(SQLUSMALLINT Index);
  TKeptKey& KeptKey(SQLUSMALLINT Index);
  void KeepWrittenKeys(SQLUSMALLINT Row, bool Inserted);
  TRowValues KeyValues(SQLUSMALLINT Index, SQLUSMALLINT Row);

  // Execute's steps.
  void CheckParamArrays() const;
  void SetParamSetSize();
  void CloseCursor();
  void RunExecution(const std::string& Text);
  SQLRETURN RunAsynchronously(const std::string& Text);
  SQLRETURN Run(const std::string& Text);
  SQLRETURN ExecuteOnce(const std::string& Text);
  SQLRETURN Call(const std::function<SQLRETURN()>& Function);
  SQLRETURN Poll(const std::function<SQLRETURN()>& Function);
  SQLRETURN SendLongData();
  void SendPieces(const TParamRec& Rec);

  // Binding's steps.
  enum class TSource { Value, Stream };
  SQLSMALLINT TakeDirection();
  void Bind(SQLUSMALLINT ParamNo, SQLSMALLINT CType, SQLPOINTER Value, SQLSMALLINT SqlType,
            SQLULEN ColumnSize, SQLSMALLINT Digits, SQLLEN ArraySize, TSource Source,
            SQLSMALLINT Direction);
  void DescribedBind(SQLUSMALLINT ParamNo, SQLSMALLINT CType, SQLPOINTER Value, TSource Source,
                     SQLSMALLINT Direction);
  void TypedBind(SQLUSMALLINT ParamNo, SQLSMALLINT CType, SQLPOINTER Value, SQLULEN Size,
                 SQLSMALLINT SqlType, TSource Source, SQLSMALLINT Direction);
  void StreamBind(SQLUSMALLINT ParamNo, SQLSMALLINT CType, rtl::TMemoryStream* Stream,
                  SQLSMALLINT SqlType, SQLSMALLINT Direction);
  void KeepParam(TParamRec Rec);
  TParamRec* FindParam(SQLUSMALLINT ParamNo);
  const TParamRec* FindParamByValue(SQLPOINTER Value) const;
  template <class Bind1>
  void ForEachNumber(std::string_view ParamName, Bind1 bind);

  // Column binding's steps.
  void DropLeftoverColumns();
  void DescribeColumn(SQLUSMALLINT Column, TColRec& Rec);
  void BindColumn(SQLUSMALLINT Column);
  TColRec* AppendRowArray();
  void BindBookmarkColumn();
  void BindToDriverRow();
  void SetRowArrayAttributes();

  // Fetching's steps.
  void BeginFetch();
  bool FinishFetch(SQLRETURN Ret);
  bool ReadsInsideRowsets();
  SQLRETURN FillRowByRow(SQLSMALLINT Orientation, SQLLEN Offset);
  void TakeRow(SQLULEN Row);
  void SetRowStatus(SQLULEN Row, SQLUSMALLINT Status);
  void ReadLongData();
  bool ForgetStreams();
  bool RowHasData(SQLULEN Row) const;
  void RequireFetched(SQLULEN Row) const;
  void PositionOn(SQLULEN Row);
  void ReadLongValue(TColRec& Rec, SQLUSMALLINT Column, SQLULEN Row);

  TConnectionLink hDbc_;

  std::vector<TColTypeRec> colTypes_;
  std::vector<std::unique_ptr<TColRec>> columns_;
  std::vector<TParamRec> params_;
  TColRec* rowStatus_ = nullptr;
  TColRec* rowMarks_ = nullptr;
  TColRec* bookmarks_ = nullptr;
  SQLUSMALLINT colCount_ = 0;
  SQLULEN rowsFetched_ = 0;
  SQLULEN paramSetSize_ = 0;
  bool hasUnboundCols_ = false;
  bool colsBound_ = false;
  // Filling row by row: the driver's one row of status and its count.
  bool rowByRow_ = false;
  SQLUSMALLINT driverRowStatus_ = SQL_ROW_SUCCESS;
  SQLULEN driverRowsFetched_ = 0;
  SQLLEN bookmarkLength_ = 4;
  bool prepared_ = false;
  bool executed_ = false;
  SQLSMALLINT paramDirection_ = SQL_PARAM_INPUT;
  bool hasTargetTable_ = false;
  std::string targetTable_;
  std::vector<std::string> paramNames_;
  std::vector<TColName> colNames_;
  std::string sql_;
  SQLUINTEGER cursorAttributes_ = 0;

  SQLUINTEGER concurrencyType_ = SQL_CONCUR_READ_ONLY;
  SQLUINTEGER cursorType_ = SQL_CURSOR_FORWARD_ONLY;
  SQLUINTEGER rowSetSize_ = 1;
  bool skipByPosition_ = false;
  bool skipByCursor_ = false;
  bool bindBookmarks_ = false;
  SQLINTEGER blobSize_ = 32768;
  bool blobDeferral_ = false;
  TBlobPlacement blobPlacement_ = bpDetect;
  bool execAsync_ = false;

  TExecution execution_;

  // The bookmark the driver reads for FetchBookmark.
  std::vector<std::byte> fetchBookmark_;

  TRowsetMemory rowset_;
  TRowsetStamp stamp_;
  // A new rowset in the buffers; with Binding, new buffers too.
  void NewStamp(bool Binding);
};

}  // namespace ocl
