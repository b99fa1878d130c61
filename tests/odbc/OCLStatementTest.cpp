// Statements on the two real drivers: linking to a connection, executing, values reaching the
// table unchanged, parameter arrays in transactions, cancel, stored descriptions.

#include "rtl/ComponentReader.h"
#include "tests/odbc/OdbcTestSupport.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace ocl;
using ocl_test::Raised;

namespace {

// The first column of the first row, read whole with plain ODBC calls.
std::string ReadValue(THdbc& db, const std::string& sql, SQLSMALLINT cType = SQL_C_CHAR) {
  ocl_test::TRawStatement raw(nullptr, db);
  raw.Execute(sql);
  raw.Check(SQLFetch(raw.Handle()));
  std::string value;
  std::vector<char> buffer(65536);
  const SQLLEN room = static_cast<SQLLEN>(buffer.size()) - (cType == SQL_C_CHAR ? 1 : 0);
  for (;;) {
    SQLLEN ind = 0;
    SQLRETURN ret = SQLGetData(raw.Handle(), 1, cType, buffer.data(), buffer.size(), &ind);
    if (ret == SQL_NO_DATA) break;
    raw.Check(ret);
    if (ind == SQL_NULL_DATA) return "(null)";
    value.append(buffer.data(), ind == SQL_NO_TOTAL || ind > room ? room : ind);
    if (ret == SQL_SUCCESS) break;
  }
  return value;
}

long long Count(THdbc& db, const std::string& sql) { return std::stoll(ReadValue(db, sql)); }

// A new empty table; the test server keeps its tables from one test program to the next.
void NewTable(THdbc& db, const std::string& table, const std::string& columns) {
  ocl_test::ExecSql(db, "DROP TABLE IF EXISTS " + table);
  ocl_test::ExecSql(db, "CREATE TABLE " + table + " (" + columns + ")");
}

class StatementTest : public ocl_test::OdbcTest {
 protected:
  void TearDown() override {
    owner_.reset();
    OdbcTest::TearDown();
  }
  // A connection to the test's SQLite database, or to the test server.
  THdbc* Open(const std::string& driver, bool autoCommit = true) {
    auto* db = rtl::TComponent::Create<THdbc>(owner_.get());
    db->SetAutoCommit(autoCommit);
    if (driver == "SQLite")
      ocl_test::UseSqlite(*db, folder_.File("test.db"));
    else
      ocl_test::UsePostgres(*db);
    db->Connect();
    return db;
  }
  THstmt* NewStatement(THdbc* db, const std::string& sql) {
    auto* stmt = rtl::TComponent::Create<THstmt>(owner_.get());
    stmt->SethDbc(db);
    stmt->SetName("Stmt");
    stmt->SetSQL(sql);
    return stmt;
  }
  testing_support::TempFolder folder_;
  std::unique_ptr<rtl::TComponent> owner_ = std::make_unique<rtl::TComponent>(nullptr);
};

TEST_F(StatementTest, AStatementLinksToTheFirstConnectionOfItsOwner) {
  auto* first = Open("SQLite");
  rtl::TComponent::Create<THdbc>(owner_.get());
  auto* stmt = rtl::TComponent::Create<THstmt>(owner_.get());
  stmt->SetName("Orders");
  EXPECT_EQ(stmt->hDbc(), first);
  stmt->SetSQL("CREATE TABLE t (a INTEGER)");
  stmt->Execute();
  EXPECT_TRUE(stmt->Allocated());

  delete first;
  EXPECT_EQ(stmt->hDbc(), nullptr);
  EXPECT_FALSE(stmt->Allocated());
  EXPECT_EQ(Raised<rtl::Exception>([&] { stmt->Prepare(); }).Message(),
            "Property Hdbc of Orders not set.");
  auto* third = rtl::TComponent::Create<THdbc>(owner_.get());
  EXPECT_EQ(stmt->hDbc(), third);
}

TEST_F(StatementTest, AStatementOwnedByItsConnectionGoesWithIt) {
  THdbc* db = Open("SQLite");
  auto* stmt = rtl::TComponent::Create<THstmt>(db);
  stmt->SethDbc(db);
  stmt->SetSQL("CREATE TABLE owned (a INTEGER)");
  stmt->Execute();
  ASSERT_EQ(db->Children().Items(), (std::vector<THbase*>{stmt}));
  int released = 0;
  stmt->OnFreeHandle = [&](rtl::TComponent*) { ++released; };
  // The statement goes in the connection's teardown, and leaves its list as it goes.
  delete db;
  EXPECT_EQ(released, 1);
  EXPECT_TRUE(Environment()->Children().Empty());
}

TEST_F(StatementTest, AStoredStatementLinkedByNameExecutes) {
  std::string text =
      "object Other: THdbc\nend\n"
      "object Db: THdbc\n  Driver = 'SQLite3'\n  Attributes = ('Database=" +
      folder_.File("stored.db") +
      "')\nend\n"
      "object Create: THstmt\n  hDbc = 'Db'\n  SQL = 'CREATE TABLE s (a INTEGER)'\n"
      "  BlobSize = 4096\n  BlobPlacement = 2\nend\n";
  rtl::ReadComponents(text, owner_.get());
  auto* stmt = dynamic_cast<THstmt*>(owner_->FindComponent("Create"));
  ASSERT_NE(stmt, nullptr);
  EXPECT_EQ(stmt->hDbc(), owner_->FindComponent("Db"));
  EXPECT_EQ(stmt->BlobSize(), 4096);
  EXPECT_EQ(stmt->BlobPlacement(), bpByExec);
  stmt->Prepare();
  stmt->Execute();
  EXPECT_EQ(Count(*stmt->hDbc(), "SELECT COUNT(*) FROM s"), 0);
}

class BothDrivers : public StatementTest, public ::testing::WithParamInterface<const char*> {
 protected:
  bool Sqlite() const { return std::string(GetParam()) == "SQLite"; }
};

TEST_P(BothDrivers, StatementsRunPreparedAndDirect) {
  THdbc* db = Open(GetParam());
  THstmt* stmt = NewStatement(db, "DROP TABLE IF EXISTS items");
  stmt->Execute();
  stmt->SetSQL("CREATE TABLE items (id INTEGER, name VARCHAR(40))");
  stmt->Prepare();
  stmt->Execute();
  stmt->SetSQL("INSERT INTO items VALUES (:id, :name)");
  stmt->Prepare();
  SQLINTEGER id = 1;
  char name[256] = "one";
  stmt->BindParamTyped("ID", SQL_C_SLONG, &id, SQL_INTEGER);
  stmt->BindParamTyped("name", SQL_C_CHAR, name, SQL_VARCHAR);
  stmt->Execute();
  stmt->SetRowSetSize(stmt->RowSetSize());  // the size it has: the bindings stay
  id = 2;
  std::strcpy(name, "two");
  stmt->Execute();
  EXPECT_EQ(ReadValue(*db, "SELECT name FROM items WHERE id = 2"), "two");
  // A query sent directly runs again while its cursor is open.
  stmt->SetSQL("SELECT name FROM items");
  stmt->Execute();
  EXPECT_NO_THROW(stmt->Execute());
  // A prepared query whose handle went with its connection's runs from its text.
  stmt->Prepare();
  db->Disconnect();
  EXPECT_FALSE(stmt->Prepared());
  EXPECT_NO_THROW(stmt->Execute());
  EXPECT_EQ(Raised<rtl::Exception>([&] { stmt->BindParam("nom", SQL_C_CHAR, name); }).Message(),
            "Parameter :nom not found in the SQL of Stmt.");

  // A change that matches no row is no error, and no execution either.
  int executed = 0;
  stmt->OnExecute = [&](rtl::TComponent*) { ++executed; };
  stmt->SetSQL("UPDATE items SET name = 'x' WHERE id = 99");
  stmt->Execute();
  EXPECT_EQ(stmt->LastRet, SQL_NO_DATA);
  // Also when its result comes after long data.
  stmt->SetSQL("UPDATE items SET name = :name WHERE id = 99");
  stmt->SetBlobPlacement(bpByParts);
  rtl::TMemoryStream text("long");
  stmt->BindBlobParam("name", &text, false);
  stmt->Execute();
  EXPECT_EQ(stmt->LastRet, SQL_NO_DATA);
  EXPECT_TRUE(stmt->Executed());
  EXPECT_EQ(executed, 0);

  // A syntax error is the driver's, also in the asynchronous mode; its exception outlives the
  // statement.
  stmt->SetSQL("SELEKT 1");
  const std::string syntaxError = Sqlite() ? "HY000" : "42601";
  stmt->SetExecAsync(true);
  EXPECT_EQ(Raised<EODBC>([&] { stmt->Execute(); }).SqlState, syntaxError);
  stmt->SetExecAsync(false);
  EODBC e = Raised<EODBC>([&] { stmt->Execute(); });
  EXPECT_EQ(e.SqlState, syntaxError);
  EXPECT_EQ(e.Component, stmt);
  delete stmt;
  THbase* component = e.Component;
  EXPECT_EQ(component, nullptr);
}

// Whether a pointer to T binds as a plain value buffer.
template <class T>
concept BindsAsBuffer = requires(THstmt& s, T* v) {
  s.BindParam(1, SQL_C_BINARY, v);
}
|| requires(THstmt& s, T* v) { s.BindParam("p", SQL_C_BINARY, v); }
|| requires(THstmt& s, T* v) { s.BindParameter(1, SQL_C_BINARY, v, SQL_BINARY, 0, 0, 0); }
|| requires(THstmt& s, T* v) { s.BindParameter("p", SQL_C_BINARY, v, SQL_BINARY, 0, 0, 0); };
static_assert(BindsAsBuffer<char>);
// A stream there would send the stream object itself.
static_assert(!BindsAsBuffer<rtl::TMemoryStream>);

TEST_P(BothDrivers, ValuesReachTheTableUnchanged) {
  THdbc* db = Open(GetParam());
  NewTable(*db, "docs",
           std::string("id INTEGER, amount DECIMAL(10, 2), body TEXT, data ") +
               (Sqlite() ? "BLOB" : "BYTEA"));
  std::string body(1 << 20, ' '), data(1 << 20, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) {
    body[i] = static_cast<char>('a' + i % 26);
    data[i] = static_cast<char>(i * 7 % 256);
  }
  rtl::TMemoryStream bodyStream(body), dataStream(data);
  THstmt* stmt = NewStatement(db, "INSERT INTO docs (id, body, data) VALUES (:id, :body, :data)");
  struct {
    TBlobPlacement placement;
    bool async;
    bool typed;  // BindParamTyped with the long types, else BindBlobParam
  } ways[] = {{bpByParts, false, false},
              {bpByExec, false, false},
              {bpByParts, true, false},
              {bpDetect, false, true}};
  for (SQLINTEGER id = 0; id < SQLINTEGER(std::size(ways)); ++id) {
    stmt->SetBlobPlacement(ways[id].placement);
    stmt->SetExecAsync(ways[id].async);
    stmt->Prepare();
    stmt->BindParam("id", SQL_C_SLONG, &id);
    if (ways[id].typed) {
      stmt->BindParamTyped("body", SQL_C_CHAR, &bodyStream, SQL_LONGVARCHAR);
      stmt->BindParamTyped("data", SQL_C_BINARY, &dataStream, SQL_LONGVARBINARY);
    } else {
      stmt->BindBlobParam("body", &bodyStream, false);
      stmt->BindBlobParam("data", &dataStream, true);
    }
    stmt->Execute();
    std::string where = " FROM docs WHERE id = " + std::to_string(id);
    EXPECT_TRUE(ReadValue(*db, "SELECT body" + where) == body) << id;
    EXPECT_TRUE(ReadValue(*db, "SELECT data" + where, SQL_C_BINARY) == data) << id;
  }
  stmt->SetExecAsync(false);

  // Plain values bound with the type the driver describes (SQLite: a long text for all).
  stmt->SetSQL("INSERT INTO docs (id, body) VALUES (:id, :body)");
  stmt->Prepare();
  SQLINTEGER id = 42;
  char hello[] = "hello";
  stmt->BindParam("id", SQL_C_SLONG, &id);
  stmt->BindParam("body", SQL_C_CHAR, hello);
  stmt->Execute();
  EXPECT_EQ(ReadValue(*db, "SELECT body FROM docs WHERE id = 42"), "hello");

  // A number given as text.
  stmt->SetSQL("INSERT INTO docs (id, amount) VALUES (8, :amount)");
  char amount[] = "12.5";
  stmt->BindParamTyped("amount", SQL_C_CHAR, amount, SQL_DECIMAL);
  stmt->Execute();
  EXPECT_EQ(Count(*db, "SELECT COUNT(*) FROM docs WHERE amount = 12.5"), 1);

  // A binary value carries the length it is given.
  stmt->SetSQL("INSERT INTO docs (id, data) VALUES (7, :data)");
  unsigned char bytes[] = {0, 1, 0xfe, 0};
  stmt->BindParamTyped("data", SQL_C_BINARY, bytes, SQL_VARBINARY);
  stmt->SetParamLength(1, sizeof bytes);
  stmt->Execute();
  EXPECT_EQ(ReadValue(*db, "SELECT data FROM docs WHERE id = 7", SQL_C_BINARY),
            std::string("\0\1\xfe\0", 4));
}

TEST_P(BothDrivers, ParameterArraysInTransactions) {
  THdbc* db = Open(GetParam(), false);
  THdbc* other = Open(GetParam());
  NewTable(*other, "rows_",
           std::string("id INTEGER, name VARCHAR(40), value ") +
               (Sqlite() ? "DOUBLE" : "DOUBLE PRECISION"));
  const int n = 10000;
  std::vector<SQLINTEGER> ids(n);
  std::vector<char> names(n * 256);
  std::vector<double> values(n);
  for (int i = 0; i < n; ++i) {
    ids[i] = i;
    std::snprintf(&names[i * 256], 256, "name%d", i);
    values[i] = i / 4.0;
  }
  THstmt* stmt = NewStatement(db, "INSERT INTO rows_ VALUES (:id, :name, :value)");
  auto bind = [&](SQLLEN nameCount) {
    stmt->Prepare();
    stmt->BindParameter("id", SQL_C_SLONG, ids.data(), SQL_INTEGER, 0, 0, n);
    stmt->BindParameter("name", SQL_C_CHAR, names.data(), SQL_VARCHAR, 40, 0, nameCount);
    stmt->BindParameter("value", SQL_C_DOUBLE, values.data(), SQL_DOUBLE, 0, 0, n);
  };
  bind(n);
  stmt->Execute();
  const std::string count = "SELECT COUNT(*) FROM rows_";
  EXPECT_EQ(Count(*other, count), 0);
  db->Commit();
  EXPECT_EQ(Count(*other, count), n);
  EXPECT_EQ(ReadValue(*other, "SELECT name FROM rows_ WHERE id = 9999"), "name9999");
  EXPECT_EQ(Count(*other, "SELECT COUNT(*) FROM rows_ WHERE value = 2499.75"), 1);
  stmt->Execute();
  db->Rollback();
  EXPECT_EQ(Count(*other, count), n);

  // The short last block, rebound without a new Prepare: the execution takes its size.
  std::vector<SQLINTEGER> lastIds = {n, n + 1, n + 2};
  std::vector<char> lastNames(3 * 256);
  std::vector<double> lastValues(3, 0.5);
  stmt->BindParameter("id", SQL_C_SLONG, lastIds.data(), SQL_INTEGER, 0, 0, 3);
  stmt->BindParameter("name", SQL_C_CHAR, lastNames.data(), SQL_VARCHAR, 40, 0, 3);
  stmt->BindParameter("value", SQL_C_DOUBLE, lastValues.data(), SQL_DOUBLE, 0, 0, 3);
  stmt->Execute();
  db->Commit();
  EXPECT_EQ(Count(*other, count), n + 3);
  EXPECT_EQ(Count(*other, "SELECT MAX(id) FROM rows_"), n + 2);

  // Single values rebound as arrays.
  stmt->Prepare();
  stmt->BindParameter("id", SQL_C_SLONG, lastIds.data(), SQL_INTEGER, 0, 0, 0);
  stmt->BindParameter("name", SQL_C_CHAR, nullptr, SQL_VARCHAR, 40, 0, 0);
  stmt->BindParameter("value", SQL_C_DOUBLE, nullptr, SQL_DOUBLE, 0, 0, 0);
  stmt->BindParameter("id", SQL_C_SLONG, lastIds.data(), SQL_INTEGER, 0, 0, 3);
  stmt->BindParameter("name", SQL_C_CHAR, nullptr, SQL_VARCHAR, 40, 0, 3);
  stmt->BindParameter("value", SQL_C_DOUBLE, nullptr, SQL_DOUBLE, 0, 0, 3);
  stmt->Execute();
  db->Commit();
  EXPECT_EQ(Count(*other, count), n + 6);

  // A rebind of as many values that the driver refuses leaves the earlier ones bound, their
  // NULLs with them.
  stmt->BindParameter("name", SQL_C_CHAR, lastNames.data(), SQL_VARCHAR, 40, 0, 3);
  std::fill_n(stmt->ParamIndicators(2), 3, SQL_NULL_DATA);
  Raised<EODBC>(
      [&] { stmt->BindParameter("name", 9999, lastNames.data(), SQL_VARCHAR, 40, 0, 3); });
  stmt->Execute();
  db->Commit();
  EXPECT_EQ(Count(*other, "SELECT COUNT(*) FROM rows_ WHERE id > 10000 AND name IS NULL"), 4);

  // Arrays of different sizes would be read past the shorter one: refused.
  bind(5);
  EXPECT_EQ(Raised<rtl::Exception>([&] { stmt->Execute(); }).Message(),
            "Parameter 2 is bound with 5 value(s), but the execution needs 10000.");

  // After arrays, a statement without parameters runs once.
  stmt->SetSQL("INSERT INTO rows_ (id) VALUES (-1)");
  stmt->Execute();
  db->Commit();
  EXPECT_EQ(Count(*other, count), n + 10);
}

INSTANTIATE_TEST_SUITE_P(Drivers, BothDrivers, ::testing::Values("SQLite", "PostgreSQL"));

TEST_F(StatementTest, ParameterIndicatorsFollowTheTypes) {
  THstmt* stmt = NewStatement(Open("SQLite"), "INSERT INTO t VALUES (?, ?, ?)");
  stmt->AllocHandle();
  char text[8 * 256] = "x";
  stmt->BindParameter(1, SQL_C_CHAR, text, SQL_CHAR, 40, 0, 0);
  EXPECT_EQ(stmt->ParamIndicators(1)[0], SQL_NTS);
  stmt->BindParameter(1, SQL_C_CHAR, nullptr, SQL_CHAR, 40, 0, 0);
  EXPECT_EQ(stmt->ParamIndicators(1)[0], SQL_NULL_DATA);

  // An array takes the size of its latest bind.
  stmt->BindParameter(2, SQL_C_CHAR, text, SQL_VARCHAR, 40, 0, 5);
  stmt->BindParameter(2, SQL_C_CHAR, text, SQL_VARCHAR, 40, 0, 8);
  EXPECT_EQ(stmt->Params().back().Count, 8);
  EXPECT_EQ(std::vector<SQLLEN>(stmt->ParamIndicators(2), stmt->ParamIndicators(2) + 8),
            std::vector<SQLLEN>(8, SQL_NTS));
  EXPECT_EQ(stmt->ParamSetSize(), 8u);
  EXPECT_EQ(Raised<rtl::Exception>([&] {
              stmt->BindParameter(3, SQL_C_BINARY, text, SQL_LONGVARBINARY, 0, 0, 2);
            }).Message(),
            "Cannot insert bulk blobs.");

  // Long data: its length at execution, or in one piece; NULL when empty.
  rtl::TMemoryStream block(std::string(1000, 'b')), empty;
  for (auto [placement, indicator] : {std::pair{bpByParts, -1100}, std::pair{bpByExec, 1000}}) {
    stmt->SetBlobPlacement(placement);
    stmt->BindBlobParam(3, &block, true);
    EXPECT_EQ(stmt->ParamIndicators(3)[0], indicator);
    stmt->BindParamTyped(3, SQL_C_BINARY, &block, SQL_LONGVARBINARY);
    EXPECT_EQ(stmt->ParamIndicators(3)[0], indicator);
    stmt->BindBlobParam(3, &empty, true);
    EXPECT_EQ(stmt->ParamIndicators(3)[0], SQL_NULL_DATA);
  }
}

TEST_F(StatementTest, CancelFromAnotherThreadStopsTheServer) {
  THdbc* db = Open("PostgreSQL");
  THstmt* stmt = NewStatement(db, "SELECT pg_sleep(30)");
  std::atomic<bool> done = false;
  std::thread canceller([&] {
    // Until it takes: a cancel before the execution starts does nothing.
    while (!done) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      stmt->Cancel();
    }
  });
  auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(stmt->Execute(), rtl::EAbort);
  done = true;
  canceller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(stmt->Executed());
  EXPECT_EQ(Count(*db,
                  "SELECT COUNT(*) FROM pg_stat_activity WHERE state = 'active' AND "
                  "query LIKE 'SELECT pg_sleep%'"),
            0);
  stmt->SetSQL("SELECT 1");
  EXPECT_NO_THROW(stmt->Execute());
}

}  // namespace
