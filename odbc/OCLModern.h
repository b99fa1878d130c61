#pragma once
// The library in the manner of the C++ standard library, namespace ocl::sql:
//
//   ocl::sql::connection db("Driver=SQLite3;Database=shop.db");
//   db.execute("INSERT INTO parts VALUES (?, ?, ?)", 1, "Bolt", std::optional<double>());
//   for (auto [id, name, price] :
//        db.query<std::int64_t, std::string, std::optional<double>>("SELECT * FROM parts"))
//     ...
//
// Values are bound by their C++ type and read back as C++ types; no buffer, size or length is
// the caller's to write. Everything reaches the driver through the THdbc and THstmt components
// (component() gives them to code that needs more). The driver's failures raise ocl::EODBC; a
// value that the other side cannot hold exactly raises rtl::EConvertError.

#include "odbc/OCL.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <ranges>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

// The read of a row's value, and the store of one added to a batch, go inline into the loop
// over the rows, where the compiler's own measure would leave a call for every value; what is
// rarely taken stays out of it.
#if defined(_MSC_VER)
#define OCL_SQL_INLINE __forceinline
#define OCL_SQL_NOINLINE __declspec(noinline)
#elif defined(__GNUC__)
#define OCL_SQL_INLINE [[gnu::always_inline]] inline
#define OCL_SQL_NOINLINE [[gnu::noinline]]
#else
#define OCL_SQL_INLINE inline
#define OCL_SQL_NOINLINE
#endif

namespace ocl::sql {

class connection;
class statement;
class transaction;
template <class... Columns>
class batch;

namespace detail {

// Rows of one rowset of a query, and of one parameter array of execute_many.
inline constexpr SQLUINTEGER rowset_rows = 1000;
inline constexpr std::size_t array_rows = 1000;

// A connection component; freeing it also gives up the library's start-up it holds.
struct connection_deleter {
  void operator()(THdbc* db) const noexcept;
};
using connection_ptr = std::unique_ptr<THdbc, connection_deleter>;
using statement_ptr = std::unique_ptr<THstmt>;

// One value as the statement component binds it. A null data is NULL; length is the bytes of
// a text or binary value, -1 for the fixed types.
struct bound_value {
  SQLSMALLINT c_type = SQL_C_CHAR;
  SQLSMALLINT sql_type = SQL_VARCHAR;
  SQLULEN size = 0;
  SQLSMALLINT digits = 0;
  const void* data = nullptr;
  SQLLEN length = -1;
};

// Room for a value converted before it is bound (a bool, a date, a timestamp, a number's
// text).
struct slot {
  alignas(SQL_TIMESTAMP_STRUCT) std::byte bytes[32];
};

// How the driver of a connection takes integers and doubles: as C numbers, or as their text.
// psqlODBC sends every parameter to the server as text and makes that of a number with
// printf; given the shortest text that reads back as the same number, it spends some 2,400
// instructions less on a row of an integer, a text and a double.
enum class number_form : unsigned char { binary, text };
number_form number_form_of(THdbc& db);

template <class T>
inline constexpr bool is_character =
    std::is_same_v<T, char> || std::is_same_v<T, wchar_t> || std::is_same_v<T, char8_t> ||
    std::is_same_v<T, char16_t> || std::is_same_v<T, char32_t>;

template <class T>
concept integer = std::integral<T> && !std::is_same_v<T, bool> && !is_character<T>;
template <class T>
concept text = std::convertible_to<const T&, std::string_view>;
template <class T>
concept bytes = std::convertible_to<const T&, std::span<const std::byte>> && !text<T>;
template <class T>
concept date =
    std::is_same_v<T, std::chrono::year_month_day> || std::is_same_v<T, std::chrono::sys_days>;

template <class T>
struct is_time_point : std::false_type {};
template <class D>
struct is_time_point<std::chrono::sys_time<D>> : std::bool_constant<D::period::num == 1> {};
// A time point of seconds or finer is a timestamp (sys_days is a date).
template <class T>
concept time_point = is_time_point<T>::value;

template <class T>
struct is_optional : std::false_type {};
template <class T>
struct is_optional<std::optional<T>> : std::true_type {};

// The type a value is bound as: arrays of characters as pointers, without const.
template <class T>
using value_type = std::remove_cv_t<std::decay_t<const T>>;

// The integer a value goes as. SQLite's driver reads a signed byte as unsigned (-128 arrives as
// 128) and an unsigned 32-bit one as signed (4294967295 arrives as -1): bytes go as 16-bit
// integers, unsigned 32-bit ones as 64-bit.
template <integer T>
using bound_integer = std::conditional_t<
    sizeof(T) == 1, std::conditional_t<std::is_signed_v<T>, std::int16_t, std::uint16_t>,
    std::conditional_t<sizeof(T) == 4 && std::is_unsigned_v<T>, std::int64_t, T>>;

// The C and SQL types of an integer of that width and signedness; an unsigned one goes as the
// next wider SQL type, so that its every value fits.
template <integer T>
constexpr std::pair<SQLSMALLINT, SQLSMALLINT> integer_types() {
  using B = bound_integer<T>;
  constexpr bool s = std::is_signed_v<B>;
  if constexpr (sizeof(B) == 2)
    return {s ? SQL_C_SSHORT : SQL_C_USHORT, s ? SQL_SMALLINT : SQL_INTEGER};
  if constexpr (sizeof(B) == 4) return {SQL_C_SLONG, SQL_INTEGER};
  if constexpr (sizeof(B) == 8) return {s ? SQL_C_SBIGINT : SQL_C_UBIGINT, SQL_BIGINT};
}

// Digits of a second's fraction that a duration carries: 0, 3, 6 or 9.
template <class D>
constexpr SQLSMALLINT fraction_digits() {
  using p = typename D::period;
  if constexpr (p::den == 1)
    return 0;
  else if constexpr (1000 % p::den == 0)
    return 3;
  else if constexpr (1000000 % p::den == 0)
    return 6;
  else
    return 9;
}

[[noreturn]] void refuse(const std::string& what);
// Dates and timestamps, refused where the other side cannot hold them.
SQL_DATE_STRUCT to_date(std::chrono::year_month_day value);
std::chrono::year_month_day from_date(const SQL_DATE_STRUCT& value);
SQL_TIMESTAMP_STRUCT to_timestamp(std::chrono::sys_days day, std::chrono::nanoseconds into_day);
// Seconds since 1970 and the nanoseconds of the fraction.
std::pair<std::int64_t, std::int64_t> from_timestamp(const SQL_TIMESTAMP_STRUCT& value);

// How a C++ type is bound: shape() the types without a value, describe() one value (pointing
// into the caller's value, or into the room given for a converted one).
template <class T>
struct bind_traits;

// An unsigned 64-bit integer beyond the signed ones is refused, whatever form it goes in.
template <integer T>
void check_range(T value) {
  if constexpr (std::is_unsigned_v<T> && sizeof(T) == 8)
    if (value > static_cast<T>(std::numeric_limits<std::int64_t>::max()))
      refuse(std::to_string(value) + " is beyond the 64-bit integers a database holds");
}

template <integer T>
struct bind_traits<T> {
  static bound_value shape() {
    auto [c, s] = integer_types<T>();
    return {c, s};
  }
  static bound_value describe(const T& value, slot& room) {
    check_range(value);
    bound_value v = shape();
    if constexpr (!std::is_same_v<bound_integer<T>, T>) {
      bound_integer<T> wide = value;
      std::memcpy(room.bytes, &wide, sizeof wide);
      v.data = room.bytes;
    } else {
      v.data = &value;
    }
    return v;
  }
};

template <>
struct bind_traits<bool> {
  static bound_value shape() { return {SQL_C_BIT, SQL_BIT, 1}; }
  static bound_value describe(const bool& value, slot& room) {
    room.bytes[0] = std::byte{value};
    bound_value v = shape();
    v.data = room.bytes;
    return v;
  }
};

template <>
struct bind_traits<double> {
  static bound_value shape() { return {SQL_C_DOUBLE, SQL_DOUBLE, 15}; }
  static bound_value describe(const double& value, slot&) {
    bound_value v = shape();
    v.data = &value;
    return v;
  }
};

// Text and bytes are bound where they are, with their length: no copy and no terminator. An
// empty one points at a byte of its own, as a null value would be NULL.
inline bound_value variable_value(SQLSMALLINT c_type, SQLSMALLINT sql_type, const void* data,
                                  std::size_t size) {
  static const char empty = 0;
  return {c_type,
          sql_type,
          std::max<SQLULEN>(size, 1),
          0,
          data ? data : &empty,
          static_cast<SQLLEN>(size)};
}

template <text T>
struct bind_traits<T> {
  static bound_value shape() { return {SQL_C_CHAR, SQL_VARCHAR, 1}; }
  static bound_value describe(const T& value, slot&) {
    if constexpr (std::is_pointer_v<T>)
      if (!value) return shape();
    std::string_view s = value;
    return variable_value(SQL_C_CHAR, SQL_VARCHAR, s.data(), s.size());
  }
};

template <bytes T>
struct bind_traits<T> {
  static bound_value shape() { return {SQL_C_BINARY, SQL_VARBINARY, 1}; }
  static bound_value describe(const T& value, slot&) {
    std::span<const std::byte> b = value;
    return variable_value(SQL_C_BINARY, SQL_VARBINARY, b.data(), b.size());
  }
};

template <date T>
struct bind_traits<T> {
  static bound_value shape() { return {SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10}; }
  static bound_value describe(const T& value, slot& room) {
    SQL_DATE_STRUCT d = to_date(std::chrono::year_month_day(value));
    std::memcpy(room.bytes, &d, sizeof d);
    bound_value v = shape();
    v.data = room.bytes;
    return v;
  }
};

template <time_point T>
struct bind_traits<T> {
  static constexpr SQLSMALLINT digits = fraction_digits<typename T::duration>();
  static bound_value shape() {
    return {SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, digits ? 20u + digits : 19u, digits};
  }
  static bound_value describe(const T& value, slot& room) {
    auto day = std::chrono::floor<std::chrono::days>(value);
    SQL_TIMESTAMP_STRUCT t =
        to_timestamp(day, std::chrono::duration_cast<std::chrono::nanoseconds>(value - day));
    std::memcpy(room.bytes, &t, sizeof t);
    bound_value v = shape();
    v.data = room.bytes;
    return v;
  }
};

// A NULL of no type of its own goes as a text; both drivers take it for any column.
template <>
struct bind_traits<std::nullopt_t> {
  static bound_value describe(const std::nullopt_t&, slot&) { return {}; }
};

template <class T>
concept number = integer<T> || std::is_same_v<T, double>;

// Longest text of a number: a double's 24 characters ("-1.7976931348623157e+308").
inline constexpr std::size_t number_text_size = 25;
static_assert(number_text_size <= sizeof(slot::bytes) && number_text_size <= 256);

// A number's text at Text (number_text_size bytes), ended by a NUL: the shortest that reads
// back as the same number, NaN as the database spells it. Its length.
template <number T>
std::size_t write_number(T value, char* text) {
  if constexpr (std::is_same_v<T, double>) {
    if (value != value) {
      std::memcpy(text, "NaN", 4);
      return 3;
    }
  } else {
    check_range(value);
  }
  char* end = std::to_chars(text, text + number_text_size - 1, value).ptr;
  *end = '\0';
  return static_cast<std::size_t>(end - text);
}

// One value as it is bound: a number in the connection's form, NULL of an optional's type.
template <class T>
bound_value describe(const T& value, slot& room, number_form form) {
  if constexpr (is_optional<T>::value) {
    if (!value) return bind_traits<typename T::value_type>::shape();
    return describe(*value, room, form);
  } else if constexpr (number<T>) {
    if (form == number_form::binary) return bind_traits<T>::describe(value, room);
    char* text = reinterpret_cast<char*>(room.bytes);
    bound_value v = bind_traits<T>::shape();
    v.c_type = SQL_C_CHAR;
    v.length = static_cast<SQLLEN>(write_number(value, text));
    v.data = text;
    return v;
  } else {
    return bind_traits<T>::describe(value, room);
  }
}

// How a C++ type is read from a cell of a result. NULL reads only as std::optional.
[[noreturn]] void refuse_cell(THstmt& stmt, SQLUSMALLINT column, const std::string& what);

template <class T>
struct read_traits;

template <class T>
T read_cell(TCell cell, THstmt& stmt) {
  if constexpr (is_optional<T>::value) {
    if (cell.IsNull()) return std::nullopt;
    return read_traits<typename T::value_type>::read(cell, stmt);
  } else {
    // Read first: the value of a long-data cell, and so its indicator, is there only then.
    T value = read_traits<T>::read(cell, stmt);
    if (cell.Indicator() == SQL_NULL_DATA)
      refuse_cell(stmt, cell.Column(), "NULL, which reads only as std::optional");
    return value;
  }
}

template <integer T>
struct read_traits<T> {
  static T read(TCell& cell, THstmt& stmt) {
    std::int64_t value = cell.AsInteger();
    if constexpr (!std::is_same_v<T, std::int64_t>) {
      if (!std::in_range<T>(value))
        refuse_cell(stmt, cell.Column(),
                    std::to_string(value) + " does not fit a" +
                        (std::is_signed_v<T> ? " " : "n unsigned ") +
                        std::to_string(8 * sizeof(T)) + "-bit integer");
    }
    return static_cast<T>(value);
  }
};

template <>
struct read_traits<bool> {
  static bool read(TCell& cell, THstmt& stmt) {
    std::int64_t value = cell.AsInteger();
    if (value != 0 && value != 1)
      refuse_cell(stmt, cell.Column(), std::to_string(value) + " is no truth value");
    return value == 1;
  }
};

template <>
struct read_traits<double> {
  static double read(TCell& cell, THstmt&) { return cell.AsDouble(); }
};

template <>
struct read_traits<std::string> {
  static std::string read(TCell& cell, THstmt&) { return cell.AsString(); }
};

template <>
struct read_traits<std::vector<std::byte>> {
  static std::vector<std::byte> read(TCell& cell, THstmt&) { return cell.AsBytes(); }
};

template <date T>
struct read_traits<T> {
  static T read(TCell& cell, THstmt&) { return T(from_date(cell.AsDate())); }
};

template <time_point T>
struct read_traits<T> {
  static T read(TCell& cell, THstmt& stmt) {
    using D = typename T::duration;
    auto [seconds, nanoseconds] = from_timestamp(cell.AsTimestamp());
    constexpr auto limit = std::chrono::duration_cast<std::chrono::seconds>(D::max()).count() - 1;
    if (seconds > limit || seconds < -limit)
      refuse_cell(stmt, cell.Column(), "the timestamp is beyond the range of the time point");
    auto whole = std::chrono::duration_cast<D>(std::chrono::seconds(seconds));
    auto part = std::chrono::duration_cast<D>(std::chrono::nanoseconds(nanoseconds));
    if (std::chrono::duration_cast<std::chrono::nanoseconds>(part).count() != nanoseconds)
      refuse_cell(stmt, cell.Column(), "the timestamp is finer than the time point");
    return T(whole + part);
  }
};

// A query result's number of columns, which must be the number of types named.
void check_columns(THstmt& stmt, std::size_t expected);

template <class T>
struct without_optional {
  using type = T;
};
template <class T>
struct without_optional<std::optional<T>> {
  using type = T;
};

template <class T>
constexpr std::size_t fixed_width() {
  if constexpr (integer<T>)
    return sizeof(bound_integer<T>);
  else if constexpr (date<T>)
    return sizeof(SQL_DATE_STRUCT);
  else if constexpr (time_point<T>)
    return sizeof(SQL_TIMESTAMP_STRUCT);
  else
    return sizeof(T);
}

// A value the driver reads as it is stored: an integer of the width and signedness it is
// bound as (not an unsigned 64-bit one, whose range is checked), or a double.
template <class T>
constexpr bool bound_as_stored() {
  if constexpr (integer<T>)
    return std::is_same_v<bound_integer<T>, T> && !(std::is_unsigned_v<T> && sizeof(T) == 8);
  else
    return std::is_same_v<T, double>;
}

// A word with a byte of zero in it.
constexpr bool has_zero_byte(std::uint64_t word) {
  return ((word - 0x0101010101010101u) & ~word & 0x8080808080808080u) != 0;
}

// Copies Length bytes from Source to Target, and tells whether one of them is a NUL. A text of
// up to 16 bytes, the most common, goes in two words read and written over each other, tested
// for a NUL as they go; a longer one through memcpy and memchr.
OCL_SQL_INLINE bool copy_finding_nul(std::byte* target, const void* source, std::size_t length) {
  const auto* from = static_cast<const unsigned char*>(source);
  if (length >= 8 && length <= 16) {
    std::uint64_t head, tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + length - 8, 8);
    std::memcpy(target, &head, 8);
    std::memcpy(target + length - 8, &tail, 8);
    return has_zero_byte(head) || has_zero_byte(tail);
  }
  std::memcpy(target, from, length);
  return std::memchr(from, 0, length) != nullptr;
}

// The parameter array of one kind of value (std::optional<T> for NULL): a buffer laid out as
// the statement component binds arrays (text and bytes 256 bytes apart, numbers that go as
// text too), bound for arrays of a number of rows, and the values written to its elements.
// The indicators are kept here and handed to the statement before it executes, as a binding
// fills those it keeps anew.
template <class Value>
class value_array {
 public:
  using element = typename without_optional<Value>::type;
  static constexpr bool nullable = is_optional<Value>::value;
  static constexpr bool variable = text<element> || bytes<element>;

  explicit value_array(number_form form) : as_text_(number<element> && form == number_form::text) {}

  // The bytes an element takes in the array.
  std::size_t stride() const { return stride_; }
  bool as_text() const { return as_text_; }
  std::byte* data() const { return buffer_; }

  // Arrays of Rows values in Buffer (Rows times stride() bytes) for each of the parameter
  // numbers.
  void bind(THstmt& stmt, const std::vector<SQLUSMALLINT>& numbers, std::size_t rows,
            std::byte* buffer) {
    buffer_ = buffer;
    if (writes_indicators() && indicators_.size() < rows) indicators_.resize(rows);
    places_.clear();
    for (SQLUSMALLINT n : numbers) {
      stmt.BindParameter(n, as_text_ ? SQL_C_CHAR : shape_.c_type, buffer_, shape_.sql_type,
                         variable ? stride_ : shape_.size, shape_.digits,
                         static_cast<SQLLEN>(rows));
      places_.push_back(stmt.ParamIndicators(n));
    }
  }

  // The value of element I; false when a text or binary value is longer than an element.
  OCL_SQL_INLINE bool set(std::size_t i, const Value& value) {
    SQLLEN indicator = 0;
    if constexpr (nullable) {
      if (!value)
        indicator = SQL_NULL_DATA;
      else if (!store(i, *value, indicator))
        return false;
    } else if (!store(i, value, indicator)) {
      return false;
    }
    if (writes_indicators()) indicators_[i] = indicator;
    return true;
  }

  // The indicators of the first Rows elements to every place the value binds.
  void hand_over(std::size_t rows) const {
    if (writes_indicators())
      for (SQLLEN* place : places_) std::copy_n(indicators_.data(), rows, place);
  }

 private:
  // Every indicator of a fixed-width value that is never NULL is 0, as the binding leaves it.
  bool writes_indicators() const { return variable || nullable || as_text_; }

  OCL_SQL_INLINE bool store(std::size_t i, const element& value, SQLLEN& indicator) {
    std::byte* target = buffer_ + i * stride_;
    if constexpr (variable) {
      const bound_value v = bind_traits<element>::describe(value, room_);
      const auto length = static_cast<std::size_t>(v.length);
      if (length > stride_) return false;
      indicator = v.length;
      if constexpr (text<element>) {
        // A text without a NUL of its own goes terminated: SQLite's driver copies one that
        // comes with its length into memory of its own first.
        if (!copy_finding_nul(target, v.data, length) && length < stride_) {
          target[length] = std::byte{0};
          indicator = SQL_NTS;
        }
      } else {
        std::memcpy(target, v.data, length);
      }
      return true;
    } else if constexpr (number<element>) {
      if (as_text_) {
        write_number(value, reinterpret_cast<char*>(target));
        indicator = SQL_NTS;
        return true;
      }
    }
    std::memcpy(target, bind_traits<element>::describe(value, room_).data, fixed_width<element>());
    return true;
  }

  const bool as_text_;
  const bound_value shape_ = bind_traits<element>::shape();
  const std::size_t stride_ = variable || as_text_ ? static_cast<std::size_t>(CTypeSize(SQL_C_CHAR))
                                                   : fixed_width<element>();
  std::byte* buffer_ = nullptr;
  std::vector<SQLLEN> indicators_;
  std::vector<SQLLEN*> places_;
  slot room_{};
};

// One column of execute_many: the values of a caller's range, an array at a time. Values the
// driver reads as they are stored, in contiguous memory, go in with one copy of the array.
template <class R>
class array_column
    : public value_array<std::remove_cvref_t<std::ranges::range_reference_t<const R&>>> {
  using base = value_array<std::remove_cvref_t<std::ranges::range_reference_t<const R&>>>;
  static constexpr bool as_block = std::ranges::contiguous_range<const R&> && !base::nullable &&
                                   bound_as_stored<typename base::element>();

 public:
  array_column(const R& values, number_form form) : base(form), values_(values) {}

  // The Rows values from First on; false when a text or binary value is longer than the element
  // it would take.
  bool fill(std::size_t first, std::size_t rows) {
    if constexpr (as_block) {
      if (!this->as_text()) {
        std::memcpy(this->data(), std::ranges::data(values_) + first, rows * this->stride());
        return true;
      }
    }
    auto it = std::ranges::begin(values_);
    std::ranges::advance(it, static_cast<std::ranges::range_difference_t<const R&>>(first));
    for (std::size_t i = 0; i < rows; ++i, ++it)
      if (!this->set(i, *it)) return false;
    this->hand_over(rows);
    return true;
  }

 private:
  const R& values_;
};

// Doubles are read through the text the driver makes of them, converted here by
// std::from_chars: SQLite's driver reads every double through its text of 15 digits and
// psqlODBC through the server's, and SQLite's driver spends some 500 instructions a value more
// on its own conversion of that text; the value is the same. Named for the columns of the
// doubles before the columns are bound.
template <class... Columns>
void read_doubles_as_text(THstmt& stmt) {
  SQLUSMALLINT column = 0;
  ((++column, std::is_same_v<typename without_optional<Columns>::type, double>
                  ? stmt.AddColType(column, SQL_VARCHAR)
                  : void()),
   ...);
}

// A double from its text, as the drivers' own conversion gives it: a text beyond the range of
// doubles (SQLite's 15 digits of the largest one) is the infinity or the zero of its sign.
// False for a text that is no number.
inline bool text_double(std::string_view text, double& value) {
  const char* end = text.data() + text.size();
  auto [last, error] = std::from_chars(text.data(), end, value);
  if (last != end) return false;
  if (error == std::errc::result_out_of_range) {
    const std::size_t e = text.find_first_of("eE");
    const bool tiny = e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == '-';
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    if (text.front() == '-') value = -value;
    return true;
  }
  return error == std::errc();
}

// How a column of a result is read: through a typed view of its buffer where the C++ type reads
// the column as it is bound (64-bit integers, texts, doubles as their text), checked once per
// rowset; through its cells, with their conversions, otherwise.
template <class T>
class column_reader {
  using element = typename without_optional<T>::type;
  static constexpr bool is_text = std::is_same_v<element, std::string>;
  static constexpr bool is_double = std::is_same_v<element, double>;
  static constexpr bool viewable = std::is_same_v<element, std::int64_t> || is_double || is_text;
  // For a type read through cells alone, any view type: none is made.
  using view_type = std::conditional_t<is_text || is_double, std::string_view,
                                       std::conditional_t<viewable, element, std::int64_t>>;

 public:
  // What the row's value is made of: a text's bytes, of which the row makes its string in
  // place (no string in between to move), or the value itself.
  using source = std::conditional_t<
      is_text,
      std::conditional_t<is_optional<T>::value, std::optional<std::string_view>, std::string_view>,
      T>;

  column_reader(THstmt& stmt, SQLUSMALLINT column) : column_(column) {
    if constexpr (viewable) {
      const TColRec& rec = *stmt.Columns()[column - 1];
      if (rec.Kind == bound_kind()) view_.emplace(stmt, column);
    }
  }

  OCL_SQL_INLINE source read(const TRowView& row, THstmt& stmt) const {
    if constexpr (viewable) {
      if (view_) {
        if (auto value = view_->Read(row)) {
          if constexpr (!is_double) {
            return *value;
          } else {
            double number;
            if (text_double(*value, number)) return number;
            // No number: the cell refuses it, naming column and row.
          }
        } else if constexpr (is_optional<T>::value) {
          return std::nullopt;
        } else {
          refuse_cell(stmt, column_, "NULL, which reads only as std::optional");
        }
      }
    }
    if constexpr (is_text) {
      // A column of another kind, its text kept here until the row has made its string.
      T value = read_cell<T>(row[column_], stmt);
      if constexpr (is_optional<T>::value) {
        if (!value) return std::nullopt;
        spare_ = std::move(*value);
      } else {
        spare_ = std::move(value);
      }
      return std::string_view(spare_);
    } else {
      return read_cell<T>(row[column_], stmt);
    }
  }

 private:
  static constexpr TValueKind bound_kind() {
    if constexpr (std::is_same_v<element, std::int64_t>) return TValueKind::Integer;
    return TValueKind::Text;
  }

  SQLUSMALLINT column_;
  std::optional<TColumnOf<view_type>> view_;
  mutable std::string spare_;
};

}  // namespace detail

// A row of a result, read by column (0 is the first) or by name without regard to case;
// valid until the next row is read.
class row {
 public:
  row(THstmt& stmt, TRowView view) : stmt_(&stmt), view_(view) {}

  std::size_t size() const { return stmt_->ColNames().size(); }
  const std::string& name(std::size_t column) const;
  template <class T>
  T get(std::size_t column) const {
    return detail::read_cell<T>(view_[number(column)], *stmt_);
  }
  template <class T>
  T get(std::string_view name) const {
    return detail::read_cell<T>(view_[name], *stmt_);
  }

 private:
  SQLUSMALLINT number(std::size_t column) const;
  THstmt* stmt_;
  TRowView view_;
};

// The rows of a query, read once from first to last in rowsets: as tuples of the Columns'
// types, or, with no Columns named, as rows read by column.
template <class... Columns>
class result {
 public:
  using value_type = std::conditional_t<sizeof...(Columns) == 0, row, std::tuple<Columns...>>;

  class iterator {
   public:
    using value_type = result::value_type;
    using difference_type = std::ptrdiff_t;

    iterator() = default;
    value_type operator*() const {
      if constexpr (sizeof...(Columns) == 0)
        return row(*stmt_, *rows_);
      else
        return read(std::index_sequence_for<Columns...>{});
    }
    iterator& operator++() {
      ++rows_;
      return *this;
    }
    void operator++(int) { ++*this; }
    bool operator==(std::default_sentinel_t) const { return rows_ == std::default_sentinel; }

   private:
    friend class result;
    // The first rowset is fetched, and so the columns bound, before the readers are made.
    explicit iterator(THstmt* stmt) : stmt_(stmt), rows_(stmt) {
      if constexpr (sizeof...(Columns) > 0)
        if (!(rows_ == std::default_sentinel))
          readers_ = make_readers(std::index_sequence_for<Columns...>{});
    }
    template <std::size_t... I>
    auto make_readers(std::index_sequence<I...>) {
      return std::tuple<detail::column_reader<Columns>...>(
          detail::column_reader<Columns>(*stmt_, static_cast<SQLUSMALLINT>(I + 1))...);
    }
    template <std::size_t... I>
    value_type read(std::index_sequence<I...>) const {
      const TRowView& view = *rows_;
      return value_type{std::get<I>(*readers_).read(view, *stmt_)...};
    }

    THstmt* stmt_ = nullptr;
    // The rows' own iterator hands out its row only unconst.
    mutable TRows::iterator rows_;
    std::optional<std::tuple<detail::column_reader<Columns>...>> readers_;
  };

  // Fetches the first rowset.
  iterator begin() {
    if constexpr (sizeof...(Columns) > 0) {
      detail::read_doubles_as_text<Columns...>(*stmt_);
      detail::check_columns(*stmt_, sizeof...(Columns));
    }
    return iterator(stmt_);
  }
  std::default_sentinel_t end() const { return {}; }

  // The first row; rtl::Exception when there is none.
  value_type one() {
    iterator it = begin();
    if (it == end()) throw rtl::Exception("The query gave no row.");
    return *it;
  }

  THstmt& component() { return *stmt_; }

 private:
  friend class connection;
  friend class statement;
  explicit result(detail::statement_ptr owned) : owned_(std::move(owned)), stmt_(owned_.get()) {}
  explicit result(THstmt& borrowed) : stmt_(&borrowed) {}

  detail::statement_ptr owned_;
  THstmt* stmt_;
};

// A transaction as a scope: the connection's changes wait for commit(), and are rolled back
// when the scope ends without it. One at a time on a connection.
class transaction {
 public:
  explicit transaction(connection& db);
  transaction(const transaction&) = delete;
  transaction& operator=(const transaction&) = delete;
  ~transaction();

  void commit();
  void rollback();

 private:
  friend class statement;
  explicit transaction(THdbc& db);
  void finish(SQLSMALLINT completion);
  // None once the transaction has ended or its connection is destroyed.
  rtl::TComponentRef<THdbc> db_;
};

// A statement prepared once and executed as often as needed, each time with new values. Its
// markers are "?" or ":name" (one kind in a statement); the values go to them in order, one
// for each distinct name.
class statement {
 public:
  statement(connection& db, std::string_view sql);

  template <class... Args>
  void execute(const Args&... args) {
    std::array<detail::slot, sizeof...(Args)> rooms;
    start_values(sizeof...(Args));
    [&]<std::size_t... I>(std::index_sequence<I...>) {
      (bind(I, detail::describe<detail::value_type<Args>>(args, rooms[I], numbers_)), ...);
    }
    (std::index_sequence_for<Args...>{});
    stmt_->Execute();
  }

  // Runs the query with the values. Its rows stay readable until the statement is executed
  // again or destroyed.
  template <class... Columns, class... Args>
  result<Columns...> query(const Args&... args) {
    execute(args...);
    return result<Columns...>(*stmt_);
  }

  // Executes once for each row of the columns given (a sized range for each marker, all of
  // one size), through parameter arrays, in one transaction of its own where none is open.
  // From a text or binary value longer than an array's element (256 bytes) on, the rows are
  // executed one by one.
  template <class... Ranges>
  void execute_many(const Ranges&... columns) {
    static_assert(sizeof...(Ranges) > 0, "execute_many needs a column for each marker");
    std::tuple<detail::array_column<Ranges>...> arrays(
        detail::array_column<Ranges>(columns, numbers_)...);
    const std::size_t rows =
        start_arrays(sizeof...(Ranges), {static_cast<std::size_t>(std::ranges::size(columns))...});
    std::unique_ptr<transaction> work = own_transaction();
    for (std::size_t done = 0; done < rows;) {
      std::size_t count = std::min(detail::array_rows, rows - done);
      if (count != bound_rows_) {
        bound_rows_ = count;
        bind_arrays(arrays, count);
      }
      if (!std::apply([&](auto&... a) { return (a.fill(done, count) && ...); }, arrays)) {
        for (; done < rows; ++done) execute(at(columns, done)...);
        break;
      }
      stmt_->Execute();
      done += count;
    }
    if (work) work->commit();
  }

  // Executes once for each row that Produce adds to the batch it is given, through parameter
  // arrays sent as they fill, in one transaction of its own where none is open: all rows or
  // none. The Columns are the types of a row's values, one for each marker:
  //   insert.execute_batch<int, std::string_view, std::optional<double>>([&](auto& rows) {
  //     for (const Part& p : parts) rows.add(p.id, p.name, p.price);
  //   });
  // Rows need not be held in containers first; a text or binary value longer than an array's
  // element goes in a row of its own.
  template <class... Columns, class Produce>
  void execute_batch(Produce&& produce) {
    static_assert(sizeof...(Columns) > 0, "execute_batch needs a type for each marker");
    start_batch(sizeof...(Columns));
    std::unique_ptr<transaction> work = own_transaction();
    batch<Columns...> rows(*this);
    std::forward<Produce>(produce)(rows);
    rows.send();
    if (work) work->commit();
  }

  THstmt& component() { return *stmt_; }

 private:
  friend class connection;
  template <class... Columns>
  friend class batch;

  template <class R>
  static decltype(auto) at(const R& values, std::size_t i) {
    auto it = std::ranges::begin(values);
    std::ranges::advance(it, static_cast<std::ranges::range_difference_t<const R&>>(i));
    return *it;
  }

  // Checks the number of values given.
  void start_values(std::size_t count);
  // Checks the number of columns and that all have the same number of rows; that number.
  std::size_t start_arrays(std::size_t count, std::initializer_list<std::size_t> sizes);
  // Checks the number of columns of a batch.
  void start_batch(std::size_t count);
  // Refuses a number of values (What) other than that of the distinct :names.
  void check_count(std::size_t count, const char* what) const;
  // A transaction for an execute_many or a batch where none is open; null otherwise.
  std::unique_ptr<transaction> own_transaction();
  // The parameter numbers that the value of that position binds.
  const std::vector<SQLUSMALLINT>& numbers(std::size_t value);
  // Room for the arrays of the value of that position, at least Bytes of it.
  std::byte* array_buffer(std::size_t value, std::size_t bytes);
  // Each of a tuple of parameter arrays bound for Rows rows, in the room of its position.
  template <class... Arrays>
  void bind_arrays(std::tuple<Arrays...>& arrays, std::size_t rows) {
    [&]<std::size_t... I>(std::index_sequence<I...>) {
      (std::get<I>(arrays).bind(*stmt_, numbers(I), rows,
                                array_buffer(I, rows * std::get<I>(arrays).stride())),
       ...);
    }
    (std::index_sequence_for<Arrays...>{});
  }
  void bind(std::size_t value, const detail::bound_value& v);

  detail::statement_ptr stmt_;
  // The form the connection's driver takes numbers in.
  detail::number_form numbers_;
  // For each distinct :name in order, its parameter numbers; empty with "?" markers.
  std::vector<std::vector<SQLUSMALLINT>> names_;
  std::vector<SQLUSMALLINT> position_;
  // The elements each parameter is bound with: none yet, 1 (single values) or an array's.
  std::size_t bound_rows_ = 0;
  // The arrays' buffers, by position, and those outgrown: the driver keeps their addresses
  // until the parameters are bound anew, so they last as long as the statement.
  std::vector<std::pair<std::unique_ptr<std::byte[]>, std::size_t>> arrays_;
  std::vector<std::unique_ptr<std::byte[]>> outgrown_;
};

// The rows of an execute_batch, each stored in the parameter arrays as it is added; a full
// array is sent at once. Valid during the call only.
template <class... Columns>
class batch {
 public:
  batch(const batch&) = delete;
  batch& operator=(const batch&) = delete;

  // Inline, as the loop that makes the rows would otherwise call it for every row.
  OCL_SQL_INLINE void add(const Columns&... values) {
    if (!store(values..., std::index_sequence_for<Columns...>{})) [[unlikely]]
      return alone(values...);
    if (++count_ == bound_) [[unlikely]]
      send();
  }

 private:
  // A row with a value too long for an element: the rows before it go first, then it alone,
  // and the arrays are bound again for the rows after it.
  OCL_SQL_NOINLINE void alone(const Columns&... values) {
    send();
    owner_.execute(values...);
    bind(detail::array_rows);
  }

  friend class statement;
  explicit batch(statement& owner)
      : owner_(owner), arrays_(detail::value_array<Columns>(owner.numbers_)...) {
    bind(detail::array_rows);
  }

  template <std::size_t... I>
  OCL_SQL_INLINE bool store(const Columns&... values, std::index_sequence<I...>) {
    return (std::get<I>(arrays_).set(count_, values) && ...);
  }

  void bind(std::size_t rows) {
    owner_.bind_arrays(arrays_, rows);
    bound_ = rows;
  }

  // The rows stored and not yet sent; a last array of fewer rows is bound for as many.
  void send() {
    if (count_ == 0) return;
    if (count_ != bound_) bind(count_);
    std::apply([&](auto&... a) { (a.hand_over(count_), ...); }, arrays_);
    owner_.stmt_->Execute();
    count_ = 0;
  }

  statement& owner_;
  std::tuple<detail::value_array<Columns>...> arrays_;
  // The rows the arrays are bound for, and those stored.
  std::size_t bound_ = 0;
  std::size_t count_ = 0;
};

// An open connection, closed when it is destroyed. The library is started for as long as a
// connection lives, unless the program started it itself (as the setup program's module table
// does, before any connection).
class connection {
 public:
  // A connection string ("Driver=SQLite3;Database=shop.db"), or the name of a data source.
  explicit connection(std::string_view target);
  connection(std::string_view data_source, std::string_view user, std::string_view password);

  template <class... Args>
  void execute(std::string_view sql, const Args&... args) {
    statement(*this, sql).execute(args...);
  }

  template <class... Columns, class... Args>
  result<Columns...> query(std::string_view sql, const Args&... args) {
    statement s(*this, sql);
    s.execute(args...);
    return result<Columns...>(std::move(s.stmt_));
  }

  template <class... Ranges>
  void execute_many(std::string_view sql, const Ranges&... columns) {
    statement(*this, sql).execute_many(columns...);
  }

  THdbc& component() { return *db_; }

 private:
  friend class statement;
  detail::connection_ptr db_;
  // Asked of the driver once it is connected.
  detail::number_form numbers_ = detail::number_form::binary;
};

}  // namespace ocl::sql
