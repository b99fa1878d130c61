#include "odbc/OCLTypes.h"

namespace ocl {

SQLSMALLINT CTypeSqlType(SQLSMALLINT CType) {
  switch (CType) {
    case SQL_C_CHAR:
    case SQL_C_BINARY:
    case SQL_C_FLOAT:
    case SQL_C_DOUBLE:
    case SQL_C_BIT:
    case SQL_C_TYPE_DATE:
    case SQL_C_TYPE_TIME:
    case SQL_C_TYPE_TIMESTAMP: return CType;
    case SQL_C_STINYINT:
    case SQL_C_UTINYINT: return SQL_TINYINT;
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT: return SQL_BIGINT;
    case SQL_C_SLONG:
    case SQL_C_ULONG: return SQL_INTEGER;
    case SQL_C_SSHORT:
    case SQL_C_USHORT: return SQL_SMALLINT;
    default: return 99;
  }
}

TValueKind ValueKind(SQLSMALLINT CType, SQLSMALLINT SqlType) {
  switch (CType) {
    case SQL_C_BINARY: return TValueKind::Binary;
    case SQL_C_FLOAT: return TValueKind::Float;
    case SQL_C_DOUBLE: return TValueKind::Double;
    case SQL_C_SBIGINT: return TValueKind::Integer;
    case SQL_C_UBIGINT: return TValueKind::Unsigned;
    default: break;
  }
  switch (SqlType) {
    case SQL_NUMERIC:
    case SQL_DECIMAL: return TValueKind::Decimal;
    case SQL_TYPE_DATE: return TValueKind::Date;
    case SQL_TYPE_TIME: return TValueKind::Time;
    case SQL_TYPE_TIMESTAMP: return TValueKind::Timestamp;
    case SQL_GUID: return TValueKind::Guid;
    default: return TValueKind::Text;
  }
}

void TColRec::MakeStreams(SQLULEN Rows) {
  if (Stream) return;
  Stream = std::make_unique<rtl::TMemoryStream>();
  MoreStreams.resize(Rows - 1);
  Loaded.assign(Rows, false);
}

bool IsLongType(SQLSMALLINT SqlType) {
  return SqlType == SQL_LONGVARCHAR || SqlType == SQL_LONGVARBINARY;
}

SQLULEN ParamColumnSize(SQLSMALLINT SqlType) {
  switch (SqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR: return 255;
    case SQL_NUMERIC:
    case SQL_DECIMAL: return 15;
    case SQL_TYPE_TIMESTAMP: return 29;
    case SQL_BINARY:
    case SQL_VARBINARY: return 256;
    default: return 0;
  }
}

SQLSMALLINT ParamDigits(SQLSMALLINT SqlType) {
  switch (SqlType) {
    case SQL_NUMERIC:
    case SQL_DECIMAL: return 15;
    case SQL_TYPE_TIMESTAMP: return 9;
    default: return 0;
  }
}

}  // namespace ocl
