#include "bench/BenchSupport.h"

#include <malloc.h>
#include <valgrind/callgrind.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>

namespace bench {

namespace {

std::size_t rows = 100000;
int runs = 5;

std::string DiagText(SQLSMALLINT HandleType, SQLHANDLE Handle) {
  SQLCHAR state[6] = {}, message[512] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRec(HandleType, Handle, 1, state, &native, message, sizeof message, &length);
  return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
}

// A folder of this process's own for the SQLite database: two programs measuring at the same
// time (from two working copies) would otherwise fill and drop each other's tables.
const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    std::string name = (std::filesystem::temp_directory_path() / "ocl-bench.XXXXXX").string();
    if (!mkdtemp(name.data())) throw std::runtime_error("no folder for the SQLite database");
    return std::filesystem::path(name);
  }();
  return folder;
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
    const std::filesystem::path& folder = Folder();
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

std::map<std::string, std::shared_ptr<void>> shared;
std::shared_ptr<void> result;

struct TRegistry {
  std::vector<std::pair<std::string, void (*)(const TDriver&)>> Setups;
  // Workloads in the order their first side came, each with its sides.
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, TBody>>>> Workloads;
};

TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

// Plain calls, the components, then the C++ interface's ways, then the peers.
int SideRank(const std::string& Side) {
  if (Side == "raw") return 0;
  if (Side == "library") return 1;
  if (Side == "modern") return 2;
  return Side == "vectors" ? 3 : 4;
}

bool SideBefore(const std::string& A, const std::string& B) {
  return SideRank(A) != SideRank(B) ? SideRank(A) < SideRank(B) : A < B;
}

}  // namespace

std::shared_ptr<void>& SharedSlot(const std::string& Side, const TDriver& Driver) {
  return shared[Side + "/" + Driver.Name];
}

TRawConnection& SharedRawConnection(const TDriver& Driver) {
  return SharedConnection<TRawConnection>(
      "raw", Driver, [&Driver] { return std::make_unique<TRawConnection>(Driver); });
}

ocl::THdbc& SharedLibraryConnection(const TDriver& Driver) {
  return SharedConnection<ocl::THdbc>("library", Driver,
                                      [&Driver] { return LibraryConnection(Driver); });
}

void KeepResult(std::shared_ptr<void> Result) { result = std::move(Result); }

void CloseSharedConnections() {
  shared.clear();
  std::error_code ignored;
  std::filesystem::remove_all(Folder(), ignored);
}

Timed::iterator Timed::end() {
  // The timer starts here.
  iterator last(state_.end());
  CALLGRIND_TOGGLE_COLLECT;
  return last;
}

bool Timed::iterator::operator!=(const iterator& End) {
  if (inner_ != End.inner_) return true;
  CALLGRIND_TOGGLE_COLLECT;
  return false;
}

TSide::TSide(std::string Workload, std::string Name, TBody Body) {
  auto& workloads = Registry().Workloads;
  auto workload = std::find_if(workloads.begin(), workloads.end(),
                               [&](const auto& entry) { return entry.first == Workload; });
  if (workload == workloads.end())
    workload = workloads.insert(workloads.end(), {std::move(Workload), {}});
  workload->second.emplace_back(std::move(Name), std::move(Body));
}

TSetup::TSetup(std::string Workload, void (*Setup)(const TDriver&)) {
  Registry().Setups.emplace_back(std::move(Workload), Setup);
}

std::vector<std::string> SideNames() {
  std::vector<std::string> names;
  for (const auto& [workload, sides] : Registry().Workloads)
    for (const auto& side : sides)
      if (std::find(names.begin(), names.end(), side.first) == names.end())
        names.push_back(side.first);
  std::sort(names.begin(), names.end(), SideBefore);
  return names;
}

// The set-up of a workload on a driver, made before the first run of any of its sides: a
// program that runs some sides only makes only their tables.
void SetUp(const std::string& Workload, const TDriver& Driver) {
  static std::set<std::string> done;
  if (!done.insert(Workload + "/" + Driver.Name).second) return;
  for (const auto& [workload, setup] : Registry().Setups)
    if (workload == Workload) setup(Driver);
}

void RegisterAll() {
  for (auto& [workload, sides] : Registry().Workloads) {
    std::sort(sides.begin(), sides.end(),
              [](const auto& a, const auto& b) { return SideBefore(a.first, b.first); });
    for (const TDriver& driver : Drivers()) {
      for (const auto& [side, body] : sides) {
        std::string name = workload + "/" + driver.Name + "/" + side;
        benchmark::RegisterBenchmark(
            name.c_str(),
            [name, workload = workload, body = body, driver](benchmark::State& state) {
              SetUp(workload, driver);
              body(state, driver);
              // What callgrind counted in the loop, under the run's
              // name once the run has checked what it did.
              CALLGRIND_DUMP_STATS_AT(state.error_occurred() ? "skipped" : name.c_str());
              KeepResult(nullptr);
              malloc_trim(0);
            })
            ->Iterations(1)
            ->Repetitions(Runs())
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
      }
    }
  }
}

}  // namespace bench
