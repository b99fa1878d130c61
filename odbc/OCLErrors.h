#pragma once
// The return-code test and diagnostic reader every ODBC call of the library goes through,
// and the exception raised for a failed call.

#include "rtl/Component.h"
#include "rtl/Exceptions.h"

#include "odbc/OCLSql.h"

#include <string>

namespace ocl {

class THbase;

// A failed ODBC call. The message is the driver's text as read, without decoration.
class EODBC : public rtl::Exception {
 public:
  EODBC(THbase* AComponent, SQLRETURN ARetCode, std::string ASqlState, SQLINTEGER ANativeError,
        std::string AMessage);

  // Not owned; none once that component is destroyed (a temporary statement, say).
  rtl::TComponentRef<THbase> Component;
  SQLRETURN RetCode;
  std::string SqlState;
  SQLINTEGER NativeError;
};

// The library's one diagnostic object; its fields describe the most recent failure.
class TODBCError {
 public:
  SQLSMALLINT HandleType = 0;
  SQLHANDLE Handle = SQL_NULL_HANDLE;
  std::string SqlState;
  SQLINTEGER NativeError = 0;
  std::string Message;
  // When set, SQL_SUCCESS_WITH_INFO counts as failure too.
  bool InfoIsError = false;

  bool Succeeded(SQLRETURN RetCode) const;
  // Reads diagnostic record 1 of HandleType/Handle.
  void Retrieve();
  // Records the component's handle as it holds it now, reads its diagnostic and raises.
  [[noreturn]] void RaiseError(THbase* Component, SQLRETURN RetCode);
};

}  // namespace ocl
