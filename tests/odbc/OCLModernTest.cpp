// The C++ interface on the two real drivers: values of every bound C++ type through the table
// and back, NULL as std::optional, parameter arrays from containers, prepared statements,
// transactions as scopes, the driver's errors, and the library's start-up.

#include "odbc/OCLModern.h"
#include "tests/odbc/OdbcTestSupport.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <limits>
#include <numeric>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace sql = ocl::sql;
using namespace std::chrono;
using ocl_test::Raised;

namespace {

// The connection of a test: SQLite in the test's folder, or the test server.
class ModernTest : public ::testing::TestWithParam<bool> {
 protected:
  bool Sqlite() const { return GetParam(); }
  std::string Target() const { return ocl_test::ConnectString(Sqlite(), folder_.File("test.db")); }
  // The type a column of either database is declared with.
  std::string Type(const std::string& sqlite, const std::string& postgres) const {
    return Sqlite() ? sqlite : postgres;
  }
  std::int64_t Count(sql::connection& db, const std::string& table) {
    auto [count] = db.query<std::int64_t>("SELECT COUNT(*) FROM " + table).one();
    return count;
  }

  testing_support::TempFolder folder_;
};

std::string Name(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "SQLite" : "PostgreSQL";
}

template <class Read, class Param>
Read Expected(const Param& value) {
  if constexpr (std::is_constructible_v<Read, const Param&>)
    return Read(value);
  else
    return Read(value.begin(), value.end());
}

// Each value goes in as a parameter and comes back as Read, through a typed row and through a
// row read by name; a NULL of the type beside them reads as an empty optional.
template <class Param, class Read = Param>
void RoundTrip(sql::connection& db, const std::string& type, const std::vector<Param>& values) try {
  db.execute("DROP TABLE IF EXISTS round_trip");
  db.execute("CREATE TABLE round_trip (k INTEGER, v " + type + ")");
  int key = 0;
  for (const Param& value : values)
    db.execute("INSERT INTO round_trip VALUES (?, ?)", key++, value);
  db.execute("INSERT INTO round_trip VALUES (:k, :v)", key, std::optional<Param>());

  std::vector<std::optional<Read>> expected, read;
  for (const Param& value : values) expected.push_back(Expected<Read>(value));
  expected.push_back(std::nullopt);
  for (auto [k, value] :
       db.query<int, std::optional<Read>>("SELECT k, v FROM round_trip ORDER BY k"))
    read.push_back(std::move(value));
  EXPECT_EQ(read, expected);
  for (const sql::row& row : db.query("SELECT v AS value FROM round_trip WHERE k = 0"))
    EXPECT_EQ(row.get<Read>("VALUE"), expected.front());
} catch (const std::exception& e) {
  ADD_FAILURE() << type << ": " << e.what();
}

std::vector<std::byte> Bytes(std::initializer_list<int> values) {
  std::vector<std::byte> bytes;
  for (int v : values) bytes.push_back(static_cast<std::byte>(v));
  return bytes;
}

TEST_P(ModernTest, EveryBoundTypeComesBackAsItWent) {
  sql::connection db(Target());
  const std::string blob = Type("BLOB", "BYTEA");
  const std::string longText(100000, 'x');
  std::vector<std::byte> longBytes(5000);
  for (std::size_t i = 0; i < longBytes.size(); ++i) longBytes[i] = static_cast<std::byte>(i);
  const sys_days leapDay = 2024y / February / 29;
  const sys_time<milliseconds> stamp = leapDay + 12h + 34min + 56s + 789ms;

  {
    SCOPED_TRACE("integers");
    RoundTrip<std::int8_t>(db, "SMALLINT", {-128, 0, 127});
    RoundTrip<std::uint8_t>(db, "SMALLINT", {0, 255});
    RoundTrip<std::int16_t>(db, "SMALLINT", {-32768, 32767});
    RoundTrip<std::uint16_t>(db, "INTEGER", {0, 65535});
    RoundTrip<std::int32_t>(
        db, "INTEGER",
        {std::numeric_limits<std::int32_t>::min(), 7, std::numeric_limits<std::int32_t>::max()});
    RoundTrip<std::uint32_t>(db, "BIGINT", {0, std::numeric_limits<std::uint32_t>::max()});
    RoundTrip<std::int64_t>(
        db, "BIGINT",
        {std::numeric_limits<std::int64_t>::min(), -1, std::numeric_limits<std::int64_t>::max()});
    RoundTrip<long long>(db, "BIGINT", {9000000000});
    RoundTrip<std::uint64_t>(db, "BIGINT", {0, std::numeric_limits<std::int64_t>::max()});
  }
  RoundTrip<bool>(db, "BOOLEAN", {true, false});
  // SQLite's driver reads a double through a text of 15 digits; psqlODBC is given each as the
  // shortest text that reads back the same.
  const double inf = std::numeric_limits<double>::infinity();
  if (Sqlite()) {
    RoundTrip<double>(db, "DOUBLE PRECISION", {0.25, -1.5e300, 0.1, 0.5});
    // The 15 digits of the largest doubles are beyond them: infinities, as the driver reads them.
    db.execute("DELETE FROM round_trip");
    db.execute("INSERT INTO round_trip VALUES (1, ?), (2, ?)", std::numeric_limits<double>::max(),
               -std::numeric_limits<double>::max());
    std::vector<double> largest;
    for (auto [v] : db.query<double>("SELECT v FROM round_trip ORDER BY k")) largest.push_back(v);
    EXPECT_EQ(largest, (std::vector<double>{inf, -inf}));
  } else
    RoundTrip<double>(db, "DOUBLE PRECISION",
                      {0.25, -1.5e300, 0.1, 1.0 / 3, 0.1 + 0.2, 5e-324,
                       std::numeric_limits<double>::max(), inf, -inf});
  {
    SCOPED_TRACE("text");
    RoundTrip<std::string>(db, "TEXT", {"", "Bolt", "it's", "Grüße, 日本, 🙂", longText});
    RoundTrip<std::string_view, std::string>(db, "VARCHAR(40)", {"Nut", ""});
    RoundTrip<const char*, std::string>(db, "VARCHAR(40)", {"Washer"});
  }
  {
    SCOPED_TRACE("bytes");
    RoundTrip<std::vector<std::byte>>(db, blob, {Bytes({0x00, 0xff, 0x27}), {}, longBytes});
    RoundTrip<std::span<const std::byte>, std::vector<std::byte>>(db, blob, {std::span(longBytes)});
  }
  {
    SCOPED_TRACE("dates and times");
    RoundTrip<year_month_day>(db, "DATE", {2024y / February / 29, 1900y / January / 1});
    RoundTrip<sys_days>(db, "DATE", {leapDay});
    RoundTrip<sys_seconds>(db, "TIMESTAMP", {leapDay + 23h + 59min + 59s});
    RoundTrip<sys_time<milliseconds>>(db, "TIMESTAMP", {stamp});
    RoundTrip<system_clock::time_point>(db, "TIMESTAMP", {stamp});
  }
}

TEST_P(ModernTest, ContainersGoInThroughParameterArrays) {
  sql::connection db(Target());
  db.execute("DROP TABLE IF EXISTS bulk");
  db.execute("CREATE TABLE bulk (id INTEGER, name VARCHAR(400), price " +
             Type("DOUBLE", "DOUBLE PRECISION") + ")");
  const std::size_t rows = 10000;
  std::vector<std::int64_t> ids(rows);
  std::iota(ids.begin(), ids.end(), 0);
  std::vector<std::string> names(rows);
  std::vector<std::optional<double>> prices(rows);
  for (std::size_t i = 0; i < rows; ++i) {
    names[i] = "part " + std::to_string(i);
    if (i % 7 != 0) prices[i] = static_cast<double>(i) / 4;
  }
  // Longer than an array's element: from here on the rows go one by one.
  names[9500] = std::string(300, 'L');
  // A NUL inside a text (PostgreSQL takes none) is part of it, in a short text and in either
  // word of one of 8 to 16 bytes.
  if (Sqlite()) {
    names[5] = std::string("a\0b", 3);
    names[6] = std::string("\0bcdefghi", 9);
    names[7] = std::string("abcdefghijk\0mn", 14);
  }

  sql::statement insert(db, "INSERT INTO bulk (id, name, price) VALUES (?, ?, ?)");
  insert.execute_many(ids, names, prices);
  EXPECT_EQ(Count(db, "bulk"), 10000);
  // Arrays of another size, then a single row, through the same statement.
  std::vector<int> moreIds = {20000, 20001, 20002};
  std::span<const int> someIds(moreIds);
  insert.execute_many(someIds, std::vector<std::string_view>{"a", "b", "c"},
                      std::vector<double>{1, 2, 3});
  insert.execute(30000, "single", std::nullopt);

  auto [count, total, nulls, longest] =
      db.query<std::int64_t, std::int64_t, std::int64_t, std::int64_t>(
            "SELECT COUNT(*), SUM(id), COUNT(*) - COUNT(price), MAX(LENGTH(name)) FROM bulk")
          .one();
  EXPECT_EQ(count, 10004);
  EXPECT_EQ(total, 49995000 + 60003 + 30000);
  EXPECT_EQ(nulls, 1429 + 1);

  // A prepared query again and again, and a name that stands at two places.
  sql::statement byId(db, "SELECT name, price FROM bulk WHERE id = :id OR id = :id + 100000");
  using NameAndPrice = std::tuple<std::string, std::optional<double>>;
  auto lookUp = [&](int id) { return byId.query<std::string, std::optional<double>>(id).one(); };
  EXPECT_EQ(lookUp(9498), NameAndPrice("part 9498", 9498.0 / 4));
  EXPECT_EQ(longest, 300);
  if (Sqlite()) {
    std::vector<std::tuple<int>> lengths;
    for (auto row : db.query<int>("SELECT LENGTH(CAST(name AS BLOB)) FROM bulk WHERE id IN "
                                  "(5, 6, 7) ORDER BY id"))
      lengths.push_back(row);
    EXPECT_EQ(lengths, (std::vector<std::tuple<int>>{{3}, {9}, {14}}));
  }
  EXPECT_EQ(lookUp(9500), NameAndPrice(std::string(300, 'L'), 9500.0 / 4));
  // Numbers read as texts, row after row.
  std::vector<std::tuple<std::string, std::optional<std::string>>> texts;
  for (auto row : db.query<std::string, std::optional<std::string>>(
           "SELECT id, price FROM bulk WHERE id IN (7, 9498) ORDER BY id"))
    texts.push_back(std::move(row));
  EXPECT_EQ(texts, (decltype(texts){{"7", std::nullopt}, {"9498", "2374.5"}}));

  // Whole arrays through the same statement twice: each call binds its own.
  std::vector<int> blockIds(2000, 40000);
  std::vector<std::string> blockNames(2000, "block");
  std::vector<double> blockPrices(2000, 0.5);
  for (int call = 0; call < 2; ++call) insert.execute_many(blockIds, blockNames, blockPrices);
  EXPECT_EQ(db.query<std::int64_t>("SELECT COUNT(*) FROM bulk WHERE name = 'block' AND price = 0.5")
                .one(),
            std::tuple(4000));

  // Columns of different lengths insert nothing.
  Raised<rtl::Exception>([&] { insert.execute_many(moreIds, names, prices); });
  EXPECT_EQ(Count(db, "bulk"), 14004);
}

TEST_P(ModernTest, BatchesSendTheirRowsInArraysAsTheyAreAdded) {
  sql::connection db(Target());
  db.execute("DROP TABLE IF EXISTS streamed");
  db.execute("CREATE TABLE streamed (id INTEGER, name VARCHAR(400), price " +
             Type("DOUBLE", "DOUBLE PRECISION") + ")");
  sql::statement insert(db, "INSERT INTO streamed VALUES (:id, :name, :price)");
  // Full arrays, a row too long for an element between them, and a short last array.
  auto add = [](int rows, int failAt) {
    return [rows, failAt](auto& batch) {
      for (int i = 0; i < rows; ++i) {
        if (i == failAt) throw std::runtime_error("the rows ran out");
        std::string name = i == 1500 ? std::string(300, 'L') : "part " + std::to_string(i);
        batch.add(i, name, i % 7 ? std::optional<double>(i / 4.0) : std::nullopt);
      }
    };
  };
  auto run = [&](auto produce) {
    insert.execute_batch<int, std::string_view, std::optional<double>>(produce);
  };
  // A producer that fails leaves nothing: the batch runs in a transaction of its own.
  EXPECT_THROW(run(add(2500, 1200)), std::runtime_error);
  EXPECT_EQ(Count(db, "streamed"), 0);
  run(add(2500, -1));
  auto [count, total, nulls, longest, matching] =
      db.query<std::int64_t, std::int64_t, std::int64_t, std::int64_t, std::int64_t>(
            "SELECT COUNT(*), SUM(id), COUNT(*) - COUNT(price), MAX(LENGTH(name)), "
            "SUM(CASE WHEN name = 'part ' || id AND (price IS NULL OR price = id / 4.0) "
            "THEN 1 ELSE 0 END) FROM streamed")
          .one();
  EXPECT_EQ(count, 2500);
  EXPECT_EQ(total, 2500 * 2499 / 2);
  EXPECT_EQ(nulls, 358);
  EXPECT_EQ(longest, 300);
  EXPECT_EQ(matching, 2499);
  // The statement binds single values again afterwards.
  insert.execute(9000, "single", 1.0);
  EXPECT_EQ(Count(db, "streamed"), 2501);
}

TEST_P(ModernTest, ATransactionEndingWithoutCommitLeavesNothing) {
  sql::connection db(Target());
  sql::connection other(Target());
  db.execute("DROP TABLE IF EXISTS moves");
  db.execute("CREATE TABLE moves (id INTEGER PRIMARY KEY)");
  // Arrays outside a transaction go in a transaction of their own: all or nothing.
  Raised<ocl::EODBC>([&] {
    db.execute_many("INSERT INTO moves VALUES (?)", std::vector<int>{7, 8, 8});
  });
  EXPECT_EQ(Count(db, "moves"), 0);
  {
    sql::transaction t(db);
    db.execute_many("INSERT INTO moves VALUES (?)", std::vector<int>{1, 2, 3});
    EXPECT_EQ(Count(db, "moves"), 3);
    Raised<rtl::Exception>([&] { sql::transaction nested(db); });
  }
  EXPECT_EQ(Count(db, "moves"), 0);
  {
    sql::transaction t(db);
    db.execute("INSERT INTO moves VALUES (?)", 4);
    t.commit();
    Raised<rtl::Exception>([&] { t.rollback(); });
  }
  // Committed, and each statement after the transaction commits on its own again.
  db.execute("INSERT INTO moves VALUES (?)", 5);
  EXPECT_EQ(Count(other, "moves"), 2);
}

TEST_P(ModernTest, TheDriversErrorsComeWithTheirState) {
  sql::connection db(Target());
  db.execute("DROP TABLE IF EXISTS unique_ids");
  db.execute("CREATE TABLE unique_ids (id INTEGER PRIMARY KEY)");
  db.execute("INSERT INTO unique_ids VALUES (?)", 1);
  auto duplicate = Raised<ocl::EODBC>([&] { db.execute("INSERT INTO unique_ids VALUES (?)", 1); });
  EXPECT_EQ(duplicate.SqlState, Sqlite() ? "HY000" : "23505") << duplicate.NativeError;
  auto missing = Raised<ocl::EODBC>([&] { db.query<int>("SELECT id FROM no_such_table"); });
  EXPECT_EQ(missing.SqlState, Sqlite() ? "HY000" : "42P01");
  EXPECT_NE(std::string(missing.what()).find("no_such_table"), std::string::npos);
  ASSERT_FALSE(missing.Records.empty());
  EXPECT_EQ(missing.Records.front().SqlState, missing.SqlState);
  EXPECT_EQ(missing.Records.front().NativeError, missing.NativeError);
  if (Sqlite()) {
    EXPECT_EQ(missing.NativeError, 1);  // SQLITE_ERROR
  }
}

INSTANTIATE_TEST_SUITE_P(Drivers, ModernTest, ::testing::Bool(), Name);

// What the C++ types cannot hold is refused, on either side; the shape of a statement too.
TEST(ModernRefusals, ValuesThatDoNotFitAndStatementsOfAnotherShape) {
  testing_support::TempFolder folder;
  sql::connection db("Driver=SQLite3;Database=" + folder.File("test.db"));
  db.execute("CREATE TABLE t (k INTEGER, v INTEGER)");
  db.execute("INSERT INTO t VALUES (1, 300), (2, NULL), (3, -1)");
  db.execute("CREATE TABLE stamps (v TIMESTAMP)");
  db.execute("INSERT INTO stamps VALUES (?)", sys_days(2024y / January / 1) + 10h + 500ms);
  struct Case {
    const char* what;
    std::function<void()> call;
    const char* message;
  } cases[] = {
      {"beyond int8", [&] { db.query<std::int8_t>("SELECT v FROM t WHERE k = 1").one(); },
       "300 does not fit a 8-bit integer"},
      {"negative unsigned", [&] { db.query<unsigned>("SELECT v FROM t WHERE k = 3").one(); },
       "-1 does not fit an unsigned 32-bit integer"},
      {"NULL without optional", [&] { db.query<int>("SELECT v FROM t WHERE k = 2").one(); },
       "Column v (1) of the result: NULL"},
      {"NULL without optional, read from the buffer",
       [&] { db.query<std::int64_t>("SELECT v FROM t WHERE k = 2").one(); },
       "Column v (1) of the result: NULL"},
      {"no truth value", [&] { db.query<bool>("SELECT v FROM t WHERE k = 1").one(); },
       "300 is no truth value"},
      {"no number", [&] { db.query<double>("SELECT 'abc'").one(); },
       "'abc' is not a valid floating-point value"},
      {"unsigned beyond 63 bits",
       [&] { db.execute("INSERT INTO t VALUES (?, ?)", 4, std::uint64_t{1} << 63); },
       "9223372036854775808 is beyond"},
      {"no valid date",
       [&] { db.execute("INSERT INTO t VALUES (?, ?)", 4, 2023y / February / 29); },
       "no valid date"},
      {"timestamp finer than the time point",
       [&] { db.query<sys_seconds>("SELECT v FROM stamps").one(); }, "finer than the time point"},
      {"columns not named", [&] { db.query<int>("SELECT k, v FROM t").one(); },
       "gives 2 column(s), but 1 type(s)"},
      {"values not given", [&] { db.execute("INSERT INTO t VALUES (:k, :v)", 4); },
       "2 parameter name(s), but 1"},
      {"no row", [&] { db.query<int>("SELECT k FROM t WHERE k = 99").one(); }, "no row"},
      {"column beyond the row",
       [&] {
         for (const sql::row& row : db.query("SELECT k FROM t")) row.get<int>(1);
       },
       "beyond the 1 column(s)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto e = Raised<rtl::Exception>(c.call);
    EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
  }
  EXPECT_EQ(db.query<std::int64_t>("SELECT COUNT(*) FROM t").one(), std::tuple(3));
}

// The library runs while a connection lives, unless the program started it itself.
TEST(ModernLibrary, StartsWithTheFirstConnectionUnlessTheProgramStartedIt) {
  testing_support::TempFolder folder;
  const std::string target = "Driver=SQLite3;Database=" + folder.File("test.db");
  ASSERT_EQ(ocl::Environment(), nullptr);
  {
    std::optional<sql::connection> first(std::in_place, target);
    sql::connection second(target);
    first.reset();
    EXPECT_EQ(second.query<int>("SELECT 1").one(), std::tuple(1));
  }
  EXPECT_EQ(ocl::Environment(), nullptr);

  // As the setup program's module table does.
  ocl::OCL_Startup();
  ocl::THenv* started = ocl::Environment();
  { sql::connection db(target); }
  EXPECT_EQ(ocl::Environment(), started);
  ocl::OCL_Shutdown();
}

}  // namespace
