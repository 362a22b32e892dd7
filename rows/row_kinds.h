#pragma once
// The kinds of row behind ConvertRow, one function and one file each
// (interval_rows.cpp, median_rows.cpp, two_group_rows.cpp,
// subgroup_rows.cpp), and the pieces they share, defined in row_common.cpp:
// refusals that quote a cell, warnings, and the reading of an interval with
// its critical values.

#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/critical_values.h"
#include "engine/number_text.h"
#include "rows/row_types.h"

namespace kelmory::batch {

using RowValues = std::array<std::optional<double>, kColumnCount>;
using SubgroupValues = std::array<std::optional<double>, kSubgroupColumnCount>;

inline constexpr std::string_view kCrLf = "\r\n";

RowResult Refused(std::string message);
// "se is negative: '-1'"
std::string Quoted(std::string_view column, std::string_view what, std::string_view text);
void AddWarning(std::string& warnings, std::string_view warning);
// Fixed notation with `places` decimals and the table's separator.
std::string FixedText(double value, int places, char decimal);
// "se is 0: '0', which gives an SD of 0 and the study infinite weight"
std::string ZeroSd(std::string what);
// At least `places`, and more where that many would print `a` as `b`: a
// figure beside its threshold, "10.0%" under a rule of more than 10 %, reads
// as a contradiction.
int PlacesApart(double a, double b, int places);
// How far, in percent of the whole, the halves of an interval differ, with
// the digits that tell it from the 10 % it is judged by; none when they
// differ by no more.
std::optional<std::string> AsymmetryPercent(double lower, double centre, double upper,
                                            char decimal);
// A count such as n, n1 or n_3: a refusal unless it is a whole number >= 2
// (one observation has no SD).
std::optional<std::string> CountRefusal(std::string_view column, double value,
                                        std::string_view text);

// The cells an se or interval source shares between kinds of row: se and
// ci not negative, a level in (0, 100), z above 0, lower with upper.
std::optional<std::string> SourceCellRefusal(
    const RowValues& value, const std::array<std::string_view, kColumnCount>& text);

// A working text built line by line, numbers as the window shows them.
class WorkingLines {
 public:
  explicit WorkingLines(char decimal) : locale_{{decimal}} {}
  WorkingLines& operator<<(std::string_view text) {
    text_.append(text);
    return *this;
  }
  // A formula's text whose constants take the table's decimal separator:
  // "w = 4 / (4 + N^0,75)" in a decimal-comma table.
  struct Formula {
    std::string_view text;
  };
  WorkingLines& operator<<(Formula formula) {
    const std::size_t start = text_.size();
    text_.append(formula.text);
    for (std::size_t i = start; i < text_.size(); ++i) {
      if (text_[i] == '.') text_.replace(i, 1, locale_.decimal_separator);
    }
    return *this;
  }
  WorkingLines& operator<<(double value) {
    AppendNumberText(text_, value, locale_);
    return *this;
  }
  WorkingLines& Line() {
    text_.append(kCrLf);
    return *this;
  }
  std::string Take() { return std::move(text_); }

 private:
  NumberLocale locale_;
  std::string text_;
};

// An interval row's half-width and divisors.
struct IntervalFigures {
  enum class Choice { T, Z, User };
  Choice choice = Choice::T;
  bool bounds = false;  // from lower and upper, not ci
  double half = 0, level = 0, divisor = 0;
  std::optional<double> z_crit, t_crit;
};

// Reads ci, or lower and upper checked against the `centre` cell (mean or
// md), the level and z cells and --method; `df` 0 when there is no t. False
// with result.refusal set when the row is refused; an asymmetry warning goes
// to result.warning.
bool ReadInterval(const RowValues& value, const RowCells& cells, const RowSettings& settings,
                  CriticalValueCache& cache, Column centre, double df, IntervalFigures& figures,
                  RowResult& result);

// sd, critical_value, sd_z, sd_t and the gap of an interval row, with
// sd_of(divisor) the row's own formula. False (and refused) when a figure
// is not finite.
template <class SdOf>
bool SideBySide(const IntervalFigures& figures, double df, const SdOf& sd_of, RowResult& result) {
  result.sd = sd_of(figures.divisor);
  result.critical_value = figures.divisor;
  result.sd_z = sd_of(*figures.z_crit);
  if (figures.t_crit) {
    result.df = df;
    result.sd_t = sd_of(*figures.t_crit);
    if (*result.sd_t != 0)
      result.z_t_gap_percent = (*result.sd_z - *result.sd_t) / *result.sd_t * 100;
  }
  if (!std::isfinite(*result.sd) || !std::isfinite(*result.sd_z) ||
      (result.sd_t && !std::isfinite(*result.sd_t))) {
    result = Refused("sd is too large to be computed");
    return false;
  }
  if (*result.sd == 0 || *result.sd_z == 0 || (result.sd_t && *result.sd_t == 0)) {
    result = Refused(
        "sd comes out as 0, narrower than a double holds, which gives the study infinite weight");
    return false;
  }
  return true;
}

// For an se row that also gives an interval: warns in `result` when the SD
// the interval gives differs from the se's by more than 10 %.
void CheckAgainstInterval(const RowCells& cells, const RowSettings& settings,
                          CriticalValueCache& cache, RowResult& result);

// Wan et al. (2014): the expected range and interquartile range of n normal
// draws in SDs, xi = 2 z((n - 0.375) / (n + 0.25)) and
// eta = 2 z((0.75 n - 0.125) / (n + 0.25)).
double Xi(double n);
double Eta(double n);

// The working of that SD from the range (xi), the quartiles (eta) or both,
// weighted by w where both are given.
struct WanSd {
  bool range, quartiles;
  double n, xi, eta, w, min, max, q1, q3;
};
void AddWanSdLines(WorkingLines& out, const WanSd& sd);

// "min '7'": a cell as a refusal quotes it.
std::string QuotedCell(Column column, const std::array<std::string_view, kColumnCount>& text);
// The refusal of a set of values that do not run in the order `order`
// states ("min <= q1 <= q3 <= max"), or whose range or interquartile range
// is zero.
std::optional<std::string> SpreadRefusal(const RowValues& value,
                                         const std::array<std::string_view, kColumnCount>& text,
                                         const std::vector<Column>& set, bool range, bool quartiles,
                                         std::string_view order);

// A median set as the skewed-data methods take it: the values in the
// order min, q1, median, q3, max of those given, with their names and
// cells for refusals.
struct MedianSet {
  double n = 0, min = 0, q1 = 0, median = 0, q3 = 0, max = 0;
  bool range = false, quartiles = false;
  std::vector<double> values;
  std::vector<std::string_view> names;
  std::vector<std::string> texts;
};
// A skewed-data estimate: its method ("log-normal", "qe gamma", ...), or
// the refusal that says why there is none.
struct SkewedEstimate {
  double mean = 0, sd = 0;
  std::string_view method;
  std::string refusal, working;
};
SkewedEstimate LogNormalEstimate(const MedianSet& set, char decimal);
SkewedEstimate QeEstimate(const MedianSet& set, char decimal);

RowResult SeOrIntervalRow(const RowValues& value, const RowCells& cells,
                          const RowSettings& settings, CriticalValueCache& cache);
RowResult MedianRow(const RowValues& value, const RowCells& cells, const RowSettings& settings);
RowResult MeanRangeRow(const RowValues& value, const RowCells& cells, const RowSettings& settings);
// A difference of means, between two groups or paired: the source cells
// (se; ci, or lower and upper; md with t; md with p) to the SE of the
// difference, and that to an SD by the design's own rule.
struct DifferenceMethods {
  std::string_view se, t_statistic, p, user, z, t;
};
struct Difference {
  DifferenceMethods methods;
  double df = 0;
  std::function<double(double se)> sd_of_se;
  bool small = false;  // z is advised against
  std::string_view small_warning, t_name;
  std::function<void(WorkingLines&, double df)> df_line;
  std::function<void(WorkingLines&, double se)> sd_lines;
};
RowResult DifferenceRow(const RowValues& value, const RowCells& cells, const RowSettings& settings,
                        CriticalValueCache& cache, const Difference& design);

RowResult TwoGroupRow(const RowValues& value, const RowCells& cells, const RowSettings& settings,
                      CriticalValueCache& cache);
RowResult PairedRow(const RowValues& value, const RowCells& cells, const RowSettings& settings,
                    CriticalValueCache& cache);
RowResult ChangeRow(const RowValues& value, const RowCells& cells, const RowSettings& settings);
RowResult RatioRow(const RowValues& value, const RowCells& cells, const RowSettings& settings,
                   CriticalValueCache& cache);
RowResult SubgroupRow(const std::vector<SubgroupValues>& values, const RowCells& cells,
                      const RowSettings& settings);

}  // namespace kelmory::batch
