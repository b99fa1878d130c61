// The fetch workloads with plain ODBC calls, and through the library's range of rows and
// typed cells. Rows with a TEXT column, long data: the plain side fetches row by row and gets
// each text whole with SQLGetData, the one way that reads every value whole on both drivers;
// the library fetches rowsets of 1,000 (SQLite's are filled row by row).

#include "bench/FetchWorkload.h"

#include <stdexcept>

namespace bench::fetch {

namespace {

constexpr SQLLEN NameLength = 41;  // VARCHAR(40) and its NUL

void Fill(const TDriver& Driver) {
  TRawConnection db(Driver);
  db.Exec("DROP TABLE IF EXISTS fetch_rows");
  db.Exec("CREATE TABLE fetch_rows (id INTEGER, name VARCHAR(40), amount " + Driver.DoubleType +
          ")");
  db.Exec("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
          std::to_string(Rows()) +
          ") INSERT INTO fetch_rows SELECT x, 'fetched row number ' || x, x * 0.25 FROM c");
}

// The library's side: the rows of a query in rowsets of 1,000 through Rows() and typed column
// views, each row made a TRow by the reader that Read makes of the statement once its columns
// are bound. Queries run prepared, the cheaper way on PostgreSQL. The statement goes before
// the rows are checked, as the plain side frees its handle.
template <class TRow, class TRead>
void LibraryRows(benchmark::State& State, const TDriver& Driver, const char* Sql, TRead Read) {
  ocl::THdbc& db = SharedLibraryConnection(Driver);
  for (auto _ : Timed(State)) {
    std::unique_ptr<ocl::THstmt> stmt(rtl::TComponent::Create<ocl::THstmt>(nullptr));
    stmt->SethDbc(&db);
    stmt->SetRowSetSize(RowSet);
    stmt->SetSQL(Sql);
    stmt->Prepare();
    stmt->Execute();
    auto take = Read(*stmt);
    std::vector<TRow> rows;
    rows.reserve(Rows());
    for (auto& row : stmt->Rows()) rows.push_back(take(row));
    stmt.reset();
    Check(State, std::move(rows));
  }
}

void Raw(benchmark::State& State, const TDriver& Driver) {
  TRawConnection& db = SharedRawConnection(Driver);
  for (auto _ : Timed(State)) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    Ensure(SQLAllocHandle(SQL_HANDLE_STMT, db.Dbc(), &stmt), SQL_HANDLE_DBC, db.Dbc());
    SQLULEN fetched = 0;
    std::vector<std::int32_t> ids(RowSet);
    std::vector<char> names(RowSet * NameLength);
    std::vector<double> amounts(RowSet);
    std::vector<SQLLEN> idInd(RowSet), nameInd(RowSet), amountInd(RowSet);
    Ensure(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, ocl::IntegerAttribute(RowSet), 0),
           SQL_HANDLE_STMT, stmt);
    Ensure(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), SQL_HANDLE_STMT, stmt);
    std::string text = Select;
    Ensure(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS), SQL_HANDLE_STMT,
           stmt);
    SQLBindCol(stmt, 1, SQL_C_SLONG, ids.data(), 0, idInd.data());
    SQLBindCol(stmt, 2, SQL_C_CHAR, names.data(), NameLength, nameInd.data());
    SQLBindCol(stmt, 3, SQL_C_DOUBLE, amounts.data(), 0, amountInd.data());
    std::vector<TFetchedRow> rows;
    rows.reserve(Rows());
    SQLRETURN ret;
    while ((ret = SQLFetchScroll(stmt, SQL_FETCH_NEXT, 0)) != SQL_NO_DATA) {
      Ensure(ret, SQL_HANDLE_STMT, stmt);
      for (SQLULEN i = 0; i < fetched; ++i) {
        if (nameInd[i] >= NameLength) throw std::runtime_error("a name was cut");
        rows.push_back({idInd[i] == SQL_NULL_DATA ? 0 : ids[i],
                        std::string(&names[i * NameLength], nameInd[i] > 0 ? nameInd[i] : 0),
                        amountInd[i] == SQL_NULL_DATA ? 0 : amounts[i]});
      }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    Check(State, std::move(rows));
  }
}

void Library(benchmark::State& State, const TDriver& Driver) {
  LibraryRows<TFetchedRow>(State, Driver, Select, [](ocl::THstmt& stmt) {
    return [id = stmt.Column<std::int64_t>(1), name = stmt.Column<std::string_view>(2),
            amount = stmt.Column<double>(3)](const ocl::TRowView& row) {
      return TFetchedRow{id[row], std::string(name[row]), amount[row]};
    };
  });
}

void FillText(const TDriver& Driver) {
  TRawConnection db(Driver);
  db.Exec("DROP TABLE IF EXISTS fetch_text");
  db.Exec("CREATE TABLE fetch_text (id INTEGER, body TEXT)");
  db.Exec("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
          std::to_string(Rows()) +
          ") INSERT INTO fetch_text SELECT x, 'the text of row number ' || x || ', long enough "
          "to stand for a note or a description that a table of this kind holds' FROM c");
}

// The text in pieces into the row, as long as the driver says more is to come.
std::string GetText(SQLHSTMT Stmt) {
  std::string text;
  char piece[4096];
  for (;;) {
    SQLLEN length = 0;
    SQLRETURN ret = SQLGetData(Stmt, 2, SQL_C_CHAR, piece, sizeof piece, &length);
    if (ret == SQL_NO_DATA || length == SQL_NULL_DATA) return text;
    Ensure(ret, SQL_HANDLE_STMT, Stmt);
    bool more = ret == SQL_SUCCESS_WITH_INFO;
    text.append(piece, more || length == SQL_NO_TOTAL ? sizeof piece - 1
                                                      : static_cast<std::size_t>(length));
    if (!more) return text;
  }
}

void RawText(benchmark::State& State, const TDriver& Driver) {
  TRawConnection& db = SharedRawConnection(Driver);
  for (auto _ : Timed(State)) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    Ensure(SQLAllocHandle(SQL_HANDLE_STMT, db.Dbc(), &stmt), SQL_HANDLE_DBC, db.Dbc());
    std::string text = SelectText;
    Ensure(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS), SQL_HANDLE_STMT,
           stmt);
    std::int64_t id = 0;
    SQLLEN idInd = 0;
    SQLBindCol(stmt, 1, SQL_C_SBIGINT, &id, 0, &idInd);
    std::vector<TTextRow> rows;
    rows.reserve(Rows());
    SQLRETURN ret;
    while ((ret = SQLFetch(stmt)) != SQL_NO_DATA) {
      Ensure(ret, SQL_HANDLE_STMT, stmt);
      rows.push_back({idInd == SQL_NULL_DATA ? 0 : id, GetText(stmt)});
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    Check(State, std::move(rows));
  }
}

void LibraryText(benchmark::State& State, const TDriver& Driver) {
  LibraryRows<TTextRow>(State, Driver, SelectText, [](ocl::THstmt& stmt) {
    return [id = stmt.Column<std::int64_t>(1),
            body = stmt.Column<std::string_view>(2)](const ocl::TRowView& row) {
      return TTextRow{id[row], std::string(body[row])};
    };
  });
}

const TSetup fill("fetch", Fill);
const TSetup fillText("fetchText", FillText);
const TSide raw("fetch", "raw", Raw);
const TSide library("fetch", "library", Library);
const TSide rawText("fetchText", "raw", RawText);
const TSide libraryText("fetchText", "library", LibraryText);

}  // namespace

}  // namespace bench::fetch
