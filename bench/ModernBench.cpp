// The workloads through the library's C++ interface: the inserts from a program's containers of
// the same values the other sides bind (made inside the timed run, as a program makes them),
// sent by execute_many; the fetches as typed rows of a query, each made a row of the workload.

#include "bench/FetchWorkload.h"
#include "bench/InsertWorkload.h"
#include "odbc/OCLModern.h"

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace bench {

namespace {

ocl::sql::connection& SharedModernConnection(const TDriver& Driver) {
  return SharedConnection<ocl::sql::connection>("modern", Driver, [&Driver] {
    return std::make_unique<ocl::sql::connection>(Driver.ConnectString);
  });
}

void Insert(benchmark::State& State, const TDriver& Driver, bool Nulls) {
  using namespace insert;
  NewTable(Driver);
  std::optional<ocl::sql::connection> db(std::in_place, Driver.ConnectString);
  TRows rows(ArraySize());
  for (auto _ : Timed(State)) {
    ocl::sql::statement insert(
        *db, std::string("INSERT INTO ") + Table + " VALUES (:id, :name, :value)");
    std::vector<SQLINTEGER> ids;
    std::vector<std::optional<std::string>> names;
    std::vector<double> values;
    const std::size_t count = Batches() * rows.Size();
    ids.reserve(count);
    names.reserve(count);
    values.reserve(count);
    for (std::size_t batch = 0; batch < Batches(); ++batch) {
      rows.Fill(batch);
      for (std::size_t i = 0; i < rows.Size(); ++i) {
        ids.push_back(rows.Ids[i]);
        if (Nulls && TRows::IsNull(i))
          names.emplace_back();
        else
          names.emplace_back(&rows.Names[i * 256]);
        values.push_back(rows.Values[i]);
      }
    }
    // In one transaction of its own, as the other sides' one.
    insert.execute_many(ids, names, values);
  }
  db.reset();
  CheckInserted(State, Driver, Nulls);
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
        std::apply([&](auto&... values) { rows.push_back(TRow{std::move(values)...}); }, row);
    }
    fetch::Check(State, std::move(rows));
  }
}

const TSide insert("Insert", "modern",
                   [](auto& State, auto& Driver) { Insert(State, Driver, false); });
const TSide insertNulls("InsertNulls", "modern",
                        [](auto& State, auto& Driver) { Insert(State, Driver, true); });
const TSide fetchRows("fetch", "modern", [](auto& State, auto& Driver) {
  Fetch<fetch::TFetchedRow, std::int64_t, std::string, double>(State, Driver, fetch::Select);
});
const TSide fetchText("fetchText", "modern", [](auto& State, auto& Driver) {
  Fetch<fetch::TTextRow, std::int64_t, std::string>(State, Driver, fetch::SelectText);
});

}  // namespace

}  // namespace bench
