#include "batch/table_columns.h"

#include <algorithm>
#include <charconv>

#include "batch/cell_number.h"
#include "batch/table_cells.h"

namespace kelmory::batch {
namespace {

// "mean_12" -> column kSubMean of subgroup 12; k is written without leading
// zeros and has at most nine digits.
bool SubgroupName(std::string_view name, int& column, int& k) {
  for (int c = 0; c < kSubgroupColumnCount; ++c) {
    const std::string_view prefix = kSubgroupPrefixes[c];
    if (name.substr(0, prefix.size()) != prefix) continue;
    const std::string_view digits = name.substr(prefix.size());
    if (digits.empty() || digits.size() > 9 || digits[0] == '0') return false;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), k);
    if (ec != std::errc{} || ptr != digits.data() + digits.size()) return false;
    column = c;
    return true;
  }
  return false;
}

}  // namespace

TableColumns ReadTableColumns(const std::vector<std::string_view>& names, bool working) {
  TableColumns columns;
  columns.index.fill(-1);
  std::vector<std::string> lower;
  lower.reserve(names.size());
  for (const std::string_view name : names) lower.push_back(Lower(name));

  for (std::size_t i = 0; i < lower.size() && !columns.extended; ++i) {
    int column = 0, k = 0;
    const auto first_new = kColumnNames.begin() + kFirstNewColumn;
    columns.extended = std::find(first_new, kColumnNames.end(), lower[i]) != kColumnNames.end() ||
                       SubgroupName(lower[i], column, k);
  }
  const std::vector<std::string_view> added = AddedColumns(working, columns.extended);

  const auto fail = [&](std::string problem) {
    columns.problem = std::move(problem);
    return columns;
  };
  for (std::size_t i = 0; i < lower.size(); ++i) {
    const std::string& name = lower[i];
    const int at = static_cast<int>(i);
    int* slot = nullptr;
    for (int c = 0; c < kColumnCount; ++c) {
      if (name == kColumnNames[c]) slot = &columns.index[c];
    }
    int sub_column = 0, k = 0;
    if (!slot && SubgroupName(name, sub_column, k)) {
      auto it = std::lower_bound(columns.subgroups.begin(), columns.subgroups.end(), k,
                                 [](const SubgroupColumns& s, int key) { return s.k < key; });
      if (it == columns.subgroups.end() || it->k != k) {
        it = columns.subgroups.insert(it, SubgroupColumns{});
        it->k = k;
      }
      slot = &it->index[sub_column];
    }
    if (slot && *slot != -1) return fail("the header has two columns named '" + name + "'");
    if (slot) *slot = at;
    if (std::find(added.begin(), added.end(), name) != added.end()) {
      return fail("the input already has a column named '" + name + "', which the program adds");
    }
  }
  const bool sized = columns.index[kN] != -1 || columns.index[kN1] != -1 ||
                     columns.index[kN2] != -1 ||
                     std::any_of(columns.subgroups.begin(), columns.subgroups.end(),
                                 [](const SubgroupColumns& s) { return s.index[kSubN] != -1; });
  if (!sized) return fail("the header has no column named 'n'");
  return columns;
}

void GatherCells(const TableColumns& columns, const std::vector<std::string_view>& row,
                 RowCells& cells) {
  const auto cell = [&](int i) {
    return i >= 0 && static_cast<std::size_t>(i) < row.size() ? row[i] : std::string_view();
  };
  for (int c = 0; c < kColumnCount; ++c) cells.text[c] = cell(columns.index[c]);
  cells.subgroups.resize(columns.subgroups.size());
  for (std::size_t s = 0; s < columns.subgroups.size(); ++s) {
    cells.subgroups[s].k = columns.subgroups[s].k;
    for (int c = 0; c < kSubgroupColumnCount; ++c) {
      cells.subgroups[s].text[c] = cell(columns.subgroups[s].index[c]);
    }
  }
}

}  // namespace kelmory::batch
