// Two arms a row: each arm's columns carry its suffix and are read by the
// one-group rules; the row's unsuffixed difference gives both arms the SD
// common to them where an arm reports only its n.
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rows/cell_number.h"
#include "rows/row_kinds.h"
#include "table/arm_columns.h"

namespace kelmory::batch {
namespace {

// The columns of a difference between two groups, which a row of arms
// keeps unsuffixed; every other recognised column is an arm's.
constexpr std::array<int, 9> kDifferenceColumns = {kSe, kCi, kLower, kUpper, kLevel,
                                                   kZ,  kMd, kT,     kP};
bool IsDifferenceColumn(int c) {
  return std::find(kDifferenceColumns.begin(), kDifferenceColumns.end(), c) !=
         kDifferenceColumns.end();
}
// Not the two-group columns: an arm's n takes the place of n1 or n2, and
// md, t and p are the difference's.
bool IsArmColumn(int c) { return c != kN1 && c != kN2 && c != kMd && c != kT && c != kP; }

// metamedian's "med" is the median; metafor's "m" the mean.
int BaseColumn(std::string_view base, bool metafor) {
  if (base == "sd") return kArmSd;
  if (base == "med") return kMedian;
  if (metafor && base == "m") return kMean;
  for (int c = 0; c < kColumnCount; ++c) {
    if (IsArmColumn(c) && base == kColumnNames[c]) return c;
  }
  return -1;
}

// ".e" and "1i": a dot and a label, or digits without a leading zero and i.
bool IsSuffix(std::string_view suffix) {
  if (suffix.size() >= 2 && suffix[0] == '.') return true;
  if (suffix.size() < 2 || suffix.back() != 'i' || suffix[0] == '0') return false;
  return std::all_of(suffix.begin(), suffix.end() - 1, [](char c) { return c >= '0' && c <= '9'; });
}

// A result heading with `suffix`: "sd_z.e", "method_result1i".
bool IsArmHeading(std::string_view lower, std::string_view name, std::string_view suffix) {
  if (!lower.ends_with(suffix)) return false;
  lower.remove_suffix(suffix.size());
  if (!lower.starts_with(name)) return false;
  lower.remove_prefix(name.size());
  while (lower.starts_with(kOwnNameSuffix)) lower.remove_prefix(kOwnNameSuffix.size());
  return lower.empty();
}

// The suffix of a block's last heading, refusal or working; empty if none.
std::string_view LastSuffix(std::string_view lower, std::string_view name) {
  if (!lower.starts_with(name)) return {};
  lower.remove_prefix(name.size());
  while (lower.starts_with(kOwnNameSuffix)) lower.remove_prefix(kOwnNameSuffix.size());
  return IsSuffix(lower) ? lower : std::string_view();
}

constexpr std::array<std::string_view, 8> kArmBlockCore = {
    "method", "critical_value", "df", "sd_z", "sd_t", "z_t_gap_percent", "warning", "refusal"};
// The figures of later kinds an arm may have, in the writer's order.
constexpr std::array<std::string_view, 6> kArmFigures = {
    "corr_estimated", "mean_normal", "sd_normal", "mean_skewed", "sd_skewed", "skewed_method"};

// Whether the names before `end` give arm `suffix` a median column, which
// makes the writer add estimated_mean.
bool ArmExtended(const std::vector<std::string>& lower, std::size_t end, std::string_view suffix) {
  for (std::size_t i = 0; i < end; ++i) {
    const std::optional<ArmName> arm = ReadArmName(lower[i]);
    if (arm && arm->suffix == suffix && arm->column >= kFirstNewColumn) return true;
  }
  return false;
}

// A block ending at `end`: where it starts, with its method and suffix.
struct Block {
  std::size_t start = 0;
  EarlierArm arm;
};
std::optional<Block> BlockEndingAt(const std::vector<std::string>& lower, std::size_t end) {
  if (end == 0) return std::nullopt;
  std::string_view suffix = LastSuffix(lower[end - 1], "working");
  if (!suffix.empty()) {
    --end;
  } else if (end > 0) {
    suffix = LastSuffix(lower[end - 1], "refusal");
  }
  if (suffix.empty() || end < kArmBlockCore.size()) return std::nullopt;
  for (std::size_t i = 0; i < kArmBlockCore.size(); ++i) {
    if (!IsArmHeading(lower[end - kArmBlockCore.size() + i], kArmBlockCore[i], suffix))
      return std::nullopt;
  }
  end -= kArmBlockCore.size();
  Block block{end, {std::string(suffix), static_cast<int>(end)}};
  for (auto figure = kArmFigures.rbegin(); figure != kArmFigures.rend(); ++figure) {
    if (end > 0 && IsArmHeading(lower[end - 1], *figure, suffix)) --end;
  }
  // An arm holds no subgroups, so no total_n; estimated_mean only where a
  // median name makes the writer add it.
  if (end > 0 && IsArmHeading(lower[end - 1], "estimated_mean", suffix) &&
      ArmExtended(lower, end - 1, suffix)) {
    --end;
    // As in a row of one group: the sd before estimated_mean is the block's
    // where the arm's mean column would have taken the estimates.
    const std::string mean = "mean" + block.arm.suffix;
    const std::string m = block.arm.suffix[0] == '.' ? mean : "m" + block.arm.suffix;
    const auto before = lower.begin() + static_cast<std::ptrdiff_t>(end > 0 ? end - 1 : 0);
    if (end > 0 && lower[end - 1] == "sd" + block.arm.suffix &&
        (std::find(lower.begin(), before, mean) != before ||
         std::find(lower.begin(), before, m) != before))
      --end;
  }
  block.start = end;
  return block;
}

}  // namespace

std::optional<ArmName> ReadArmName(std::string_view lower) {
  const std::size_t dot = lower.find('.');
  if (dot != std::string_view::npos) {
    const int column = BaseColumn(lower.substr(0, dot), false);
    if (column == -1 || !IsSuffix(lower.substr(dot))) return std::nullopt;
    return ArmName{column, lower.substr(dot)};
  }
  if (lower.size() < 3 || lower.back() != 'i') return std::nullopt;
  // "q11i" is q1 of arm 1: the longest base that is a name.
  for (std::size_t digits = lower.size() - 1; digits-- > 1;) {
    if (lower[digits] < '0' || lower[digits] > '9') break;
    const int column = BaseColumn(lower.substr(0, digits), true);
    if (column != -1 && IsSuffix(lower.substr(digits)))
      return ArmName{column, lower.substr(digits)};
  }
  return std::nullopt;
}

std::size_t EarlierArmBlocks(const std::vector<std::string>& lower,
                             std::vector<EarlierArm>& blocks) {
  blocks.clear();
  std::size_t start = lower.size();
  while (const std::optional<Block> block = BlockEndingAt(lower, start)) {
    start = block->start;
    blocks.push_back(block->arm);
    // Between two blocks no column is the user's: an arm's sd there is the
    // later block's own.
    if (start > 0 && lower[start - 1] == "sd" + block->arm.suffix &&
        BlockEndingAt(lower, start - 1))
      --start;
  }
  return start;
}

std::vector<std::size_t> FileOrder(const std::vector<std::string>& lower) {
  std::vector<std::size_t> sheet, results;
  for (std::size_t i = 0; i < lower.size();) {
    // A block's core, and working after it, wherever it stands.
    std::string_view suffix;
    if (i + kArmBlockCore.size() <= lower.size()) {
      suffix = LastSuffix(lower[i + kArmBlockCore.size() - 1], "refusal");
      for (std::size_t k = 0; k < kArmBlockCore.size() && !suffix.empty(); ++k) {
        if (!IsArmHeading(lower[i + k], kArmBlockCore[k], suffix)) suffix = {};
      }
    }
    if (suffix.empty()) {
      sheet.push_back(i++);
      continue;
    }
    // estimated_mean before it is the block's, where the arm has a median.
    if (!sheet.empty() && sheet.back() == i - 1 &&
        IsArmHeading(lower[i - 1], "estimated_mean", suffix) && ArmExtended(lower, i - 1, suffix)) {
      results.push_back(sheet.back());
      sheet.pop_back();
    }
    std::size_t end = i + kArmBlockCore.size();
    if (end < lower.size() && IsArmHeading(lower[end], "working", suffix)) ++end;
    for (; i < end; ++i) results.push_back(i);
  }
  sheet.insert(sheet.end(), results.begin(), results.end());
  return sheet;
}

void ReadArms(const std::vector<std::string_view>& names, const std::vector<std::string>& lower,
              const std::vector<EarlierArm>& blocks, TableColumns& columns) {
  std::vector<std::string> keys;  // each arm's suffix in lower case
  for (std::size_t i = 0; i < lower.size(); ++i) {
    const std::optional<ArmName> name = ReadArmName(lower[i]);
    if (!name) continue;
    // The unsuffixed names took their own columns first.
    if (std::find(kColumnNames.begin(), kColumnNames.end(), lower[i]) != kColumnNames.end())
      continue;
    auto key = std::find(keys.begin(), keys.end(), name->suffix);
    if (key == keys.end()) {
      keys.emplace_back(name->suffix);
      key = keys.end() - 1;
      ArmColumns arm;
      arm.index.fill(-1);
      const std::string_view written = TrimBlanks(names[i]);
      arm.suffix = written.substr(written.size() - name->suffix.size());
      arm.label =
          arm.suffix[0] == '.' ? arm.suffix.substr(1) : arm.suffix.substr(0, arm.suffix.size() - 1);
      columns.arms.push_back(std::move(arm));
    }
    ArmColumns& arm = columns.arms[static_cast<std::size_t>(key - keys.begin())];
    int& slot = name->column == kArmSd ? arm.sd : arm.index[name->column];
    if (slot != -1) {
      columns.problem = "the header has two columns for one cell of arm " + arm.label + ": '" +
                        std::string(TrimBlanks(names[static_cast<std::size_t>(slot)])) + "' and '" +
                        std::string(TrimBlanks(names[i])) + "'";
      return;
    }
    slot = static_cast<int>(i);
    arm.last = static_cast<int>(i);
  }
  if (columns.arms.empty()) return;

  // One group a row and arms do not go together: name both.
  std::vector<std::string> single;
  for (int c = 0; c < kColumnCount; ++c) {
    if (columns.index[c] != -1 && !IsDifferenceColumn(c)) single.emplace_back(kColumnNames[c]);
  }
  if (columns.sd != -1) single.emplace_back("sd");
  for (const SubgroupColumns& subgroup : columns.subgroups) {
    for (const int i : subgroup.index) {
      if (i != -1) single.emplace_back(TrimBlanks(names[static_cast<std::size_t>(i)]));
    }
  }
  const auto listed = [](const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) text += (i ? ", " : "") + items[i];
    return text;
  };
  if (!single.empty()) {
    std::vector<std::string> arm_names;
    for (const ArmColumns& arm : columns.arms) {
      const int n = arm.index[kN];
      arm_names.emplace_back(n != -1 ? TrimBlanks(names[static_cast<std::size_t>(n)])
                                     : std::string_view(arm.suffix));
    }
    columns.problem = "the header has columns of one group a row (" + listed(single) +
                      ") beside arms (" + listed(arm_names) +
                      "): give every group's columns its arm's suffix";
    return;
  }
  for (ArmColumns& arm : columns.arms) {
    if (arm.index[kN] == -1) {
      std::vector<std::string> own;
      for (std::size_t i = 0; i < lower.size(); ++i) {
        const std::optional<ArmName> name = ReadArmName(lower[i]);
        if (name && Lower(arm.suffix) == name->suffix) own.emplace_back(TrimBlanks(names[i]));
      }
      columns.problem = "the header's arm " + arm.label + " has no n column (it has " +
                        listed(own) + "): every arm needs its n";
      return;
    }
    arm.fill_mean = arm.sd != -1 && arm.index[kMean] != -1;
    for (int c = kFirstNewColumn; c < kColumnCount; ++c) arm.extended |= arm.index[c] != -1;
    for (const EarlierArm& block : blocks) {
      if (block.suffix == Lower(arm.suffix)) arm.earlier_method = block.method;
    }
  }
}

void AddArmResultColumns(const TableColumns& columns, const std::vector<std::string_view>& names,
                         bool working, std::vector<ResultColumn>& added) {
  for (std::size_t a = 0; a < columns.arms.size(); ++a) {
    const ArmColumns& arm = columns.arms[a];
    const auto add = [&](std::string_view name) {
      std::string base(name);
      const auto taken = [&] {
        const std::string heading = Lower(base + arm.suffix);
        for (std::size_t i = 0; i < columns.width && i < names.size(); ++i)
          if (Lower(names[i]) == heading) return true;
        return false;
      };
      while (taken()) base += kOwnNameSuffix;
      added.push_back({name, base + arm.suffix, static_cast<int>(a)});
    };
    if (arm.sd == -1) add("sd");
    if (arm.extended && !arm.fill_mean) add("estimated_mean");
    for (const std::string_view name : arm.figures) add(name);
    for (const std::string_view name : kArmBlockCore) add(name);
    if (working) add("working");
  }
}

void ConvertArmsRow(const TableColumns& columns, const std::vector<std::string_view>& row,
                    const RowSettings& settings, CriticalValueCache& cache, RowCells& scratch,
                    std::vector<TableRow>& out) {
  const auto cell = [&](int i) {
    return i >= 0 && static_cast<std::size_t>(i) < row.size() ? row[i] : std::string_view();
  };
  out.assign(columns.arms.size(), {});
  bool difference = false;
  for (const int c : {kSe, kCi, kLower, kUpper, kMd, kT, kP})
    difference |= !IsEmptyCell(cell(columns.index[c]));
  std::optional<RowResult> common;  // made once, for the arms that take it
  const auto common_sd = [&]() -> const RowResult& {
    if (common) return *common;
    if (columns.arms.size() != 2) {
      common = Refused("the difference between the arms needs two arms; the header has " +
                       std::to_string(columns.arms.size()));
      return *common;
    }
    scratch.text.fill({});
    scratch.subgroups.clear();
    for (std::size_t a = 0; a < 2; ++a) {
      const ArmColumns& arm = columns.arms[a];
      const std::string_view n = cell(arm.index[kN]);
      const std::string name = "n" + arm.suffix;
      const CellNumber number = ParseCellNumber(n, settings.decimal);
      std::optional<std::string> refusal;
      if (IsEmptyCell(n)) {
        refusal = name + " is empty: the difference between the arms needs both arms' n";
      } else if (number.kind != CellNumber::Kind::Number) {
        refusal = Quoted(name, " is not a number", n) + DecimalHint(n, settings.decimal);
      } else {
        refusal = CountRefusal(name, number.value, n);
      }
      if (refusal) {
        common = Refused(std::move(*refusal));
        return *common;
      }
      scratch.text[a == 0 ? kN1 : kN2] = n;
    }
    for (const int c : kDifferenceColumns) scratch.text[c] = cell(columns.index[c]);
    common = ConvertRow(scratch, settings, cache);
    if (!common->working.empty()) {
      common->working.insert(0, std::string("The SD common to both arms, from the difference "
                                            "between them (N1 is n") +
                                    columns.arms[0].suffix + ", N2 is n" + columns.arms[1].suffix +
                                    "):" + std::string(kCrLf) + std::string(kCrLf));
    }
    return *common;
  };
  for (std::size_t a = 0; a < columns.arms.size(); ++a) {
    const ArmColumns& arm = columns.arms[a];
    const GroupColumns group = GroupOf(arm);
    // An arm that gives nothing but its n (and mean) takes the difference.
    bool only_n = difference;
    for (int c = 0; c < kColumnCount && only_n; ++c)
      only_n = c == kN || c == kMean || IsEmptyCell(cell(arm.index[c]));
    if (!only_n) {
      // A row's one level column serves the arms that have none of their own.
      if (arm.index[kLevel] == -1 && columns.index[kLevel] != -1) {
        std::array<int, kColumnCount> index = arm.index;
        index[kLevel] = columns.index[kLevel];
        GroupColumns with_level = group;
        with_level.index = &index;
        out[a] = ConvertGroup(with_level, row, settings, cache, scratch);
      } else {
        out[a] = ConvertGroup(group, row, settings, cache, scratch);
      }
      continue;
    }
    if (std::optional<TableRow> reported = ReportedSd(group, row, settings.decimal)) {
      out[a] = std::move(*reported);
      continue;
    }
    out[a].result = common_sd();
    out[a].sd_from_result = arm.sd != -1;
    // No estimate of the mean: a filled one stays, an empty one stays empty.
    out[a].mean_from_result = arm.fill_mean && (IsEmptyCell(cell(arm.index[kMean])) ||
                                                FilledEarlier(group, row, arm.index[kMean]));
  }
}

}  // namespace kelmory::batch
