#pragma once
// The return-code test and diagnostic reader every ODBC call of the library goes through,
// and the exception raised for a failed call.

#include "rtl/Component.h"
#include "rtl/Exceptions.h"

#include "odbc/OCLSql.h"

#include <string>
#include <vector>

namespace ocl {

class THbase;

// One diagnostic record of a failed call, its message read whole.
struct TDiagRecord {
  std::string SqlState;
  SQLINTEGER NativeError = 0;
  std::string Message;
};

// A failed ODBC call. The message is the driver's text as read, without decoration.
class EODBC : public rtl::Exception {
 public:
  EODBC(THbase* AComponent, SQLRETURN ARetCode, std::string ASqlState, SQLINTEGER ANativeError,
        std::string AMessage, std::vector<TDiagRecord> ARecords = {});

  // Not owned; none once that component is destroyed (a temporary statement, say).
  rtl::TComponentRef<THbase> Component;
  SQLRETURN RetCode;
  // Of the first diagnostic record.
  std::string SqlState;
  SQLINTEGER NativeError;
  // Every diagnostic record of the call, the first (the one above) first; none where no record
  // was read.
  std::vector<TDiagRecord> Records;
};

// The library's one diagnostic object; its fields describe the most recent failure.
class TODBCError {
 public:
  SQLSMALLINT HandleType = 0;
  SQLHANDLE Handle = SQL_NULL_HANDLE;
  std::string SqlState;
  SQLINTEGER NativeError = 0;
  std::string Message;
  // Every record read, the first (the one above) first.
  std::vector<TDiagRecord> Records;
  // When set, SQL_SUCCESS_WITH_INFO counts as failure too (not for reading the records).
  bool InfoIsError = false;

  bool Succeeded(SQLRETURN RetCode) const;
  // Reads the diagnostic records of HandleType/Handle, each message whole.
  void Retrieve();
  // Records the component's handle as it holds it now, reads its diagnostic and raises.
  [[noreturn]] void RaiseError(THbase* Component, SQLRETURN RetCode);
};

}  // namespace ocl
