// Typed access to the cells of a rowset, the row view and the range of rows.

#include "odbc/OCLCells.h"
#include "odbc/OCLRows.h"
#include "rtl/SysUtils.h"

#include <cctype>
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

// A whole text as a number, with blanks around it and a leading "+" allowed.
bool ParseInteger(std::string_view Text, std::int64_t& Value) {
  Text = rtl::TrimBlanks(Text);
  if (!Text.empty() && Text[0] == '+') Text.remove_prefix(1);
  auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  return !Text.empty() && error == std::errc() && end == Text.data() + Text.size();
}

template <class T>
bool ParseFloating(std::string_view Text, T& Value) {
  Text = rtl::TrimBlanks(Text);
  auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  return !Text.empty() && error == std::errc() && end == Text.data() + Text.size();
}

// A decimal number as its significant digits and the place of the point: the value is
// 0.<Digits> times 10 to the power Point, with no zero at either end of Digits (none at all
// for zero). Two texts of the same number give the same decimal.
struct TDecimal {
  bool Negative = false;
  std::string Digits;
  int Point = 0;

  int IntegerDigits() const { return Digits.empty() ? 0 : std::max(Point, 0); }
  int FractionDigits() const { return std::max(static_cast<int>(Digits.size()) - Point, 0); }
  bool operator==(const TDecimal&) const = default;
};

// No column holds a number of more digits than this on either side of the point.
constexpr long MaxExponent = 10000;

// A decimal text: a sign, digits with at most one point, an exponent; blanks around it.
bool ParseDecimal(std::string_view Text, TDecimal& Value) {
  Text = rtl::TrimBlanks(Text);
  std::size_t i = 0;
  bool negative = i < Text.size() && Text[i] == '-';
  if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) ++i;
  std::string digits;
  long point = -1;
  for (; i < Text.size(); ++i) {
    if (Text[i] >= '0' && Text[i] <= '9')
      digits += Text[i];
    else if (Text[i] == '.' && point < 0)
      point = static_cast<long>(digits.size());
    else
      break;
  }
  if (digits.empty()) return false;
  if (point < 0) point = static_cast<long>(digits.size());
  long exponent = 0;
  if (i < Text.size() && (Text[i] == 'e' || Text[i] == 'E')) {
    std::string_view rest = Text.substr(i + 1);
    if (!rest.empty() && rest[0] == '+') rest.remove_prefix(1);
    auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), exponent);
    if (error != std::errc() || end == rest.data() || std::labs(exponent) > MaxExponent)
      return false;
    i = static_cast<std::size_t>(end - Text.data());
  }
  if (i != Text.size()) return false;
  std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {
    Value = {};
    return true;
  }
  digits.erase(digits.find_last_not_of('0') + 1);
  digits.erase(0, first);
  Value = {negative, digits, static_cast<int>(point - static_cast<long>(first) + exponent)};
  return true;
}

// A decimal without fraction as a 64-bit integer.
bool DecimalInteger(const TDecimal& Value, std::int64_t& Integer) {
  if (Value.FractionDigits() > 0 || Value.IntegerDigits() > 19) return false;
  std::string text = (Value.Negative ? "-" : "") + Value.Digits;
  if (text.empty() || text == "-") text = "0";
  text.append(static_cast<std::size_t>(Value.Point) - Value.Digits.size(), '0');
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), Integer);
  return error == std::errc();
}

// A double that converts to a 64-bit integer without loss (2^63 is the first one beyond).
bool IsWhole64(double Value) {
  return Value >= -9223372036854775808.0 && Value < 9223372036854775808.0 &&
         Value == std::trunc(Value);
}

// The shortest text that reads back the same value, in that value's own type.
template <class T>
std::string Shortest(T Value) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, Value);
  return std::string(text, result.ptr);
}

// The same without an exponent, as a decimal column takes it.
std::string ShortestFixed(double Value) {
  char text[400];
  auto result = std::to_chars(text, text + sizeof text, Value, std::chars_format::fixed);
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

// "YYYY-MM-DD", then maybe " HH:MM:SS" (or with "T") and a fraction of the second; without
// the date, "HH:MM:SS" and a fraction. Nothing may follow.
bool ParseTimestamp(std::string_view Text, bool WithDate, SQL_TIMESTAMP_STRUCT& Stamp) {
  std::string text(rtl::TrimBlanks(Text));
  Stamp = {};
  int year = 0, length = 0;
  unsigned month = 0, day = 0, hour = 0, minute = 0, second = 0;
  const char* rest = text.c_str();
  if (WithDate) {
    if (std::sscanf(rest, "%5d-%2u-%2u%n", &year, &month, &day, &length) != 3) return false;
    rest += length;
    Stamp.year = static_cast<SQLSMALLINT>(year);
    Stamp.month = static_cast<SQLUSMALLINT>(month);
    Stamp.day = static_cast<SQLUSMALLINT>(day);
    if (*rest == '\0') return month >= 1 && month <= 12 && day >= 1 && day <= 31;
    if (*rest != ' ' && *rest != 'T') return false;
    ++rest;
  }
  if (std::sscanf(rest, "%2u:%2u:%2u%n", &hour, &minute, &second, &length) != 3) return false;
  rest += length;
  std::uint32_t fraction = 0;
  if (*rest == '.') {
    int digits = 0;
    for (++rest; *rest >= '0' && *rest <= '9'; ++rest, ++digits)
      if (digits < 9) fraction = fraction * 10 + static_cast<std::uint32_t>(*rest - '0');
    if (digits == 0) return false;
    for (; digits < 9; ++digits) fraction *= 10;
  }
  Stamp.year = static_cast<SQLSMALLINT>(year);
  Stamp.month = static_cast<SQLUSMALLINT>(month);
  Stamp.day = static_cast<SQLUSMALLINT>(day);
  Stamp.hour = static_cast<SQLUSMALLINT>(hour);
  Stamp.minute = static_cast<SQLUSMALLINT>(minute);
  Stamp.second = static_cast<SQLUSMALLINT>(second);
  Stamp.fraction = fraction;
  bool dateOk = !WithDate || (month >= 1 && month <= 12 && day >= 1 && day <= 31);
  return *rest == '\0' && dateOk && hour <= 24 && minute <= 59 && second <= 61;
}

std::string TypeName(const TColRec& Rec) {
  std::string name;
  switch (Rec.SqlType) {
    case SQL_NUMERIC: name = "NUMERIC"; break;
    case SQL_DECIMAL: name = "DECIMAL"; break;
    default: return "type";
  }
  if (Rec.ColumnSize == 0) return name;
  return name + "(" + std::to_string(Rec.ColumnSize) + "," + std::to_string(Rec.Digits) + ")";
}

}  // namespace

void TCell::RequireBoundCell() {
  stmt_->RequireColumn(column_);
  stmt_->RequireRow(row_);
}

const char* TCell::Kind() const {
  switch (rec_->Kind) {
    case TValueKind::Text: return "text";
    case TValueKind::Binary: return "binary";
    case TValueKind::Integer:
    case TValueKind::Unsigned: return "integer";
    case TValueKind::Float:
    case TValueKind::Double: return "floating-point";
    case TValueKind::Decimal: return "decimal";
    case TValueKind::Date: return "date";
    case TValueKind::Time: return "time";
    case TValueKind::Timestamp: return "timestamp";
    case TValueKind::Guid: return "GUID";
  }
  return "unknown";
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
      Where() + ": the value (" + length + ") was cut to the " + std::to_string(rec_->Capacity()) +
      " bytes of its buffer, and this driver no longer reaches its row. To read it whole, name "
      "a long type for the column before it is bound: AddColType(" +
      std::to_string(column_) + (text ? ", SQL_LONGVARCHAR)." : ", SQL_LONGVARBINARY)."));
}

bool TCell::IsCut() const {
  if (!rec_->Data || (rec_->CType != SQL_C_CHAR && rec_->CType != SQL_C_BINARY)) return false;
  return Ind() == SQL_NO_TOTAL || Ind() > rec_->Capacity();
}

void TCell::Load() {
  if (!rec_->Loaded[row_ - 1]) stmt_->ReadBlob(column_, row_);
}

std::string_view TCell::Bytes() {
  if (!rec_->Data || IsCut()) {
    if (rec_->Data && !stmt_->ReadWholeValue(column_, row_)) RefuseCut();
    if (!rec_->Data) Load();
    rtl::TMemoryStream& stream = rec_->RowStream(row_);
    return {reinterpret_cast<const char*>(stream.Memory()), stream.Size()};
  }
  SQLLEN length = Ind() > 0 ? Ind() : 0;
  return {reinterpret_cast<const char*>(Element()), static_cast<std::size_t>(length)};
}

std::string TCell::AsString() {
  RequireFilled();
  // The common case first: a text that fits its buffer.
  if (rec_->Kind == TValueKind::Text && rec_->Data && Ind() >= 0 && Ind() <= rec_->Capacity())
    return std::string(reinterpret_cast<const char*>(Element()), static_cast<std::size_t>(Ind()));
  if (IsNull()) return {};
  switch (rec_->Kind) {
    case TValueKind::Integer: return std::to_string(LoadAs<std::int64_t>(Element()));
    case TValueKind::Unsigned: return std::to_string(LoadAs<std::uint64_t>(Element()));
    case TValueKind::Float: return Shortest(LoadAs<float>(Element()));
    case TValueKind::Double: return Shortest(LoadAs<double>(Element()));
    case TValueKind::Guid: {
      // As the database's own client writes it; some drivers answer in capitals.
      std::string text(Bytes());
      for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return text;
    }
    default: return std::string(Bytes());
  }
}

std::int64_t TCell::AsInteger() {
  if (IsNull()) return 0;
  switch (rec_->Kind) {
    case TValueKind::Integer: return LoadAs<std::int64_t>(Element());
    case TValueKind::Unsigned: {
      auto value = LoadAs<std::uint64_t>(Element());
      if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        Refuse(std::to_string(value) + " is beyond the range of a 64-bit integer");
      return static_cast<std::int64_t>(value);
    }
    case TValueKind::Float:
    case TValueKind::Double: {
      double value = AsDouble();
      if (!IsWhole64(value)) Refuse(Shortest(value) + " is not a whole number within 64 bits");
      return static_cast<std::int64_t>(value);
    }
    case TValueKind::Decimal: {
      std::string_view text = Bytes();
      TDecimal decimal;
      std::int64_t value = 0;
      if (!ParseDecimal(text, decimal) || !DecimalInteger(decimal, value))
        Refuse(std::string(text) + " is not a whole number within 64 bits");
      return value;
    }
    case TValueKind::Text: {
      std::int64_t value = 0;
      std::string_view text = Bytes();
      if (!ParseInteger(text, value))
        Refuse("'" + std::string(text) + "' is not a valid integer value");
      return value;
    }
    default: Refuse("a " + std::string(Kind()) + " value cannot be read as an integer");
  }
}

double TCell::AsDouble() {
  if (IsNull()) return 0;
  switch (rec_->Kind) {
    case TValueKind::Float: return LoadAs<float>(Element());
    case TValueKind::Double: return LoadAs<double>(Element());
    case TValueKind::Integer: return static_cast<double>(LoadAs<std::int64_t>(Element()));
    case TValueKind::Unsigned: return static_cast<double>(LoadAs<std::uint64_t>(Element()));
    case TValueKind::Text:
    case TValueKind::Decimal: {
      double value = 0;
      std::string_view text = Bytes();
      if (!ParseFloating(text, value))
        Refuse("'" + std::string(text) + "' is not a valid floating-point value");
      return value;
    }
    default: Refuse("a " + std::string(Kind()) + " value cannot be read as a number");
  }
}

std::vector<std::byte> TCell::AsBytes() {
  if (rec_->Kind != TValueKind::Text && rec_->Kind != TValueKind::Binary)
    Refuse("a " + std::string(Kind()) + " value has no bytes to read");
  if (IsNull()) return {};
  std::string_view bytes = Bytes();
  auto* first = reinterpret_cast<const std::byte*>(bytes.data());
  return std::vector<std::byte>(first, first + bytes.size());
}

SQL_DATE_STRUCT TCell::AsDate() {
  SQL_TIMESTAMP_STRUCT stamp = AsTimestamp();
  return {stamp.year, stamp.month, stamp.day};
}

SQL_TIME_STRUCT TCell::AsTime() {
  if (rec_->Kind != TValueKind::Time && rec_->Kind != TValueKind::Timestamp)
    Refuse("a " + std::string(Kind()) + " value cannot be read as a time");
  if (IsNull()) return {};
  SQL_TIMESTAMP_STRUCT stamp{};
  std::string_view text = Bytes();
  if (!ParseTimestamp(text, rec_->Kind == TValueKind::Timestamp, stamp))
    Refuse("'" + std::string(text) + "' is not a valid time");
  return {stamp.hour, stamp.minute, stamp.second};
}

SQL_TIMESTAMP_STRUCT TCell::AsTimestamp() {
  if (rec_->Kind != TValueKind::Date && rec_->Kind != TValueKind::Timestamp)
    Refuse("a " + std::string(Kind()) + " value cannot be read as a date or timestamp");
  if (IsNull()) return {};
  SQL_TIMESTAMP_STRUCT stamp{};
  std::string_view text = Bytes();
  if (!ParseTimestamp(text, true, stamp))
    Refuse("'" + std::string(text) + "' is not a valid " + Kind());
  return stamp;
}

rtl::TMemoryStream& TCell::Stream() {
  RequireFilled();
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

void TCell::WriteBytes(std::string_view Value) {
  if (!rec_->Data) {
    rtl::TMemoryStream& stream = rec_->RowStream(row_);
    stream.Clear();
    stream.Write(Value.data(), Value.size());
    rec_->Loaded[row_ - 1] = true;
  } else {
    std::size_t capacity = static_cast<std::size_t>(rec_->Capacity());
    if (Value.size() > capacity)
      throw rtl::Exception(Where() + ": a " + (rec_->CType == SQL_C_CHAR ? "text" : "value") +
                           " of " + std::to_string(Value.size()) + " bytes does not fit the " +
                           std::to_string(capacity) + " bytes of the column's buffer.");
    std::memcpy(Element(), Value.data(), Value.size());
    // A text ends in a NUL within its buffer, which has room for it.
    if (Value.size() < static_cast<std::size_t>(rec_->Size)) Element()[Value.size()] = std::byte{0};
  }
  Ind() = static_cast<SQLLEN>(Value.size());
}

// A decimal goes as its text, once the column's precision and scale are known to hold it.
void TCell::WriteDecimal(std::string_view Value) {
  TDecimal decimal;
  if (!ParseDecimal(Value, decimal))
    Refuse("'" + std::string(Value) + "' is not a valid decimal value");
  int scale = rec_->Digits, precision = static_cast<int>(rec_->ColumnSize);
  if (precision > 0 &&
      (decimal.FractionDigits() > scale || decimal.IntegerDigits() > precision - scale))
    Refuse("'" + std::string(Value) + "' has more digits than the column's " + TypeName(*rec_) +
           " holds");
  WriteBytes(rtl::TrimBlanks(Value));
}

// A float is written where it is the same number as the value (or as the text it was given):
// 0.1 as the float nearest to it, not 16777217 or 1e300, which it would round.
void TCell::WriteFloat(double Value, std::string_view Given) {
  bool fits = std::isnan(Value) || std::isinf(Value) ||
              std::fabs(Value) <= std::numeric_limits<float>::max();
  auto single = fits ? static_cast<float>(Value) : 0.0F;
  TDecimal wanted, held;
  bool same = fits && (static_cast<double>(single) == Value ||
                       (ParseDecimal(Given.empty() ? Shortest(Value) : Given, wanted) &&
                        ParseDecimal(Shortest(single), held) && wanted == held));
  if (!same)
    Refuse(std::string(Given.empty() ? Shortest(Value) : Given) +
           " cannot be held exactly by the column's REAL");
  Store(single);
}

void TCell::WriteDouble(double Value, std::string_view Given) {
  TDecimal wanted, held;
  if (!Given.empty() &&
      !(ParseDecimal(Given, wanted) && ParseDecimal(Shortest(Value), held) && wanted == held))
    Refuse(std::string(Given) + " has more digits than the column's DOUBLE holds");
  Store(Value);
}

void TCell::SetNull() {
  if (!rec_->Data) {
    rec_->RowStream(row_).Clear();
    rec_->Loaded[row_ - 1] = true;
  }
  Ind() = SQL_NULL_DATA;
}

void TCell::SetString(std::string_view Value) {
  switch (rec_->Kind) {
    case TValueKind::Float:
    case TValueKind::Double: {
      double value = 0;
      if (!ParseFloating(Value, value))
        Refuse("'" + std::string(Value) + "' is not a valid floating-point value");
      std::string_view given = rtl::TrimBlanks(Value);
      return rec_->Kind == TValueKind::Float ? WriteFloat(value, given) : WriteDouble(value, given);
    }
    case TValueKind::Integer:
    case TValueKind::Unsigned: {
      std::int64_t value = 0;
      if (!ParseInteger(Value, value))
        Refuse("'" + std::string(Value) + "' is not a valid integer value");
      return SetInteger(value);
    }
    case TValueKind::Decimal: return WriteDecimal(Value);
    default: return WriteBytes(Value);
  }
}

void TCell::SetInteger(std::int64_t Value) {
  auto exact = static_cast<double>(Value);
  bool whole = IsWhole64(exact) && static_cast<std::int64_t>(exact) == Value;
  switch (rec_->Kind) {
    case TValueKind::Integer:
      if (rec_->SqlType == SQL_BIT && Value != 0 && Value != 1)
        Refuse(std::to_string(Value) + " is no bit value");
      return Store(Value);
    case TValueKind::Unsigned:
      if (Value < 0) Refuse(std::to_string(Value) + " is beyond the range of the column's type");
      return Store(static_cast<std::uint64_t>(Value));
    case TValueKind::Float:
    case TValueKind::Double:
      if (!whole)
        Refuse(std::to_string(Value) + " cannot be held exactly by the column's floating point");
      return rec_->Kind == TValueKind::Float ? WriteFloat(exact, std::to_string(Value))
                                             : Store(exact);
    case TValueKind::Text:
    case TValueKind::Decimal: return SetString(std::to_string(Value));
    default: Refuse("an integer cannot be written to a " + std::string(Kind()) + " column");
  }
}

void TCell::SetDouble(double Value) {
  switch (rec_->Kind) {
    case TValueKind::Float: return WriteFloat(Value, {});
    case TValueKind::Double: return Store(Value);
    case TValueKind::Text: return WriteBytes(Shortest(Value));
    case TValueKind::Decimal: return WriteDecimal(ShortestFixed(Value));
    case TValueKind::Integer:
    case TValueKind::Unsigned:
      if (!IsWhole64(Value)) Refuse(Shortest(Value) + " is not a whole number within 64 bits");
      return SetInteger(static_cast<std::int64_t>(Value));
    default: Refuse("a number cannot be written to a " + std::string(Kind()) + " column");
  }
}

void TCell::SetBytes(const void* Value, std::size_t Size) {
  if (rec_->Kind != TValueKind::Text && rec_->Kind != TValueKind::Binary)
    Refuse("bytes cannot be written to a " + std::string(Kind()) + " column");
  WriteBytes({static_cast<const char*>(Value), Size});
}

void TCell::SetDate(const SQL_DATE_STRUCT& Value) {
  if (rec_->Kind == TValueKind::Timestamp)
    return WriteBytes(FormatTimestamp({Value.year, Value.month, Value.day, 0, 0, 0, 0}));
  if (rec_->Kind != TValueKind::Date)
    Refuse("a date cannot be written to a " + std::string(Kind()) + " column");
  WriteBytes(FormatDate(Value));
}

void TCell::SetTime(const SQL_TIME_STRUCT& Value) {
  if (rec_->Kind != TValueKind::Time)
    Refuse("a time cannot be written to a " + std::string(Kind()) + " column");
  WriteBytes(FormatTime(Value));
}

void TCell::SetTimestamp(const SQL_TIMESTAMP_STRUCT& Value) {
  if (rec_->Kind != TValueKind::Timestamp)
    Refuse("a timestamp cannot be written to a " + std::string(Kind()) + " column");
  WriteBytes(FormatTimestamp(Value));
}

// The row view and the range.

TCell TRowView::operator[](std::string_view ColumnName) const {
  return TCell(*stmt_, stmt_->ColumnNumber(ColumnName), row_, stamp_.Rowset);
}

// The column views.

const char* TColumnBase::ReadingName(TReading Reading) {
  switch (Reading) {
    case TReading::Integer: return "std::int64_t";
    case TReading::Unsigned: return "std::uint64_t";
    case TReading::Float: return "float";
    case TReading::Double: return "double";
    case TReading::Bytes: break;
  }
  return "std::string_view";
}

TCell THstmt::Cell(SQLUSMALLINT Column, SQLULEN Row) { return TCell(*this, Column, Row); }

TCell THstmt::Cell(std::string_view ColumnName, SQLULEN Row) {
  return TCell(*this, ColumnNumber(ColumnName), Row);
}

TRowView THstmt::Row(SQLULEN Row) { return TRowView(*this, Row); }

TRows THstmt::Rows() { return TRows(*this); }

TColumnBase::TColumnBase(THstmt& Statement, SQLUSMALLINT Column, TReading Reading)
    : stmt_(&Statement), column_(Column) {
  Statement.RequireColumn(Column);
  const TColRec& rec = *Statement.Columns()[Column - 1];
  const bool bytes = rec.CType == SQL_C_CHAR || rec.CType == SQL_C_BINARY;
  bool fits = false;
  switch (Reading) {
    case TReading::Integer: fits = rec.Kind == TValueKind::Integer; break;
    case TReading::Unsigned: fits = rec.Kind == TValueKind::Unsigned; break;
    case TReading::Float: fits = rec.Kind == TValueKind::Float; break;
    case TReading::Double: fits = rec.Kind == TValueKind::Double; break;
    case TReading::Bytes: fits = bytes; break;
  }
  if (!fits)
    throw rtl::Exception("Column " + Statement.ColNames()[Column - 1].Name + " (" +
                         std::to_string(Column) + ") of " + Statement.Name() + " holds " +
                         TCell(Statement, Column, 1).Kind() + " values, which a view of " +
                         ReadingName(Reading) + " does not read.");
  data_ = rec.Data.get();
  ind_ = rec.Ind.get();
  size_ = rec.Size;
  capacity_ = rec.Capacity();
  binding_ = Statement.Stamp().Binding;
}

void TColumnBase::Verify(const TRowView& Row) const {
  if (stmt_->Stamp().Binding != binding_)
    throw rtl::Exception("A view of column " + std::to_string(column_) + " of " + stmt_->Name() +
                         " was made before its columns were bound anew.");
  if (Row.Statement() != stmt_)
    throw rtl::Exception("Row " + std::to_string(Row.Number()) + " is no row of " + stmt_->Name() +
                         ".");
  stmt_->RequireRow(Row.Number());
  stmt_->RequireFilledRow(Row.Number());
}

std::string_view TColumnBase::Whole(const TRowView& Row) const {
  return TCell(*stmt_, column_, Row.Number(), Row.Stamp().Rowset).Bytes();
}

std::optional<std::string_view> TColumnBase::WholeOrNull(const TRowView& Row) const {
  TCell cell(*stmt_, column_, Row.Number(), Row.Stamp().Rowset);
  // Long data has its indicator once it is read.
  std::string_view bytes = cell.Bytes();
  if (cell.Indicator() == SQL_NULL_DATA) return std::nullopt;
  return bytes;
}

bool TColumnBase::CellIsNull(const TRowView& Row) const {
  return TCell(*stmt_, column_, Row.Number(), Row.Stamp().Rowset).IsNull();
}

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
        row_ = Filled(*stmt_, Next);
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
