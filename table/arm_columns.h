#pragma once
// The pieces of table_columns.cpp that arms share with a row of one group:
// a group's columns, its conversion, and the reading of arm names and of
// the earlier result blocks of arms.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table/table_columns.h"

namespace kelmory::batch {

// A group's columns: a row's own, or one arm's.
struct GroupColumns {
  const std::array<int, kColumnCount>* index;
  const std::vector<SubgroupColumns>* subgroups;  // null for an arm
  int sd, earlier_method;
  bool fill_mean;
};
GroupColumns GroupOf(const TableColumns& columns);
GroupColumns GroupOf(const ArmColumns& arm);
bool FilledEarlier(const GroupColumns& group, const std::vector<std::string_view>& row, int column);
// A filled sd cell that is the user's: kept, and the group not converted.
std::optional<TableRow> ReportedSd(const GroupColumns& group,
                                   const std::vector<std::string_view>& row, char decimal);
TableRow ConvertGroup(const GroupColumns& group, const std::vector<std::string_view>& row,
                      const RowSettings& settings, CriticalValueCache& cache, RowCells& scratch);

// The column of an arm's name, kArmSd for its sd, and its suffix as the name
// writes it; nothing for a name that is not an arm's.
inline constexpr int kArmSd = -2;
struct ArmName {
  int column = -1;
  std::string_view suffix;
};
std::optional<ArmName> ReadArmName(std::string_view lower);

// The earlier result blocks of arms at the end of a header: where the first
// starts (lower.size() when there is none), and each block's method column
// by its suffix in lower case.
struct EarlierArm {
  std::string suffix;
  int method = -1;
};
std::size_t EarlierArmBlocks(const std::vector<std::string>& lower,
                             std::vector<EarlierArm>& blocks);

// The arms of the user's columns `names` (lower: the same in lower case),
// added to `columns`; a problem when the header mixes them with one group a
// row or an arm lacks its n.
void ReadArms(const std::vector<std::string_view>& names, const std::vector<std::string>& lower,
              const std::vector<EarlierArm>& blocks, TableColumns& columns);

// The order of a header's columns in a file: a table of arms shown with
// each arm's results beside its columns (as a window copies it) has them
// moved after the sheet's, arm by arm. `lower`: the names in lower case.
std::vector<std::size_t> FileOrder(const std::vector<std::string>& lower);

// An arm's result columns, in order, headed in the header's own style.
void AddArmResultColumns(const TableColumns& columns, const std::vector<std::string_view>& names,
                         bool working, std::vector<ResultColumn>& added);

}  // namespace kelmory::batch
