// Executing a statement: prepared or direct, synchronous or polled, with long data sent in
// pieces when the driver asks for it, and cancel.

#include "odbc/OCLEnvironment.h"
#include "odbc/OCLStatement.h"
#include "odbc/OCLUserInterface.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace ocl {

namespace {

// Between two polls of an asynchronous execution: the application's pending events, or else
// a short rest so that waiting does not spin.
void BetweenPolls() {
  if (UserInterface().ProcessMessages)
    UserInterface().ProcessMessages();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

void THstmt::Execute() {
  RequireIdle();
  // The rowset of the earlier execution goes: its pending marks first.
  SettleMarks();
  // An execution that fails, wherever, leaves Executed false.
  executed_ = false;
  cancelRequested_ = false;
  if (!Allocated()) AllocHandle();
  CheckParamArrays();
  SetParamSetSize();

  rtl::TComponentRef<THstmt> self(this);
  SQLRETURN ret = RunExecution();
  // A handler destroyed the statement while it polled; its destructor finished the execution.
  if (!self) throw rtl::EAbort();
  LastRet = ret;
  if (cancelRequested_) {
    executed_ = true;
    throw rtl::EAbort();
  }
  if (ret != SQL_NEED_DATA && ret != SQL_NO_DATA) Check(ret);
  if (ret == SQL_NEED_DATA) ret = SendLongData();
  if (ErrorObject().Succeeded(ret)) {
    if (OnLinkExecute) OnLinkExecute(this);
    DoExecute();
  }
  executed_ = true;
}

// All parameters of one execution are read as arrays of ParamSetSize elements: one bound with
// fewer would be read past its end.
void THstmt::CheckParamArrays() const {
  if (paramSetSize_ <= 1) return;
  for (const TParamRec& rec : params_) {
    if (static_cast<SQLULEN>(rec.Count) != paramSetSize_)
      throw rtl::Exception("Parameter " + std::to_string(rec.ParamNo) + " is bound with " +
                           std::to_string(rec.Count) + " value(s), but the execution needs " +
                           std::to_string(paramSetSize_) + ".");
  }
}

// At least 1: a driver may refuse 0 (SQLite does, with a warning) and keep the size of the
// arrays bound before, running a statement without parameters that many times.
void THstmt::SetParamSetSize() {
  SQLRETURN ret =
      SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_PARAMSET_SIZE,
                     IntegerAttribute(std::max<SQLULEN>(paramSetSize_, 1)), SQL_IS_UINTEGER);
  if (!Test(ret) && paramSetSize_ > 1) ErrorObject().RaiseError(this, ret);
}

SQLRETURN THstmt::RunExecution() {
  std::string text;
  if (prepared_) {
    // A cursor left open by an earlier execution.
    SQLRETURN ret = SQLFreeStmt(CurrentHandle(), SQL_CLOSE);
    if (!Test(ret) && hDbc()->CursorLib() == SQL_CUR_USE_DRIVER)
      ErrorObject().RaiseError(this, ret);
  } else {
    text = TranslateSQL();
  }
  if (!execAsync_) {
    TRunningGuard running(this);
    return ExecuteOnce(text);
  }
  Check(SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_ASYNC_ENABLE,
                       IntegerAttribute(SQL_ASYNC_ENABLE_ON), SQL_IS_UINTEGER));
  bool destroyed = false;
  SQLRETURN ret = Poll([this, &text] { return ExecuteOnce(text); }, destroyed);
  // Destroyed, or released by its connection's destruction: the execution was cancelled.
  if (destroyed || !Allocated()) return ret;
  Check(SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_ASYNC_ENABLE,
                       IntegerAttribute(SQL_ASYNC_ENABLE_OFF), SQL_IS_UINTEGER));
  return ret;
}

SQLRETURN THstmt::ExecuteOnce(const std::string& Text) {
  if (prepared_) return SQLExecute(CurrentHandle());
  return SQLExecDirect(CurrentHandle(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(Text.c_str())),
                       SQL_NTS);
}

THstmt::TRunningGuard::TRunningGuard(THstmt* Statement) : self_(Statement) {
  Statement->SetRunning(true);
}

THstmt::TRunningGuard::~TRunningGuard() {
  THstmt* statement = self_;
  if (!statement) return;
  // Left by an exception from the application's events: the driver must not go on executing.
  statement->FinishPolling();
  statement->SetRunning(false);
}

void THstmt::SetRunning(bool Value) {
  std::lock_guard<std::mutex> guard(runningLock_);
  running_ = Value;
}

// Calls again while the driver is still executing, letting the application's events run in
// between. Destroyed tells that a handler destroyed the statement meanwhile.
SQLRETURN THstmt::Poll(const std::function<SQLRETURN()>& Call, bool& Destroyed) {
  TRunningGuard running(this);
  rtl::TComponentRef<THstmt> self(this);
  polling_ = Call;
  SQLRETURN ret;
  while ((ret = Call()) == SQL_STILL_EXECUTING) {
    BetweenPolls();
    if (!self) {
      Destroyed = true;
      return ret;
    }
    // Released meanwhile: FinishPolling saw the execution to its end.
    if (!polling_) return ret;
  }
  polling_ = nullptr;
  return ret;
}

void THstmt::FinishPolling() noexcept {
  if (!polling_) return;
  std::function<SQLRETURN()> call = std::move(polling_);
  polling_ = nullptr;
  cancelRequested_ = true;
  SQLCancel(CurrentHandle());
  while (call() == SQL_STILL_EXECUTING) std::this_thread::yield();
}

void THstmt::Cancel() {
  std::lock_guard<std::mutex> guard(runningLock_);
  if (!running_) return;
  cancelRequested_ = true;
  SQLCancel(CurrentHandle());
}

SQLRETURN THstmt::SendLongData() {
  SQLPOINTER token = nullptr;
  LastRet = SQLParamData(CurrentHandle(), &token);
  while (LastRet == SQL_NEED_DATA) {
    const TParamRec* rec = FindParamByValue(token);
    if (!rec || rec->Ind[0] > SQL_LEN_DATA_AT_EXEC_OFFSET) {
      // The statement would otherwise wait for data that no parameter has.
      SQLCancel(CurrentHandle());
      throw rtl::Exception("The driver asked for data that no bound parameter holds.");
    }
    SendPieces(*rec);
    LastRet = SQLParamData(CurrentHandle(), &token);
  }
  // The execution's own result: a change that matched no row is no error here either.
  if (LastRet != SQL_NO_DATA) Check(LastRet);
  return LastRet;
}

// The value in pieces of at most BlobSize bytes; an empty value as one empty piece.
void THstmt::SendPieces(const TParamRec& Rec) {
  const SQLLEN length = SQL_LEN_DATA_AT_EXEC_OFFSET - Rec.Ind[0];
  auto* value = static_cast<std::byte*>(Rec.Value);
  SQLLEN sent = 0;
  SQLRETURN ret;
  do {
    SQLLEN piece = std::min<SQLLEN>(blobSize_, length - sent);
    ret = SQLPutData(CurrentHandle(), value + sent, piece);
    sent += piece;
  } while (sent < length && Test(ret));
  Check(ret);
}

}  // namespace ocl
