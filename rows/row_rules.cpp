#include "rows/row_rules.h"

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "rows/cell_number.h"
#include "rows/row_kinds.h"

namespace kelmory::batch {
namespace {

enum class Kind { SeOrInterval, Median, MeanRange, TwoGroup, Paired, Subgroups, Ratio, Change };

// Whether a row of `kind` may fill column c.
bool Allowed(Kind kind, int c) {
  switch (kind) {
    case Kind::SeOrInterval:
      return c < kFirstNewColumn;
    case Kind::Median:
      return c == kN || (c >= kMedian && c <= kMax);
    case Kind::MeanRange:
      return c == kN || c == kMean || (c >= kQ1 && c <= kMax);
    case Kind::TwoGroup:
      return c == kSe || c == kCi || c == kLower || c == kUpper || c == kLevel || c == kZ ||
             c >= kN1;
    case Kind::Paired:
      return c == kN || c == kSe || c == kCi || c == kLower || c == kUpper || c == kLevel ||
             c == kZ || c == kMd || c == kT || c == kP || c == kCorr;
    case Kind::Subgroups:
      return false;
    case Kind::Change:
      return c == kN || c == kMean || (c >= kSdBaseline && c <= kCorr);
    case Kind::Ratio:
      return c == kN || c == kLower || c == kUpper || c == kLevel || c == kP ||
             (c >= kOr && c <= kHr);
  }
  return false;
}

std::string SubgroupColumnName(int column, int k) {
  return std::string(kSubgroupPrefixes[column]) + std::to_string(k);
}

// A filled cell as a number, or the refusal that quotes it.
std::optional<std::string> ReadCell(std::string_view cell, std::string_view name, char decimal,
                                    bool percent, std::optional<double>& out) {
  const CellNumber number = ParseCellNumber(cell, decimal, percent);
  if (number.kind == CellNumber::Kind::NotANumber)
    return Quoted(name, " is not a number", cell) + DecimalHint(cell, decimal, percent);
  if (number.kind == CellNumber::Kind::OutOfRange)
    return Quoted(name, " is beyond the double range", cell);
  out = number.value;
  return std::nullopt;
}

}  // namespace

RowResult ConvertRow(const RowCells& cells, const RowSettings& settings,
                     CriticalValueCache& cache) {
  const auto& text = cells.text;
  // Every filled cell of a recognised column must be a number, whether the
  // row uses it or not: a typo should not pass unseen.
  // Most columns are empty in most rows: find the filled ones first, in a
  // loop that calls nothing, then read only those.
  static_assert(kColumnCount <= 32, "a bit a column");
  std::uint32_t filled = 0;
  for (int c = 0; c < kColumnCount; ++c)
    filled |= static_cast<std::uint32_t>(!IsEmptyCell(text[c])) << c;
  RowValues value;
  for (std::uint32_t rest = filled; rest != 0; rest &= rest - 1) {
    const int c = std::countr_zero(rest);
    if (auto refusal = ReadCell(text[c], kColumnNames[c], settings.decimal, c == kLevel, value[c]))
      return Refused(std::move(*refusal));
  }
  std::vector<SubgroupValues> subgroups(cells.subgroups.size());
  std::string first_subgroup_cell;
  for (std::size_t s = 0; s < cells.subgroups.size(); ++s) {
    for (int c = 0; c < kSubgroupColumnCount; ++c) {
      const std::string_view cell = cells.subgroups[s].text[c];
      if (IsEmptyCell(cell)) continue;
      const std::string name = SubgroupColumnName(c, cells.subgroups[s].k);
      if (auto refusal = ReadCell(cell, name, settings.decimal, false, subgroups[s][c]))
        return Refused(std::move(*refusal));
      if (first_subgroup_cell.empty()) first_subgroup_cell = name;
    }
  }

  // The kind: subgroups, two groups or a median set by their own columns;
  // a row that fills columns of another kind mixes sources.
  Kind kind = Kind::SeOrInterval;
  std::string mark = first_subgroup_cell;
  if (!mark.empty()) kind = Kind::Subgroups;
  struct Marks {
    int first, last;
    Kind kind;
  };
  for (const Marks marks :
       {Marks{kOr, kHr, Kind::Ratio}, Marks{kN1, kP, Kind::TwoGroup},
        Marks{kMedian, kMax, Kind::Median}, Marks{kSdBaseline, kCorr, Kind::Change}}) {
    const std::uint32_t own = filled >> marks.first & ((1u << (marks.last - marks.first + 1)) - 1);
    if (own != 0 && kind == Kind::SeOrInterval) {
      kind = marks.kind;
      mark = kColumnNames[marks.first + std::countr_zero(own)];
    }
  }
  const auto has = [&](Column c) { return (filled >> c & 1u) != 0; };
  // A range or quartiles beside a reported mean and no median.
  if (kind == Kind::Median && !has(kMedian) && has(kMean)) kind = Kind::MeanRange;
  // A difference beside n alone is paired.
  if (kind == Kind::TwoGroup && !has(kN1) && !has(kN2) && has(kN)) kind = Kind::Paired;
  for (std::uint32_t rest = filled; rest != 0; rest &= rest - 1) {
    const int c = std::countr_zero(rest);
    if (!Allowed(kind, c)) {
      return Refused(mark + " and " + std::string(kColumnNames[c]) +
                     " do not go together: a row is one kind (se or an interval with n, a median "
                     "set with n, two groups with n1 and n2, or subgroups)");
    }
  }
  switch (kind) {
    case Kind::SeOrInterval:
      return SeOrIntervalRow(value, cells, settings, cache);
    case Kind::Median:
      return MedianRow(value, cells, settings);
    case Kind::MeanRange:
      return MeanRangeRow(value, cells, settings);
    case Kind::TwoGroup:
      return TwoGroupRow(value, cells, settings, cache);
    case Kind::Paired:
      return PairedRow(value, cells, settings, cache);
    case Kind::Subgroups:
      return SubgroupRow(subgroups, cells, settings);
    case Kind::Ratio:
      return RatioRow(value, cells, settings, cache);
    case Kind::Change:
      return ChangeRow(value, cells, settings);
  }
  return Refused("unknown kind of row");
}

}  // namespace kelmory::batch
