#include "bench/BenchSupport.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>

namespace bench {

namespace {

std::size_t rows = 100000;
int runs = 5;

std::vector<void (*)()>& Registrations() {
  static std::vector<void (*)()> registrations;
  return registrations;
}

std::string DiagText(SQLSMALLINT HandleType, SQLHANDLE Handle) {
  SQLCHAR state[6] = {}, message[512] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRec(HandleType, Handle, 1, state, &native, message, sizeof message, &length);
  return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
}

}  // namespace

std::size_t Rows() { return rows; }
int Runs() { return runs; }

void SetOptions(std::size_t Rows, int Runs) {
  rows = Rows;
  runs = Runs;
}

const std::vector<TDriver>& Drivers() {
  static const std::vector<TDriver> drivers = [] {
    std::vector<TDriver> list;
    auto folder = std::filesystem::temp_directory_path() / "ocl-bench";
    std::filesystem::create_directories(folder);
    list.push_back(
        {"SQLite", "DRIVER=SQLite3;Database=" + (folder / "bench.db").string() + ";", "DOUBLE"});
    const char* port = std::getenv("MELROK_PG_PORT");
    const char* host = std::getenv("MELROK_PG_HOST");
    const char* database = std::getenv("MELROK_PG_DATABASE");
    const char* user = std::getenv("MELROK_PG_USER");
    if (port && host && database && user)
      list.push_back({"PostgreSQL",
                      std::string("DRIVER=PostgreSQL Unicode;Server=") + host + ";Port=" + port +
                          ";Database=" + database + ";UID=" + user + ";",
                      "DOUBLE PRECISION"});
    return list;
  }();
  return drivers;
}

void Ensure(SQLRETURN Ret, SQLSMALLINT HandleType, SQLHANDLE Handle) {
  if (!SQL_SUCCEEDED(Ret)) throw std::runtime_error(DiagText(HandleType, Handle));
}

TRawConnection::TRawConnection(const TDriver& Driver) {
  Ensure(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_), SQL_HANDLE_ENV, env_);
  Ensure(SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, ocl::IntegerAttribute(SQL_OV_ODBC3), 0),
         SQL_HANDLE_ENV, env_);
  Ensure(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_), SQL_HANDLE_ENV, env_);
  std::string text = Driver.ConnectString;
  Ensure(SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, nullptr,
                          0, nullptr, SQL_DRIVER_NOPROMPT),
         SQL_HANDLE_DBC, dbc_);
}

TRawConnection::~TRawConnection() {
  SQLDisconnect(dbc_);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

void TRawConnection::Exec(const std::string& Sql) {
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  Ensure(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt), SQL_HANDLE_DBC, dbc_);
  std::string text = Sql;
  SQLRETURN ret = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
  std::string error =
      SQL_SUCCEEDED(ret) || ret == SQL_NO_DATA ? "" : DiagText(SQL_HANDLE_STMT, stmt);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  if (!error.empty()) throw std::runtime_error(error);
}

std::unique_ptr<ocl::THdbc> LibraryConnection(const TDriver& Driver) {
  std::unique_ptr<ocl::THdbc> db(rtl::TComponent::Create<ocl::THdbc>(nullptr));
  // The connect string's elements, as attribute lines.
  std::vector<std::string> lines;
  std::size_t start = 0;
  const std::string& text = Driver.ConnectString;
  while (start < text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  db->SetAttributes(lines);
  db->Connect();
  return db;
}

namespace {
std::map<std::string, std::unique_ptr<TRawConnection>> sharedRaw;
std::map<std::string, std::unique_ptr<ocl::THdbc>> sharedLibrary;
std::map<std::string, std::unique_ptr<ocl::sql::connection>> sharedModern;
}  // namespace

TRawConnection& SharedRawConnection(const TDriver& Driver) {
  auto& db = sharedRaw[Driver.Name];
  if (!db) db = std::make_unique<TRawConnection>(Driver);
  return *db;
}

ocl::THdbc& SharedLibraryConnection(const TDriver& Driver) {
  auto& db = sharedLibrary[Driver.Name];
  if (!db) db = LibraryConnection(Driver);
  return *db;
}

ocl::sql::connection& SharedModernConnection(const TDriver& Driver) {
  auto& db = sharedModern[Driver.Name];
  if (!db) db = std::make_unique<ocl::sql::connection>(Driver.ConnectString);
  return *db;
}

void CloseSharedConnections() {
  sharedRaw.clear();
  sharedLibrary.clear();
  sharedModern.clear();
}

void RegisterPair(const std::string& Workload, const TBody& Raw, const TBody& Library) {
  RegisterSide(Workload, "raw", Raw);
  RegisterSide(Workload, "library", Library);
}

void RegisterSide(const std::string& Workload, const std::string& Side, const TBody& Body) {
  for (const TDriver& driver : Drivers()) {
    benchmark::RegisterBenchmark((Workload + "/" + driver.Name + "/" + Side).c_str(),
                                 [Body, driver](benchmark::State& state) { Body(state, driver); })
        ->Iterations(1)
        ->Repetitions(Runs())
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  }
}

TWorkload::TWorkload(void (*Register)()) { Registrations().push_back(Register); }

void RegisterAll() {
  for (auto reg : Registrations()) reg();
}

}  // namespace bench
