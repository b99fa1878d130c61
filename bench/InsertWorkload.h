#pragma once
// The insert workloads: rows (INTEGER, VARCHAR(40), DOUBLE) inserted in one transaction
// through parameter arrays of 1,000 rows bound with named types, a prepared INSERT executed
// once per array; "InsertNulls" with the name NULL in every tenth row. Every side binds the
// same buffers. Rows() is rounded down to whole arrays.

#include "bench/BenchSupport.h"

#include <cstddef>
#include <vector>

namespace bench::insert {

inline constexpr const char* Table = "bench_insert";

// One array of rows, laid out as the sides bind it: texts 256 bytes apart.
struct TRows {
  explicit TRows(std::size_t Size) : Ids(Size), Names(Size * 256), Values(Size) {}
  std::size_t Size() const { return Ids.size(); }
  // The rows of array number Batch; with Nulls, no name is written for a row whose name goes
  // as NULL, as no side makes a value it does not send.
  void Fill(std::size_t Batch, bool Nulls);
  // Whether the name of an element is NULL in "InsertNulls": every tenth one is.
  static bool IsNull(std::size_t Element) { return Element % 10 == 9; }
  // Those NULL, the others texts that end in a NUL.
  void SetNameIndicators(SQLLEN* Ind) const;
  std::vector<SQLINTEGER> Ids;
  std::vector<char> Names;
  std::vector<double> Values;
};

// The name of a row, written to Text (Size bytes, with the NUL); its length.
std::size_t WriteName(std::size_t Row, char* Text, std::size_t Size);
std::size_t ArraySize();
std::size_t Batches();
// An empty table, made on a connection of its own before a run.
void NewTable(const TDriver& Driver);
// Skips the run with an error unless the table holds every row, and every name but those
// NULL.
void CheckInserted(benchmark::State& State, const TDriver& Driver, bool Nulls);

}  // namespace bench::insert
