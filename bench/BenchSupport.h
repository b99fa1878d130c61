#pragma once
// What the benchmarks share: the drivers measured and their test databases, a raw ODBC
// connection for the side without the library, and the registration of a workload as a pair
// of benchmarks, raw and library, whose medians the program compares at the end, with a third
// side through the C++ interface.

#include "odbc/OCL.h"
#include "odbc/OCLModern.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bench {

// Rows of each workload (--rows=N, 100,000 by default) and runs of each side (--runs=N, 5).
std::size_t Rows();
int Runs();

struct TDriver {
  std::string Name;           // "SQLite" or "PostgreSQL"
  std::string ConnectString;  // for SQLDriverConnect
  std::string DoubleType;     // the column type of a double in CREATE TABLE
};
// SQLite on a file in a private folder; PostgreSQL when scripts/testdb.sh has started it.
const std::vector<TDriver>& Drivers();

// A connection made with plain ODBC calls.
class TRawConnection {
 public:
  explicit TRawConnection(const TDriver& Driver);
  ~TRawConnection();
  TRawConnection(const TRawConnection&) = delete;
  TRawConnection& operator=(const TRawConnection&) = delete;
  SQLHDBC Dbc() const { return dbc_; }
  // Runs one statement; throws std::runtime_error with the driver's message on failure.
  void Exec(const std::string& Sql);

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
};

// Throws std::runtime_error with the handle's first diagnostic when Ret is no success.
void Ensure(SQLRETURN Ret, SQLSMALLINT HandleType, SQLHANDLE Handle);

// A connection component for the driver, connected.
std::unique_ptr<ocl::THdbc> LibraryConnection(const TDriver& Driver);

// One connection per driver and side that stays open across runs, as an application keeps
// its connection: what a driver does once per connection (psqlODBC reads the catalog at the
// first description of a result) then weighs on the first run only. Closed by
// CloseSharedConnections at the end of the program.
TRawConnection& SharedRawConnection(const TDriver& Driver);
ocl::THdbc& SharedLibraryConnection(const TDriver& Driver);
ocl::sql::connection& SharedModernConnection(const TDriver& Driver);
void CloseSharedConnections();

// Registers "<Workload>/<driver>/raw" and "<Workload>/<driver>/library", each run Runs()
// times; a run times the body of its state loop, once, in real time.
using TBody = std::function<void(benchmark::State&, const TDriver&)>;
void RegisterPair(const std::string& Workload, const TBody& Raw, const TBody& Library);
// Registers "<Workload>/<driver>/<Side>" the same way: "modern", the C++ interface.
void RegisterSide(const std::string& Workload, const std::string& Side, const TBody& Body);

// A workload adds its pairs when the program starts: `static bench::TWorkload w(Register);`
struct TWorkload {
  explicit TWorkload(void (*Register)());
};

}  // namespace bench
