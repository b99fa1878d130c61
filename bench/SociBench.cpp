// The workloads through SOCI's ODBC backend, the C++ peer the library is measured against, in
// the way SOCI offers for bulk work: vectors bound to a prepared statement, executed once per
// array of 1,000 rows, and fetched rowset by rowset into vectors. SOCI binds texts as
// std::string: the insert copies each name from the array every side fills into its string,
// and the fetch moves each fetched string into the row. Rows with a TEXT column are fetched
// one at a time, into a string (into vectors, 2,000 rows took longer still).

#include "bench/FetchWorkload.h"
#include "bench/InsertWorkload.h"

#include <soci/odbc/soci-odbc.h>
#include <soci/soci.h>

#include <memory>

namespace bench {

namespace {

std::unique_ptr<soci::session> Connect(const TDriver& Driver) {
  soci::connection_parameters parameters(soci::odbc, Driver.ConnectString);
  parameters.set_option(soci::odbc_option_driver_complete, "0");  // SQL_DRIVER_NOPROMPT
  return std::make_unique<soci::session>(parameters);
}

soci::session& SharedSession(const TDriver& Driver) {
  return SharedConnection<soci::session>("soci", Driver, [&Driver] { return Connect(Driver); });
}

void Insert(benchmark::State& State, const TDriver& Driver, bool Nulls) {
  using namespace insert;
  NewTable(Driver);
  std::unique_ptr<soci::session> db = Connect(Driver);
  TRows rows(ArraySize());
  std::vector<std::string> names(rows.Size());
  std::vector<soci::indicator> nameInd(rows.Size(), soci::i_ok);
  if (Nulls)
    for (std::size_t i = 0; i < rows.Size(); ++i)
      if (TRows::IsNull(i)) nameInd[i] = soci::i_null;
  for (auto _ : Timed(State)) {
    soci::transaction transaction(*db);
    soci::statement insert =
        (db->prepare << std::string("INSERT INTO ") + Table + " VALUES (:id, :name, :value)",
         soci::use(rows.Ids), soci::use(names, nameInd), soci::use(rows.Values));
    for (std::size_t batch = 0; batch < Batches(); ++batch) {
      rows.Fill(batch, Nulls);
      for (std::size_t i = 0; i < rows.Size(); ++i) names[i].assign(&rows.Names[i * 256]);
      insert.execute(true);
    }
    transaction.commit();
  }
  db.reset();
  CheckInserted(State, Driver, Nulls);
}

// The rows of a query in rowsets of 1,000, each made a row by Take from the vectors.
template <class TRow, class TVectors, class TTake>
void Fetch(benchmark::State& State, const TDriver& Driver, const char* Sql, TTake Take) {
  soci::session& db = SharedSession(Driver);
  for (auto _ : Timed(State)) {
    TVectors vectors(fetch::RowSet);
    soci::statement select = vectors.Prepare(db, Sql);
    select.execute();
    std::vector<TRow> rows;
    rows.reserve(Rows());
    while (select.fetch()) {
      for (std::size_t i = 0; i < vectors.Ids.size(); ++i) rows.push_back(Take(vectors, i));
      vectors.Resize(fetch::RowSet);
    }
    fetch::Check(State, std::move(rows));
  }
}

struct TFetchVectors {
  explicit TFetchVectors(std::size_t Size) { Resize(Size); }
  void Resize(std::size_t Size) {
    Ids.resize(Size);
    Names.resize(Size);
    Amounts.resize(Size);
    IdInd.resize(Size);
    NameInd.resize(Size);
    AmountInd.resize(Size);
  }
  soci::statement Prepare(soci::session& Db, const char* Sql) {
    return (Db.prepare << Sql, soci::into(Ids, IdInd), soci::into(Names, NameInd),
            soci::into(Amounts, AmountInd));
  }
  std::vector<long long> Ids;
  std::vector<std::string> Names;
  std::vector<double> Amounts;
  std::vector<soci::indicator> IdInd, NameInd, AmountInd;
};

void FetchRows(benchmark::State& State, const TDriver& Driver) {
  Fetch<fetch::TFetchedRow, TFetchVectors>(
      State, Driver, fetch::Select, [](TFetchVectors& v, std::size_t i) {
        return fetch::TFetchedRow{v.IdInd[i] == soci::i_null ? 0 : v.Ids[i], std::move(v.Names[i]),
                                  v.AmountInd[i] == soci::i_null ? 0 : v.Amounts[i]};
      });
}

void FetchText(benchmark::State& State, const TDriver& Driver) {
  // SQLite's driver fills the buffer that SOCI binds for a TEXT value to its end with zeros
  // (strncpy): callgrind counted 5.7 million instructions a row, 77 s for 2,000 rows.
  if (Driver.Name == "SQLite") return State.SkipWithError("SOCI's TEXT buffer on SQLite");
  soci::session& db = SharedSession(Driver);
  for (auto _ : Timed(State)) {
    long long id = 0;
    std::string body;
    soci::indicator idInd = soci::i_ok, bodyInd = soci::i_ok;
    soci::statement select =
        (db.prepare << fetch::SelectText, soci::into(id, idInd), soci::into(body, bodyInd));
    select.execute();
    std::vector<fetch::TTextRow> rows;
    rows.reserve(Rows());
    while (select.fetch()) rows.push_back({idInd == soci::i_null ? 0 : id, std::move(body)});
    fetch::Check(State, std::move(rows));
  }
}

const TSide insert("Insert", "soci",
                   [](auto& State, auto& Driver) { Insert(State, Driver, false); });
const TSide insertNulls("InsertNulls", "soci",
                        [](auto& State, auto& Driver) { Insert(State, Driver, true); });
const TSide fetchRows("fetch", "soci", FetchRows);
const TSide fetchText("fetchText", "soci", FetchText);

}  // namespace

}  // namespace bench
