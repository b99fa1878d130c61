#include "odbc/OCLErrors.h"

#include "odbc/OCLBase.h"

namespace ocl {

EODBC::EODBC(THbase* AComponent, SQLRETURN ARetCode, std::string ASqlState, SQLINTEGER ANativeError,
             std::string AMessage)
    : rtl::Exception(std::move(AMessage)),
      Component(AComponent),
      RetCode(ARetCode),
      SqlState(std::move(ASqlState)),
      NativeError(ANativeError) {}

bool TODBCError::Succeeded(SQLRETURN RetCode) const {
  if (InfoIsError) return RetCode == SQL_SUCCESS;
  return RetCode == SQL_SUCCESS || RetCode == SQL_SUCCESS_WITH_INFO;
}

namespace {
constexpr SQLSMALLINT BufferSize = 256;

}  // namespace

void TODBCError::Retrieve() {
  SQLCHAR state[BufferSize] = {};
  SQLCHAR message[BufferSize] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLRETURN ret =
      SQLGetDiagRec(HandleType, Handle, 1, state, &native, message, BufferSize, &length);
  if (Succeeded(ret)) {
    SqlState = BufferText(state, BufferSize);
    NativeError = native;
    Message = BufferText(message, BufferSize);
  } else {
    SqlState.clear();
    NativeError = 0;
    Message = "Unable to Retrieve ODBC Error";
  }
}

void TODBCError::RaiseError(THbase* Component, SQLRETURN RetCode) {
  HandleType = Component->HandleType();
  Handle = Component->CurrentHandle();
  SqlState.clear();
  Message.clear();
  NativeError = 0;
  switch (RetCode) {
    case SQL_ERROR:
    case SQL_SUCCESS_WITH_INFO:
      Retrieve();
      throw EODBC(Component, RetCode, SqlState, NativeError, Message);
    case SQL_NO_DATA: throw EODBC(Component, RetCode, "", 0, "No Data Found");
    case SQL_INVALID_HANDLE: throw EODBC(Component, RetCode, "", 0, "Invalid ODBC Handle");
    default: throw EODBC(Component, RetCode, "", 0, "ODBC Return Code " + std::to_string(RetCode));
  }
}

}  // namespace ocl
