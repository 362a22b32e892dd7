#pragma once
// A table's header read once: where the row rules find their columns, which
// columns the writer adds, and an earlier result block (the program's own
// columns, as a saved file holds them) that is computed again rather than
// carried. The review window asks the same of a pasted header.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "rows/row_rules.h"

namespace kelmory::batch {

struct SubgroupColumns {
  int k = 0;
  std::array<int, kSubgroupColumnCount> index{-1, -1, -1};  // n_k, mean_k, sd_k; -1 absent
};

// A result column as the writer heads it: its own name, or with
// kOwnNameSuffix where the user's columns already use that name.
struct ResultColumn {
  std::string_view name;  // as ResultCell knows it
  std::string heading;
  int arm = -1;  // the arm it belongs to; -1 for a row of one group
};
inline constexpr std::string_view kOwnNameSuffix = "_result";

// One arm of a two-arm sheet: a group whose columns carry the arm's suffix,
// a dot and a label (n.e, sd.placebo) or metafor's number and i (n1i, m1i).
// It is read by the one-group rules as a row of its own.
struct ArmColumns {
  std::string suffix;                     // as the header writes it: ".e", "1i"
  std::string label;                      // for the window: "e", "1"
  std::array<int, kColumnCount> index{};  // one-group columns only; -1 absent
  int sd = -1;
  bool fill_mean = false;
  bool extended = false;  // a median name: estimated_mean follows
  // As TableColumns::figures, for this arm: corr_estimated beside an
  // sd_change, the skewed-data estimates beside a median.
  std::vector<std::string_view> figures;
  int earlier_method = -1;
  int last = -1;  // the arm's last column in the header
};

struct TableColumns {
  std::array<int, kColumnCount> index{};   // -1 where the header has no such column
  std::vector<SubgroupColumns> subgroups;  // ascending k
  // A median, two-group or subgroup name is used: estimated_mean and
  // total_n follow sd. Otherwise the output is as it always was.
  bool extended = false;
  // The result columns of later kinds that the header's names call for, in
  // order after total_n: log_ratio and se_log_ratio beside a ratio, ...
  std::vector<std::string_view> figures;
  // The user's columns: the header up to the earlier result block, or all
  // of it.
  std::size_t width = 0;
  // The earlier block's method column; -1 when the header has no block.
  int earlier_method = -1;
  // The user's own sd column: a filled cell is a reported SD, an empty one
  // is filled in place. With it, estimated means fill an empty `mean` cell.
  int sd = -1;
  bool fill_mean = false;
  // Arms in the order of the header; then `index` holds only the
  // difference between them (se, ci, lower, upper, level, z, md, t, p).
  std::vector<ArmColumns> arms;
  std::string problem;  // why the header cannot be used; empty when it can
};

// `names` as the header holds them (any case, blanks around allowed).
TableColumns ReadTableColumns(const std::vector<std::string_view>& names);

// With a skewed-data method chosen, a header with a median column gets the
// two estimates side by side: mean_normal, sd_normal, mean_skewed,
// sd_skewed and skewed_method.
void AddSkewedColumns(TableColumns& columns, MedianMethod median);

// The columns the writer adds after the user's, in their order.
std::vector<ResultColumn> ResultColumns(const TableColumns& columns,
                                        const std::vector<std::string_view>& names, bool working);

// The cells of one row in the shape the row rules take; `row` may be shorter
// than the header. Reuses `cells`' room.
void GatherCells(const TableColumns& columns, const std::vector<std::string_view>& row,
                 RowCells& cells);

// Whether the row's cell in `column` (sd or mean) is one the program filled
// in an earlier run, as the earlier block's method tells: such a cell is
// computed again, any other filled one is the user's.
bool FilledEarlier(const TableColumns& columns, const std::vector<std::string_view>& row,
                   int column);
bool FilledEarlier(const ArmColumns& arm, const std::vector<std::string_view>& row, int column);

// One row of a table: the row rules' result, and whether the sd and mean
// cells are to be written from it (empty or filled earlier) or kept.
struct TableRow {
  RowResult result;
  bool sd_from_result = false, mean_from_result = false;
};
TableRow ConvertTableRow(const TableColumns& columns, const std::vector<std::string_view>& row,
                         const RowSettings& settings, CriticalValueCache& cache, RowCells& scratch);
// A row of arms: one result a arm, in `out`. An arm that gives only its n
// takes the SD common to both arms from the row's difference between them.
void ConvertArmsRow(const TableColumns& columns, const std::vector<std::string_view>& row,
                    const RowSettings& settings, CriticalValueCache& cache, RowCells& scratch,
                    std::vector<TableRow>& out);

// A row as read, reduced to the user's cells: the earlier block's cells
// dropped (those past the header's `header_width` stay, after the user's),
// the sd and mean cells the program filled emptied.
void KeepUserCells(const TableColumns& columns, std::size_t header_width,
                   std::vector<std::string>& row);

}  // namespace kelmory::batch
