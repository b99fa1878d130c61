// The workloads through the library's C++ interface. The inserts two ways: the rows handed to
// execute_batch one at a time as the program makes them, as the other sides fill their buffers
// ("modern"); and the program's own containers of the same values, made inside the timed run
// and sent by execute_many ("vectors"). The fetches as typed rows of a query, each made a row
// of the workload.

#include "bench/FetchWorkload.h"
#include "bench/InsertWorkload.h"
#include "odbc/OCLModern.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace bench {

namespace {

ocl::sql::connection& SharedModernConnection(const TDriver& Driver) {
  return SharedConnection<ocl::sql::connection>("modern", Driver, [&Driver] {
    return std::make_unique<ocl::sql::connection>(Driver.ConnectString);
  });
}

// An insert workload through the interface: a new table, the statement made in each run and
// freed after the last, as the other sides free theirs; Send inserts the run's rows through it,
// in the transaction of its own that the interface opens.
template <class TSend>
void Insert(benchmark::State& State, const TDriver& Driver, bool Nulls, TSend Send) {
  using namespace insert;
  NewTable(Driver);
  std::optional<ocl::sql::connection> db(std::in_place, Driver.ConnectString);
  std::optional<ocl::sql::statement> statement;
  for (auto _ : Timed(State)) {
    statement.emplace(*db, std::string("INSERT INTO ") + Table + " VALUES (:id, :name, :value)");
    Send(*statement, Batches() * ArraySize(), Nulls);
  }
  statement.reset();
  db.reset();
  CheckInserted(State, Driver, Nulls);
}

// The rows made one at a time and added to the batch; with Nulls, a row whose name goes as
// NULL has none made.
template <class TName>
void Batch(ocl::sql::statement& Statement, std::size_t Count, bool Nulls) {
  using namespace insert;
  Statement.execute_batch<SQLINTEGER, TName, double>([&](auto& rows) {
    for (std::size_t row = 0; row < Count; ++row) {
      const auto id = static_cast<SQLINTEGER>(row);
      const double value = static_cast<double>(row) / 8;
      if (Nulls && TRows::IsNull(row % ArraySize())) {
        rows.add(id, TName(), value);
      } else {
        char name[32];
        rows.add(id, std::string_view(name, WriteName(row, name, sizeof name)), value);
      }
    }
  });
}

// The program's own containers of the rows, made in the run as the other sides fill their
// buffers; names without NULL in a vector of texts, with them as optional texts.
template <class TName>
void Vectors(ocl::sql::statement& Statement, std::size_t Count, bool Nulls) {
  using namespace insert;
  std::vector<SQLINTEGER> ids(Count);
  std::vector<TName> names;
  std::vector<double> values(Count);
  names.reserve(Count);
  for (std::size_t row = 0; row < Count; ++row) {
    ids[row] = static_cast<SQLINTEGER>(row);
    char name[32];
    if (Nulls && TRows::IsNull(row % ArraySize()))
      names.emplace_back();
    else
      names.emplace_back(std::string_view(name, WriteName(row, name, sizeof name)));
    values[row] = static_cast<double>(row) / 8;
  }
  Statement.execute_many(ids, names, values);
}

// The rows of a query as tuples of the Columns, each made a TRow.
template <class TRow, class... Columns>
void Fetch(benchmark::State& State, const TDriver& Driver, const char* Sql) {
  ocl::sql::connection& db = SharedModernConnection(Driver);
  for (auto _ : Timed(State)) {
    std::vector<TRow> rows;
    rows.reserve(Rows());
    {
      ocl::sql::result<Columns...> result = db.query<Columns...>(Sql);
      for (auto&& row : result)
        std::apply([&](auto&... values) { rows.emplace_back(std::move(values)...); }, row);
    }
    fetch::Check(State, std::move(rows));
  }
}

const TSide insert("Insert", "modern", [](auto& State, auto& Driver) {
  Insert(State, Driver, false, Batch<std::string_view>);
});
const TSide insertNulls("InsertNulls", "modern", [](auto& State, auto& Driver) {
  Insert(State, Driver, true, Batch<std::optional<std::string_view>>);
});
const TSide insertVectors("Insert", "vectors", [](auto& State, auto& Driver) {
  Insert(State, Driver, false, Vectors<std::string>);
});
const TSide insertNullsVectors("InsertNulls", "vectors", [](auto& State, auto& Driver) {
  Insert(State, Driver, true, Vectors<std::optional<std::string>>);
});
const TSide fetchRows("fetch", "modern", [](auto& State, auto& Driver) {
  Fetch<fetch::TFetchedRow, std::int64_t, std::string, double>(State, Driver, fetch::Select);
});
const TSide fetchText("fetchText", "modern", [](auto& State, auto& Driver) {
  Fetch<fetch::TTextRow, std::int64_t, std::string>(State, Driver, fetch::SelectText);
});

}  // namespace

}  // namespace bench
