#include "odbc/OCLErrors.h"

#include "odbc/OCLBase.h"

#include <algorithm>

namespace ocl {

EODBC::EODBC(THbase* AComponent, SQLRETURN ARetCode, std::string ASqlState, SQLINTEGER ANativeError,
             std::string AMessage, std::vector<TDiagRecord> ARecords)
    : rtl::Exception(std::move(AMessage)),
      Component(AComponent),
      RetCode(ARetCode),
      SqlState(std::move(ASqlState)),
      NativeError(ANativeError),
      Records(std::move(ARecords)) {}

bool TODBCError::Succeeded(SQLRETURN RetCode) const {
  if (InfoIsError) return RetCode == SQL_SUCCESS;
  return RetCode == SQL_SUCCESS || RetCode == SQL_SUCCESS_WITH_INFO;
}

namespace {

constexpr std::size_t FirstMessageSize = 512;
constexpr std::size_t LargestMessageSize = 32767;

// Reads one record, its message whole; false when there is none or it cannot be read. A
// message cut to its buffer is read again into a larger one: unixODBC answers some cut
// messages without a warning, giving the buffer's length, so a full buffer counts as cut.
bool ReadRecord(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT Number, TDiagRecord& Record) {
  std::vector<SQLCHAR> message(FirstMessageSize);
  for (;;) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    auto size = static_cast<SQLSMALLINT>(message.size());
    SQLRETURN ret =
        SQLGetDiagRec(HandleType, Handle, Number, state, &native, message.data(), size, &length);
    // The read's own warning is that the message was cut.
    if (!SQL_SUCCEEDED(ret)) return false;
    bool cut = ret == SQL_SUCCESS_WITH_INFO || length >= size - 1;
    if (!cut || message.size() == LargestMessageSize) {
      Record = {BufferText(state, sizeof state), native,
                BufferText(message.data(), message.size())};
      return true;
    }
    std::size_t wanted = std::max(2 * message.size(), static_cast<std::size_t>(length) + 2);
    message.resize(std::min(wanted, LargestMessageSize));
  }
}

}  // namespace

void TODBCError::Retrieve() {
  Records.clear();
  TDiagRecord record;
  for (SQLSMALLINT n = 1; n > 0 && ReadRecord(HandleType, Handle, n, record); ++n)
    Records.push_back(std::move(record));
  if (Records.empty()) {
    SqlState.clear();
    NativeError = 0;
    Message = "Unable to Retrieve ODBC Error";
    return;
  }
  SqlState = Records.front().SqlState;
  NativeError = Records.front().NativeError;
  Message = Records.front().Message;
}

void TODBCError::RaiseError(THbase* Component, SQLRETURN RetCode) {
  HandleType = Component->HandleType();
  Handle = Component->CurrentHandle();
  SqlState.clear();
  Message.clear();
  NativeError = 0;
  Records.clear();
  switch (RetCode) {
    case SQL_ERROR:
    case SQL_SUCCESS_WITH_INFO:
      Retrieve();
      if (RetCode == SQL_ERROR) Component->AfterFailure(SqlState);
      throw EODBC(Component, RetCode, SqlState, NativeError, Message, Records);
    case SQL_NO_DATA: throw EODBC(Component, RetCode, "", 0, "No Data Found");
    case SQL_INVALID_HANDLE: throw EODBC(Component, RetCode, "", 0, "Invalid ODBC Handle");
    default: throw EODBC(Component, RetCode, "", 0, "ODBC Return Code " + std::to_string(RetCode));
  }
}

}  // namespace ocl
