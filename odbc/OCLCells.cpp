// Typed access to the cells of a rowset, the row view and the range of rows.

#include "odbc/OCLCells.h"
#include "odbc/OCLRows.h"
#include "rtl/SysUtils.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace ocl {

namespace {

template <class T>
T LoadAs(const std::byte* Element) {
  T value;
  std::memcpy(&value, Element, sizeof value);
  return value;
}

bool IsFixedInteger(SQLSMALLINT CType) {
  switch (CType) {
    case SQL_C_STINYINT:
    case SQL_C_UTINYINT:
    case SQL_C_SSHORT:
    case SQL_C_USHORT:
    case SQL_C_SLONG:
    case SQL_C_ULONG:
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT:
    case SQL_C_BIT: return true;
    default: return false;
  }
}

const char* Kind(SQLSMALLINT CType) {
  switch (CType) {
    case SQL_C_CHAR: return "text";
    case SQL_C_BINARY: return "binary";
    case SQL_C_FLOAT:
    case SQL_C_DOUBLE: return "floating-point";
    case SQL_C_TYPE_DATE: return "date";
    case SQL_C_TYPE_TIME: return "time";
    case SQL_C_TYPE_TIMESTAMP: return "timestamp";
    default: return "integer";
  }
}

// A whole text as a number, with blanks around it and a leading "+" allowed.
bool ParseInteger(std::string_view Text, std::int64_t& Value) {
  Text = rtl::TrimBlanks(Text);
  if (!Text.empty() && Text[0] == '+') Text.remove_prefix(1);
  auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  return !Text.empty() && error == std::errc() && end == Text.data() + Text.size();
}

bool ParseDouble(std::string_view Text, double& Value) {
  Text = rtl::TrimBlanks(Text);
  auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  return !Text.empty() && error == std::errc() && end == Text.data() + Text.size();
}

// A double that converts to a 64-bit integer without loss (2^63 is the first one beyond).
bool IsWhole64(double Value) {
  return Value >= -9223372036854775808.0 && Value < 9223372036854775808.0 &&
         Value == std::trunc(Value);
}

std::string FormatDouble(double Value) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, Value);
  return std::string(text, result.ptr);
}

std::string FormatDate(const SQL_DATE_STRUCT& Date) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", Date.year, Date.month, Date.day);
  return text;
}

std::string FormatTime(const SQL_TIME_STRUCT& Time) {
  char text[64];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", Time.hour, Time.minute, Time.second);
  return text;
}

// Seconds carry their fraction (nanoseconds) without trailing zeros.
std::string FormatTimestamp(const SQL_TIMESTAMP_STRUCT& Stamp) {
  std::string text = FormatDate({Stamp.year, Stamp.month, Stamp.day}) + " " +
                     FormatTime({Stamp.hour, Stamp.minute, Stamp.second});
  if (Stamp.fraction == 0) return text;
  char fraction[16];
  std::snprintf(fraction, sizeof fraction, ".%09u", static_cast<unsigned>(Stamp.fraction));
  std::string digits = fraction;
  digits.erase(digits.find_last_not_of('0') + 1);
  return text + digits;
}

}  // namespace

void TCell::Settle() {
  stmt_->RequireColumn(column_);
  stmt_->RequireRow(row_);
}

std::string TCell::Where() const {
  return "Column " + stmt_->ColNames()[column_ - 1].Name + " (" + std::to_string(column_) +
         "), row " + std::to_string(row_) + " of " + stmt_->Name();
}

void TCell::Refuse(const std::string& What) const {
  throw rtl::EConvertError(Where() + ": " + What + ".");
}

void TCell::RefuseCut() const {
  bool text = rec_->CType == SQL_C_CHAR;
  std::string length =
      Ind() == SQL_NO_TOTAL ? "of unknown length" : std::to_string(Ind()) + " bytes";
  throw rtl::Exception(
      Where() + ": the value (" + length + ") was cut to the " + (text ? "255" : "256") +
      " bytes of its buffer. To read it whole, name a long type for the "
      "column before it is bound: AddColType(" +
      std::to_string(column_) + (text ? ", SQL_LONGVARCHAR)." : ", SQL_LONGVARBINARY)."));
}

bool TCell::IsCut() const {
  if (!rec_->Data || (rec_->CType != SQL_C_CHAR && rec_->CType != SQL_C_BINARY)) return false;
  SQLLEN capacity = rec_->CType == SQL_C_CHAR ? CTypeSize(SQL_C_CHAR) - 1 : CTypeSize(SQL_C_BINARY);
  return Ind() == SQL_NO_TOTAL || Ind() > capacity;
}

void TCell::Load() {
  if (!rec_->Loaded[row_ - 1]) stmt_->ReadBlob(column_, row_);
}

std::string_view TCell::Bytes() {
  if (!rec_->Data) {
    Load();
    rtl::TMemoryStream& stream = rec_->RowStream(row_);
    return {reinterpret_cast<const char*>(stream.Memory()), stream.Size()};
  }
  if (IsCut()) RefuseCut();
  SQLLEN length = Ind() > 0 ? Ind() : 0;
  return {reinterpret_cast<const char*>(Element()), static_cast<std::size_t>(length)};
}

std::string TCell::AsString() {
  stmt_->RequireFilledRow(row_);
  // The common case first: a text that fits its buffer.
  if (rec_->CType == SQL_C_CHAR && rec_->Data && Ind() >= 0 && Ind() <= CTypeSize(SQL_C_CHAR) - 1)
    return std::string(reinterpret_cast<const char*>(Element()), static_cast<std::size_t>(Ind()));
  if (IsNull()) return {};
  const std::byte* element = rec_->Data ? Element() : nullptr;
  switch (rec_->CType) {
    case SQL_C_CHAR:
    case SQL_C_BINARY: return std::string(Bytes());
    case SQL_C_FLOAT:
    case SQL_C_DOUBLE: return FormatDouble(AsDouble());
    case SQL_C_TYPE_DATE: return FormatDate(LoadAs<SQL_DATE_STRUCT>(element));
    case SQL_C_TYPE_TIME: return FormatTime(LoadAs<SQL_TIME_STRUCT>(element));
    case SQL_C_TYPE_TIMESTAMP: return FormatTimestamp(LoadAs<SQL_TIMESTAMP_STRUCT>(element));
    case SQL_C_UBIGINT: return std::to_string(LoadAs<std::uint64_t>(element));
    default: return std::to_string(AsInteger());
  }
}

std::int64_t TCell::AsInteger() {
  if (IsNull()) return 0;
  const std::byte* element = rec_->Data ? Element() : nullptr;
  switch (rec_->CType) {
    case SQL_C_STINYINT: return LoadAs<std::int8_t>(element);
    case SQL_C_UTINYINT:
    case SQL_C_BIT: return LoadAs<std::uint8_t>(element);
    case SQL_C_SSHORT: return LoadAs<std::int16_t>(element);
    case SQL_C_USHORT: return LoadAs<std::uint16_t>(element);
    case SQL_C_SLONG: return LoadAs<std::int32_t>(element);
    case SQL_C_ULONG: return LoadAs<std::uint32_t>(element);
    case SQL_C_SBIGINT: return LoadAs<std::int64_t>(element);
    case SQL_C_UBIGINT: {
      auto value = LoadAs<std::uint64_t>(element);
      if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        Refuse(std::to_string(value) + " is beyond the range of a 64-bit integer");
      return static_cast<std::int64_t>(value);
    }
    case SQL_C_FLOAT:
    case SQL_C_DOUBLE: {
      double value = AsDouble();
      if (!IsWhole64(value)) Refuse(FormatDouble(value) + " is not a whole number within 64 bits");
      return static_cast<std::int64_t>(value);
    }
    case SQL_C_CHAR: {
      std::int64_t value = 0;
      std::string_view text = Bytes();
      if (!ParseInteger(text, value))
        Refuse("'" + std::string(text) + "' is not a valid integer value");
      return value;
    }
    default: Refuse("a " + std::string(Kind(rec_->CType)) + " value cannot be read as an integer");
  }
}

double TCell::AsDouble() {
  if (IsNull()) return 0;
  switch (rec_->CType) {
    case SQL_C_FLOAT: return LoadAs<float>(Element());
    case SQL_C_DOUBLE: return LoadAs<double>(Element());
    case SQL_C_UBIGINT: return static_cast<double>(LoadAs<std::uint64_t>(Element()));
    case SQL_C_CHAR: {
      double value = 0;
      std::string_view text = Bytes();
      if (!ParseDouble(text, value))
        Refuse("'" + std::string(text) + "' is not a valid floating-point value");
      return value;
    }
    default:
      if (IsFixedInteger(rec_->CType)) return static_cast<double>(AsInteger());
      Refuse("a " + std::string(Kind(rec_->CType)) + " value cannot be read as a number");
  }
}

std::vector<std::byte> TCell::AsBytes() {
  if (rec_->CType != SQL_C_CHAR && rec_->CType != SQL_C_BINARY)
    Refuse("a " + std::string(Kind(rec_->CType)) + " value has no bytes to read");
  if (IsNull()) return {};
  std::string_view bytes = Bytes();
  auto* first = reinterpret_cast<const std::byte*>(bytes.data());
  return std::vector<std::byte>(first, first + bytes.size());
}

SQL_DATE_STRUCT TCell::AsDate() {
  if (rec_->CType == SQL_C_TYPE_DATE)
    return IsNull() ? SQL_DATE_STRUCT{} : LoadAs<SQL_DATE_STRUCT>(Element());
  SQL_TIMESTAMP_STRUCT stamp = AsTimestamp();
  return {stamp.year, stamp.month, stamp.day};
}

SQL_TIME_STRUCT TCell::AsTime() {
  if (rec_->CType == SQL_C_TYPE_TIME)
    return IsNull() ? SQL_TIME_STRUCT{} : LoadAs<SQL_TIME_STRUCT>(Element());
  if (rec_->CType != SQL_C_TYPE_TIMESTAMP)
    Refuse("a " + std::string(Kind(rec_->CType)) + " value cannot be read as a time");
  SQL_TIMESTAMP_STRUCT stamp = AsTimestamp();
  return {stamp.hour, stamp.minute, stamp.second};
}

SQL_TIMESTAMP_STRUCT TCell::AsTimestamp() {
  if (rec_->CType == SQL_C_TYPE_DATE) {
    SQL_DATE_STRUCT date = AsDate();
    return {date.year, date.month, date.day, 0, 0, 0, 0};
  }
  if (rec_->CType != SQL_C_TYPE_TIMESTAMP)
    Refuse("a " + std::string(Kind(rec_->CType)) + " value cannot be read as a date or timestamp");
  return IsNull() ? SQL_TIMESTAMP_STRUCT{} : LoadAs<SQL_TIMESTAMP_STRUCT>(Element());
}

rtl::TMemoryStream& TCell::Stream() {
  stmt_->RequireFilledRow(row_);
  if (rec_->Data)
    throw rtl::Exception(Where() + ": the column is bound to a buffer, not long data.");
  Load();
  return rec_->RowStream(row_);
}

// Writers.

template <class T>
void TCell::Store(const T& Value) {
  std::memcpy(Element(), &Value, sizeof Value);
  Ind() = sizeof Value;
}

template <class T>
void TCell::StoreInteger(std::int64_t Value) {
  if constexpr (std::is_unsigned_v<T>) {
    if (Value < 0 || static_cast<std::uint64_t>(Value) > std::numeric_limits<T>::max())
      Refuse(std::to_string(Value) + " is beyond the range of the column's type");
  } else {
    if (Value < std::numeric_limits<T>::min() || Value > std::numeric_limits<T>::max())
      Refuse(std::to_string(Value) + " is beyond the range of the column's type");
  }
  Store(static_cast<T>(Value));
}

void TCell::WriteBytes(std::string_view Value, std::size_t Capacity) {
  if (!rec_->Data) {
    rtl::TMemoryStream& stream = rec_->RowStream(row_);
    stream.Clear();
    stream.Write(Value.data(), Value.size());
    rec_->Loaded[row_ - 1] = true;
  } else {
    if (Value.size() > Capacity)
      throw rtl::Exception(Where() + ": a value of " + std::to_string(Value.size()) +
                           " bytes does not fit the " + std::to_string(Capacity) +
                           " bytes of the column's buffer.");
    std::memcpy(Element(), Value.data(), Value.size());
    // A text ends in a NUL within its buffer, which has room for it.
    if (Value.size() < static_cast<std::size_t>(CTypeSize(rec_->CType)))
      Element()[Value.size()] = std::byte{0};
  }
  Ind() = static_cast<SQLLEN>(Value.size());
}

void TCell::SetNull() {
  if (!rec_->Data) {
    rec_->RowStream(row_).Clear();
    rec_->Loaded[row_ - 1] = true;
  }
  Ind() = SQL_NULL_DATA;
}

void TCell::SetString(std::string_view Value) {
  switch (rec_->CType) {
    case SQL_C_CHAR:
      if (rec_->Data && Value.size() > 255)
        throw rtl::Exception(Where() + ": a text of " + std::to_string(Value.size()) +
                             " characters does not fit the 255 characters of the column's "
                             "buffer.");
      WriteBytes(Value, 255);
      return;
    case SQL_C_BINARY: WriteBytes(Value, 256); return;
    case SQL_C_FLOAT:
    case SQL_C_DOUBLE: {
      double value = 0;
      if (!ParseDouble(Value, value))
        Refuse("'" + std::string(Value) + "' is not a valid floating-point value");
      SetDouble(value);
      return;
    }
    default: {
      if (!IsFixedInteger(rec_->CType))
        Refuse("a text cannot be written to a " + std::string(Kind(rec_->CType)) + " column");
      std::int64_t value = 0;
      if (!ParseInteger(Value, value))
        Refuse("'" + std::string(Value) + "' is not a valid integer value");
      SetInteger(value);
    }
  }
}

void TCell::SetInteger(std::int64_t Value) {
  switch (rec_->CType) {
    case SQL_C_STINYINT: StoreInteger<std::int8_t>(Value); return;
    case SQL_C_UTINYINT: StoreInteger<std::uint8_t>(Value); return;
    case SQL_C_BIT:
      if (Value != 0 && Value != 1) Refuse(std::to_string(Value) + " is no bit value");
      StoreInteger<std::uint8_t>(Value);
      return;
    case SQL_C_SSHORT: StoreInteger<std::int16_t>(Value); return;
    case SQL_C_USHORT: StoreInteger<std::uint16_t>(Value); return;
    case SQL_C_SLONG: StoreInteger<std::int32_t>(Value); return;
    case SQL_C_ULONG: StoreInteger<std::uint32_t>(Value); return;
    case SQL_C_SBIGINT: StoreInteger<std::int64_t>(Value); return;
    case SQL_C_UBIGINT: StoreInteger<std::uint64_t>(Value); return;
    case SQL_C_FLOAT: Store(static_cast<float>(Value)); return;
    case SQL_C_DOUBLE: Store(static_cast<double>(Value)); return;
    case SQL_C_CHAR: SetString(std::to_string(Value)); return;
    default:
      Refuse("an integer cannot be written to a " + std::string(Kind(rec_->CType)) + " column");
  }
}

void TCell::SetDouble(double Value) {
  switch (rec_->CType) {
    case SQL_C_FLOAT: Store(static_cast<float>(Value)); return;
    case SQL_C_DOUBLE: Store(Value); return;
    case SQL_C_CHAR: SetString(FormatDouble(Value)); return;
    default:
      if (!IsFixedInteger(rec_->CType))
        Refuse("a number cannot be written to a " + std::string(Kind(rec_->CType)) + " column");
      if (!IsWhole64(Value)) Refuse(FormatDouble(Value) + " is not a whole number within 64 bits");
      SetInteger(static_cast<std::int64_t>(Value));
  }
}

void TCell::SetBytes(const void* Value, std::size_t Size) {
  if (rec_->CType != SQL_C_CHAR && rec_->CType != SQL_C_BINARY)
    Refuse("bytes cannot be written to a " + std::string(Kind(rec_->CType)) + " column");
  WriteBytes({static_cast<const char*>(Value), Size}, rec_->CType == SQL_C_CHAR ? 255 : 256);
}

void TCell::SetDate(const SQL_DATE_STRUCT& Value) {
  if (rec_->CType == SQL_C_TYPE_TIMESTAMP)
    return Store(SQL_TIMESTAMP_STRUCT{Value.year, Value.month, Value.day, 0, 0, 0, 0});
  if (rec_->CType != SQL_C_TYPE_DATE)
    Refuse("a date cannot be written to a " + std::string(Kind(rec_->CType)) + " column");
  Store(Value);
}

void TCell::SetTime(const SQL_TIME_STRUCT& Value) {
  if (rec_->CType != SQL_C_TYPE_TIME)
    Refuse("a time cannot be written to a " + std::string(Kind(rec_->CType)) + " column");
  Store(Value);
}

void TCell::SetTimestamp(const SQL_TIMESTAMP_STRUCT& Value) {
  if (rec_->CType != SQL_C_TYPE_TIMESTAMP)
    Refuse("a timestamp cannot be written to a " + std::string(Kind(rec_->CType)) + " column");
  Store(Value);
}

// The row view and the range.

TCell TRowView::operator[](std::string_view ColumnName) const {
  return TCell(*stmt_, stmt_->ColumnNumber(ColumnName), row_);
}

TCell THstmt::Cell(SQLUSMALLINT Column, SQLULEN Row) { return TCell(*this, Column, Row); }

TCell THstmt::Cell(std::string_view ColumnName, SQLULEN Row) {
  return TCell(*this, ColumnNumber(ColumnName), Row);
}

TRowView THstmt::Row(SQLULEN Row) { return TRowView(*this, Row); }

TRows THstmt::Rows() { return TRows(*this); }

TRows::iterator::iterator(THstmt* Statement) : stmt_(Statement) {
  if (!stmt_->Fetch())
    stmt_ = nullptr;
  else
    Advance(1);
}

void TRows::iterator::Advance(SQLULEN Next) {
  for (;;) {
    for (; Next <= stmt_->RowsFetched(); ++Next) {
      SQLUSMALLINT status = stmt_->RowStatus(Next);
      if (status == SQL_ROW_ERROR)
        throw rtl::Exception("Row " + std::to_string(Next) + " of the rowset of " + stmt_->Name() +
                             " could not be fetched.");
      if (status != SQL_ROW_NOROW && status != SQL_ROW_DELETED) {
        row_ = TRowView(*stmt_, Next);
        return;
      }
    }
    if (!stmt_->Fetch()) {
      stmt_ = nullptr;
      return;
    }
    Next = 1;
  }
}

}  // namespace ocl
