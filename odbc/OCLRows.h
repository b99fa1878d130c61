#pragma once
// The rows of a statement's result as a range:
//   for (auto& row : stmt.Rows()) total += row["Price"].AsDouble();
// fetches rowset by rowset from the cursor's position to the end, and yields each fetched row
// once; rows the driver did not fill (the short last rowset, deleted rows) are passed over.

#include "odbc/OCLCells.h"

#include <cstddef>
#include <iterator>

namespace ocl {

class TRows {
 public:
  explicit TRows(THstmt& Statement) : stmt_(&Statement) {}

  class iterator {
   public:
    using value_type = TRowView;
    using difference_type = std::ptrdiff_t;

    iterator() = default;
    // Fetches the first rowset.
    explicit iterator(THstmt* Statement);

    TRowView& operator*() { return row_; }
    TRowView* operator->() { return &row_; }
    iterator& operator++() {
      SQLULEN next = row_.Number() + 1;
      if (next <= stmt_->RowsFetched() && stmt_->RowStatus(next) == SQL_ROW_SUCCESS)
        row_ = Filled(*stmt_, next);
      else
        Advance(next);
      return *this;
    }
    void operator++(int) { ++*this; }
    bool operator==(std::default_sentinel_t) const { return stmt_ == nullptr; }

   private:
    // To the first row from Next on that holds data, fetching rowsets as needed.
    void Advance(SQLULEN Next);
    THstmt* stmt_ = nullptr;
    TRowView row_;
  };

  iterator begin() { return iterator(stmt_); }
  std::default_sentinel_t end() const { return {}; }

 private:
  // A row found filled in the rowset the buffers hold: its cells and column views read it
  // without checking it again.
  static TRowView Filled(THstmt& Statement, SQLULEN Row) {
    return TRowView(Statement, Row, Statement.Stamp());
  }
  THstmt* stmt_;
};

}  // namespace ocl
