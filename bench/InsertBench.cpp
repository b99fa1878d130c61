// The insert workloads with plain ODBC calls and with a statement component.

#include "bench/InsertWorkload.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace bench::insert {

void TRows::Fill(std::size_t Batch, bool Nulls) {
  for (std::size_t i = 0; i < Size(); ++i) {
    std::size_t row = Batch * Size() + i;
    Ids[i] = static_cast<SQLINTEGER>(row);
    if (!(Nulls && IsNull(i))) WriteName(row, &Names[i * 256], 256);
    Values[i] = static_cast<double>(row) / 8;
  }
}

std::size_t WriteName(std::size_t Row, char* Text, std::size_t Size) {
  return static_cast<std::size_t>(std::snprintf(Text, Size, "row %zu", Row));
}

void TRows::SetNameIndicators(SQLLEN* Ind) const {
  for (std::size_t i = 0; i < Size(); ++i) Ind[i] = IsNull(i) ? SQL_NULL_DATA : SQL_NTS;
}

std::size_t ArraySize() { return std::min<std::size_t>(1000, Rows()); }
std::size_t Batches() { return Rows() / ArraySize(); }

// PostgreSQL then writes out what earlier runs left in its log, so that every run starts from
// the same state.
void NewTable(const TDriver& Driver) {
  TRawConnection db(Driver);
  db.Exec(std::string("DROP TABLE IF EXISTS ") + Table);
  db.Exec(std::string("CREATE TABLE ") + Table + " (id INTEGER, name VARCHAR(40), value " +
          Driver.DoubleType + ")");
  if (Driver.Name == "PostgreSQL") db.Exec("CHECKPOINT");
}

void CheckInserted(benchmark::State& State, const TDriver& Driver, bool Nulls) {
  TRawConnection db(Driver);
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  Ensure(SQLAllocHandle(SQL_HANDLE_STMT, db.Dbc(), &stmt), SQL_HANDLE_DBC, db.Dbc());
  std::string sql = std::string("SELECT COUNT(*), COUNT(name) FROM ") + Table;
  SQLBIGINT count = -1, names = -1;
  SQLLEN ind = 0;
  SQLRETURN ret = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS);
  if (SQL_SUCCEEDED(ret)) ret = SQLFetch(stmt);
  if (SQL_SUCCEEDED(ret)) SQLGetData(stmt, 1, SQL_C_SBIGINT, &count, 0, &ind);
  if (SQL_SUCCEEDED(ret)) SQLGetData(stmt, 2, SQL_C_SBIGINT, &names, 0, &ind);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  const auto rows = static_cast<SQLBIGINT>(Batches() * ArraySize());
  if (count != rows || names != (Nulls ? rows - rows / 10 : rows))
    State.SkipWithError(
        ("inserted " + std::to_string(count) + " rows, " + std::to_string(names) + " names")
            .c_str());
}

namespace {

void Raw(benchmark::State& State, const TDriver& Driver, bool Nulls) {
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
  for (auto _ : Timed(State)) {
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
      rows.Fill(batch, Nulls);
      if (Nulls) rows.SetNameIndicators(nameInd.data());
      Ensure(SQLExecute(stmt), SQL_HANDLE_STMT, stmt);
    }
    Ensure(SQLEndTran(SQL_HANDLE_DBC, db.Dbc(), SQL_COMMIT), SQL_HANDLE_DBC, db.Dbc());
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  CheckInserted(State, Driver, Nulls);
}

void Library(benchmark::State& State, const TDriver& Driver, bool Nulls) {
  NewTable(Driver);
  std::unique_ptr<ocl::THdbc> db = LibraryConnection(Driver);
  db->SetAutoCommit(false);
  std::unique_ptr<ocl::THstmt> stmt(rtl::TComponent::Create<ocl::THstmt>(nullptr));
  stmt->SethDbc(db.get());
  stmt->SetSQL(std::string("INSERT INTO ") + Table + " VALUES (:id, :name, :value)");
  TRows rows(ArraySize());
  const auto size = static_cast<SQLLEN>(rows.Size());
  for (auto _ : Timed(State)) {
    stmt->Prepare();
    stmt->BindParameter("id", SQL_C_SLONG, rows.Ids.data(), SQL_INTEGER, 0, 0, size);
    stmt->BindParameter("name", SQL_C_CHAR, rows.Names.data(), SQL_VARCHAR, 40, 0, size);
    stmt->BindParameter("value", SQL_C_DOUBLE, rows.Values.data(), SQL_DOUBLE, 0, 0, size);
    SQLLEN* nameInd = Nulls ? stmt->ParamIndicators(stmt->ParamNumbers("name").front()) : nullptr;
    for (std::size_t batch = 0; batch < Batches(); ++batch) {
      rows.Fill(batch, Nulls);
      if (Nulls) rows.SetNameIndicators(nameInd);
      stmt->Execute();
    }
    db->Commit();
  }
  stmt.reset();
  db.reset();
  CheckInserted(State, Driver, Nulls);
}

const TSide raw("Insert", "raw", [](auto& State, auto& Driver) { Raw(State, Driver, false); });
const TSide library("Insert", "library",
                    [](auto& State, auto& Driver) { Library(State, Driver, false); });
const TSide rawNulls("InsertNulls", "raw",
                     [](auto& State, auto& Driver) { Raw(State, Driver, true); });
const TSide libraryNulls("InsertNulls", "library",
                         [](auto& State, auto& Driver) { Library(State, Driver, true); });

}  // namespace

}  // namespace bench::insert
