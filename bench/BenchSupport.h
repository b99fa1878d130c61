#pragma once
// What the benchmarks share: the drivers measured and their test databases, a raw ODBC
// connection for the side without the library, and the registration of workloads and their
// sides (raw, library, and any other), whose medians the program compares at the end.

#include "odbc/OCL.h"

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
void SetOptions(std::size_t Rows, int Runs);

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
// first description of a result) then weighs on the first run only. Each side keeps its own,
// made by Open on first use. Closed by CloseSharedConnections at the end of the program.
std::shared_ptr<void>& SharedSlot(const std::string& Side, const TDriver& Driver);
template <class TConnection, class TOpen>
TConnection& SharedConnection(const std::string& Side, const TDriver& Driver, TOpen Open) {
  std::shared_ptr<void>& slot = SharedSlot(Side, Driver);
  if (!slot) slot = std::shared_ptr<TConnection>(Open());
  return *static_cast<TConnection*>(slot.get());
}
TRawConnection& SharedRawConnection(const TDriver& Driver);
ocl::THdbc& SharedLibraryConnection(const TDriver& Driver);
void CloseSharedConnections();

// The loop of a run, as `for (auto _ : Timed(State))`: what it times is what the run measures,
// in real time and, under callgrind, in instructions (counted only inside the loop, and dumped
// under the run's name at the end of a run that went through).
class Timed {
 public:
  explicit Timed(benchmark::State& State) : state_(State) {}
  class iterator {
   public:
    explicit iterator(benchmark::State::StateIterator Inner) : inner_(Inner) {}
    benchmark::State::StateIterator::Value operator*() const { return *inner_; }
    iterator& operator++() {
      ++inner_;
      return *this;
    }
    bool operator!=(const iterator& End);

   private:
    benchmark::State::StateIterator inner_;
  };
  iterator begin() { return iterator(state_.begin()); }
  iterator end();

 private:
  benchmark::State& state_;
};

// What a run made (the rows it fetched), released once the run has ended: what the caller
// does with a result after it is no part of the workload.
void KeepResult(std::shared_ptr<void> Result);

// A side of a workload on one driver; a run times the body of its Timed loop, once. Each run
// starts on the same heap: memory that earlier runs freed is given back first, so that no run
// pays for the way another left the allocator (glibc consolidates freed small blocks at a
// later large request, several million instructions after 20,000 rows).
using TBody = std::function<void(benchmark::State&, const TDriver&)>;

// Registers a side of a workload when the program starts, from the side's own source file:
//   static const bench::TSide side("fetch", "soci", Body);
// Every side runs on every driver as "<workload>/<driver>/<side>", Runs() times; "raw", plain
// ODBC calls, is the one the others are compared with.
struct TSide {
  TSide(std::string Workload, std::string Name, TBody Body);
};
// Registers what a workload makes once per driver before the first run of its sides there (its
// tables).
struct TSetup {
  TSetup(std::string Workload, void (*Setup)(const TDriver&));
};

// The benchmarks of every registered workload; each makes its workload's set-up first.
void RegisterAll();
// The sides in the order of the tables: raw, library, then the others by name.
std::vector<std::string> SideNames();

}  // namespace bench
