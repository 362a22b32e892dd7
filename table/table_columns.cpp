#include "table/table_columns.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "rows/cell_number.h"
#include "rows/row_kinds.h"
#include "table/arm_columns.h"
#include "table/table_cells.h"

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

// The columns of an earlier result block that it always holds, in order.
constexpr std::array<std::string_view, 8> kBlockCore = {
    "method", "critical_value", "df", "sd_z", "sd_t", "z_t_gap_percent", "warning", "refusal"};

// The result columns of later kinds, in the order the writer puts them.
constexpr std::array<std::string_view, 9> kFigureColumns = {
    "log_ratio", "se_log_ratio", "sd_within", "corr_estimated", "mean_normal",
    "sd_normal", "mean_skewed",  "sd_skewed", "skewed_method"};

// A result column's name as the writer heads it, with the suffix as often as
// the user's own columns made it add one.
bool IsHeading(std::string_view lower, std::string_view name) {
  if (!lower.starts_with(name)) return false;
  lower.remove_prefix(name.size());
  while (lower.starts_with(kOwnNameSuffix)) lower.remove_prefix(kOwnNameSuffix.size());
  return lower.empty();
}

// Whether the first `count` names use a median, two-group or subgroup name.
bool Extended(const std::vector<std::string>& lower, std::size_t count) {
  // Beside a ratio, p is the ratio's.
  const bool ratio = std::any_of(
      lower.begin(), lower.begin() + static_cast<std::ptrdiff_t>(count),
      [](const std::string& name) { return name == "or" || name == "rr" || name == "hr"; });
  for (std::size_t i = 0; i < count; ++i) {
    if (ratio && lower[i] == "p") continue;
    int column = 0, k = 0;
    const auto first_new = kColumnNames.begin() + kFirstNewColumn;
    const auto first_ratio = kColumnNames.begin() + kFirstRatioColumn;
    if (std::find(first_new, first_ratio, lower[i]) != first_ratio ||
        SubgroupName(lower[i], column, k))
      return true;
  }
  return false;
}

// Where an earlier result block starts: the names the writer puts at the
// end of its header, in its order, and nowhere else. lower.size() when
// there is none; `method` is set to the block's method column.
std::size_t EarlierBlock(const std::vector<std::string>& lower, int& method) {
  std::size_t end = lower.size();
  if (end > 0 && IsHeading(lower[end - 1], "working")) --end;
  if (end < kBlockCore.size()) return lower.size();
  for (std::size_t i = 0; i < kBlockCore.size(); ++i) {
    if (!IsHeading(lower[end - kBlockCore.size() + i], kBlockCore[i])) return lower.size();
  }
  end -= kBlockCore.size();
  method = static_cast<int>(end);
  for (auto figure = kFigureColumns.rbegin(); figure != kFigureColumns.rend(); ++figure) {
    if (end > 0 && IsHeading(lower[end - 1], *figure)) --end;
  }
  // total_n and estimated_mean only where the user's columns make the
  // writer add them; the sd before estimated_mean is the block's only where
  // a mean column would otherwise have taken the estimated means.
  if (end > 0 && IsHeading(lower[end - 1], "total_n") && Extended(lower, end - 1)) {
    --end;
    if (end > 0 && IsHeading(lower[end - 1], "estimated_mean")) {
      --end;
      if (end > 0 && lower[end - 1] == "sd" &&
          std::find(lower.begin(), lower.begin() + static_cast<std::ptrdiff_t>(end - 1), "mean") !=
              lower.begin() + static_cast<std::ptrdiff_t>(end - 1))
        --end;
    }
  }
  return end;
}

}  // namespace

TableColumns ReadTableColumns(const std::vector<std::string_view>& names) {
  TableColumns columns;
  columns.index.fill(-1);
  std::vector<std::string> lower;
  lower.reserve(names.size());
  for (const std::string_view name : names) lower.push_back(Lower(name));

  std::vector<EarlierArm> arm_blocks;
  std::size_t block = EarlierArmBlocks(lower, arm_blocks);
  if (block == lower.size()) block = EarlierBlock(lower, columns.earlier_method);
  columns.width = block;
  lower.resize(block);
  columns.extended = Extended(lower, block);

  const auto fail = [&](std::string problem) {
    columns.problem = std::move(problem);
    return columns;
  };
  for (std::size_t i = 0; i < lower.size(); ++i) {
    const std::string& name = lower[i];
    const int at = static_cast<int>(i);
    int* slot = name == "sd" ? &columns.sd : nullptr;
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
  }
  ReadArms(names, lower, arm_blocks, columns);
  if (!columns.problem.empty()) return columns;
  if (!columns.arms.empty()) {
    for (ArmColumns& arm : columns.arms) {
      if (arm.index[kSdChange] != -1) arm.figures.push_back("corr_estimated");
    }
    return columns;
  }
  columns.fill_mean = columns.sd != -1 && columns.index[kMean] != -1;
  const auto named = [&](Column c) { return columns.index[c] != -1; };
  const bool ratio = named(kOr) || named(kRr) || named(kHr);
  for (const std::string_view figure : kFigureColumns) {
    // The skewed-data columns follow the settings (AddSkewedColumns).
    const bool called = figure == "sd_within"        ? named(kMd) && named(kCorr)
                        : figure == "corr_estimated" ? named(kSdChange)
                                                     : figure.ends_with("log_ratio") && ratio;
    if (called) columns.figures.push_back(figure);
  }
  const bool change = named(kSdBaseline) || named(kSdFinal) || named(kSdChange);
  const bool sized = ratio || change || columns.index[kN] != -1 || columns.index[kN1] != -1 ||
                     columns.index[kN2] != -1 ||
                     std::any_of(columns.subgroups.begin(), columns.subgroups.end(),
                                 [](const SubgroupColumns& s) { return s.index[kSubN] != -1; });
  if (!sized) return fail("the header has no column named 'n'");
  return columns;
}

void AddSkewedColumns(TableColumns& columns, MedianMethod median) {
  if (median == MedianMethod::Normal) return;
  const auto add = [](std::vector<std::string_view>& figures) {
    for (const std::string_view name :
         {"mean_normal", "sd_normal", "mean_skewed", "sd_skewed", "skewed_method"})
      figures.push_back(name);
  };
  if (columns.index[kMedian] != -1) add(columns.figures);
  for (ArmColumns& arm : columns.arms) {
    if (arm.index[kMedian] != -1) add(arm.figures);
  }
}

std::vector<ResultColumn> ResultColumns(const TableColumns& columns,
                                        const std::vector<std::string_view>& names, bool working) {
  std::vector<ResultColumn> added;
  if (!columns.arms.empty()) {
    AddArmResultColumns(columns, names, working, added);
    return added;
  }
  const auto add = [&](std::string_view name) {
    // The user may hold method_result too: the heading never repeats a name.
    std::string heading(name);
    const auto taken = [&] {
      for (std::size_t i = 0; i < columns.width && i < names.size(); ++i)
        if (Lower(names[i]) == heading) return true;
      return false;
    };
    while (taken()) heading += kOwnNameSuffix;
    added.push_back({name, std::move(heading)});
  };
  if (columns.sd == -1) add("sd");
  if (columns.extended && !columns.fill_mean) add("estimated_mean");
  if (columns.extended) add("total_n");
  for (const std::string_view name : columns.figures) add(name);
  for (const std::string_view name : kBlockCore) add(name);
  if (working) add("working");
  return added;
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

namespace kelmory::batch {
namespace {

// The methods whose rows estimate a mean.
constexpr std::array<std::string_view, 10> kMeanMethods = {
    "median-five", "median-range",  "median-iqr", "combined",   "log-normal",
    "qe normal",   "qe log-normal", "qe gamma",   "qe weibull", "qe beta"};

std::string_view CellAt(const std::vector<std::string_view>& row, int i) {
  return i >= 0 && static_cast<std::size_t>(i) < row.size() ? row[i] : std::string_view();
}

// A median row whose mean is reported keeps it: the method says so.
std::string_view WithReportedMean(std::string_view method) {
  static constexpr std::array<std::string_view, 9> kReported = {
      "median-five (mean reported)", "median-range (mean reported)",
      "median-iqr (mean reported)",  "log-normal (mean reported)",
      "qe normal (mean reported)",   "qe log-normal (mean reported)",
      "qe gamma (mean reported)",    "qe weibull (mean reported)",
      "qe beta (mean reported)"};
  for (const std::string_view reported : kReported) {
    if (reported.starts_with(method) && reported.substr(method.size()).starts_with(" ("))
      return reported;
  }
  return method;
}

// A reported sd or mean: a number, and for an sd not negative.
std::optional<std::string> ReportedRefusal(std::string_view name, std::string_view text,
                                           char decimal) {
  const CellNumber number = ParseCellNumber(text, decimal);
  if (number.kind == CellNumber::Kind::NotANumber)
    return Quoted(name, " is not a number", text) + DecimalHint(text, decimal);
  if (number.kind == CellNumber::Kind::OutOfRange)
    return Quoted(name, " is beyond the double range", text);
  if (name == "sd" && number.value < 0) return Quoted(name, " is negative", text);
  return std::nullopt;
}

// A reported SD is the paper's and stays, but one the row rules would
// never give is worth a second look.
void ReportedSdWarnings(std::string_view sd, std::string_view n, char decimal, RowResult& result) {
  if (ParseCellNumber(sd, decimal).value == 0) {
    AddWarning(result.warning, "the reported sd '" + CellExcerpt(TrimBlanks(sd)) +
                                   "' gives the study infinite weight; check the paper");
  }
  const CellNumber count = ParseCellNumber(n, decimal);
  if (count.kind == CellNumber::Kind::Number && count.value == 1) {
    AddWarning(result.warning,
               "n is 1: a single observation has no standard deviation; check the reported sd");
  }
}

}  // namespace

GroupColumns GroupOf(const TableColumns& columns) {
  return {&columns.index, &columns.subgroups, columns.sd, columns.earlier_method,
          columns.fill_mean};
}

GroupColumns GroupOf(const ArmColumns& arm) {
  return {&arm.index, nullptr, arm.sd, arm.earlier_method, arm.fill_mean};
}

bool FilledEarlier(const GroupColumns& group, const std::vector<std::string_view>& row,
                   int column) {
  if (group.earlier_method < 0 || column < 0 || IsEmptyCell(CellAt(row, column))) return false;
  const std::string_view method = TrimBlanks(CellAt(row, group.earlier_method));
  if (column == group.sd) return !method.empty() && method != "reported";
  if (column == (*group.index)[kMean] && group.fill_mean)
    return std::find(kMeanMethods.begin(), kMeanMethods.end(), method) != kMeanMethods.end();
  return false;
}

bool FilledEarlier(const TableColumns& columns, const std::vector<std::string_view>& row,
                   int column) {
  return FilledEarlier(GroupOf(columns), row, column);
}

bool FilledEarlier(const ArmColumns& arm, const std::vector<std::string_view>& row, int column) {
  return FilledEarlier(GroupOf(arm), row, column);
}

std::optional<TableRow> ReportedSd(const GroupColumns& group,
                                   const std::vector<std::string_view>& row, char decimal) {
  if (group.sd == -1) return std::nullopt;
  const std::string_view sd = CellAt(row, group.sd);
  if (IsEmptyCell(sd) || FilledEarlier(group, row, group.sd)) return std::nullopt;
  TableRow out;
  if (auto refusal = ReportedRefusal("sd", sd, decimal)) {
    out.result = Refused(std::move(*refusal));
  } else {
    out.result.method = "reported";
    ReportedSdWarnings(sd, CellAt(row, (*group.index)[kN]), decimal, out.result);
  }
  return out;
}

TableRow ConvertGroup(const GroupColumns& group, const std::vector<std::string_view>& row,
                      const RowSettings& settings, CriticalValueCache& cache, RowCells& scratch) {
  if (std::optional<TableRow> reported = ReportedSd(group, row, settings.decimal))
    return std::move(*reported);
  TableRow out;
  out.sd_from_result = group.sd != -1;
  for (int c = 0; c < kColumnCount; ++c) scratch.text[c] = CellAt(row, (*group.index)[c]);
  const std::size_t subgroups = group.subgroups ? group.subgroups->size() : 0;
  scratch.subgroups.resize(subgroups);
  for (std::size_t s = 0; s < subgroups; ++s) {
    scratch.subgroups[s].k = (*group.subgroups)[s].k;
    for (int c = 0; c < kSubgroupColumnCount; ++c)
      scratch.subgroups[s].text[c] = CellAt(row, (*group.subgroups)[s].index[c]);
  }
  bool mean_reported = false;
  if (group.fill_mean) {
    const int mean = (*group.index)[kMean];
    const bool median = std::any_of(scratch.text.begin() + kMedian, scratch.text.begin() + kMax + 1,
                                    [](std::string_view cell) { return !IsEmptyCell(cell); });
    if (FilledEarlier(group, row, mean)) {
      scratch.text[kMean] = {};
      out.mean_from_result = true;
    } else if (IsEmptyCell(scratch.text[kMean])) {
      out.mean_from_result = true;
    } else if (median) {
      if (auto refusal = ReportedRefusal("mean", scratch.text[kMean], settings.decimal)) {
        out.result = Refused(std::move(*refusal));
        return out;
      }
      scratch.text[kMean] = {};
      mean_reported = true;
    }
  }
  out.result = ConvertRow(scratch, settings, cache);
  if (mean_reported && out.result.estimated_mean) {
    out.result.estimated_mean.reset();
    out.result.method = WithReportedMean(out.result.method);
    if (!out.result.working.empty()) {
      out.result.working.append(kCrLf).append(kCrLf);
      out.result.working.append("The table reports the mean: it is kept, not the estimate above.");
    }
  }
  return out;
}

TableRow ConvertTableRow(const TableColumns& columns, const std::vector<std::string_view>& row,
                         const RowSettings& settings, CriticalValueCache& cache,
                         RowCells& scratch) {
  return ConvertGroup(GroupOf(columns), row, settings, cache, scratch);
}

void KeepUserCells(const TableColumns& columns, std::size_t header_width,
                   std::vector<std::string>& row) {
  const std::vector<std::string_view> view(row.begin(), row.end());
  const auto clear = [&](const GroupColumns& group) {
    const bool sd = FilledEarlier(group, view, group.sd);
    const bool mean = FilledEarlier(group, view, (*group.index)[kMean]);
    if (sd) row[group.sd].clear();
    if (mean) row[(*group.index)[kMean]].clear();
  };
  clear(GroupOf(columns));
  for (const ArmColumns& arm : columns.arms) clear(GroupOf(arm));
  if (row.size() > columns.width) {
    const std::size_t end = std::min(header_width, row.size());
    row.erase(row.begin() + static_cast<std::ptrdiff_t>(columns.width),
              row.begin() + static_cast<std::ptrdiff_t>(end));
  }
}

}  // namespace kelmory::batch
