// The parts of the C++ interface that are no templates: the library's start-up held by the
// connections, connections, statements, transactions, and the conversions of dates and times.

#include "odbc/OCLModern.h"

#include <mutex>

namespace ocl::sql {

namespace detail {

namespace {

std::mutex library_lock;
// Connections that hold the library, and whether they started it: a program that started it
// itself also stops it.
std::size_t library_users = 0;
bool library_ours = false;

void acquire_library() {
  std::lock_guard<std::mutex> guard(library_lock);
  if (library_users == 0) {
    library_ours = Environment() == nullptr;
    if (library_ours) OCL_Startup();
  }
  ++library_users;
}

void release_library() noexcept {
  std::lock_guard<std::mutex> guard(library_lock);
  if (--library_users == 0 && library_ours) {
    library_ours = false;
    try {
      OCL_Shutdown();
    } catch (...) {
      // Every handle is let go of whatever the driver answers; nothing is left to report to.
    }
  }
}

// A connection component holding the library's start-up, not yet connected.
connection_ptr new_connection() {
  acquire_library();
  try {
    return connection_ptr(rtl::TComponent::Create<THdbc>(nullptr));
  } catch (...) {
    release_library();
    throw;
  }
}

constexpr std::chrono::sys_days first_day = std::chrono::year::min() / 1 / 1;
constexpr std::chrono::sys_days last_day = std::chrono::year::max() / 12 / 31;

}  // namespace

void connection_deleter::operator()(THdbc* db) const noexcept {
  delete db;
  release_library();
}

number_form number_form_of(THdbc& db) {
  std::string driver = db.GetInfoString(SQL_DRIVER_NAME);
  constexpr std::string_view psqlodbc = "psqlodbc";
  return rtl::SameText(driver.substr(0, psqlodbc.size()), psqlodbc) ? number_form::text
                                                                    : number_form::binary;
}

void refuse(const std::string& what) { throw rtl::EConvertError(what + "."); }

void refuse_cell(THstmt& stmt, SQLUSMALLINT column, const std::string& what) {
  refuse("Column " + stmt.ColNames()[column - 1].Name + " (" + std::to_string(column) +
         ") of the result: " + what);
}

SQL_DATE_STRUCT to_date(std::chrono::year_month_day value) {
  if (!value.ok()) refuse("The date is no valid date");
  return {static_cast<SQLSMALLINT>(static_cast<int>(value.year())),
          static_cast<SQLUSMALLINT>(static_cast<unsigned>(value.month())),
          static_cast<SQLUSMALLINT>(static_cast<unsigned>(value.day()))};
}

std::chrono::year_month_day from_date(const SQL_DATE_STRUCT& value) {
  std::chrono::year_month_day date{std::chrono::year(value.year), std::chrono::month(value.month),
                                   std::chrono::day(value.day)};
  if (!date.ok())
    refuse("The database gave " + std::to_string(value.year) + "-" + std::to_string(value.month) +
           "-" + std::to_string(value.day) + ", no valid date");
  return date;
}

SQL_TIMESTAMP_STRUCT to_timestamp(std::chrono::sys_days day, std::chrono::nanoseconds into_day) {
  if (day < first_day || day > last_day)
    refuse("The time point is beyond the years of a timestamp");
  SQL_DATE_STRUCT date = to_date(std::chrono::year_month_day(day));
  std::chrono::hh_mm_ss<std::chrono::nanoseconds> time(into_day);
  return {date.year,
          date.month,
          date.day,
          static_cast<SQLUSMALLINT>(time.hours().count()),
          static_cast<SQLUSMALLINT>(time.minutes().count()),
          static_cast<SQLUSMALLINT>(time.seconds().count()),
          static_cast<SQLUINTEGER>(time.subseconds().count())};
}

std::pair<std::int64_t, std::int64_t> from_timestamp(const SQL_TIMESTAMP_STRUCT& value) {
  auto day = std::chrono::sys_days(from_date({value.year, value.month, value.day}));
  if (value.hour > 23 || value.minute > 59 || value.second > 60 || value.fraction > 999999999)
    refuse("The database gave a time of day of " + std::to_string(value.hour) + ":" +
           std::to_string(value.minute) + ":" + std::to_string(value.second) + "." +
           std::to_string(value.fraction) + ", no valid time");
  std::int64_t seconds =
      std::chrono::duration_cast<std::chrono::seconds>(day.time_since_epoch()).count() +
      value.hour * 3600 + value.minute * 60 + value.second;
  return {seconds, value.fraction};
}

void check_columns(THstmt& stmt, std::size_t expected) {
  std::size_t count = stmt.ColCount();
  if (count != expected)
    throw rtl::Exception("The query gives " + std::to_string(count) + " column(s), but " +
                         std::to_string(expected) + " type(s) were named for them.");
}

}  // namespace detail

// Rows.

const std::string& row::name(std::size_t column) const {
  return stmt_->ColNames()[number(column) - 1].Name;
}

SQLUSMALLINT row::number(std::size_t column) const {
  if (column >= size())
    throw rtl::Exception("Column " + std::to_string(column) + " is beyond the " +
                         std::to_string(size()) + " column(s) of the result (the first is 0).");
  return static_cast<SQLUSMALLINT>(column + 1);
}

// Statements.

statement::statement(connection& db, std::string_view sql)
    : stmt_(rtl::TComponent::Create<THstmt>(nullptr)), numbers_(db.numbers_) {
  stmt_->SethDbc(&db.component());
  stmt_->SetRowSetSize(detail::rowset_rows);
  stmt_->SetSQL(std::string(sql));
  stmt_->Prepare();
  const std::vector<std::string>& markers = stmt_->ParamNames();
  for (std::size_t i = 0; i < markers.size(); ++i) {
    bool seen = false;
    for (std::size_t j = 0; j < i && !seen; ++j) seen = rtl::SameText(markers[j], markers[i]);
    if (!seen) names_.push_back(stmt_->ParamNumbers(markers[i]));
  }
}

void statement::check_count(std::size_t count, const char* what) const {
  if (!names_.empty() && count != names_.size())
    throw rtl::Exception("The statement has " + std::to_string(names_.size()) +
                         " parameter name(s), but " + std::to_string(count) + " " + what +
                         " were given.");
}

void statement::start_values(std::size_t count) {
  check_count(count, "value(s)");
  bound_rows_ = 1;
}

void statement::start_batch(std::size_t count) {
  check_count(count, "column(s)");
  // The arrays are bound by the batch; an execute_many after it binds its own.
  bound_rows_ = 0;
}

std::size_t statement::start_arrays(std::size_t count, std::initializer_list<std::size_t> sizes) {
  check_count(count, "column(s)");
  for (std::size_t size : sizes)
    if (size != *sizes.begin())
      throw rtl::Exception("The columns given have different numbers of rows (" +
                           std::to_string(*sizes.begin()) + " and " + std::to_string(size) + ").");
  // The arrays of an earlier call may be of other types.
  bound_rows_ = 0;
  return *sizes.begin();
}

std::byte* statement::array_buffer(std::size_t value, std::size_t bytes) {
  if (arrays_.size() <= value) arrays_.resize(value + 1);
  auto& [buffer, size] = arrays_[value];
  if (size < bytes) {
    // Grown by doubling, what is outgrown stays below what is in use.
    if (buffer) outgrown_.push_back(std::move(buffer));
    size = std::max(bytes, 2 * size);
    buffer = std::make_unique_for_overwrite<std::byte[]>(size);
  }
  return buffer.get();
}

std::unique_ptr<transaction> statement::own_transaction() {
  THdbc* db = stmt_->hDbc();
  if (!db || !db->AutoCommit()) return nullptr;
  return std::unique_ptr<transaction>(new transaction(*db));
}

const std::vector<SQLUSMALLINT>& statement::numbers(std::size_t value) {
  if (!names_.empty()) return names_[value];
  position_.assign(1, static_cast<SQLUSMALLINT>(value + 1));
  return position_;
}

void statement::bind(std::size_t value, const detail::bound_value& v) {
  for (SQLUSMALLINT n : numbers(value)) {
    stmt_->BindParameter(n, v.c_type, const_cast<void*>(v.data), v.sql_type, v.size, v.digits, 0);
    if (v.data && v.length >= 0) stmt_->SetParamLength(n, v.length);
  }
}

// Connections.

connection::connection(std::string_view target) : db_(detail::new_connection()) {
  if (target.find('=') == std::string_view::npos) {
    db_->SetDataSource(std::string(target));
  } else {
    while (!target.empty() && target.back() == ';') target.remove_suffix(1);
    db_->SetAttributes({std::string(target)});
  }
  db_->Connect();
  numbers_ = detail::number_form_of(*db_);
}

connection::connection(std::string_view data_source, std::string_view user,
                       std::string_view password)
    : db_(detail::new_connection()) {
  db_->SetDataSource(std::string(data_source));
  db_->SetUserName(std::string(user));
  db_->SetPassword(std::string(password));
  db_->Connect();
  numbers_ = detail::number_form_of(*db_);
}

// Transactions.

transaction::transaction(connection& db) : transaction(db.component()) {}

transaction::transaction(THdbc& db) : db_(&db) {
  if (!db.AutoCommit()) throw rtl::Exception("A transaction is already open on the connection.");
  db.SetAutoCommit(false);
}

transaction::~transaction() {
  if (!db_.Get()) return;
  try {
    finish(SQL_ROLLBACK);
  } catch (...) {
    // A destructor raises nothing; a connection that cannot roll back has lost its work.
  }
}

void transaction::commit() { finish(SQL_COMMIT); }

void transaction::rollback() { finish(SQL_ROLLBACK); }

void transaction::finish(SQLSMALLINT completion) {
  THdbc* db = db_;
  if (!db) throw rtl::Exception("The transaction has ended, or its connection is gone.");
  db_ = nullptr;
  try {
    if (completion == SQL_COMMIT)
      db->Commit();
    else
      db->Rollback();
  } catch (...) {
    // Ended either way: the connection goes back to committing each statement.
    try {
      db->Rollback();
      db->SetAutoCommit(true);
    } catch (...) {
    }
    throw;
  }
  db->SetAutoCommit(true);
}

}  // namespace ocl::sql
