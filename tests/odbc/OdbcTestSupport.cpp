#include "tests/odbc/OdbcTestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace ocl_test {

// Built only where the driver manager loads a driver by its path.
#ifdef SCRIPTED_DRIVER_PATH
void ScriptedDriverTest::SetUp() {
  OdbcTest::SetUp();
  driver_ = testing_support::LoadModule(SCRIPTED_DRIVER_PATH);
  ASSERT_NE(driver_, nullptr) << testing_support::LoadError();
  Exported<void()>("ScriptedDriver_Reset")();
}

void ScriptedDriverTest::TearDown() {
  ocl::SetUserInterface({});
  OdbcTest::TearDown();
  if (driver_) testing_support::UnloadModule(driver_);
}
#endif

namespace {

// The test program's name, without folder or extension.
std::string ProgramName() {
#ifdef _WIN32
  return std::filesystem::path(_pgmptr).stem().string();
#else
  return program_invocation_short_name;
#endif
}

}  // namespace

std::unique_ptr<ocl::THdbc> NewConnection() {
  return std::unique_ptr<ocl::THdbc>(rtl::TComponent::Create<ocl::THdbc>(nullptr));
}

std::unique_ptr<ocl::THdbc> ConnectedTo(bool Sqlite, const std::string& SqliteFile) {
  auto db = NewConnection();
  if (Sqlite)
    UseSqlite(*db, SqliteFile);
  else
    UsePostgres(*db);
  db->Connect();
  return db;
}

std::unique_ptr<ocl::THstmt> NewStatement(ocl::THdbc& Db, const std::string& Sql,
                                          SQLUINTEGER RowSetSize, const std::string& Name) {
  std::unique_ptr<ocl::THstmt> stmt(rtl::TComponent::Create<ocl::THstmt>(nullptr));
  stmt->SetName(Name);
  stmt->SethDbc(&Db);
  stmt->SetRowSetSize(RowSetSize);
  stmt->SetSQL(Sql);
  return stmt;
}

void OpenTransaction(ocl::THdbc& db, const std::string& file) {
  UseSqlite(db, file);
  db.Connect();
  ExecSql(db, "CREATE TABLE t (a INTEGER)");
  ASSERT_TRUE(SQL_SUCCEEDED(SQLSetConnectAttr(db.Handle(), SQL_ATTR_AUTOCOMMIT,
                                              ocl::IntegerAttribute(SQL_AUTOCOMMIT_OFF), 0)));
  ExecSql(db, "INSERT INTO t VALUES (1)");
}

void UseSqlite(ocl::THdbc& db, const std::string& file) {
  db.SetDriver("SQLite3");
  db.SetAttributes({"Database=" + file});
}

std::string ConnectString(bool Sqlite, const std::string& SqliteFile) {
  auto db = NewConnection();
  if (Sqlite)
    UseSqlite(*db, SqliteFile);
  else
    UsePostgres(*db);
  return db->BuildConnectString();
}

void UsePostgres(ocl::THdbc& db) {
  const char* port = std::getenv("MELROK_PG_PORT");
  const char* host = std::getenv("MELROK_PG_HOST");
  const char* database = std::getenv("MELROK_PG_DATABASE");
  const char* user = std::getenv("MELROK_PG_USER");
  if (!port || !host || !database || !user) {
    ADD_FAILURE() << "the test database is not running: eval \"$(scripts/testdb.sh start)\"";
    return;
  }
  db.SetDriver("PostgreSQL Unicode");
  db.SetUserName(user);
  // Test programs run side by side on the one server: each works in a schema of its own, so
  // that their tables never meet.
  std::string schema = ProgramName();
  db.SetAttributes({std::string("Server=") + host, std::string("Port=") + port,
                    std::string("Database=") + database,
                    "ConnSettings={CREATE SCHEMA IF NOT EXISTS " + schema + ";SET search_path TO " +
                        schema + "}"});
}

TRawStatement::TRawStatement(rtl::TComponent* AOwner, ocl::THdbc& Db) : ocl::THbase(AOwner) {
  Check(SQLAllocHandle(SQL_HANDLE_STMT, Db.Handle(), &handle_));
}

TRawStatement::~TRawStatement() {
  Teardown();
  if (handle_) SQLFreeHandle(SQL_HANDLE_STMT, handle_);
}

void TRawStatement::Execute(const std::string& Sql) {
  std::string text = Sql;
  Check(SQLExecDirect(handle_, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS));
}

void ExecSql(ocl::THdbc& db, const std::string& sql) {
  TRawStatement statement(nullptr, db);
  statement.Execute(sql);
}

}  // namespace ocl_test
