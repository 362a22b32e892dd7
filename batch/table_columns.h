#pragma once
// A table's header read once: where the row rules find their columns, and
// whether the writer adds estimated_mean and total_n (AddedColumns in
// table_cells.h). The review window asks the same of a pasted header.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "batch/row_rules.h"

namespace kelmory::batch {

struct SubgroupColumns {
  int k = 0;
  std::array<int, kSubgroupColumnCount> index{-1, -1, -1};  // n_k, mean_k, sd_k; -1 absent
};

struct TableColumns {
  std::array<int, kColumnCount> index{};   // -1 where the header has no such column
  std::vector<SubgroupColumns> subgroups;  // ascending k
  // A median, two-group or subgroup name is used: estimated_mean and
  // total_n follow sd. Otherwise the output is as it always was.
  bool extended = false;
  std::string problem;  // why the header cannot be used; empty when it can
};

// `names` as the header holds them (any case, blanks around allowed).
TableColumns ReadTableColumns(const std::vector<std::string_view>& names, bool working);

// The cells of one row in the shape the row rules take; `row` may be shorter
// than the header. Reuses `cells`' room.
void GatherCells(const TableColumns& columns, const std::vector<std::string_view>& row,
                 RowCells& cells);

}  // namespace kelmory::batch
