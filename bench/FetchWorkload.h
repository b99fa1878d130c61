#pragma once
// The fetch workloads: Rows() rows (INTEGER, VARCHAR(40), DOUBLE) of "fetch_rows" in rowsets
// of 1,000 into a vector of rows; and "fetchText", rows of an INTEGER and a TEXT of about 120
// bytes, long data on both drivers. The tables are made once per driver before anything is
// timed.

#include "bench/BenchSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace bench::fetch {

struct TFetchedRow {
  std::int64_t Id;
  std::string Name;
  double Amount;
};

struct TTextRow {
  std::int64_t Id;
  std::string Body;
};

inline constexpr SQLULEN RowSet = 1000;
inline constexpr const char* Select = "SELECT id, name, amount FROM fetch_rows";
inline constexpr const char* SelectText = "SELECT id, body FROM fetch_text";

// Skips the run with an error unless every row was fetched; the rows are kept until the run
// has ended (KeepResult).
template <class TRow>
void Check(benchmark::State& State, std::vector<TRow>&& Fetched) {
  if (Fetched.size() != Rows()) State.SkipWithError("not every row was fetched");
  KeepResult(std::make_shared<std::vector<TRow>>(std::move(Fetched)));
}

}  // namespace bench::fetch
