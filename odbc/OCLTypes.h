#pragma once
// The records a statement keeps for its bound parameters and result columns, and the fixed
// tables that size their buffers.

#include "odbc/OCLSql.h"
#include "rtl/MemoryStream.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace ocl {

// Bytes of one value of a C type in a row array; 0 for a type the library does not bind.
// Inline: every access to a cell of a rowset goes through it.
inline SQLLEN CTypeSize(SQLSMALLINT CType) {
  switch (CType) {
    case SQL_C_CHAR:
    case SQL_C_BINARY: return 256;
    case SQL_C_FLOAT:
    case SQL_C_SLONG:
    case SQL_C_ULONG: return 4;
    case SQL_C_DOUBLE:
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT: return 8;
    case SQL_C_TYPE_DATE:
    case SQL_C_TYPE_TIME: return 6;
    case SQL_C_TYPE_TIMESTAMP: return 16;
    case SQL_C_STINYINT:
    case SQL_C_UTINYINT:
    case SQL_C_BIT: return 1;
    case SQL_C_SSHORT:
    case SQL_C_USHORT: return 2;
    default: return 0;
  }
}
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
  // Only for a long-data column in a rowset of several rows: the values of rows 2 on (row 1's
  // is Stream), and for every row whether its value was read (BlobDeferral leaves them unread).
  std::vector<rtl::TMemoryStream> MoreStreams;
  std::vector<bool> Loaded;

  // The long-data value of a row of the rowset, counted from 1.
  rtl::TMemoryStream& RowStream(SQLULEN Row) { return Row <= 1 ? *Stream : MoreStreams[Row - 2]; }
};

// A result column's name and display size.
struct TColName {
  std::string Name;
  SQLLEN DisplaySize = 0;
};

// A result column whose SQL type the caller names instead of the driver.
struct TColTypeRec {
  SQLUSMALLINT Column = 0;
  SQLSMALLINT SqlType = 0;
};

}  // namespace ocl
