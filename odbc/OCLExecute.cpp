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
  NewStamp(false);
  // An execution that fails, wherever, leaves Executed false.
  executed_ = false;
  if (!Allocated()) AllocHandle();
  CheckParamArrays();
  SetParamSetSize();
  CloseCursor();
  rtl::TComponentRef<THstmt> self(this);
  RunExecution(prepared_ ? std::string() : TranslateSQL());
  if (ErrorObject().Succeeded(LastRet)) {
    if (OnLinkExecute) OnLinkExecute(this);
    // Either handler may destroy the statement.
    if (!self) return;
    DoExecute();
    if (!self) return;
  }
  executed_ = true;
}

// The execution from its start to the driver's last answer, in LastRet. One cancelled
// meanwhile ends in rtl::EAbort with Executed set.
void THstmt::RunExecution(const std::string& Text) {
  rtl::TComponentRef<THstmt> self(this);
  execution_.Start(execAsync_);
  try {
    LastRet = execAsync_ ? RunAsynchronously(Text) : Run(Text);
  } catch (...) {
    // Destroyed by a handler while it polled: its destructor ended the execution.
    if (!self) throw;
    execution_.End();
    if (execution_.CancelRequested()) executed_ = true;
    throw;
  }
  execution_.End();
  // Asked for after the driver's last answer.
  if (execution_.CancelRequested()) {
    executed_ = true;
    throw rtl::EAbort();
  }
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

// A cursor left open by an earlier execution, prepared or direct, goes first. A close that
// fails is raised only under the driver's own cursors.
void THstmt::CloseCursor() {
  SQLRETURN ret = SQLFreeStmt(CurrentHandle(), SQL_CLOSE);
  if (!Test(ret) && hDbc()->CursorLib() == SQL_CUR_USE_DRIVER) ErrorObject().RaiseError(this, ret);
}

// The run in the asynchronous mode, which goes off again once the driver is done with the
// execution and its data: off earlier, the driver manager refuses the mode change and every
// later call. A failure keeps the diagnostic it had before the mode went off.
SQLRETURN THstmt::RunAsynchronously(const std::string& Text) {
  Check(SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_ASYNC_ENABLE,
                       IntegerAttribute(SQL_ASYNC_ENABLE_ON), SQL_IS_UINTEGER));
  rtl::TComponentRef<THstmt> self(this);
  SQLRETURN ret;
  try {
    ret = Run(Text);
  } catch (...) {
    // Destroyed, or released by its connection's destruction: the mode went with the handle.
    if (self && Allocated())
      SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_ASYNC_ENABLE, IntegerAttribute(SQL_ASYNC_ENABLE_OFF),
                     SQL_IS_UINTEGER);
    throw;
  }
  Check(SQLSetStmtAttr(CurrentHandle(), SQL_ATTR_ASYNC_ENABLE,
                       IntegerAttribute(SQL_ASYNC_ENABLE_OFF), SQL_IS_UINTEGER));
  return ret;
}

// The execution and the long data it asks for; a failure raises. A change that matched no
// row ends in SQL_NO_DATA, no error.
SQLRETURN THstmt::Run(const std::string& Text) {
  SQLRETURN ret = Call([this, &Text] { return ExecuteOnce(Text); });
  if (ret == SQL_NEED_DATA) return SendLongData();
  if (ret != SQL_NO_DATA) Check(ret);
  return ret;
}

SQLRETURN THstmt::ExecuteOnce(const std::string& Text) {
  if (prepared_) return SQLExecute(CurrentHandle());
  return SQLExecDirect(CurrentHandle(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(Text.c_str())),
                       SQL_NTS);
}

// One driver call of the running execution, polled while the driver is still executing when
// the execution is asynchronous. A cancel asked meanwhile ends the execution in rtl::EAbort,
// whatever the driver answered.
SQLRETURN THstmt::Call(const std::function<SQLRETURN()>& Function) {
  SQLRETURN ret = execution_.Asynchronous() ? Poll(Function) : Function();
  if (execution_.CancelRequested()) throw rtl::EAbort();
  return ret;
}

// Calls again while the driver is still executing, letting the application's events run in
// between. A handler that destroys or releases the statement cancels the call: rtl::EAbort,
// without touching the statement again. One that raises leaves no call running either.
SQLRETURN THstmt::Poll(const std::function<SQLRETURN()>& Function) {
  SQLRETURN ret = Function();
  if (ret != SQL_STILL_EXECUTING) return ret;
  rtl::TComponentRef<THstmt> self(this);
  execution_.SetPolledCall(Function);
  do {
    try {
      BetweenPolls();
    } catch (...) {
      if (self) execution_.CancelPolledCall(CurrentHandle());
      throw;
    }
    if (!self || !execution_.PollingCall()) throw rtl::EAbort();
  } while ((ret = Function()) == SQL_STILL_EXECUTING);
  execution_.SetPolledCall(nullptr);
  return ret;
}

void THstmt::Cancel() { execution_.Cancel(CurrentHandle()); }

SQLRETURN THstmt::SendLongData() {
  rtl::TComponentRef<THstmt> self(this);
  SQLPOINTER token = nullptr;
  auto nextToken = [this, &token] { return SQLParamData(CurrentHandle(), &token); };
  try {
    LastRet = Call(nextToken);
    while (LastRet == SQL_NEED_DATA) {
      const TParamRec* rec = FindParamByValue(token);
      if (!rec || rec->Ind[0] > SQL_LEN_DATA_AT_EXEC_OFFSET)
        throw rtl::Exception("The driver asked for data that no bound parameter holds.");
      SendPieces(*rec);
      LastRet = Call(nextToken);
    }
    // The execution's own result: a change that matched no row is no error here either.
    if (LastRet != SQL_NO_DATA) Check(LastRet);
  } catch (...) {
    // The statement would otherwise go on waiting for the rest of the data.
    if (self && Allocated()) SQLCancel(CurrentHandle());
    throw;
  }
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
    ret = Call([&] { return SQLPutData(CurrentHandle(), value + sent, piece); });
    sent += piece;
  } while (sent < length && Test(ret));
  Check(ret);
}

// The execution state.

void THstmt::TExecution::Start(bool Asynchronous) {
  std::lock_guard<std::mutex> guard(lock_);
  phase_ = Asynchronous ? TPhase::Polling : TPhase::Running;
  cancelRequested_ = false;
}

void THstmt::TExecution::End() {
  std::lock_guard<std::mutex> guard(lock_);
  phase_ = TPhase::Idle;
  polledCall_ = nullptr;
}

bool THstmt::TExecution::Idle() const {
  std::lock_guard<std::mutex> guard(lock_);
  return phase_ == TPhase::Idle;
}

bool THstmt::TExecution::Asynchronous() const {
  std::lock_guard<std::mutex> guard(lock_);
  return phase_ == TPhase::Polling;
}

bool THstmt::TExecution::CancelRequested() const {
  std::lock_guard<std::mutex> guard(lock_);
  return cancelRequested_;
}

void THstmt::TExecution::SetPolledCall(std::function<SQLRETURN()> Call) {
  std::lock_guard<std::mutex> guard(lock_);
  polledCall_ = std::move(Call);
}

bool THstmt::TExecution::PollingCall() const {
  std::lock_guard<std::mutex> guard(lock_);
  return static_cast<bool>(polledCall_);
}

void THstmt::TExecution::Cancel(SQLHSTMT Handle) {
  std::lock_guard<std::mutex> guard(lock_);
  if (phase_ == TPhase::Idle) return;
  cancelRequested_ = true;
  SQLCancel(Handle);
}

void THstmt::TExecution::CancelPolledCall(SQLHSTMT Handle) noexcept {
  std::function<SQLRETURN()> call;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!polledCall_) return;
    call = std::move(polledCall_);
    polledCall_ = nullptr;
    phase_ = TPhase::Idle;
    cancelRequested_ = true;
    SQLCancel(Handle);
  }
  while (call() == SQL_STILL_EXECUTING) std::this_thread::yield();
}

}  // namespace ocl
