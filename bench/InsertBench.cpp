// Inserting rows (INTEGER, VARCHAR(40), DOUBLE) in one transaction through parameter arrays of
// 1,000 rows bound with named types: a prepared INSERT executed once per array, with plain
// ODBC calls and with a statement component, on the same buffers; and through the C++
// interface, from a program's containers of the same values. Rows() is rounded down to whole
// arrays.

#include "bench/BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace bench {

namespace {

constexpr const char* Table = "bench_insert";

// One array of rows, laid out as both sides bind it: texts 256 bytes apart.
struct TRows {
  explicit TRows(std::size_t Size) : Ids(Size), Names(Size * 256), Values(Size) {}
  std::size_t Size() const { return Ids.size(); }
  // The rows of array number Batch.
  void Fill(std::size_t Batch) {
    for (std::size_t i = 0; i < Size(); ++i) {
      std::size_t row = Batch * Size() + i;
      Ids[i] = static_cast<SQLINTEGER>(row);
      std::snprintf(&Names[i * 256], 256, "row %zu", row);
      Values[i] = static_cast<double>(row) / 8;
    }
  }
  std::vector<SQLINTEGER> Ids;
  std::vector<char> Names;
  std::vector<double> Values;
};

std::size_t ArraySize() { return std::min<std::size_t>(1000, Rows()); }
std::size_t Batches() { return Rows() / ArraySize(); }

// An empty table, made on a connection of its own. PostgreSQL then writes out what earlier
// runs left in its log, so that every run starts from the same state.
void NewTable(const TDriver& Driver) {
  TRawConnection db(Driver);
  db.Exec(std::string("DROP TABLE IF EXISTS ") + Table);
  db.Exec(std::string("CREATE TABLE ") + Table + " (id INTEGER, name VARCHAR(40), value " +
          Driver.DoubleType + ")");
  if (Driver.Name == "PostgreSQL") db.Exec("CHECKPOINT");
}

// The rows in the table, for a run that must have inserted them all.
void CheckInserted(benchmark::State& State, const TDriver& Driver) {
  TRawConnection db(Driver);
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  Ensure(SQLAllocHandle(SQL_HANDLE_STMT, db.Dbc(), &stmt), SQL_HANDLE_DBC, db.Dbc());
  std::string sql = std::string("SELECT COUNT(*) FROM ") + Table;
  SQLBIGINT count = -1;
  SQLLEN ind = 0;
  SQLRETURN ret = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS);
  if (SQL_SUCCEEDED(ret)) ret = SQLFetch(stmt);
  if (SQL_SUCCEEDED(ret)) SQLGetData(stmt, 1, SQL_C_SBIGINT, &count, 0, &ind);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  if (count != static_cast<SQLBIGINT>(Batches() * ArraySize()))
    State.SkipWithError(("inserted " + std::to_string(count) + " rows").c_str());
}

void Raw(benchmark::State& State, const TDriver& Driver) {
  NewTable(Driver);
  TRawConnection db(Driver);
  Ensure(SQLSetConnectAttr(db.Dbc(), SQL_ATTR_AUTOCOMMIT, ocl::IntegerAttribute(SQL_AUTOCOMMIT_OFF),
                           0),
         SQL_HANDLE_DBC, db.Dbc());
  TRows rows(ArraySize());
  std::vector<SQLLEN> idInd(rows.Size(), 0), nameInd(rows.Size(), SQL_NTS),
      valueInd(rows.Size(), 0);
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  Ensure(SQLAllocHandle(SQL_HANDLE_STMT, db.Dbc(), &stmt), SQL_HANDLE_DBC, db.Dbc());
  std::string sql = std::string("INSERT INTO ") + Table + " VALUES (?, ?, ?)";
  for (auto _ : State) {
    Ensure(SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS), SQL_HANDLE_STMT,
           stmt);
    Ensure(SQLSetStmtAttr(stmt, SQL_ATTR_PARAMSET_SIZE, ocl::IntegerAttribute(rows.Size()), 0),
           SQL_HANDLE_STMT, stmt);
    Ensure(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                            rows.Ids.data(), 0, idInd.data()),
           SQL_HANDLE_STMT, stmt);
    Ensure(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 40, 0,
                            rows.Names.data(), 256, nameInd.data()),
           SQL_HANDLE_STMT, stmt);
    Ensure(SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0,
                            rows.Values.data(), 0, valueInd.data()),
           SQL_HANDLE_STMT, stmt);
    for (std::size_t batch = 0; batch < Batches(); ++batch) {
      rows.Fill(batch);
      Ensure(SQLExecute(stmt), SQL_HANDLE_STMT, stmt);
    }
    Ensure(SQLEndTran(SQL_HANDLE_DBC, db.Dbc(), SQL_COMMIT), SQL_HANDLE_DBC, db.Dbc());
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  CheckInserted(State, Driver);
}

void Library(benchmark::State& State, const TDriver& Driver) {
  NewTable(Driver);
  std::unique_ptr<ocl::THdbc> db = LibraryConnection(Driver);
  db->SetAutoCommit(false);
  std::unique_ptr<ocl::THstmt> stmt(rtl::TComponent::Create<ocl::THstmt>(nullptr));
  stmt->SethDbc(db.get());
  stmt->SetSQL(std::string("INSERT INTO ") + Table + " VALUES (:id, :name, :value)");
  TRows rows(ArraySize());
  const auto size = static_cast<SQLLEN>(rows.Size());
  for (auto _ : State) {
    stmt->Prepare();
    stmt->BindParameter("id", SQL_C_SLONG, rows.Ids.data(), SQL_INTEGER, 0, 0, size);
    stmt->BindParameter("name", SQL_C_CHAR, rows.Names.data(), SQL_VARCHAR, 40, 0, size);
    stmt->BindParameter("value", SQL_C_DOUBLE, rows.Values.data(), SQL_DOUBLE, 0, 0, size);
    for (std::size_t batch = 0; batch < Batches(); ++batch) {
      rows.Fill(batch);
      stmt->Execute();
    }
    db->Commit();
  }
  stmt.reset();
  db.reset();
  CheckInserted(State, Driver);
}

// The containers are made in the timed run, with the same formatting as the other sides' fill.
void Modern(benchmark::State& State, const TDriver& Driver) {
  NewTable(Driver);
  std::optional<ocl::sql::connection> db(std::in_place, Driver.ConnectString);
  const std::size_t count = Batches() * ArraySize();
  for (auto _ : State) {
    ocl::sql::statement insert(
        *db, std::string("INSERT INTO ") + Table + " VALUES (:id, :name, :value)");
    std::vector<SQLINTEGER> ids;
    std::vector<std::string> names;
    std::vector<double> values;
    ids.reserve(count);
    names.reserve(count);
    values.reserve(count);
    char name[256];
    for (std::size_t row = 0; row < count; ++row) {
      ids.push_back(static_cast<SQLINTEGER>(row));
      names.emplace_back(name, std::snprintf(name, sizeof name, "row %zu", row));
      values.push_back(static_cast<double>(row) / 8);
    }
    // In one transaction of its own, as the other sides' one.
    insert.execute_many(ids, names, values);
  }
  db.reset();
  CheckInserted(State, Driver);
}

void Register() {
  RegisterPair("Insert", Raw, Library);
  RegisterSide("Insert", "modern", Modern);
}

static TWorkload workload(Register);

}  // namespace

}  // namespace bench
