#pragma once
// The records a statement keeps for its bound parameters and result columns, and the fixed
// tables that size their buffers.

#include "odbc/OCLSql.h"
#include "rtl/MemoryStream.h"

#include <cstddef>
#include <cstdint>
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
// The element of an internal row array (row status, marks) for a row counted from 1.
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

// What the value of a result column is, for reading and writing it as a cell: text (also of
// every type without a C type of its own: json, interval, arrays ...), bytes, an integer of 64
// bits, a float, a double, or the driver's text of a decimal, a date, a time, a timestamp or a
// GUID.
enum class TValueKind : std::uint8_t {
  Text,
  Binary,
  Integer,
  Unsigned,
  Float,
  Double,
  Decimal,
  Date,
  Time,
  Timestamp,
  Guid
};
// The kind of a column bound with that C type for that SQL type.
TValueKind ValueKind(SQLSMALLINT CType, SQLSMALLINT SqlType);

// One bound result column, or an internal row array.
struct TColRec {
  SQLSMALLINT CType = 0;
  TValueKind Kind = TValueKind::Text;
  // As the driver describes the column (or as the caller named it): its SQL type, size
  // (characters, bytes or digits) and decimal digits. Generated statements declare their
  // parameters so.
  SQLSMALLINT SqlType = 0;
  SQLULEN ColumnSize = 0;
  SQLSMALLINT Digits = 0;
  // RowSetSize elements of Size bytes each (a character element holds its NUL), or none for a
  // long-data column.
  std::unique_ptr<std::byte[]> Data;
  SQLLEN Size = 0;
  std::unique_ptr<SQLLEN[]> Ind;
  // Only for a long-data column: its value.
  std::unique_ptr<rtl::TMemoryStream> Stream;
  std::string Text;
  // Part of the key of generated statements.
  bool Primary = false;
  // For a long-data column in a rowset of several rows: the values of rows 2 on (row 1's is
  // Stream), and for every row whether its value was read (BlobDeferral leaves them unread).
  // For a bound column, made when first needed: the whole values of rows whose buffer holds
  // only their start, where they were read (Loaded).
  std::vector<rtl::TMemoryStream> MoreStreams;
  std::vector<bool> Loaded;

  // The element of a row of the rowset, counted from 1.
  std::byte* Element(SQLULEN Row) const { return ElementIn(Data.get(), Row); }
  // The same in another block laid out as the column's buffer.
  std::byte* ElementIn(std::byte* Base, SQLULEN Row) const {
    return Base + Size * static_cast<SQLLEN>(Row - 1);
  }
  // The long-data value of a row of the rowset, counted from 1.
  rtl::TMemoryStream& RowStream(SQLULEN Row) { return Row <= 1 ? *Stream : MoreStreams[Row - 2]; }
  const rtl::TMemoryStream& RowStream(SQLULEN Row) const {
    return Row <= 1 ? *Stream : MoreStreams[Row - 2];
  }
  // Streams and marks for Rows rows, where there are none yet.
  void MakeStreams(SQLULEN Rows);
  // The value's bytes that fit the element: a character element keeps one for its NUL.
  SQLLEN Capacity() const { return CType == SQL_C_CHAR ? Size - 1 : Size; }
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
