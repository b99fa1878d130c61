#pragma once
// The records a statement keeps for its bound parameters and result columns, and the fixed
// tables that size their buffers.

#include "odbc/OCLSql.h"
#include "rtl/MemoryStream.h"

#include <cstddef>
#include <memory>
#include <string>

namespace ocl {

// Bytes of one value of a C type in a row array; 0 for a type the library does not bind.
SQLLEN CTypeSize(SQLSMALLINT CType);
// The SQL type recorded for an internal row array of that C type.
SQLSMALLINT CTypeSqlType(SQLSMALLINT CType);
// The element of a row array for a row counted from 1.
inline std::byte* RowAddress(std::byte* Base, SQLULEN Row, SQLSMALLINT CType) {
  return Base + CTypeSize(CType) * static_cast<SQLLEN>(Row - 1);
}

// Column size and decimal digits that a parameter bound with a named SQL type declares.
SQLULEN ParamColumnSize(SQLSMALLINT SqlType);
SQLSMALLINT ParamDigits(SQLSMALLINT SqlType);
bool IsLongType(SQLSMALLINT SqlType);

// One bound parameter.
struct TParamRec {
  SQLUSMALLINT ParamNo = 0;
  SQLSMALLINT CType = 0;
  SQLSMALLINT SqlType = 0;
  SQLPOINTER Value = nullptr;  // the caller's buffer, not owned
  // Length/indicator entries, one per array element; the driver reads them.
  std::unique_ptr<SQLLEN[]> Ind;
  SQLLEN Count = 1;
};

// One bound result column, or an internal row array.
struct TColRec {
  SQLSMALLINT CType = 0;
  SQLSMALLINT SqlType = 0;
  // RowSetSize elements, or none for a long-data column.
  std::unique_ptr<std::byte[]> Data;
  std::unique_ptr<SQLLEN[]> Ind;
  // Only for a long-data column: its value.
  std::unique_ptr<rtl::TMemoryStream> Stream;
  std::string Text;
  // Part of the key of generated statements.
  bool Primary = false;
};

// A result column whose SQL type the caller names instead of the driver.
struct TColTypeRec {
  SQLUSMALLINT Column = 0;
  SQLSMALLINT SqlType = 0;
};

}  // namespace ocl
